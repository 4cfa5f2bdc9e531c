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
    void leadingNumber();
    void userFilesFolder_data();
    void userFilesFolder();
};

void TestSettings::readRules_data()
{
    QTest::addColumn<QString>("ini");     // the user's file
    QTest::addColumn<QString>("presets"); // the installation's file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("def");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *tag, const QString &ini, const char *presets, const char *section,
                  const char *name, const char *def, const QString &expected) {
        QTest::newRow(tag) << ini << QString(presets) << QString(section) << QString(name)
                           << QString(def) << expected;
    };
    row("absent gives trimmed default", "", "", "Sprache", "Sprache", " 99 ", "99");
    row("empty value is empty, not default", "[Sprache]\nSprache=\n", "[Sprache]\nSprache=1\n",
        "Sprache", "Sprache", "99", "");
    row("value with comma stays one text", "[Schnittstelle]\nSettings=\"9600,E,7,1\"\n", "",
        "Schnittstelle", "Settings", "", "9600,E,7,1");
    row("long value cut to 256", "[Installation]\nCurDir=" + QString(300, 'a') + "\n", "",
        "Installation", "CurDir", "C:", QString(256, 'a'));
    row("preset where the user has none", "", "[Installation]\nCurDir=/opt/qvr-history\n",
        "Installation", "CurDir", "C:", "/opt/qvr-history");
    row("user's value before the preset, names trimmed", "[Schnittstelle]\nCom=7\n",
        "[Schnittstelle]\nCom=4\n", "  Schnittstelle ", " Com  ", "2", "7");
}

void TestSettings::readRules()
{
    QFETCH(QString, ini);
    QFETCH(QString, presets);
    QFETCH(QString, section);
    QFETCH(QString, name);
    QFETCH(QString, def);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString user = dir.filePath("user.ini");
    const QString system = dir.filePath("system.ini");
    for (const auto &[path, text] : {std::pair{user, ini}, std::pair{system, presets}}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    SettingsStore store(std::make_unique<IniSettingsBackend>(user, system));
    QCOMPARE(store.ReadSetting(section, name, def), expected);
#ifdef Q_OS_WIN
    // The same values in the registry, the presets machine-wide, answer alike.
    clearTestKeys();
    const auto cleanUp = qScopeGuard(clearTestKeys);
    for (const QString &path : {user, system}) {
        QSettings to(QLatin1String(path == user ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") +
                         QLatin1String(kTestKey),
                     QSettings::NativeFormat);
        for (const QString &key : QSettings(path, QSettings::IniFormat).allKeys()) {
            QString value;
            QVERIFY(
                IniSettingsBackend(path).read(key.section('/', 0, 0), key.section('/', 1), &value));
            to.setValue(key, value);
        }
        to.sync();
        if (to.status() != QSettings::NoError)
            QSKIP("presetting machine-wide values needs administrator rights");
    }
    SettingsStore fromRegistry(std::make_unique<RegistrySettingsBackend>(QLatin1String(kTestKey)));
    QCOMPARE(fromRegistry.ReadSetting(section, name, def), expected);
#endif
}

// Digits after an optional sign, letters after them ignored; forty nines do not overflow.
void TestSettings::leadingNumber()
{
    QCOMPARE(LeadingNumber("12ab"), 12LL);
    QCOMPARE(LeadingNumber("-3"), -3LL);
    const qlonglong huge = LeadingNumber(QString(40, '9'));
    QVERIFY(huge >= -(1LL << 50) && huge <= (1LL << 50));
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
