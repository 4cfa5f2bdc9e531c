// qvr-history: the window program.
#include "core/SettingsStore.h"
#include "shell/SingleInstance.h"
#include "shell/WidgetAsker.h"
#include "shell/frm_Hauptfenster.h"

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {
// For scripts/screenshot.sh and the package check: once the window has settled, print its
// caption (it names the open file), save a picture of the whole screen to the file named
// by QVR_HISTORY_SCREENSHOT, open the File menu, save a second picture beside it ("-menu"
// added to its name) and quit.
void scheduleScreenshot(qvr::frm_Hauptfenster &window, const QString &file)
{
    QString menuFile = file;
    menuFile.insert(file.endsWith(QLatin1String(".png")) ? file.size() - 4 : file.size(),
                    QLatin1String("-menu"));
    QTimer::singleShot(2500, &window, [&window, file, menuFile] {
        std::printf("%s\n", qPrintable(window.windowTitle()));
        std::fflush(stdout);
        bool saved = window.screen()->grabWindow(0).save(file);
        if (auto *menu = window.findChild<QMenu *>(QStringLiteral("dateimenu")))
            window.menuBar()->setActiveAction(menu->menuAction());
        QTimer::singleShot(800, &window, [&window, menuFile, saved]() mutable {
            saved = window.screen()->grabWindow(0).save(menuFile) && saved;
            if (auto *popup = QApplication::activePopupWidget())
                popup->close();
            window.close();
            if (!saved)
                QCoreApplication::exit(1);
        });
    });
}
} // namespace

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
    // The installed icon where there is one; the desktop entry's name ties the windows to it.
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("qvr-history"), QIcon(QStringLiteral(":/qvr/shell/Daten_einlesen.png"))));
    QGuiApplication::setDesktopFileName(QStringLiteral("qvr-history"));
    // A second instance ends here, silently.
    if (!window.startUp(arguments, qvr::SingleInstance::defaultLockPath(arguments)))
        return 0;
    window.show();
    // Without a window manager nobody else would make the frame active, and the
    // command-line file opens when it becomes active.
    window.activateWindow();
    const QString screenshot = qEnvironmentVariable("QVR_HISTORY_SCREENSHOT");
    if (!screenshot.isEmpty())
        scheduleScreenshot(window, screenshot);
    return QApplication::exec();
}
