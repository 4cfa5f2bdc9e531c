// Start-up of the main window: language on the first start, the command-line file, the
// single instance.
#include "shell_helper.h"

#include "core/SettingsStore.h"
#include "shell/SingleInstance.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTest>

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
    void instanceLockNeverBlocks();
};

void TestStartup::languageAtStart_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("press");  // "-": not asked; "": closed by Escape
    QTest::addColumn<QString>("shown");  // the option shown selected when asked
    QTest::addColumn<QString>("stored"); // then
    QTest::addColumn<QString>("fileMenu");

    auto row = [](const char *name, const QString &ini, const QString &press, const QString &shown,
                  const QString &stored, const QString &menu) {
        QTest::newRow(name) << ini << press << shown << stored << menu;
    };
    row("first start, German chosen", "", "Sprache0", "Sprache1", "0", "&Datei");
    row("first start, closed: English", "", "", "Sprache1", "1", "&File");
    row("stored empty means German", "[Sprache]\nSprache=\n", "-", "", "", "&Datei");
    row("unknown value asked again", "[Sprache]\nSprache=7\n", "Sprache1", "none", "1", "&File");
}

void TestStartup::languageAtStart()
{
    QFETCH(QString, ini);
    QFETCH(QString, press);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    QFETCH(QString, fileMenu);

    ShellFixture f(ini);
    QString selected;
    ModalHandler modal([&](QWidget *w) {
        auto *s0 = w->findChild<QRadioButton *>("Sprache0");
        auto *s1 = w->findChild<QRadioButton *>("Sprache1");
        selected = s0->isChecked() ? "Sprache0" : s1->isChecked() ? "Sprache1" : "none";
        selected += ' ' + s0->text() + '/' + s1->text();
        if (press.isEmpty())
            QTest::keyClick(w, Qt::Key_Escape);
        else
            QTest::mouseClick(w->findChild<QRadioButton *>(press), Qt::LeftButton);
    });
    QVERIFY(f.start());
    QCOMPARE(modal.handled(), press != "-");
    // Asked before anything else, in English.
    if (modal.handled())
        QCOMPARE(modal.title() + ' ' + selected, "Set language " + shown + " German/English");
    QCOMPARE(f.readSetting("Sprache", "Sprache"), stored);
    QCOMPARE(f.window().findChild<QMenu *>("dateimenu")->title(), fileMenu);
}

void TestStartup::commandLineFile_data()
{
    QTest::addColumn<QStringList>("arguments"); // %DIR% stands for the fixture's folder
    QTest::addColumn<QString>("file");          // the history file created beforehand, or ""

    QTest::newRow("path in double quotes")
        << QStringList{"\"%DIR%/old site.his\""} << "old site.his";
    QTest::newRow("unquoted path split by the shell")
        << QStringList{"%DIR%/old", "site.his"} << "old site.his";
    QTest::newRow("missing file ignored") << QStringList{"%DIR%/gone.his"} << "";
}

void TestStartup::commandLineFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);

    ShellFixture f;
    if (!file.isEmpty())
        f.makeHistoryFile(file);
    for (QString &a : arguments)
        a.replace("%DIR%", f.dir());
    QVERIFY(f.start(arguments));
    frm_Hauptfenster &w = f.window();
    auto enabled = [&w] {
        QString out;
        for (int i = 1; i <= 7; ++i)
            out += w.findChild<QAction *>(QStringLiteral("Datei_menu(%1)").arg(i))->isEnabled()
                       ? '1'
                       : '0';
        for (const char *key : {"Datei_speichern", "Datei_filtern", "Datei_drucken"})
            out += w.findChild<QAction *>(key)->isEnabled() ? '1' : '0';
        return out;
    };
    // The file opens when the window becomes active, not before.
    QCOMPARE(enabled(), QString("1100001000"));
    QVERIFY(f.showActive());
    const bool opened = !file.isEmpty();
    QCOMPARE(enabled(), QString(opened ? "1111111111" : "1100001000"));
    QCOMPARE(w.windowTitle(), opened ? "QVR-HISTORY   [" + file + "]" : "QVR-HISTORY");
    QCOMPARE(w.findChild<QLabel *>("Panels(1)")->text(),
             opened ? QDir::toNativeSeparators(f.path(file)) : QString());
    QVERIFY(f.asker().calls.isEmpty());
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
}

void TestStartup::secondInstanceEndsSilently()
{
    ShellFixture f(""); // no language stored: a first instance would ask
    SingleInstance first(f.lockPath());
    QVERIFY(first.acquire());
    ModalHandler modal([](QWidget *w) { w->close(); });
    QVERIFY(!f.start({f.makeHistoryFile("plant.his")}));
    QCoreApplication::processEvents();
    QVERIFY2(!modal.handled(), "a second instance showed a window");
    QCOMPARE(f.readSetting("Sprache", "Sprache"), QStringLiteral("<absent>"));
    QVERIFY(!QFileInfo::exists(f.path("plant.tmp")));
    f.destroyWindow();
    QVERIFY2(first.isHeld(), "the second instance took the first one's lock away");
}

// The instance lock of a program started with its own settings file is held for the whole
// run; settings must still be written (the language window writes at once). A lock that
// cannot be written (/proc takes no files, whoever runs the test) never blocks the start.
void TestStartup::instanceLockNeverBlocks()
{
    ShellFixture f;
    const QStringList args{"qvr-history", "--settings", f.path("own.ini")};
    SingleInstance lock(SingleInstance::defaultLockPath(args));
    QVERIFY(lock.acquire());
    auto store = SettingsStore::forProgram(args);
    store->WriteSetting("Sprache", "Sprache", "1");
    QCOMPARE(store->ReadSetting("Sprache", "Sprache", "99"), QStringLiteral("1"));
    SingleInstance unwritable(QStringLiteral("/proc/qvr-history-test/qvr.lock"));
    QVERIFY(unwritable.acquire() && !unwritable.isHeld());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
