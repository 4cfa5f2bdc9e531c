// The old SQL dialect as the filter window, the merge and the decoders write it, run on a
// real history file: which events each text selects, under a German and a US locale, and
// that nothing typed by a user can change the file.

#include "store_helper.h"

#include "store/HistoryMerge.h"
#include "store/SqlTranslator.h"

#include <QLocale>

#include <clocale>

using namespace qvr;
using namespace qvr::storetest;

class tst_Translator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void selects_data();
    void selects();
    void refused_data();
    void refused();
    void userSqlCannotWrite_data();
    void userSqlCannotWrite();
    void mergeCriteriaText_data();
    void mergeCriteriaText();

private:
    void fill(HistoryFileFixture &f);
    static void addLocales(const char *name);
};

// Tag of each event in Text6: A and B one second apart, C a day later, D the year before.
void tst_Translator::fill(HistoryFileFixture &f)
{
    QVERIFY(f.create());
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(1, 12, at(2026, 12, 5, 14, 3, 9),
        {{"Text1", "Ölstand Text hoch"}, {"Meldeleuchte", 2}, {"GeraeteAdresse1", 5}, {"Eingang", 0},
         {"Kanal", 3}, {"Stop_Uhrzeit_Filter", QTime(14, 2)}, {"Text6", "A"}})));
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(3, 12, at(2026, 12, 5, 14, 3, 10),
        {{"Text1", "ÖLSTAND"}, {"Meldeleuchte", 1}, {"Eingang", 2}, {"Kanal", 0},
         {"Stop_Uhrzeit_Filter", QTime(14, 5)}, {"Text6", "B"}})));
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(3, 7, at(2026, 12, 6, 8, 0, 0),
        {{"Text1", "it's"}, {"Text2", "xTEXTx"}, {"Meldeleuchte", 2}, {"Test_JN", 1}, {"Eingang", 3},
         {"EIBEingang", 0}, {"Stop_Uhrzeit_Filter", QTime(16, 0)}, {"Text6", "C"}})));
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(0, 1, at(2025, 1, 1), {{"Text1", "50% a_b"}, {"Text6", "D"}})));
}

void tst_Translator::init()
{
    QLocale::setDefault(QLocale::c());
}

void tst_Translator::cleanup()
{
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, "C");
}

static const char *const kLocales[] = {"de_DE", "en_US"};

void tst_Translator::selects_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QString>("expected");  // tags in HISTORY order

    const QList<QPair<QString, QString>> cases = {
        {"TableauAdresse=1 and ParameterNummer=12 and Start_Datum=#12/05/26 02:03:09 PM#", "A"},
        {"TableauAdresse=3 and ParameterNummer=12 and Start_Datum=#12/05/26 02:03:10 PM#", "B"},
        {"TableauAdresse=1 and ParameterNummer=12 and Start_Datum=#12/05/26 02:03:08 PM#", ""},
        {"ParameterNummer=12", "AB"},
        {"TableauAdresse>0", "ABC"},
        {"TableauAdresse=1", "A"},
        {"TableauAdresse<>3", "DA"},
        {"Start_Datum_Filter>#12/5/2026#", "C"},
        {"Start_Datum_Filter=#12/5/2026#", "AB"},
        {"Start_Datum_Filter<#12/5/2026#", "D"},
        {"Start_Datum_Filter>#12/5/2026# and Meldeleuchte=2", "C"},
        {"Start_Datum>#12/05/26 02:03:09 PM#", "BC"},
        {"Stop_Uhrzeit_Filter<#14:03#", "DA"},
        {"Stop_Uhrzeit_Filter>#14:03#", "BC"},
        {"Start_Uhrzeit_Filter=#14:03:09#", "A"},
        {"Start_Uhrzeit_Filter=#2:03:09 PM#", "A"},
        {"Meldeleuchte=2", "AC"},
        {"Test_JN=0", "DAB"},
        {"(GeraeteAdresse1=5 and Eingang<2)", "A"},
        {"(Kanal=0 and Eingang=2)", "B"},
        {"(EIBEingang=0 and Eingang=3)", "C"},
        {"Text1 like '*Text*'", "A"},
        {"Text2 like '*Text*'", "C"},
        {"Text1 like 'ölstand*'", "AB"},
        {"Text1 like '?lstand'", "B"},
        {"Text1 = 'ölstand'", "B"},
        {"Text1='it''s'", "C"},
        {"TableauAdresse=1 or TableauAdresse=0", "DA"},
        {"(TableauAdresse=3 and Meldeleuchte=1) or Test_JN=1", "BC"},
        // The field on the right of the operator.
        {"1<TableauAdresse", "BC"},
        {"#12/5/2026#<Start_Datum_Filter", "C"},
        // Two-digit years: 29 is 2029, 30 is 1930.
        {"Start_Datum_Filter>#12/31/29#", ""},
        {"Start_Datum_Filter>#1/1/30#", "DABC"},
        // A typed "%" or "_" is that character.
        {"Text1 like '*%*'", "D"},
        {"Text1 like '*_*'", "D"},
    };
    for (const char *loc : kLocales) {
        for (const auto &c : cases)
            QTest::addRow("%s %s", loc, qPrintable(c.first)) << QString::fromLatin1(loc) << c.first << c.second;
    }
}

// Each text selects the same events as a filter clause and as find criteria.
void tst_Translator::selects()
{
    QFETCH(QString, locale);
    QFETCH(QString, criteria);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(locale));
    std::setlocale(LC_ALL, (locale + ".UTF-8").toUtf8().constData());

    HistoryFileFixture f;
    fill(f);
    QString error;
    std::unique_ptr<Recordset> filtered = f.store.gDatabase->openRecordset(
        "Select * From HISTORY WHERE " + criteria + " order by TableauAdresse, Start_Datum, Stop_Datum", &error);
    QVERIFY2(filtered, qPrintable(error));
    QString got;
    for (; !filtered->eof(); filtered->moveNext())
        got += filtered->field("Text6").toString();
    QCOMPARE(got, expected);

    QVERIFY(HistorySchema::OpenTable(f.store, "HISTORY", &error));
    Recordset &all = *f.store.gHistoryRecordset;
    QString found;
    QVERIFY2(all.findFirst(criteria), qPrintable(all.lastError()));
    while (!all.noMatch()) {
        found += all.field("Text6").toString();
        QVERIFY(all.findNext(criteria));
    }
    QCOMPARE(found, expected);
}

void tst_Translator::refused_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::newRow("empty") << "";
    QTest::newRow("second statement") << "TableauAdresse>0; DELETE FROM HISTORY";
    QTest::newRow("subquery") << "TableauAdresse>0 or (SELECT count(*) FROM HISTORY)>0";
    QTest::newRow("in list") << "TableauAdresse in (1,3)";
    QTest::newRow("open text") << "Text1='abc";
    QTest::newRow("no value") << "TableauAdresse=";
    QTest::newRow("open parenthesis") << "(TableauAdresse=1";
    QTest::newRow("impossible date") << "Start_Datum_Filter=#13/45/2026#";
    QTest::newRow("open date") << "Start_Datum_Filter=#12/5/2026";
    QTest::newRow("hour with PM") << "Start_Uhrzeit_Filter=#14:03 PM#";
    QTest::newRow("comment") << "TableauAdresse=1 -- and more";
    QTest::newRow("word for a number") << "TableauAdresse=abc";
    QTest::newRow("unknown field") << "Tableau=1";
    QTest::newRow("date with pattern") << "#12/5/2026# like 'x'";
}

void tst_Translator::refused()
{
    QFETCH(QString, criteria);
    HistoryFileFixture f;
    fill(f);
    QString error;
    std::unique_ptr<Recordset> rs = f.store.gDatabase->openRecordset(
        "Select * From HISTORY WHERE " + criteria + " order by TableauAdresse", &error);
    QVERIFY(!rs);
    QVERIFY(!error.isEmpty());

    QVERIFY(HistorySchema::OpenTable(f.store, "HISTORY"));
    Recordset &all = *f.store.gHistoryRecordset;
    QVERIFY(all.setAbsolutePosition(2));
    QVERIFY(!all.findFirst(criteria));
    QVERIFY(!all.lastError().isEmpty());
    QCOMPARE(all.absolutePosition(), 2);  // a failed find leaves the current record
    QCOMPARE(f.rows("HISTORY").size(), 4);
}

void tst_Translator::userSqlCannotWrite_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("delete after the clause")
        << "Select * From HISTORY WHERE TableauAdresse>0; DELETE FROM HISTORY order by TableauAdresse";
    QTest::newRow("delete at the end")
        << "Select * From HISTORY WHERE TableauAdresse>0 order by TableauAdresse; DELETE FROM HISTORY";
    QTest::newRow("drop in a subquery")
        << "Select * From HISTORY WHERE TableauAdresse IN (DROP TABLE HISTORY)";
    QTest::newRow("update in a subquery")
        << "Select * From HISTORY WHERE (UPDATE HISTORY SET Kanal=1)=1";
    QTest::newRow("delete statement") << "DELETE FROM HISTORY";
    QTest::newRow("union") << "Select * From HISTORY WHERE TableauAdresse>0 UNION Select * From TEMP";
    QTest::newRow("attach") << "Select * From HISTORY WHERE TableauAdresse>0 ATTACH 'x.db' AS x";
    QTest::newRow("pragma") << "PRAGMA writable_schema=1";
}

void tst_Translator::userSqlCannotWrite()
{
    QFETCH(QString, sql);
    HistoryFileFixture f;
    fill(f);
    const QList<Values> before = f.rows("HISTORY");
    QString error;
    QVERIFY(!f.store.gDatabase->openRecordset(sql, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(f.rows("HISTORY"), before);
    QCOMPARE(f.store.gDatabase->tableNames(), (QStringList{"HISTORY", "TEMP", "LumoHistory"}));
}

void tst_Translator::mergeCriteriaText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QString>("expected");
    for (const char *loc : kLocales) {
        const QString l = QString::fromLatin1(loc);
        QTest::addRow("%s afternoon", loc) << l << at(2026, 12, 5, 14, 3, 9)
            << "TableauAdresse=3 and ParameterNummer=12 and Start_Datum=#12/05/26 02:03:09 PM#";
        QTest::addRow("%s midnight", loc) << l << at(2026, 1, 2, 0, 0, 1)
            << "TableauAdresse=3 and ParameterNummer=12 and Start_Datum=#01/02/26 12:00:01 AM#";
        QTest::addRow("%s noon", loc) << l << at(1999, 7, 31, 12, 59, 59)
            << "TableauAdresse=3 and ParameterNummer=12 and Start_Datum=#07/31/99 12:59:59 PM#";
        // A two-digit 30 would read as 1930: such years are written in full.
        QTest::addRow("%s year 2030", loc) << l << at(2030, 3, 4, 5, 6, 7)
            << "TableauAdresse=3 and ParameterNummer=12 and Start_Datum=#03/04/2030 05:06:07 AM#";
    }
}

// The merge's criteria text is the same whatever the regional settings, and finds the
// event it was built from.
void tst_Translator::mergeCriteriaText()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, start);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(locale));
    const QString criteria = HistoryMerge::matchCriteria(3, 12, start);
    QCOMPARE(criteria, expected);

    HistoryFileFixture f;
    QVERIFY(f.create());
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(3, 12, start)));
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(3, 12, start.addSecs(1))));
    QVERIFY(HistorySchema::OpenTable(f.store, "HISTORY"));
    QVERIFY(f.store.gHistoryRecordset->findFirst(criteria));
    QVERIFY(!f.store.gHistoryRecordset->noMatch());
    QCOMPARE(f.store.gHistoryRecordset->field("Start_Datum").toDateTime(), start);
    QVERIFY(f.store.gHistoryRecordset->findNext(criteria));
    QVERIFY(f.store.gHistoryRecordset->noMatch());
}

QTEST_GUILESS_MAIN(tst_Translator)
#include "tst_translator.moc"
