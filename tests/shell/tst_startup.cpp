// Start-up of the main window: language on the first start, the command-line file, the
// single instance.
#include "shell_helper.h"

#include "core/SettingsStore.h"
#include "shell/SingleInstance.h"
#include "store/FileState.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QToolBar>
#include <cstdio>

using namespace qvr;
using namespace qvr::test;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void languageAtStart_data();
    void languageAtStart();
    void commandLineFile_data();
    void commandLineFile();
    void secondInstanceEndsSilently();
    void instanceLockLeavesSettingsWritable();
    void lockOfOtherProcess_data();
    void lockOfOtherProcess();
    void unwritableLockDoesNotBlockStart();
};

void TestStartup::languageAtStart_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<QString>("shownChoice"); // which option the window shows selected
    QTest::addColumn<QString>("press");       // "Sprache0", "Sprache1" or "" (closed by Escape)
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("fileMenu");

    QTest::newRow("first start, German chosen") << "" << true << "Sprache1"
                                                << "Sprache0"
                                                << "0"
                                                << "&Datei";
    QTest::newRow("first start, English chosen") << "" << true << "Sprache1"
                                                 << "Sprache1"
                                                 << "1"
                                                 << "&File";
    QTest::newRow("first start, closed without a choice keeps English") << "" << true << "Sprache1"
                                                                        << ""
                                                                        << "1"
                                                                        << "&File";
    QTest::newRow("stored empty means German") << "[Sprache]\nSprache=\n"
                                               << false << ""
                                               << ""
                                               << ""
                                               << "&Datei";
    QTest::newRow("stored English") << "[Sprache]\nSprache=1\n"
                                    << false << ""
                                    << ""
                                    << "1"
                                    << "&File";
    QTest::newRow("unknown value asked again, nothing preselected") << "[Sprache]\nSprache=7\n"
                                                                    << true << "none"
                                                                    << "Sprache0"
                                                                    << "0"
                                                                    << "&Datei";
}

void TestStartup::languageAtStart()
{
    QFETCH(QString, ini);
    QFETCH(bool, asks);
    QFETCH(QString, shownChoice);
    QFETCH(QString, press);
    QFETCH(QString, stored);
    QFETCH(QString, fileMenu);

    ShellFixture f;
    f.writeSettings(ini);
    QString selected = QStringLiteral("?");
    QString optionTexts;
    ModalHandler modal([&](QWidget *w) {
        auto *s0 = w->findChild<QRadioButton *>(QStringLiteral("Sprache0"));
        auto *s1 = w->findChild<QRadioButton *>(QStringLiteral("Sprache1"));
        QVERIFY(s0 && s1);
        selected = s0->isChecked()   ? QStringLiteral("Sprache0")
                   : s1->isChecked() ? QStringLiteral("Sprache1")
                                     : QStringLiteral("none");
        optionTexts = s0->text() + QLatin1Char('/') + s1->text();
        if (press.isEmpty())
            QTest::keyClick(w, Qt::Key_Escape);
        else
            QTest::mouseClick(w->findChild<QRadioButton *>(press), Qt::LeftButton);
    });
    QVERIFY(f.start());
    QCOMPARE(modal.handled(), asks);
    if (asks) {
        // Before anything else, and in English.
        QCOMPARE(modal.title(), QStringLiteral("Set language"));
        QCOMPARE(optionTexts, QStringLiteral("German/English"));
        QCOMPARE(selected, shownChoice);
    }
    QCOMPARE(f.readSetting("Sprache", "Sprache"), stored);
    QCOMPARE(f.window().findChild<QMenu *>("dateimenu")->title(), fileMenu);
    QCOMPARE(f.window().windowTitle(), QStringLiteral("QVR-HISTORY"));
}

void TestStartup::commandLineFile_data()
{
    QTest::addColumn<QStringList>("arguments"); // %DIR% stands for the fixture's folder
    QTest::addColumn<QString>("file");          // the history file created beforehand, or ""
    QTest::addColumn<QString>("caption");

    QTest::newRow("path in double quotes") << QStringList{"\"%DIR%/plant.his\""} << "plant.his"
                                           << "QVR-HISTORY   [plant.his]";
    QTest::newRow("unquoted path with a blank, split by the shell")
        << QStringList{"%DIR%/old", "site.his"} << "old site.his"
        << "QVR-HISTORY   [old site.his]";
    QTest::newRow("quoted path with a blank")
        << QStringList{"\"%DIR%/old site.his\""} << "old site.his"
        << "QVR-HISTORY   [old site.his]";
    QTest::newRow("missing file ignored") << QStringList{"%DIR%/gone.his"} << ""
                                          << "QVR-HISTORY";
    QTest::newRow("folder ignored") << QStringList{"%DIR%"} << ""
                                    << "QVR-HISTORY";
}

void TestStartup::commandLineFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QString, caption);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=1\n");
    if (!file.isEmpty())
        f.makeHistoryFile(file);
    for (QString &a : arguments)
        a.replace(QStringLiteral("%DIR%"), f.dir());
    QVERIFY(f.start(arguments));

    frm_Hauptfenster &w = f.window();
    auto entry = [&w](int i) {
        return w.findChild<QAction *>(QStringLiteral("Datei_menu(%1)").arg(i));
    };
    for (int i = 3; i <= 6; ++i)
        QVERIFY2(!entry(i)->isEnabled(), "file commands must wait for a file");

    // The file opens when the window becomes active, not before.
    QVERIFY(w.fileState().gFileName.isEmpty());
    QVERIFY(f.showActive());
    QCOMPARE(w.windowTitle(), caption);
    QVERIFY2(f.asker().calls.isEmpty(), qPrintable(f.asker().messageTexts().join(" | ")));

    const bool opened = !file.isEmpty();
    for (int i = 1; i <= 7; ++i)
        QCOMPARE(entry(i)->isEnabled(), opened || i <= 2 || i == 7);
    for (const char *key : {"Datei_speichern", "Datei_filtern", "Datei_drucken"})
        QCOMPARE(w.findChild<QAction *>(key)->isEnabled(), opened);
    QCOMPARE(w.findChild<QLabel *>("Panels(1)")->text(),
             opened ? QDir::toNativeSeparators(f.path(file)) : QString());
    QCOMPARE(w.findChild<QLabel *>("Panels(3)")->text(), QStringLiteral("3.4"));
    QCOMPARE(w.historyWindow() != nullptr, opened);
    if (!opened)
        return;
    QVERIFY(QFileInfo::exists(w.fileState().gWorkFile));
    QVERIFY(w.fileState().gWorkFile != f.path(file));

    // Opened once: data read since then must survive the window becoming active again.
    w.fileState().gNewData = true;
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY2(w.fileState().gNewData, "the command-line file was opened a second time");
    QVERIFY(f.asker().calls.isEmpty());
}

void TestStartup::secondInstanceEndsSilently()
{
    ShellFixture f; // no language stored: a first instance would ask
    SingleInstance first(f.lockPath());
    QVERIFY(first.acquire());
    ModalHandler modal([](QWidget *w) { w->close(); });
    QVERIFY(!f.start({f.makeHistoryFile("plant.his")}));
    QCoreApplication::processEvents();
    QVERIFY2(!modal.handled(), "a second instance showed a window");
    QVERIFY(!f.window().isVisible());
    QVERIFY(f.asker().calls.isEmpty());
    QCOMPARE(f.readSetting("Sprache", "Sprache"), QStringLiteral("<absent>"));
    QVERIFY(!QFileInfo::exists(f.path("plant.tmp")));
    f.destroyWindow();
    QVERIFY2(first.isHeld(), "the second instance took the first one's lock away");
}

// The instance lock of a program started with its own settings file is held for the whole
// run; settings must still be written (the language window writes at once).
void TestStartup::instanceLockLeavesSettingsWritable()
{
    ShellFixture f;
    const QString ini = f.path("own.ini");
    const QStringList args{"qvr-history", "--settings", ini};
    SingleInstance lock(SingleInstance::defaultLockPath(args));
    QVERIFY(lock.acquire());
    QVERIFY2(SingleInstance::defaultLockPath(args) != ini + ".lock",
             "the instance lock is the settings file's own write lock");
    auto store = SettingsStore::forProgram(args);
    store->WriteSetting("Sprache", "Sprache", "1");
    QCOMPARE(store->ReadSetting("Sprache", "Sprache", "99"), QStringLiteral("1"));
}

void TestStartup::lockOfOtherProcess_data()
{
    QTest::addColumn<bool>("crash");
    QTest::newRow("other instance running") << false;
    QTest::newRow("lock left behind by a crashed instance") << true;
}

void TestStartup::lockOfOtherProcess()
{
    QFETCH(bool, crash);
    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=0\n");
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {"--hold-lock", f.lockPath()});
    QVERIFY(other.waitForStarted());
    QVERIFY(other.waitForReadyRead(20000));
    QCOMPARE(other.readAll().trimmed(), QByteArray("locked"));
    if (crash) {
        other.kill(); // SIGKILL: the lock file stays behind
        QVERIFY(other.waitForFinished());
        QVERIFY(QFileInfo::exists(f.lockPath()));
    }
    QCOMPARE(f.start(), crash);
    if (!crash) {
        other.kill();
        other.waitForFinished();
    }
}

void TestStartup::unwritableLockDoesNotBlockStart()
{
    // /proc takes no files, whoever runs the test.
    SingleInstance lock(QStringLiteral("/proc/qvr-history-test/qvr.lock"));
    QVERIFY(lock.acquire());
    QVERIFY(!lock.isHeld());
}

int main(int argc, char **argv)
{
    // Child mode for the lock tests: hold the program's lock like a running instance.
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0) {
        QCoreApplication app(argc, argv);
        SingleInstance lock(QString::fromLocal8Bit(argv[2]));
        if (!lock.acquire())
            return 2;
        std::puts("locked");
        std::fflush(stdout);
        QThread::sleep(60);
        return 0;
    }
    QApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
