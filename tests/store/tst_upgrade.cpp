// Opening history files written in older layouts: each layout is built here as those
// programs left it, with events in it, and opened through the file operations.

#include "store_helper.h"

#include "store/HistorySchema.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qvr;
using namespace qvr::storetest;

namespace {

// Fields of the layout before LumoHistory existed, in their order.
const QStringList kOldest = {
    "TableauAdresse", "ParameterNummer", "Start_Datum", "Start_Datum_Sort", "Start_Datum_Filter",
    "Start_Uhrzeit_Filter", "Quittiert_JN", "Quittiert_Datum", "Quittiert_Datum_Sort",
    "Quittiert_Datum_Filter", "Quittiert_Uhrzeit_Filter", "Stop_JN", "Stop_Datum", "Stop_Datum_Sort",
    "Stop_Datum_Filter", "Stop_Uhrzeit_Filter", "Test_JN", "Kanal", "GeraeteAdresse1",
    "GeraeteAdresse2", "Eingang", "Betriebsart1", "Betriebsart2", "Summer", "Relais_a",
    "Relais_a_Betriebsart1", "Relais_b", "Relais_b_Betriebsart1", "Relais_c", "Relais_c_Betriebsart1",
    "Meldeleuchte", "Tastenfeld", "Text", "Messwert", "Datum_Uhrzeit", "Alarmadresse", "Text1",
    "Text2", "Text3", "Text4", "Text5", "Text6"};
const QStringList kEib = {"EIBEingang", "EIBAusgang", "Summerwiederholung"};
const QStringList kAnalog = {"AnalogWertMin", "AnalogWertMax"};
const QStringList kSeventeen = {"lfd_Nummer_data", "Datenquelle", "Systemnummer", "AdresseExt",
                                "AdresseInt", "Kanalnummer", "MinText", "MinWert", "MaxText",
                                "MaxWert", "geraetetyp"};

QString declaration(const QString &field)
{
    // As an earlier build of this program added it: refusing the empty text.
    if (field == QLatin1String("geraetetyp"))
        return FieldDef(field, FieldType::Text, 10).columnSql();
    static const QStringList texts = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6",
                                      "AnalogWertMin", "AnalogWertMax", "MinText", "MaxText",
                                      "geraetetyp", "Gerätetyp"};
    return QLatin1Char('"') + field + (texts.contains(field) ? "\" TEXT" : "\" INTEGER DEFAULT 0");
}

// The fields of HISTORY and TEMP in a layout, as files of that layout have them.
QStringList fieldsOf(const QString &layout)
{
    if (layout == QLatin1String("none"))
        return kOldest;
    if (layout == QLatin1String("1.05"))
        return kOldest + kEib;
    if (layout == QLatin1String("1.62") || layout == QLatin1String("1.63") || layout == QLatin1String("1.64"))
        return kOldest + kEib + kAnalog;
    if (layout == QLatin1String("1.7"))
        return kOldest + kEib + kAnalog + kSeventeen;
    // 1.00: every field of today, the device type under its German name.
    QStringList all = kOldest + kEib + kAnalog + kSeventeen;
    all.replace(all.indexOf(QStringLiteral("geraetetyp")), QStringLiteral("Gerätetyp"));
    return all;
}

// Four events whose device addresses exercise the address rules: (GeraeteAdresse1,
// GeraeteAdresse2, Eingang, Meldeleuchte).
const int kEvents[4][4] = {{5, 0, 0, 1}, {5, 3, 1, 2}, {5, 2, 0, 0}, {7, -1, 2, 0}};

void makeOldFile(const QString &path, const QString &layout)
{
    QString sql;
    if (layout == QLatin1String("2.00") || layout == QLatin1String("3.02")) {
        StoreState s;
        QVERIFY(HistorySchema::CreateHistoryDatabase(s, path));
        s.closeDatabase();
        sql += QStringLiteral("UPDATE LumoHistory SET Version = '%1', Geraet = 'PV';").arg(layout);
    } else {
        QStringList columns;
        for (const QString &f : fieldsOf(layout))
            columns << declaration(f);
        for (const char *table : {"HISTORY", "TEMP"})
            sql += QStringLiteral("CREATE TABLE %1 (%2);").arg(QLatin1String(table), columns.join(QStringLiteral(", ")));
        if (layout == QLatin1String("1.00"))
            sql += QStringLiteral("CREATE TABLE LumoHistory (Version TEXT); INSERT INTO LumoHistory VALUES ('1.00');");
        else if (layout != QLatin1String("none"))
            sql += QStringLiteral("CREATE TABLE LumoHistory (Version TEXT, Meldetextsprache INTEGER, Geraet TEXT);"
                                  "INSERT INTO LumoHistory VALUES ('%1', 2, 'PV');").arg(layout);
    }
    for (const char *table : {"HISTORY", "TEMP"}) {
        for (const auto &e : kEvents) {
            sql += QStringLiteral("INSERT INTO %1 (TableauAdresse, GeraeteAdresse1, GeraeteAdresse2, Eingang, "
                                  "Meldeleuchte, Text1) VALUES (3, %2, %3, %4, %5, 'Brand Halle 2');")
                       .arg(QLatin1String(table)).arg(e[0]).arg(e[1]).arg(e[2]).arg(e[3]);
        }
    }
    QVERIFY2(execOn(path, sql), qPrintable(sql));
}

QString column(const QString &path, const QString &sql)
{
    return query(path, sql).join(QLatin1Char(','));
}

QStringList fieldNames(const QString &path, const char *table)
{
    return query(path, QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(QLatin1String(table)));
}

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void upgrade_data();
    void upgrade();
    void failedUpgradeChangesNothing_data();
    void failedUpgradeChangesNothing();
};

void TestUpgrade::upgrade_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("lumo");           // Meldetextsprache|Geraet afterwards
    QTest::addColumn<QString>("address1");       // GeraeteAdresse1 of the HISTORY events
    QTest::addColumn<QString>("address2");       // GeraeteAdresse2 of the HISTORY events
    QTest::addColumn<QStringList>("appended");   // fields appended at the end of both tables
    QTest::addColumn<bool>("blanks");            // MinText, MaxText, geraetetyp got " "
    QTest::addColumn<bool>("analogEmpty");       // AnalogWertMin/-Max got the empty text

    const QString unchanged1 = "5,5,5,7", unchanged2 = "0,3,2,-1";
    const QString raised1 = "6,5,0,0", raised2 = "0,4,3,-1";
    QTest::newRow("no LumoHistory") << "none" << "1.7" << "0|<null>" << raised1 << raised2
                                    << kEib + kAnalog + kSeventeen << true << true;
    QTest::newRow("1.05") << "1.05" << "1.7" << "2|PV" << raised1 << raised2 << kAnalog + kSeventeen
                          << true << true;
    QTest::newRow("1.62") << "1.62" << "1.7" << "2|PV" << raised1 << raised2 << kSeventeen << true << false;
    QTest::newRow("1.63") << "1.63" << "1.7" << "2|PV" << raised1 << unchanged2 << kSeventeen << true << false;
    QTest::newRow("1.64") << "1.64" << "1.7" << "2|PV" << unchanged1 << unchanged2 << kSeventeen << true << false;
    QTest::newRow("1.7 kept") << "1.7" << "1.7" << "2|PV" << unchanged1 << unchanged2 << QStringList() << false << false;
    QTest::newRow("1.00") << "1.00" << "3.02" << "0|" << unchanged1 << unchanged2 << QStringList() << false << false;
    QTest::newRow("2.00 kept") << "2.00" << "2.00" << "0|PV" << unchanged1 << unchanged2 << QStringList() << false << false;
    QTest::newRow("3.02 kept") << "3.02" << "3.02" << "0|PV" << unchanged1 << unchanged2 << QStringList() << false << false;
}

void TestUpgrade::upgrade()
{
    QFETCH(QString, layout);
    QFETCH(QString, version);
    QFETCH(QString, lumo);
    QFETCH(QString, address1);
    QFETCH(QString, address2);
    QFETCH(QStringList, appended);
    QFETCH(bool, blanks);
    QFETCH(bool, analogEmpty);

    QTemporaryDir dir;
    const QString his = dir.filePath(QStringLiteral("old.his"));
    makeOldFile(his, layout);
    const QByteArray before = fileHash(his);
    QStringList fieldsBefore = fieldNames(his, "HISTORY");

    FileFixture f(dir.path());
    QString path = his;
    QVERIFY(f.ops.OpenHistoryFile(path));
    QVERIFY(f.messages().isEmpty());
    QCOMPARE(fileHash(his), before);
    const QString work = f.file.gWorkFile;

    QCOMPARE(column(work, QStringLiteral("SELECT Version FROM LumoHistory")), version);
    QCOMPARE(column(work, QStringLiteral("SELECT Meldetextsprache || '|' || ifnull(Geraet, '<null>') FROM LumoHistory")),
             lumo);
    QCOMPARE(column(work, QStringLiteral("SELECT count(*) FROM LumoHistory")), QStringLiteral("1"));

    // The address rules touch HISTORY only.
    QCOMPARE(column(work, QStringLiteral("SELECT GeraeteAdresse1 FROM HISTORY ORDER BY rowid")), address1);
    QCOMPARE(column(work, QStringLiteral("SELECT GeraeteAdresse2 FROM HISTORY ORDER BY rowid")), address2);
    QCOMPARE(column(work, QStringLiteral("SELECT GeraeteAdresse1 FROM TEMP ORDER BY rowid")), QStringLiteral("5,5,5,7"));
    QCOMPARE(column(work, QStringLiteral("SELECT GeraeteAdresse2 FROM TEMP ORDER BY rowid")), QStringLiteral("0,3,2,-1"));

    if (layout == QLatin1String("1.00"))
        fieldsBefore.replace(fieldsBefore.indexOf(QStringLiteral("Gerätetyp")), QStringLiteral("Geraetetyp"));
    for (const char *table : {"HISTORY", "TEMP"}) {
        QCOMPARE(fieldNames(work, table), fieldsBefore + appended);
        const QString t = QLatin1String(table);
        const QString blank = blanks ? QStringLiteral("1") : QStringLiteral("0");
        QCOMPARE(column(work, QStringLiteral("SELECT count(*) = 4 FROM %1 WHERE MinText = ' ' AND MaxText = ' ' "
                                             "AND geraetetyp = ' ' AND MinWert = 0 AND MaxWert = 0 "
                                             "AND lfd_Nummer_data = 0 AND Kanalnummer = 0").arg(t)),
                 blank);
        QCOMPARE(column(work, QStringLiteral("SELECT count(*) = 4 FROM %1 WHERE AnalogWertMin = '' "
                                             "AND AnalogWertMax = ''").arg(t)),
                 analogEmpty ? QStringLiteral("1") : QStringLiteral("0"));
        // Events survive with their texts, and the EIB fields are numbers everywhere.
        QCOMPARE(column(work, QStringLiteral("SELECT count(*) FROM %1 WHERE Text1 = 'Brand Halle 2' "
                                             "AND EIBEingang + EIBAusgang + Summerwiederholung = 0").arg(t)),
                 QStringLiteral("4"));
    }

    // Fields the upgrade added are defined as in a new file, and the device type takes the
    // empty text the ZL decoder writes, also where an earlier build made the field.
    QVERIFY(f.store.gDatabase);
    const TableDef fresh = HistorySchema::eventTable(QStringLiteral("HISTORY"));
    for (const char *table : {"HISTORY", "TEMP"}) {
        const std::optional<TableDef> def = f.store.gDatabase->tableDef(QLatin1String(table));
        QVERIFY(def);
        for (const QString &name : appended)
            QCOMPARE(def->fields().at(def->indexOf(name)).columnSql(),
                     fresh.fields().at(fresh.indexOf(name)).columnSql());
        QVERIFY(f.store.gDatabase->execute(
            QStringLiteral("UPDATE %1 SET geraetetyp = ''").arg(QLatin1String(table))));
    }

    // Opening the upgraded file again changes nothing more.
    f.file.gNewData = true;
    QVERIFY(f.ops.SaveHistoryFile());
    QString again = his;
    QVERIFY(f.ops.OpenHistoryFile(again));
    QCOMPARE(column(f.file.gWorkFile, QStringLiteral("SELECT Version FROM LumoHistory")), version);
    QCOMPARE(column(f.file.gWorkFile, QStringLiteral("SELECT GeraeteAdresse1 FROM HISTORY ORDER BY rowid")), address1);
    QCOMPARE(column(f.file.gWorkFile, QStringLiteral("SELECT GeraeteAdresse2 FROM HISTORY ORDER BY rowid")), address2);
    f.ops.CloseHistoryFile();
}

void TestUpgrade::failedUpgradeChangesNothing_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("message");
    QTest::newRow("1.05 whose TEMP has the analogue fields already")
        << "1.05" << "ALTER TABLE TEMP ADD COLUMN AnalogWertMax TEXT" << "could not be upgraded";
    QTest::newRow("1.62 without the second device address")
        << "1.62" << "ALTER TABLE HISTORY DROP COLUMN GeraeteAdresse2" << "could not be upgraded";
    QTest::newRow("LumoHistory without its row") << "1.64" << "DELETE FROM LumoHistory" << "could not be upgraded";
    QTest::newRow("3.02 with a field missing") << "3.02" << "ALTER TABLE TEMP DROP COLUMN Text6"
                                               << "not a history file";
}

void TestUpgrade::failedUpgradeChangesNothing()
{
    QFETCH(QString, layout);
    QFETCH(QString, damage);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString current = dir.filePath(QStringLiteral("current.his"));
    makeOldFile(current, QStringLiteral("3.02"));
    const QString old = dir.filePath(QStringLiteral("old.his"));
    makeOldFile(old, layout);
    QVERIFY(execOn(old, damage));
    const QByteArray before = fileHash(old);

    FileFixture f(dir.path());
    QString path = current;
    QVERIFY(f.ops.OpenHistoryFile(path));
    path = old;
    QVERIFY(!f.ops.OpenHistoryFile(path));
    QVERIFY(f.file.gFileCancelled);
    QCOMPARE(f.messages().size(), 1);
    QVERIFY2(f.messages().first().contains(message), qPrintable(f.messages().first()));
    QCOMPARE(fileHash(old), before);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("old.tmp"))));
    // The file that was open stays open.
    QCOMPARE(f.file.gFileName, current);
    QVERIFY(f.store.gDatabase && f.store.gDatabase->isOpen());
    QCOMPARE(column(f.file.gWorkFile, QStringLiteral("SELECT count(*) FROM HISTORY")), QStringLiteral("4"));
    f.ops.CloseHistoryFile();
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
