#include "core/Folders.h"
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace qvr;

namespace {
// The registry key of these tests, under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE alike.
const char *const kTestKey = "SOFTWARE\\QVR-History-Test";
#ifdef Q_OS_WIN
void clearTestKeys()
{
    for (const char *root : {"HKEY_CURRENT_USER\\", "HKEY_LOCAL_MACHINE\\"})
        QSettings(QLatin1String(root) + QLatin1String(kTestKey), QSettings::NativeFormat).clear();
}
#endif
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void readRules_data();
    void readRules();
    void writeTrimsAndReadsBack();
    void fallbackFileGivesPresets_data();
    void fallbackFileGivesPresets();
    void explicitFileFromArgumentsAndEnvironment();
    void leadingNumber_data();
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

    QTest::newRow("absent gives trimmed default") << "" << "Sprache" << "Sprache" << " 99 " << "99";
    QTest::newRow("absent section") << "[Other]\nx=1\n" << "Schnittstelle" << "Com" << "2" << "2";
    QTest::newRow("empty value is empty, not default") << "[Sprache]\nSprache=\n" << "Sprache"
                                                       << "Sprache" << "99" << "";
    QTest::newRow("stored value") << "[Schnittstelle]\nCom=3\n" << "Schnittstelle" << "Com" << "2" << "3";
    QTest::newRow("names trimmed") << "[Schnittstelle]\nBaud=57600\n" << "  Schnittstelle "
                                   << " Baud  " << "9600" << "57600";
    QTest::newRow("value with comma stays one text") << "[Schnittstelle]\nSettings=\"9600,E,7,1\"\n"
                                                     << "Schnittstelle" << "Settings" << ""
                                                     << "9600,E,7,1";
    QTest::newRow("long value cut to 256") << QString("[Installation]\nCurDir=" + QString(300, 'a') + "\n")
                                           << "Installation" << "CurDir" << "C:" << QString(256, 'a');
}

void TestSettings::readRules()
{
    QFETCH(QString, ini);
    QFETCH(QString, section);
    QFETCH(QString, name);
    QFETCH(QString, def);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("s.ini");
    if (!ini.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini.toUtf8());
    }
    SettingsStore store(std::make_unique<IniSettingsBackend>(path));
    QCOMPARE(store.ReadSetting(section, name, def), expected);
#ifdef Q_OS_WIN
    // The registry holding the same values answers alike.
    clearTestKeys();
    const auto cleanUp = qScopeGuard(clearTestKeys);
    RegistrySettingsBackend registry{QLatin1String(kTestKey)};
    const IniSettingsBackend file(path);
    for (const QString &key : QSettings(path, QSettings::IniFormat).allKeys()) {
        QString value;
        QVERIFY(file.read(key.section('/', 0, 0), key.section('/', 1), &value));
        registry.write(key.section('/', 0, 0), key.section('/', 1), value);
    }
    SettingsStore fromRegistry(std::make_unique<RegistrySettingsBackend>(QLatin1String(kTestKey)));
    QCOMPARE(fromRegistry.ReadSetting(section, name, def), expected);
#endif
}

void TestSettings::writeTrimsAndReadsBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/dir/s.ini");
    {
        SettingsStore store(std::make_unique<IniSettingsBackend>(path));
        store.WriteSetting(" Schnittstelle ", " Device3 ", "  /dev/ttyUSB0  ");
        store.WriteSetting("Sprache", "Sprache", "");
    }
    SettingsStore again(std::make_unique<IniSettingsBackend>(path));
    QCOMPARE(again.ReadSetting("Schnittstelle", "Device3", ""), QString("/dev/ttyUSB0"));
    QCOMPARE(again.ReadSetting("Sprache", "Sprache", "99"), QString(""));
    // The file is one a person can write by hand: sections and plain keys.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.contains("[Schnittstelle]"));
    QVERIFY(text.contains("Device3=/dev/ttyUSB0"));
}

void TestSettings::fallbackFileGivesPresets_data()
{
    QTest::addColumn<bool>("registry");
    QTest::newRow("user's file, then the system's") << false;
#ifdef Q_OS_WIN
    QTest::newRow("HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE") << true;
#endif
}

void TestSettings::fallbackFileGivesPresets()
{
    QFETCH(bool, registry);
    QTemporaryDir dir;
#ifdef Q_OS_WIN
    clearTestKeys();
    const auto cleanUp = qScopeGuard(clearTestKeys);
#endif
    // The installation's presets: a second file, or the machine-wide registry.
    const QString place = registry ? QLatin1String("HKEY_LOCAL_MACHINE\\") + QLatin1String(kTestKey)
                                   : dir.filePath("system.ini");
    QSettings presets(place, registry ? QSettings::NativeFormat : QSettings::IniFormat);
    std::unique_ptr<SettingsBackend> backend =
        std::make_unique<IniSettingsBackend>(dir.filePath("user.ini"), place);
#ifdef Q_OS_WIN
    if (registry)
        backend = std::make_unique<RegistrySettingsBackend>(QLatin1String(kTestKey));
#endif
    presets.setValue("Installation/CurDir", "/opt/qvr-history");
    presets.setValue("Schnittstelle/Com", "4");
    presets.sync();
    if (presets.status() != QSettings::NoError)
        QSKIP("presetting machine-wide values needs administrator rights");
    SettingsStore store(std::move(backend));
    QCOMPARE(store.ReadSetting("Installation", "CurDir", "C:"), QString("/opt/qvr-history"));
    store.WriteSetting("Schnittstelle", "Com", "7");
    QCOMPARE(store.ReadSetting("Schnittstelle", "Com", "2"), QString("7"));
    // The installation's presets are never written.
    presets.sync();
    QCOMPARE(presets.value("Schnittstelle/Com").toString(), QString("4"));
}

void TestSettings::explicitFileFromArgumentsAndEnvironment()
{
    qputenv("QVR_HISTORY_SETTINGS", "/tmp/from-env.ini");
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog", "--settings", "/tmp/a.ini", "x.his"}),
             QString("/tmp/a.ini"));
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog", "--settings=/tmp/b.ini"}), QString("/tmp/b.ini"));
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog", "x.his"}), QString("/tmp/from-env.ini"));
    qunsetenv("QVR_HISTORY_SETTINGS");
    QCOMPARE(SettingsStore::explicitSettingsFile({"prog"}), QString());
}

void TestSettings::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qlonglong>("value");
    QTest::newRow("plain") << "2" << 2LL;
    QTest::newRow("empty") << "" << 0LL;
    QTest::newRow("trailing letters") << "12ab" << 12LL;
    QTest::newRow("leading blanks") << "  57600" << 57600LL;
    QTest::newRow("negative") << "-3" << -3LL;
    QTest::newRow("letters first") << "int." << 0LL;
    QTest::newRow("huge does not overflow") << QString(40, '9') << LeadingNumber(QString(40, '9'));
}

void TestSettings::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(qlonglong, value);
    QCOMPARE(LeadingNumber(text), value);
    QVERIFY(LeadingNumber(text) >= -(1LL << 50) && LeadingNumber(text) <= (1LL << 50));
}

void TestSettings::userFilesFolder_data()
{
    QTest::addColumn<QString>("curDir"); // below a temporary folder holding "install"
    QTest::addColumn<bool>("itself");
    QTest::newRow("writable folder") << "install" << true;
    QTest::newRow("missing folder") << "missing" << false;
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
    const QString own =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/QVR-History";
    QCOMPARE(chosen, itself ? dir.filePath(curDir) : own);
    QVERIFY(QFileInfo(chosen).isDir());
    QCOMPARE(QDir(dir.filePath("install")).entryList(QDir::Files), QStringList()); // no probe left
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
