// qvr-history: the window program.
#include "core/SettingsStore.h"
#include "shell/SingleInstance.h"
#include "shell/WidgetAsker.h"
#include "shell/frm_Hauptfenster.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR-History"));
    QApplication::setApplicationVersion(QLatin1String(qvr::frm_Hauptfenster::kVersion));

    const QStringList arguments = QApplication::arguments();
    auto asker = std::make_unique<qvr::WidgetAsker>();
    qvr::WidgetAsker *askerView = asker.get();
    qvr::frm_Hauptfenster window(qvr::SettingsStore::forProgram(arguments), std::move(asker));
    askerView->setParent(&window);
    // A second instance ends here, silently.
    if (!window.startUp(arguments, qvr::SingleInstance::defaultLockPath(arguments)))
        return 0;
    window.show();
    return QApplication::exec();
}
