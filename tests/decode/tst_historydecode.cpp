#include "decode/FieldHelpers.h"
#include "decode_helper.h"
#include "store/HistorySchema.h"
#include "store/OleDate.h"

#include <QLocale>
#include <QTest>

using namespace qvr;
using S = HistorySchema;

namespace {

// History entries written by hand from the three layouts, character by character.
//                        1   5   9           21  23          35  37          49
const QString kZl = QStringLiteral("001 012 050399 1230 1 050399 1231 1 050399 1300 0");
//                        1   5 7    12 15  19  23 26          38 40          52 54          66 68
//                        73    79   84    90
const QString kRq = QStringLiteral("001 1 0012 00 000 005 03 050399 1230 1 050399 1231 1 050399 "
                                   "1300 0 Temp 00012 Hum  00045 RQ-SENSOR ");
//                        1   5 7    12 15  19  23  27          39 41          53 55          67 69
//                        74    80   85    91
const QString kPv = QStringLiteral("001 1 0012 00 000 005 003 050399 1230 1 050399 1231 1 050399 "
                                   "1300 0 Temp 00012 Hum  00045 PV-SENSOR ");

QString w(const QString &base, int pos, const char *value)
{
    return DecodeFixture::with(base, pos, QString::fromUtf8(value));
}

double ole(int y, int mo, int d, int h, int mi)
{
    return OleDate::fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC));
}

} // namespace

class TestHistoryDecode : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void eventRow_data();
    void eventRow();
    void textLinesByClass_data();
    void textLinesByClass();
    void standardTexts_data();
    void standardTexts();
    void analogueTextsFollowTheSystemNumberFormat_data();
    void analogueTextsFollowTheSystemNumberFormat();
    void messageTextLines_data();
    void messageTextLines();
    void analogueValuesZL_data();
    void analogueValuesZL();
};

void TestHistoryDecode::checks_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("rejected");

    const auto zl = [](const char *name, const QString &a, bool rej) {
        QTest::newRow(name) << "ZL" << a << rej;
    };
    zl("ZL as written", kZl, false);
    zl("ZL entry 650", w(kZl, 1, "650"), false);
    zl("ZL entry 651", w(kZl, 1, "651"), true);
    zl("ZL entry negative", w(kZl, 1, "-01"), true);
    zl("ZL alarm address 999", w(kZl, 5, "999"), false);
    zl("ZL alarm address negative", w(kZl, 5, "-01"), true);
    zl("ZL alarm address with letters", w(kZl, 5, "0A2"), true);
    zl("ZL start day 32", w(kZl, 9, "32"), true);
    zl("ZL start minute 60", w(kZl, 16, "60"), true);
    zl("ZL acknowledged flag 2", w(kZl, 21, "2"), true);
    zl("ZL bad acknowledge time, flag 1", w(kZl, 23, "00"), true);
    zl("ZL bad acknowledge time, flag 0", w(w(kZl, 21, "0"), 23, "00"), false);
    zl("ZL stopped flag 2", w(kZl, 35, "2"), true);
    zl("ZL bad stop time, flag 1", w(kZl, 39, "13"), true);
    zl("ZL bad stop time, flag 0", w(w(kZl, 35, "0"), 39, "13"), false);
    zl("ZL test flag is not checked", w(kZl, 49, "7"), false);
    zl("ZL answer without flags", kZl.left(19), false);
    zl("ZL answer cut in the start time", kZl.left(12), true);

    const auto rq = [](const char *name, const QString &a, bool rej) {
        QTest::newRow(name) << "RQ" << a << rej;
    };
    rq("RQ as written", kRq, false);
    rq("RQ running number 250", w(kRq, 1, "250"), false);
    rq("RQ running number 251", w(kRq, 1, "251"), true);
    rq("RQ source 0", w(kRq, 5, "0"), true);
    rq("RQ source 3", w(kRq, 5, "3"), true);
    rq("RQ source 1, address 999", w(kRq, 7, "0999"), false);
    rq("RQ source 1, address 1000", w(kRq, 7, "1000"), true);
    rq("RQ source 1, system 1", w(kRq, 12, "01"), true);
    rq("RQ source 2, system 1", w(w(kRq, 5, "2 0005"), 12, "01"), false);
    rq("RQ source 2, parameter 5", w(kRq, 5, "2 0005"), false);
    rq("RQ source 2, parameter 7", w(kRq, 5, "2 0007"), true);
    rq("RQ source 2, parameter 8", w(kRq, 5, "2 0008"), false);
    rq("RQ source 2, parameter 999", w(kRq, 5, "2 0999"), true);
    rq("RQ source 2, parameter 1000", w(kRq, 5, "2 1000"), false);
    rq("RQ source 2, parameter 9999", w(kRq, 5, "2 9999"), false);
    rq("RQ external address 1", w(kRq, 15, "001"), true);
    rq("RQ internal address 0", w(kRq, 19, "000"), true);
    rq("RQ internal address 150", w(kRq, 19, "150"), false);
    rq("RQ internal address 151", w(kRq, 19, "151"), true);
    rq("RQ channel 32", w(kRq, 23, "32"), false);
    rq("RQ channel 33", w(kRq, 23, "33"), true);
    rq("RQ acknowledged flag 2", w(kRq, 38, "2"), true);
    rq("RQ stop hour 24", w(kRq, 61, "24"), false);
    rq("RQ stop hour 25", w(kRq, 61, "25"), true);
    rq("RQ lower value 65536", w(kRq, 73, "65536"), false);
    rq("RQ lower value 65537", w(kRq, 73, "65537"), true);
    rq("RQ upper value 65537", w(kRq, 84, "65537"), true);
    rq("RQ upper value negative", w(kRq, 84, "-0001"), true);
    rq("RQ lower value with letters", w(kRq, 73, "12O45"), true);
    rq("RQ lower value in exponent form", w(kRq, 73, "1e4  "), true);
    rq("RQ lower value with decimal comma", w(kRq, 73, "12,50"), false);

    const auto pv = [](const char *name, const QString &a, bool rej) {
        QTest::newRow(name) << "PV" << a << rej;
    };
    pv("PV as written", kPv, false);
    pv("PV running number 999", w(kPv, 1, "999"), false);
    pv("PV running number negative", w(kPv, 1, "-01"), true);
    pv("PV source 1, address 1000", w(kPv, 7, "1000"), true);
    pv("PV source 2, address 1000", w(kPv, 5, "2 1000"), false);
    pv("PV source 2, address 7", w(kPv, 5, "2 0007"), false);
    pv("PV source 1, system 1", w(kPv, 12, "01"), true);
    pv("PV any external address", w(kPv, 15, "999"), false);
    pv("PV internal address 0", w(kPv, 19, "000"), false);
    pv("PV internal address 151", w(kPv, 19, "151"), true);
    pv("PV channel 192", w(kPv, 23, "192"), false);
    pv("PV channel 193", w(kPv, 23, "193"), true);
    pv("PV channel 195", w(kPv, 23, "195"), true);
    pv("PV channel 200", w(kPv, 23, "200"), true);
    pv("PV fault code 201", w(kPv, 23, "201"), false);
    pv("PV fault code 210", w(kPv, 23, "210"), false);
    pv("PV channel 211", w(kPv, 23, "211"), true);
    pv("PV stopped flag 2", w(kPv, 53, "2"), true);
    pv("PV upper value 65537", w(kPv, 85, "65537"), true);
}

void TestHistoryDecode::checks()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, answer);
    QFETCH(bool, rejected);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    const auto o = fx.answer(QStringLiteral("LCDRH"), answer);
    QVERIFY2(o.engineOk, qPrintable(fx.ctx.engineError));
    QCOMPARE(o.rejected, rejected);
    // A refused entry leaves no row, so the retry cannot store it twice.
    QCOMPARE(fx.tempRows(), rejected ? 0 : 1);
}

void TestHistoryDecode::eventRow_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("ackFlag");
    QTest::addColumn<int>("stopFlag");
    QTest::addColumn<int>("test");
    QTest::addColumn<int>("channel");

    QTest::newRow("ZL all groups") << "ZL" << kZl << 12 << 1 << 1 << 0 << 0;
    QTest::newRow("ZL unacknowledged keeps zero date")
        << "ZL" << w(kZl, 21, "0") << 12 << 0 << 1 << 0 << 0;
    QTest::newRow("ZL not stopped, test 7")
        << "ZL" << w(w(kZl, 35, "0"), 49, "7") << 12 << 1 << 0 << 1 << 0;
    QTest::newRow("RQ all groups") << "RQ" << kRq << 12 << 1 << 1 << 0 << 3;
    QTest::newRow("RQ unacknowledged, test 1")
        << "RQ" << w(w(kRq, 38, "0"), 66, "1") << 12 << 0 << 1 << 1 << 3;
    QTest::newRow("PV all groups") << "PV" << kPv << 12 << 1 << 1 << 0 << 3;
    QTest::newRow("PV fault code channel")
        << "PV" << w(w(kPv, 23, "205"), 53, "0") << 12 << 1 << 0 << 0 << 0;
}

void TestHistoryDecode::eventRow()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, answer);
    QFETCH(int, parameter);
    QFETCH(int, ackFlag);
    QFETCH(int, stopFlag);
    QFETCH(int, test);
    QFETCH(int, channel);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    QVERIFY(fx.answer(QStringLiteral("LCDRH"), answer).engineOk);
    QCOMPARE(fx.tempRows(), 1);

    QCOMPARE(fx.current(S::TableauAdresse).toInt(), 7);
    QCOMPARE(fx.current(S::ParameterNummer).toInt(), parameter);
    QCOMPARE(fx.current(S::Quittiert_JN).toInt(), ackFlag);
    QCOMPARE(fx.current(S::Stop_JN).toInt(), stopFlag);
    QCOMPARE(fx.current(S::Test_JN).toInt(), test);
    const struct
    {
        const char *value, *sort, *date, *time;
        int flag;
        int minute;
    } groups[] = {
        {S::Start_Datum, S::Start_Datum_Sort, S::Start_Datum_Filter, S::Start_Uhrzeit_Filter, 1,
         30},
        {S::Quittiert_Datum, S::Quittiert_Datum_Sort, S::Quittiert_Datum_Filter,
         S::Quittiert_Uhrzeit_Filter, ackFlag, 31},
        {S::Stop_Datum, S::Stop_Datum_Sort, S::Stop_Datum_Filter, S::Stop_Uhrzeit_Filter, stopFlag,
         60},
    };
    for (const auto &g : groups) {
        const int hour = 12 + g.minute / 60;
        const int minute = g.minute % 60;
        const double at = g.flag ? ole(1999, 3, 5, hour, minute) : 0.0;
        QCOMPARE(OleDate::fromDateTime(fx.current(g.value).toDateTime()), at);
        QCOMPARE(fx.current(g.sort).toDouble(), at);
        QCOMPARE(OleDate::fromDateTime(fx.current(g.date).toDateTime()),
                 g.flag ? ole(1999, 3, 5, 0, 0) : 0.0);
        QCOMPARE(OleDate::fromDateTime(fx.current(g.time).toDateTime()),
                 g.flag ? (hour * 60 + minute) / 1440.0 : 0.0);
    }
    if (deviceClass != QLatin1String("ZL")) {
        QCOMPARE(fx.current(S::lfd_Nummer_data).toInt(), 1);
        QCOMPARE(fx.current(S::Datenquelle).toInt(), 1);
        QCOMPARE(fx.current(S::AdresseInt).toInt(), 5);
        QCOMPARE(fx.current(S::GeraeteAdresse2).toInt(), 5);
        QCOMPARE(fx.current(S::Kanalnummer).toInt(), channel);
        QCOMPARE(fx.current(S::Kanal).toInt(), channel);
    }
}

void TestHistoryDecode::textLinesByClass_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("lines"); // "null" for no value
    QTest::addColumn<QString>("deviceType");
    QTest::addColumn<QString>("analogMin");
    QTest::addColumn<QString>("analogMax");

    const QStringList none = {"null", "null", "null", "null", "null", "null"};
    QTest::newRow("ZL alarm address") << "ZL" << kZl << 0 << none << ""
                                      << ""
                                      << "";
    QTest::newRow("ZL panel event")
        << "ZL" << w(kZl, 5, "000") << 0 << QStringList{"Gerät", "Außer Betrieb", "", "", "", ""}
        << "ZL2900"
        << ""
        << "";
    QTest::newRow("ZL panel event, English")
        << "ZL" << w(kZl, 5, "000") << 1 << QStringList{"Device", "Offline", "", "", "", ""}
        << "ZL2900"
        << ""
        << "";
    QTest::newRow("RQ ordinary address") << "RQ" << kRq << 0 << none << "RQ-SENSOR "
                                         << "Temp= 12"
                                         << "Hum = 45";
    QTest::newRow("RQ panel event, no type")
        << "RQ" << w(w(kRq, 7, "0003"), 90, "          ") << 0
        << QStringList{"Gerät", "Außer Betrieb", "", "", "", ""} << "RQ6150"
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("RQ panel event keeps its type")
        << "RQ" << w(kRq, 7, "0003") << 0 << QStringList{"Gerät", "Außer Betrieb", "", "", "", ""}
        << "RQ-SENSOR "
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("RQ no value") << "RQ" << w(kRq, 5, "2 0008") << 0
                                 << QStringList{"Gerät", "Kein Wert", "", "", "", ""}
                                 << "RQ-SENSOR "
                                 << "Temp= 12"
                                 << "Hum = 45";
    QTest::newRow("RQ no value, English")
        << "RQ" << w(kRq, 5, "2 0008") << 1 << QStringList{"Device", "No value", "", "", "", ""}
        << "RQ-SENSOR "
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("RQ label with national letter")
        << "RQ" << w(kRq, 68, "T\x17  ") << 0 << none << "RQ-SENSOR "
        << "T°  = 12"
        << "Hum = 45";
    QTest::newRow("PV ordinary address")
        << "PV" << kPv << 0 << QStringList{"Gerät :12", "Errorcode", "", "", "", ""} << "PV-SENSOR "
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("PV fault code on an address")
        << "PV" << w(kPv, 23, "205") << 0 << QStringList{"Gerät :12", "Errorcode", "5", "", "", ""}
        << "PV-SENSOR "
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("PV panel offline, no type")
        << "PV" << w(w(kPv, 5, "2 0004"), 91, "          ") << 0
        << QStringList{"Gerät", "Außer Betrieb", "", "", "", ""} << "PV370"
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("PV internal fault 205")
        << "PV" << w(w(kPv, 5, "2 0008"), 23, "205") << 0
        << QStringList{"Gerät", "Interner Fehler", "5", "(AdrInt Error)", "", ""} << "PV-SENSOR "
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("PV internal fault 210, English")
        << "PV" << w(w(kPv, 5, "2 0008"), 23, "210") << 1
        << QStringList{"Device", "Internal fault", "10", "(I2CInt1 Error)", "", ""} << "PV-SENSOR "
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("PV internal fault without code")
        << "PV" << w(kPv, 5, "2 0008") << 0
        << QStringList{"Gerät", "Interner Fehler", "", "", "", ""} << "PV-SENSOR "
        << "Temp= 12"
        << "Hum = 45";
    QTest::newRow("PV no analogue values")
        << "PV" << w(w(kPv, 74, "00000"), 85, "00000") << 0
        << QStringList{"Gerät :12", "Errorcode", "", "", "", ""} << "PV-SENSOR "
        << "-"
        << "-";
    QTest::newRow("PV only the upper value")
        << "PV" << w(kPv, 74, "00000") << 0 << QStringList{"Gerät :12", "Errorcode", "", "", "", ""}
        << "PV-SENSOR "
        << "Temp= 0"
        << "Hum = 45";
}

void TestHistoryDecode::textLinesByClass()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, answer);
    QFETCH(int, language);
    QFETCH(QStringList, lines);
    QFETCH(QString, deviceType);
    QFETCH(QString, analogMin);
    QFETCH(QString, analogMax);
    DecodeFixture fx(deviceClass, deviceClass == QLatin1String("ZL")   ? "2900"
                                  : deviceClass == QLatin1String("RQ") ? "6150"
                                                                       : "370");
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    fx.texts.gLanguageOffset = qint16(language);
    const auto o = fx.answer(QStringLiteral("LCDRH"), answer);
    QVERIFY(o.engineOk && !o.rejected);
    const char *fields[] = {S::Text1, S::Text2, S::Text3, S::Text4, S::Text5, S::Text6};
    for (int i = 0; i < 6; ++i) {
        const QVariant v = fx.current(fields[i]);
        QCOMPARE(v.isNull() ? QStringLiteral("null") : v.toString(), lines.at(i));
    }
    QCOMPARE(fx.current(S::geraetetyp).toString(), deviceType);
    QCOMPARE(fx.current(S::AnalogWertMin).toString(), analogMin);
    QCOMPARE(fx.current(S::AnalogWertMax).toString(), analogMax);
}

void TestHistoryDecode::standardTexts_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("textsLanguage"); // the table in the file; "" for no file
    QTest::addColumn<QStringList>("alarmTable");
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("missing");

    const QString blanks(20, QLatin1Char(' '));
    const QStringList fixed = {"Standardtext Zeile 4", "Standardtext Zeile 5",
                               "Standardtext Zeile 6"};
    const QStringList empty = {"", "", "", "", "", ""};
    const QStringList table = {"000 004 07 other text          ",
                               "000 005 99 Heizung Halle 3      ",
                               "000 005 99 second match        "};
    QTest::newRow("RQ full text") << "RQ"
                                  << "01" << table << 1001
                                  << (QStringList{"Kesseldruck", "zu hoch", "Stufe 2"} + fixed)
                                  << false;
    QTest::newRow("RQ empty lines 2 and 3")
        << "RQ"
        << "01" << table << 1002 << (QStringList{"Pumpe", blanks, blanks} + fixed) << false;
    QTest::newRow("RQ line 1 from own row text")
        << "RQ"
        << "01" << table << 1003 << (QStringList{"Heizung Halle 3     ", "Linie 2", blanks} + fixed)
        << false;
    QTest::newRow("RQ line 1 from text kind")
        << "RQ"
        << "01" << QStringList{"000 005 12 not this text        "} << 1003
        << (QStringList{"12", "Linie 2", blanks} + fixed) << false;
    QTest::newRow("RQ line 1, no matching row")
        << "RQ"
        << "01" << QStringList{table.at(0)} << 1003
        << (QStringList{blanks, "Linie 2", blanks} + fixed) << false;
    QTest::newRow("RQ line 1, no table")
        << "RQ"
        << "01" << QStringList{} << 1003 << (QStringList{blanks, "Linie 2", blanks} + fixed)
        << false;
    QTest::newRow("RQ line cut to the display width")
        << "RQ"
        << "01" << table << 1004 << (QStringList{"Eine sehr lange Zeil", blanks, blanks} + fixed)
        << false;
    QTest::newRow("RQ number not in the table") << "RQ"
                                                << "01" << table << 1999 << empty << false;
    QTest::newRow("RQ no file") << "RQ"
                                << "" << table << 1001 << empty << true;
    QTest::newRow("RQ no table for the language") << "RQ"
                                                  << "02" << table << 1001 << empty << true;
    QTest::newRow("PV full text") << "PV"
                                  << "01" << table << 1001
                                  << (QStringList{"Kesseldruck", "zu hoch", "Stufe 2"} + fixed)
                                  << false;
    QTest::newRow("PV line 1 blank, no table used")
        << "PV"
        << "01" << table << 1003 << (QStringList{blanks, "Linie 2", blanks} + fixed) << false;
    QTest::newRow("PV number not in the table") << "PV"
                                                << "01" << table << 1999 << empty << false;
    QTest::newRow("PV no file") << "PV"
                                << "" << table << 1001 << empty << true;
}

void TestHistoryDecode::standardTexts()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, textsLanguage);
    QFETCH(QStringList, alarmTable);
    QFETCH(int, number);
    QFETCH(QStringList, lines);
    QFETCH(bool, missing);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    if (!textsLanguage.isEmpty()) {
        QVERIFY(fx.writeStandardTexts(textsLanguage,
                                      {"1001|Kesseldruck|zu hoch|Stufe 2", "1002|Pumpe|~|",
                                       "1003||Linie 2|~", "1004|Eine sehr lange Zeile 1|~|~"}));
    }
    QVERIFY(fx.answer(QStringLiteral("RQNA?"), QString::number(alarmTable.size())).engineOk);
    for (int i = 0; i < alarmTable.size(); ++i)
        QVERIFY(
            !fx.answer(QStringLiteral("RQRAA"), PadTo3(i + 1) + QLatin1Char(' ') + alarmTable.at(i))
                 .rejected);

    const QString base = deviceClass == QLatin1String("RQ") ? kRq : kPv;
    const QString answer = w(base, 5, "2 ") + QString();
    const auto o =
        fx.answer(QStringLiteral("LCDRH"), DecodeFixture::with(answer, 7, QString::number(number)));
    QVERIFY2(o.engineOk, qPrintable(fx.ctx.engineError));
    QVERIFY(!o.rejected); // missing texts never end or refuse the read-out
    const char *fields[] = {S::Text1, S::Text2, S::Text3, S::Text4, S::Text5, S::Text6};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(fx.current(fields[i]).toString(), lines.at(i));
    QCOMPARE(fx.readout.standardTextsMissing, missing);
}

void TestHistoryDecode::analogueTextsFollowTheSystemNumberFormat_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "Temp= 12,5";
    QTest::newRow("US") << QLocale(QLocale::English, QLocale::UnitedStates) << "Temp= 12.5";
}

void TestHistoryDecode::analogueTextsFollowTheSystemNumberFormat()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    DecodeFixture fx(QStringLiteral("RQ"));
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    const QLocale saved;
    QLocale::setDefault(locale);
    const auto o = fx.answer(QStringLiteral("LCDRH"), w(kRq, 73, "012.5"));
    QLocale::setDefault(saved);
    QVERIFY(o.engineOk && !o.rejected);
    QCOMPARE(fx.current(S::AnalogWertMin).toString(), expected);
    // The times do not depend on the regional settings.
    QCOMPARE(fx.current(S::Start_Datum_Sort).toDouble(), ole(1999, 3, 5, 12, 30));
}

void TestHistoryDecode::messageTextLines_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("rejected");

    //                                  1   5                    26                   47 68 89 110
    const QString zl =
        QStringLiteral("012   Brandmelder        Halle 3              Ost                  Zusatz "
                       "1             Zusatz 2             Zusatz 3            ");
    QTest::newRow("ZL lines") << "ZL" << zl << false;
    QTest::newRow("ZL other text number") << "ZL" << w(zl, 1, "013") << true;
    QTest::newRow("ZL text number with letters") << "ZL" << w(zl, 1, "01B") << true;
    QTest::newRow("RQ lines, one further right") << "RQ" << (QStringLiteral(" ") + zl) << false;
    QTest::newRow("PV other text number")
        << "PV" << (QStringLiteral(" ") + w(zl, 1, "112")) << true;
}

void TestHistoryDecode::messageTextLines()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, answer);
    QFETCH(bool, rejected);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), deviceClass == QLatin1String("ZL")   ? kZl
                                                : deviceClass == QLatin1String("RQ") ? kRq
                                                                                     : kPv)
                 .rejected);
    fx.readout.gTextNumber = 12;
    QVariantList before;
    for (const char *f : {S::Text1, S::Text2, S::Text3, S::Text4, S::Text5, S::Text6})
        before << fx.current(f);
    const auto o = fx.answer(QStringLiteral("LCDRT"), answer);
    QVERIFY(o.engineOk);
    QCOMPARE(o.rejected, rejected);
    const QStringList expected = {"Brandmelder", "Halle 3",  "Ost",
                                  "Zusatz 1",    "Zusatz 2", "Zusatz 3"};
    const char *fields[] = {S::Text1, S::Text2, S::Text3, S::Text4, S::Text5, S::Text6};
    for (int i = 0; i < 6; ++i) {
        // A refused text leaves the row as the entry left it.
        QCOMPARE(fx.current(fields[i]), rejected ? before.at(i) : QVariant(expected.at(i)));
    }
    QCOMPARE(fx.tempRows(), 1);
}

void TestHistoryDecode::analogueValuesZL_data()
{
    QTest::addColumn<QString>("rxCommand");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("probe");
    QTest::addColumn<bool>("rejected");
    QTest::addColumn<QString>("min");
    QTest::addColumn<QString>("max");

    //                             1   5 7  10    16 18 21
    const QString a = QStringLiteral("001 R kO 012.6 R kO 00045");
    QTest::newRow("Ohm, rounded") << "AX=  " << a << false << false << "R = 13kΩ"
                                  << "R = 45kΩ";
    QTest::newRow("micro, lower case o")
        << " AX= " << w(w(a, 7, "uA"), 18, "mo") << false << false << "R = 13µA"
        << "R = 45mΩ";
    QTest::newRow("voltage label U, micro volt")
        << "AX=  " << w(w(w(a, 5, "U V "), 16, "U "), 18, "uV") << false << false << "U = 13V "
        << "U = 45µV";
    QTest::newRow("half rounds away from zero")
        << "AX=  " << w(a, 10, "002.5") << false << false << "R = 3kΩ"
        << "R = 45kΩ";
    QTest::newRow("no values") << "AX=  " << w(a, 5, "    ") << false << false << ""
                               << "";
    QTest::newRow("probe answer") << "AX=  " << a << true << false << ""
                                  << "";
    QTest::newRow("another entry") << "AX=  " << w(a, 1, "002") << false << true << ""
                                   << "";
    QTest::newRow("no AX=") << "AX 1 " << a << false << true << ""
                            << "";
    QTest::newRow("value with letters") << "AX=  " << w(a, 21, "4X") << false << true << ""
                                        << "";
}

void TestHistoryDecode::analogueValuesZL()
{
    QFETCH(QString, rxCommand);
    QFETCH(QString, answer);
    QFETCH(bool, probe);
    QFETCH(bool, rejected);
    QFETCH(QString, min);
    QFETCH(QString, max);
    DecodeFixture fx(QStringLiteral("ZL"));
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), kZl).rejected);
    fx.readout.gHistoryIndex = 1;
    fx.readout.gAnalogProbe = probe;
    const auto o = fx.answer(QStringLiteral("LCDRA"), answer, rxCommand);
    QVERIFY(o.engineOk);
    QCOMPARE(o.rejected, rejected);
    QCOMPARE(fx.current(S::AnalogWertMin).toString(), min);
    QCOMPARE(fx.current(S::AnalogWertMax).toString(), max);
}

QTEST_GUILESS_MAIN(TestHistoryDecode)
#include "tst_historydecode.moc"
