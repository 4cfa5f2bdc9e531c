#include "core/Folders.h"
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qvr;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void readRules_data();
    void readRules();
    void writeTrimsAndKeepsTheInstallationFile();
    void explicitFileFromArgumentsAndEnvironment();
    void leadingNumber();
    void userFilesFolder_data();
    void userFilesFolder();
};

void TestSettings::readRules_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("def");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *tag, const QString &ini, const QString &section, const QString &name,
                  const QString &def, const QString &expected) {
        QTest::newRow(tag) << ini << section << name << def << expected;
    };
    row("absent gives trimmed default", "", "Sprache", "Sprache", " 99 ", "99");
    row("empty value is empty, not default", "[Sprache]\nSprache=\n", "Sprache", "Sprache", "99",
        "");
    row("names trimmed", "[Schnittstelle]\nBaud=57600\n", "  Schnittstelle ", " Baud  ", "9600",
        "57600");
    row("value with comma stays one text", "[Schnittstelle]\nSettings=\"9600,E,7,1\"\n",
        "Schnittstelle", "Settings", "", "9600,E,7,1");
    row("long value cut to 256", "[Installation]\nCurDir=" + QString(300, 'a') + "\n",
        "Installation", "CurDir", "C:", QString(256, 'a'));
}

void TestSettings::readRules()
{
    QFETCH(QString, ini);
    QFETCH(QString, section);
    QFETCH(QString, name);
    QFETCH(QString, def);
    QTemporaryDir dir;
    const QString path = dir.filePath("s.ini");
    QFile f(path);
    QVERIFY(ini.isEmpty() || (f.open(QIODevice::WriteOnly) && f.write(ini.toUtf8()) > 0));
    f.close();
    SettingsStore store(std::make_unique<IniSettingsBackend>(path));
    QTEST(store.ReadSetting(section, name, def), "expected");
}

// The user's file is written (made with its folders, trimmed); the installation's file
// gives presets and is never written.
void TestSettings::writeTrimsAndKeepsTheInstallationFile()
{
    QTemporaryDir dir;
    QFile sys(dir.filePath("system.ini"));
    QVERIFY(sys.open(QIODevice::WriteOnly));
    sys.write("[Installation]\nCurDir=/opt/qvr-history\n[Schnittstelle]\nCom=4\n");
    sys.close();
    const QString path = dir.filePath("sub/dir/s.ini");
    SettingsStore(std::make_unique<IniSettingsBackend>(path, sys.fileName()))
        .WriteSetting(" Schnittstelle ", " Com ", "  7  ");
    SettingsStore again(std::make_unique<IniSettingsBackend>(path, sys.fileName()));
    QCOMPARE(again.ReadSetting("Schnittstelle", "Com", "2"), QString("7"));
    QCOMPARE(again.ReadSetting("Installation", "CurDir", "C:"), QString("/opt/qvr-history"));
    QVERIFY(sys.open(QIODevice::ReadOnly));
    QVERIFY(sys.readAll().contains("Com=4"));
}

void TestSettings::explicitFileFromArgumentsAndEnvironment()
{
    qputenv("QVR_HISTORY_SETTINGS", "/tmp/from-env.ini");
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog", "--settings", "/tmp/a.ini", "x.his"}),
             QString("/tmp/a.ini"));
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog", "--settings=/tmp/b.ini"}),
             QString("/tmp/b.ini"));
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog", "x.his"}), QString("/tmp/from-env.ini"));
    qunsetenv("QVR_HISTORY_SETTINGS");
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog"}), QString());
}

void TestSettings::leadingNumber()
{
    QCOMPARE(LeadingNumber("12ab"), 12LL);
    QCOMPARE(LeadingNumber("  -57600x"), -57600LL);
    QCOMPARE(LeadingNumber("int."), 0LL);
    const long long huge = LeadingNumber(QString(40, '9')); // stops before overflowing
    QVERIFY(huge > 0 && huge <= (1LL << 50));
}

void TestSettings::userFilesFolder_data()
{
    QTest::addColumn<QString>("curDir"); // below a temporary folder holding "install"
    QTest::addColumn<bool>("itself");
    QTest::newRow("writable folder") << "install" << true;
    QTest::newRow("missing folder") << "C:" << false;
}

// The bus log and a new file's working copy never go where the user may not write.
void TestSettings::userFilesFolder()
{
    QFETCH(QString, curDir);
    QFETCH(bool, itself);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("install"));
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    const QString chosen = UserFilesFolder(dir.filePath(curDir));
    QCOMPARE(chosen, itself ? dir.filePath(curDir) : dir.filePath("data/QVR-History"));
    QVERIFY(QFileInfo(chosen).isDir());
    QCOMPARE(QDir(dir.filePath("install")).entryList(QDir::Files), QStringList()); // no probe left
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
