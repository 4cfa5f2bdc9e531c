// qvr-history: the window program.
#include "core/SettingsStore.h"
#include "shell/SingleInstance.h"
#include "shell/WidgetAsker.h"
#include "shell/frm_Hauptfenster.h"

#include <QApplication>
#include <QIcon>

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
    askerView->setTexts(&window.texts());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qvr/shell/Daten_einlesen.png")));
    // A second instance ends here, silently.
    if (!window.startUp(arguments, qvr::SingleInstance::defaultLockPath(arguments)))
        return 0;
    window.show();
    // Without a window manager nobody else would make the frame active, and the
    // command-line file opens when it becomes active.
    window.activateWindow();
    return QApplication::exec();
}
