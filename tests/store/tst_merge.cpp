// Bringing a read-out (TEMP) into the kept events (HISTORY): which rows are overwritten,
// which are appended, which fields travel, and that a failing merge leaves HISTORY as it
// was with the read-out still in TEMP.

#include "store_helper.h"

#include "store/HistoryMerge.h"

using namespace qvr;
using namespace qvr::storetest;

class tst_Merge : public QObject
{
    Q_OBJECT

private slots:
    void overwriteOrAppend_data();
    void overwriteOrAppend();
    void fieldsCopiedAndKept();
    void emptyTempChangesNothing();
    void allOrNothing_data();
    void allOrNothing();
};

// "panel,parameter,seconds,tag" events, separated by blanks; seconds after 5 Dec 2026 14:03.
static bool addEvents(HistoryFileFixture &f, const QString &table, const QString &events)
{
    for (const QString &e : events.split(' ', Qt::SkipEmptyParts)) {
        const QStringList p = e.split(',');
        const QDateTime start = at(2026, 12, 5, 14, 3).addSecs(p.at(2).toInt());
        if (!f.addRow(table, HistoryFileFixture::event(p.at(0).toInt(), p.at(1).toInt(), start,
                                                       {{"Text6", p.at(3)}})))
            return false;
    }
    return true;
}

static QString tagsByRowid(HistoryFileFixture &f, const QString &table)
{
    QStringList tags;
    QString error;
    std::unique_ptr<Recordset> rs = f.store.gDatabase->openRecordset("Select Text6 From " + table, &error);
    for (; rs && !rs->eof(); rs->moveNext())
        tags << rs->field(0).toString();
    return tags.join(' ');
}

void tst_Merge::overwriteOrAppend_data()
{
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("temp");
    QTest::addColumn<QString>("expected");  // HISTORY tags in storage order afterwards

    QTest::newRow("empty HISTORY takes TEMP in TEMP order")
        << "" << "3,12,0,a 1,5,0,b 3,12,5,c" << "b a c";
    QTest::newRow("same device read twice")
        << "3,12,0,old1 3,13,1,old2" << "3,12,0,new1 3,13,1,new2" << "new1 new2";
    QTest::newRow("two TEMP rows, one HISTORY match")
        << "3,12,0,h" << "3,12,0,x 3,12,0,y" << "x y";
    QTest::newRow("k-th overwrites k-th")
        << "3,12,0,h1 3,12,0,h2 3,12,0,h3" << "3,12,0,x 3,12,0,y" << "x y h3";
    QTest::newRow("one second apart")
        << "3,12,0,h" << "3,12,1,n" << "h n";
    QTest::newRow("two panels")
        << "1,12,0,h" << "2,12,0,n" << "h n";
    QTest::newRow("other alarm address")
        << "3,12,0,h" << "3,13,0,n" << "h n";
    QTest::newRow("same panel and start, two alarm addresses")
        << "3,12,0,h1 3,13,0,h2" << "3,12,0,x 3,13,0,y" << "x y";
    QTest::newRow("runs of several keys")
        << "3,12,0,h1 3,12,0,h2 4,1,0,k" << "3,12,0,x 3,12,0,y 3,12,0,z 4,1,0,w 4,1,0,v"
        << "x y w z v";
}

void tst_Merge::overwriteOrAppend()
{
    QFETCH(QString, history);
    QFETCH(QString, temp);
    QFETCH(QString, expected);
    HistoryFileFixture f;
    QVERIFY(f.create());
    QVERIFY(addEvents(f, "HISTORY", history));
    QVERIFY(addEvents(f, "TEMP", temp));

    QString error;
    QVERIFY2(HistoryMerge::MergeTempIntoHistory(f.store, &error), qPrintable(error));
    QCOMPARE(tagsByRowid(f, "HISTORY"), expected);
    QCOMPARE(f.rows("TEMP").size(), temp.split(' ').size());  // TEMP is kept
    QVERIFY(f.store.gTempRecordset->eof());
    // The current HISTORY row is the last one written: the last TEMP row's copy.
    const QString lastTemp = f.rows("TEMP", "TableauAdresse, Start_Datum, ParameterNummer, Stop_Datum")
                                 .last().value("Text6").toString();
    QCOMPARE(f.store.gHistoryRecordset->field("Text6").toString(), lastTemp);
}

void tst_Merge::fieldsCopiedAndKept()
{
    HistoryFileFixture f;
    QVERIFY(f.create());
    const QDateTime start = at(2026, 12, 5, 14, 3, 9);
    const QDateTime acknowledged = at(2026, 12, 5, 15, 0, 0);
    Values kept{{"lfd_Nummer_data", 7}, {"Datenquelle", 8}, {"Systemnummer", 9}, {"AdresseExt", 10},
                {"AdresseInt", 11}, {"Kanalnummer", 12}, {"MinText", "ab"}, {"MinWert", 13},
                {"MaxText", "cd"}, {"MaxWert", 14}};
    Values old = kept;
    old.insert({{"Text1", "old"}, {"Kanal", 1}, {"GeraeteAdresse1", 1}, {"GeraeteAdresse2", 1}});
    QVERIFY(f.addRow("HISTORY", HistoryFileFixture::event(3, 12, start, old)));

    // The read-out saw the event again, now acknowledged, and one new event.
    Values fresh{{"lfd_Nummer_data", 70}, {"Datenquelle", 80}, {"Systemnummer", 90}, {"AdresseExt", 100},
                 {"AdresseInt", 110}, {"Kanalnummer", 120}, {"MinText", "zz"}, {"MinWert", 130},
                 {"MaxText", "yy"}, {"MaxWert", 140}, {"Kanal", 5}, {"GeraeteAdresse1", 6},
                 {"GeraeteAdresse2", 7}, {"Quittiert_JN", 1}, {"Quittiert_Datum", acknowledged},
                 {"Text1", QVariant()}, {"Text2", "zwei"}, {"EIBAusgang", 200}, {"geraetetyp", "ZL5"},
                 {"AnalogWertMin", "U= 3 V"}};
    QVERIFY(f.addRow("TEMP", HistoryFileFixture::event(3, 12, start, fresh)));
    QVERIFY(f.addRow("TEMP", HistoryFileFixture::event(3, 13, start, fresh)));

    QString error;
    QVERIFY2(HistoryMerge::MergeTempIntoHistory(f.store, &error), qPrintable(error));
    const QList<Values> rows = f.rows("HISTORY", "ParameterNummer");
    QCOMPARE(rows.size(), 2);
    const Values &overwritten = rows.at(0);
    const Values &appended = rows.at(1);
    const Values temp = f.rows("TEMP", "ParameterNummer").at(0);
    for (const QString &name : HistoryMerge::copiedFields()) {
        if (name == "ParameterNummer")
            continue;
        QCOMPARE(overwritten.value(name), temp.value(name));
        QCOMPARE(appended.value(name), temp.value(name));
    }
    QVERIFY(overwritten.value("Text1").isNull());  // null travels as null
    for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
        QCOMPARE(overwritten.value(it.key()), it.value());
        const QVariant def = appended.value(it.key());
        QVERIFY2(it.key().endsWith("Text") ? def.isNull() : def == QVariant(0), qPrintable(it.key()));
    }
    QCOMPARE(HistoryMerge::copiedFields().size() + HistoryMerge::keptFields().size(), 58);
}

void tst_Merge::emptyTempChangesNothing()
{
    HistoryFileFixture f;
    QVERIFY(f.create());
    QVERIFY(addEvents(f, "HISTORY", "3,12,0,h"));
    QVERIFY(HistoryMerge::MergeTempIntoHistory(f.store));
    QVERIFY(!f.store.gHistoryRecordset);  // not even opened
    QCOMPARE(tagsByRowid(f, "HISTORY"), QString("h"));
}

void tst_Merge::allOrNothing_data()
{
    // `fault`: what makes the merge fail part way (no trigger of a file ever fires).
    QTest::addColumn<QString>("temp");
    QTest::addColumn<QString>("fault");
    const QString tooLong =
        "PRAGMA ignore_check_constraints=1; UPDATE TEMP SET Text6='BOOM-longer-than-twenty' "
        "WHERE Text6='BOOM'; PRAGMA ignore_check_constraints=0";
    QTest::newRow("fails on an overwrite after others") << "1,1,0,a 3,12,0,BOOM 4,1,0,c" << tooLong;
    QTest::newRow("fails filling an appended row") << "1,1,0,a 5,5,0,BOOM" << tooLong;
    // Appended rows keep MinWert 0: the second one collides.
    QTest::newRow("fails appending")
        << "1,1,0,a 5,5,0,b 6,6,0,c"
        << "UPDATE HISTORY SET MinWert=rowid; CREATE UNIQUE INDEX boom ON HISTORY (MinWert)";
    QTest::newRow("TEMP row without key")
        << "1,1,0,a 2,2,0,nokey" << "UPDATE TEMP SET ParameterNummer=NULL WHERE Text6='nokey'";
}

void tst_Merge::allOrNothing()
{
    QFETCH(QString, temp);
    QFETCH(QString, fault);
    HistoryFileFixture f;
    QVERIFY(f.create());
    QVERIFY(addEvents(f, "HISTORY", "1,1,0,h1 3,12,0,h2"));
    QVERIFY(addEvents(f, "TEMP", temp));
    QVERIFY(f.store.gDatabase->execute(fault));
    const QList<Values> historyBefore = f.rows("HISTORY");
    const QList<Values> tempBefore = f.rows("TEMP");

    QString error;
    QVERIFY(!HistoryMerge::MergeTempIntoHistory(f.store, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(f.rows("HISTORY"), historyBefore);
    QCOMPARE(f.rows("TEMP"), tempBefore);
    QCOMPARE(f.store.gDatabase->transactionDepth(), 0);
    // The record set shown afterwards holds no row of the failed merge.
    QVERIFY(f.store.gHistoryRecordset);
    QCOMPARE(f.store.gHistoryRecordset->recordCount(), 2);
}

QTEST_GUILESS_MAIN(tst_Merge)
#include "tst_merge.moc"
