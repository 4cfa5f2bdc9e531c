#include "decode/AnswerDispatch.h"
#include "decode_helper.h"
#include "store/HistorySchema.h"

#include <QTest>

using namespace qvr;
using S = HistorySchema;

// How the dispatcher answers the read-out for each command sent, and what it keeps.
class TestDispatch : public QObject
{
    Q_OBJECT

private slots:
    void lastCommandOfFrame_data();
    void lastCommandOfFrame();
    void historyCount_data();
    void historyCount();
    void textLanguage_data();
    void textLanguage();
    void alarmAddressTable_data();
    void alarmAddressTable();
    void acceptAndRejectReachTheCounters_data();
    void acceptAndRejectReachTheCounters();
    void endOfTransfer_data();
    void endOfTransfer();
};

void TestDispatch::lastCommandOfFrame_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("command");
    QTest::newRow("entry request") << ":;007:LCDRH 012&4F"
                                   << "LCDRH";
    QTest::newRow("bare announcement") << ":;007:LCDH&3A"
                                       << "LCDH&";
    QTest::newRow("short frame") << ":;007:"
                                 << "";
}

void TestDispatch::lastCommandOfFrame()
{
    QFETCH(QString, frame);
    QFETCH(QString, command);
    QCOMPARE(LastCommandOf(frame), command);
}

void TestDispatch::historyCount_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("rxCommand");
    QTest::addColumn<QString>("param");
    QTest::addColumn<bool>("rejected");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<int>("endReason");
    QTest::addColumn<int>("historyCount");

    const QString n = QStringLiteral("n=   ");
    QTest::newRow("ZL 650 is the limit") << "ZL" << n << "650" << false << false << 0 << 650;
    QTest::newRow("ZL 651 is too many") << "ZL" << n << "651" << true << false << 2 << 99;
    QTest::newRow("PV 1000") << "PV" << n << "1000" << false << false << 0 << 1000;
    QTest::newRow("PV 1001") << "PV" << n << "1001" << true << false << 2 << 99;
    QTest::newRow("RQ 250") << "RQ" << n << "250" << false << false << 0 << 250;
    QTest::newRow("RQ 251") << "RQ" << n << "251" << true << false << 2 << 99;
    QTest::newRow("one entry") << "RQ" << n << "001" << false << false << 0 << 1;
    QTest::newRow("no entries ZL") << "ZL" << n << "000" << true << true << 1 << 99;
    QTest::newRow("no entries PV, empty answer") << "PV" << n << "" << true << true << 1 << 99;
    QTest::newRow("negative count") << "RQ" << n << "-1" << true << true << 1 << 99;
    QTest::newRow("wrong command field") << "ZL"
                                         << "n=  1"
                                         << "005" << true << false << 2 << 99;
    QTest::newRow("letters") << "ZL" << n << "1O" << true << false << 2 << 99;
}

void TestDispatch::historyCount()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, rxCommand);
    QFETCH(QString, param);
    QFETCH(bool, rejected);
    QFETCH(bool, finished);
    QFETCH(int, endReason);
    QFETCH(int, historyCount);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    fx.readout.gHistoryCount = 99;
    fx.readout.gErrorCount = 3;
    const auto o = fx.answer(QStringLiteral("LCDH?"), param, rxCommand);
    QVERIFY(o.engineOk);
    QCOMPARE(o.rejected, rejected);
    QCOMPARE(o.finished, finished);
    QCOMPARE(int(fx.readout.gEndReason), endReason);
    QCOMPARE(int(fx.readout.gHistoryCount), historyCount);
    // Accepted answers and "no history" both clear the error count; a plain reject keeps it.
    QCOMPARE(int(fx.readout.gErrorCount), rejected && !finished ? 3 : 0);
}

void TestDispatch::textLanguage_data()
{
    QTest::addColumn<QString>("param");
    QTest::addColumn<bool>("rejected");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("stored");

    QTest::newRow("empty answer is language 1") << "" << false << "" << 1;
    QTest::newRow("zero") << "00" << false << "00" << 0;
    QTest::newRow("French") << "03" << false << "03" << 3;
    QTest::newRow("20 is the last") << "20" << false << "20" << 20;
    QTest::newRow("21 is refused") << "21" << true << "prev" << 9;
    QTest::newRow("negative is refused") << "-1" << true << "prev" << 9;
    QTest::newRow("letters are refused") << "DE" << true << "prev" << 9;
}

void TestDispatch::textLanguage()
{
    QFETCH(QString, param);
    QFETCH(bool, rejected);
    QFETCH(QString, language);
    QFETCH(int, stored);
    DecodeFixture fx(QStringLiteral("PV"), QStringLiteral("370"));
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    fx.readout.gTextLanguage = QStringLiteral("prev");
    // A file that already carries another language and class.
    QVERIFY(fx.store.gDatabase->execute(
        QStringLiteral("UPDATE LumoHistory SET Meldetextsprache = 9, Geraet = 'ZL'")));
    fx.readout.gErrorCount = 2;
    fx.readout.gEndReason = 2;
    const auto o = fx.answer(QStringLiteral("RQRTS"), param);
    QVERIFY(o.engineOk);
    QCOMPARE(o.rejected, rejected);
    QVERIFY(!o.finished);
    QCOMPARE(fx.readout.gTextLanguage, language);
    QCOMPARE(fx.lumo(S::Meldetextsprache).toInt(), stored);
    QCOMPARE(fx.lumo(S::Version).toString(),
             rejected ? QStringLiteral("3.02") : QStringLiteral("2.00"));
    QCOMPARE(fx.lumo(S::Geraet).toString(), rejected ? QStringLiteral("ZL") : QStringLiteral("PV"));
    // Storing the language is no answer check: the counters stay as they were.
    QCOMPARE(int(fx.readout.gErrorCount), 2);
    QCOMPARE(int(fx.readout.gEndReason), 2);
}

void TestDispatch::alarmAddressTable_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("rejected");
    QTest::addColumn<int>("index");

    //                                         1   5   9   13 16
    const QString row1 = QStringLiteral("001 000 012 99 Kessel Haus 2       ");
    QTest::newRow("first row") << "003" << row1 << false << 0;
    QTest::newRow("last row") << "003" << DecodeFixture::with(row1, 1, "003") << false << 2;
    QTest::newRow("row past the table")
        << "003" << DecodeFixture::with(row1, 1, "004") << true << -1;
    QTest::newRow("row 0") << "003" << DecodeFixture::with(row1, 1, "000") << true << -1;
    QTest::newRow("letters in the row number")
        << "003" << DecodeFixture::with(row1, 1, "0O1") << true << -1;
    QTest::newRow("empty table") << "000" << row1 << true << -1;
}

void TestDispatch::alarmAddressTable()
{
    QFETCH(QString, count);
    QFETCH(QString, row);
    QFETCH(bool, rejected);
    QFETCH(int, index);
    DecodeFixture fx(QStringLiteral("RQ"), QStringLiteral("6150"));
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    fx.readout.gAlarmAddressTable.resize(9); // left over from an earlier read-out

    auto o = fx.answer(QStringLiteral("RQNA?"), count);
    QVERIFY(!o.rejected && !o.finished);
    QCOMPARE(int(fx.readout.gNaCount), count.toInt());
    QCOMPARE(int(fx.readout.gAlarmAddressTable.size()), count.toInt());
    for (const AlarmAddressRow &r : fx.readout.gAlarmAddressTable)
        QVERIFY(r[0].isEmpty() && r[3].isEmpty());

    o = fx.answer(QStringLiteral("RQRAA"), row);
    QCOMPARE(o.rejected, rejected);
    QCOMPARE(int(fx.readout.gEndReason), rejected ? 2 : 0);
    if (index >= 0) {
        const AlarmAddressRow &r = fx.readout.gAlarmAddressTable.at(size_t(index));
        QCOMPARE(r[0], QStringLiteral("000"));
        QCOMPARE(r[1], QStringLiteral("012"));
        QCOMPARE(r[2], QStringLiteral("99"));
        QCOMPARE(r[3], QStringLiteral("Kessel Haus 2       "));
    }
}

void TestDispatch::acceptAndRejectReachTheCounters_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("rxCommand");
    QTest::addColumn<QString>("param");
    QTest::addColumn<bool>("rejected");
    QTest::addColumn<int>("rows");

    const QString zlEntry = QStringLiteral("001 012 050399 1230 1 050399 1231 1 050399 1300 0");
    QTest::newRow("announcement") << "ZL"
                                  << "LCDH&"
                                  << "     "
                                  << "" << false << 0;
    QTest::newRow("history entry") << "ZL"
                                   << "LCDRH"
                                   << "     " << zlEntry << false << 1;
    QTest::newRow("bad history entry")
        << "ZL"
        << "LCDRH"
        << "     " << DecodeFixture::with(zlEntry, 21, "2") << true << 0;
    QTest::newRow("empty history entry") << "ZL"
                                         << "LCDRH"
                                         << "     "
                                         << "" << false << 0;
    QTest::newRow("unknown class stores nothing") << "XY"
                                                  << "LCDRH"
                                                  << "     " << zlEntry << false << 0;
    QTest::newRow("analogue of another class") << "RQ"
                                               << "LCDRA"
                                               << "     "
                                               << "garbage" << false << 0;
    QTest::newRow("unknown command") << "ZL"
                                     << "XXXXX"
                                     << "     "
                                     << "" << false << 0;
}

void TestDispatch::acceptAndRejectReachTheCounters()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, command);
    QFETCH(QString, rxCommand);
    QFETCH(QString, param);
    QFETCH(bool, rejected);
    QFETCH(int, rows);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    fx.readout.gErrorCount = 4;
    fx.readout.gEndReason = 2;
    const auto o = fx.answer(command, param, rxCommand);
    QVERIFY(o.engineOk);
    QCOMPARE(o.rejected, rejected);
    QVERIFY(!o.finished);
    QCOMPARE(fx.tempRows(), rows);
    const bool unknown = command == QLatin1String("XXXXX");
    QCOMPARE(int(fx.readout.gErrorCount), rejected || unknown ? 4 : 0);
    QCOMPARE(int(fx.readout.gEndReason), rejected || unknown ? 2 : 0);
}

void TestDispatch::endOfTransfer_data()
{
    QTest::addColumn<QString>("rxCommand");
    QTest::addColumn<bool>("finished");
    QTest::newRow("acknowledged") << "LCDST" << true;
    QTest::newRow("other answer") << "LCDH&" << false;
}

void TestDispatch::endOfTransfer()
{
    QFETCH(QString, rxCommand);
    QFETCH(bool, finished);
    DecodeFixture fx(QStringLiteral("ZL"));
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    fx.readout.gErrorCount = 3;
    fx.readout.gEndReason = 2;
    const auto o = fx.answer(QStringLiteral("LCDST"), QString(), rxCommand);
    QCOMPARE(o.finished, finished);
    QVERIFY(!o.rejected);
    QCOMPARE(int(fx.readout.gErrorCount), finished ? 0 : 3);
    // The end reason a failed request left behind survives, so the end message names it.
    QCOMPARE(int(fx.readout.gEndReason), 2);
}

QTEST_GUILESS_MAIN(TestDispatch)
#include "tst_dispatch.moc"
