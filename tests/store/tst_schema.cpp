// The layout of a new history file as it lies on disk, and the value rules the file itself
// enforces, also for a plain SQLite connection that knows nothing of this program.

#include "store_helper.h"

using namespace qvr;
using namespace qvr::storetest;

class tst_Schema : public QObject
{
    Q_OBJECT

private slots:
    void newFileLayout_data();
    void newFileLayout();
    void refusedAndAcceptedValues_data();
    void refusedAndAcceptedValues();
    void plainSqliteKeepsTheRules_data();
    void plainSqliteKeepsTheRules();
    void openTableNamesAndEmptyHistory();
    void createRefusesExistingFile();
};

// Each field of HISTORY/TEMP in table order: name, declared type, default ("" = none).
static const char *const kEventFields[][3] = {
    {"lfd_Nummer_data", "SMALLINT", "0"}, {"Datenquelle", "SMALLINT", "0"},
    {"TableauAdresse", "SMALLINT", "0"}, {"ParameterNummer", "SMALLINT", "0"},
    {"Systemnummer", "SMALLINT", "0"}, {"AdresseExt", "SMALLINT", "0"},
    {"AdresseInt", "SMALLINT", "0"}, {"Kanalnummer", "SMALLINT", "0"},
    {"Start_Datum", "DATETIME REAL", "0.0"}, {"Start_Datum_Sort", "DOUBLE", "0"},
    {"Start_Datum_Filter", "DATETIME REAL", "0.0"}, {"Start_Uhrzeit_Filter", "DATETIME REAL", "0.0"},
    {"Quittiert_JN", "SMALLINT", "0"}, {"Quittiert_Datum", "DATETIME REAL", "0.0"},
    {"Quittiert_Datum_Sort", "DOUBLE", "0"}, {"Quittiert_Datum_Filter", "DATETIME REAL", "0.0"},
    {"Quittiert_Uhrzeit_Filter", "DATETIME REAL", "0.0"}, {"Stop_JN", "SMALLINT", "0"},
    {"Stop_Datum", "DATETIME REAL", "0.0"}, {"Stop_Datum_Sort", "DOUBLE", "0"},
    {"Stop_Datum_Filter", "DATETIME REAL", "0.0"}, {"Stop_Uhrzeit_Filter", "DATETIME REAL", "0.0"},
    {"Test_JN", "SMALLINT", "0"}, {"MinText", "VARCHAR(4)", ""}, {"MinWert", "SMALLINT", "0"},
    {"MaxText", "VARCHAR(4)", ""}, {"MaxWert", "SMALLINT", "0"}, {"geraetetyp", "VARCHAR(10)", ""},
    {"Kanal", "SMALLINT", "0"}, {"GeraeteAdresse1", "SMALLINT", "0"}, {"GeraeteAdresse2", "SMALLINT", "0"},
    {"Eingang", "SMALLINT", "0"}, {"Betriebsart1", "SMALLINT", "0"}, {"Betriebsart2", "SMALLINT", "0"},
    {"Summer", "SMALLINT", "0"}, {"Relais_a", "SMALLINT", "0"}, {"Relais_a_Betriebsart1", "SMALLINT", "0"},
    {"Relais_b", "SMALLINT", "0"}, {"Relais_b_Betriebsart1", "SMALLINT", "0"}, {"Relais_c", "SMALLINT", "0"},
    {"Relais_c_Betriebsart1", "SMALLINT", "0"}, {"Meldeleuchte", "SMALLINT", "0"},
    {"Tastenfeld", "SMALLINT", "0"}, {"Text", "SMALLINT", "0"}, {"Messwert", "SMALLINT", "0"},
    {"Datum_Uhrzeit", "SMALLINT", "0"}, {"Alarmadresse", "SMALLINT", "0"},
    {"Text1", "VARCHAR(20)", ""}, {"Text2", "VARCHAR(20)", ""}, {"Text3", "VARCHAR(20)", ""},
    {"Text4", "VARCHAR(20)", ""}, {"Text5", "VARCHAR(20)", ""}, {"Text6", "VARCHAR(20)", ""},
    {"EIBEingang", "TINYINT", "0"}, {"EIBAusgang", "TINYINT", "0"}, {"Summerwiederholung", "TINYINT", "0"},
    {"AnalogWertMin", "VARCHAR(20)", ""}, {"AnalogWertMax", "VARCHAR(20)", ""}};

// A table's fields as "name type default", read without the program.
static QStringList tableInfo(const QString &path, const QString &table)
{
    return query(path, "SELECT name || ' ' || type || ' ' || ifnull(dflt_value, '') FROM pragma_table_info('" +
                           table + "')");
}

void tst_Schema::newFileLayout_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("HISTORY") << "HISTORY";
    QTest::newRow("TEMP") << "TEMP";
}

void tst_Schema::newFileLayout()
{
    QFETCH(QString, table);
    HistoryFileFixture f;
    QVERIFY(f.create());
    QCOMPARE(f.store.gDatabase->tableNames(), (QStringList{"HISTORY", "TEMP", "LumoHistory"}));

    QStringList expected;
    for (const auto &field : kEventFields)
        expected << QStringLiteral("%1 %2 %3").arg(field[0], field[1], field[2]);
    QCOMPARE(tableInfo(f.path, table), expected);
    QCOMPARE(tableInfo(f.path, "LumoHistory"),
             (QStringList{"Version VARCHAR(20) '0.00'", "Meldetextsprache TINYINT 0", "Geraet VARCHAR(20) 'ZL'"}));
    QCOMPARE(query(f.path, "SELECT Version || Meldetextsprache || Geraet || count(*) FROM LumoHistory"),
             QStringList{"3.020ZL1"});
}

void tst_Schema::refusedAndAcceptedValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVariant>("readBack");

    QTest::newRow("16-bit lowest") << "TableauAdresse" << QVariant(-32768) << true << QVariant(-32768);
    QTest::newRow("16-bit highest") << "Kanal" << QVariant(32767) << true << QVariant(32767);
    QTest::newRow("16-bit overflow") << "Kanal" << QVariant(32768) << false << QVariant();
    QTest::newRow("16-bit underflow") << "ParameterNummer" << QVariant(-32769) << false << QVariant();
    QTest::newRow("16-bit from a fraction") << "Kanal" << QVariant(1.5) << false << QVariant();
    QTest::newRow("16-bit from digits") << "Kanal" << QVariant("12") << true << QVariant(12);
    QTest::newRow("8-bit highest") << "EIBEingang" << QVariant(255) << true << QVariant(255);
    QTest::newRow("8-bit overflow") << "EIBAusgang" << QVariant(256) << false << QVariant();
    QTest::newRow("8-bit negative") << "Summerwiederholung" << QVariant(-1) << false << QVariant();
    QTest::newRow("empty MinText") << "MinText" << QVariant("") << false << QVariant();
    QTest::newRow("blank MinText") << "MinText" << QVariant(" ") << true << QVariant(" ");
    QTest::newRow("MinText too long") << "MinText" << QVariant("12345") << false << QVariant();
    QTest::newRow("empty Text1") << "Text1" << QVariant("") << true << QVariant("");
    QTest::newRow("Text1 20 umlauts") << "Text1" << QVariant(QString(20, QChar(0xE4))) << true
                                      << QVariant(QString(20, QChar(0xE4)));
    QTest::newRow("Text1 21 characters") << "Text1" << QVariant(QString(21, 'x')) << false << QVariant();
    QTest::newRow("number into a text") << "AnalogWertMin" << QVariant(5) << true << QVariant("5");
    QTest::newRow("date-time round trip") << "Stop_Datum" << QVariant(at(2026, 12, 5, 14, 3, 9)) << true
                                          << QVariant(at(2026, 12, 5, 14, 3, 9));
    QTest::newRow("date-time year 10000") << "Stop_Datum" << QVariant(at(9999, 12, 31).addDays(1)) << false << QVariant();
}

void tst_Schema::refusedAndAcceptedValues()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);
    QFETCH(QVariant, readBack);

    HistoryFileFixture f;
    QVERIFY(f.create());
    QString error;
    std::unique_ptr<Recordset> rs = f.store.gDatabase->openRecordset("Select * From HISTORY", &error);
    QVERIFY(rs);
    QVERIFY(rs->addNew());
    QVERIFY(rs->setField(field, value));
    QCOMPARE(rs->update(), accepted);
    if (!accepted) {
        QVERIFY(!rs->lastError().isEmpty());
        QCOMPARE(f.rows("HISTORY").size(), 0);  // nothing cut, nothing stored
        return;
    }
    const QList<Values> rows = f.rows("HISTORY");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).value(field), readBack);
}

void tst_Schema::plainSqliteKeepsTheRules_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty MinText") << "INSERT INTO HISTORY (MinText) VALUES ('')" << false;
    QTest::newRow("16-bit overflow") << "INSERT INTO HISTORY (TableauAdresse) VALUES (40000)" << false;
    QTest::newRow("text too long") << "INSERT INTO TEMP (Text3) VALUES ('123456789012345678901')" << false;
    QTest::newRow("version empty") << "UPDATE LumoHistory SET Version=''" << false;
    QTest::newRow("plain event") << "INSERT INTO HISTORY (TableauAdresse, Text1) VALUES (3, 'Ölstand')" << true;
    QTest::newRow("query") << "SELECT count(*) FROM HISTORY WHERE Text1 LIKE '%a%' ORDER BY Start_Datum" << true;
}

// A history file must open and keep its rules in any SQLite tool: a connection without
// this program's collation or functions.
void tst_Schema::plainSqliteKeepsTheRules()
{
    QFETCH(QString, sql);
    QFETCH(bool, accepted);
    HistoryFileFixture f;
    QVERIFY(f.create());
    f.store.closeDatabase();
    QCOMPARE(execOn(f.path, sql), accepted);
}

void tst_Schema::openTableNamesAndEmptyHistory()
{
    HistoryFileFixture f;
    QVERIFY(f.create());
    QVERIFY(HistorySchema::OpenTable(f.store, "history"));  // only the exact name counts
    QVERIFY(!f.store.gHistoryRecordset);
    QVERIFY(HistorySchema::OpenTable(f.store, "HISTORY"));
    QVERIFY(f.store.gHistoryRecordset);
    QVERIFY(f.store.gHistoryRecordset->eof());
    QCOMPARE(f.store.gHistoryRecordset->absolutePosition(), -1);

    // Two rows identical in every field are allowed.
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(1, 2, at(2026, 1, 1))));
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(1, 2, at(2026, 1, 1))));
    QVERIFY(HistorySchema::OpenTable(f.store, "HISTORY"));
    QCOMPARE(f.store.gHistoryRecordset->recordCount(), 2);
    QCOMPARE(f.store.gHistoryRecordset->absolutePosition(), 0);
}

void tst_Schema::createRefusesExistingFile()
{
    HistoryFileFixture f;
    QVERIFY(f.create());
    StoreState other;
    QString error;
    QVERIFY(!HistorySchema::CreateHistoryDatabase(other, f.path, &error));
    QVERIFY(!error.isEmpty());
    // The existing file is untouched and still a history file.
    QCOMPARE(f.rows("LumoHistory", "Version").size(), 1);
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
