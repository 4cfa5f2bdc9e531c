#include "decode/ProgrammingRecord.h"
#include "decode_helper.h"
#include "store/HistorySchema.h"
#include "store/OleDate.h"

#include <QTest>

using namespace qvr;
using S = HistorySchema;

namespace {

// History entries and programming records written by hand from the layouts.
const QString kZlEntry = QStringLiteral("001 012 050399 1230 1 050399 1231 1 050399 1300 0");
const QString kRqEntry = QStringLiteral("001 1 0012 00 000 005 03 050399 1230 1 050399 1231 1 "
                                        "050399 1300 0 Temp 00012 Hum  00045 RQ-SENSOR ");
const QString kPvEntry = QStringLiteral("001 1 0012 00 000 005 003 050399 1230 1 050399 1231 1 "
                                        "050399 1300 0 Temp 00012 Hum  00045 PV-SENSOR ");

//   F1  F2  F3 F4 F5 F6  F7  F8 F9 10 11 12 13 14 15 16 17 18  19 20 21  22  23 24 25 26 27
//   1   5   9  11 13 15  19  23 26 28 30 32 35 37 40 42 45 47  51 54 56  60  64 67 70 72 74
const QString kZl =
    QStringLiteral("012 000 0 2 1 005 003 04 0 1 1 02 1 00 0 16 2 002 03 0 000 000 05 10 1 2 3");
//   F8 23-25, F9 27, F10 29, F11 31, F12 33-35, F13 37, F14 39-41, F15 43, F16 45-47, F17 49,
//   F18 51-53, F19 55-56, F20 58, F21 60-62, F22 64-66, F23 68-70, F24 72-73, F25 75, F26 77, F27
//   79
const QString kPv = QStringLiteral(
    "012 000 0 2 1 005 003 004 0 1 1 002 1 000 0 016 2 002 03 0 000 000 005 10 1 2 3");

// Positions of the fields in the two layouts, for overwriting one field of a record.
int zlPos(int f)
{
    static const int p[] = {0,  1,  5,  9,  11, 13, 15, 19, 23, 26, 28, 30, 32, 35,
                            37, 40, 42, 45, 47, 51, 54, 56, 60, 64, 67, 70, 72, 74};
    return p[f];
}
int pvPos(int f)
{
    static const int p[] = {0,  1,  5,  9,  11, 13, 15, 19, 23, 27, 29, 31, 33, 37,
                            39, 43, 45, 49, 51, 55, 58, 60, 64, 68, 72, 75, 77, 79};
    return p[f];
}

// A record with some fields replaced: {field number, text}.
QString zl(std::initializer_list<std::pair<int, const char *>> fields, QString base = kZl)
{
    for (const auto &[f, v] : fields)
        base = DecodeFixture::with(base, zlPos(f), QString::fromLatin1(v));
    return base;
}
QString pv(std::initializer_list<std::pair<int, const char *>> fields)
{
    QString base = kPv;
    for (const auto &[f, v] : fields)
        base = DecodeFixture::with(base, pvPos(f), QString::fromLatin1(v));
    return base;
}

// "Field=value Field=value"; "null" for no value, nothing after '=' for the empty text.
QList<std::pair<QString, QString>> expectations(const QString &text)
{
    QList<std::pair<QString, QString>> out;
    for (const QString &item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        out.append({item.left(eq), item.mid(eq + 1)});
    }
    return out;
}

QString shown(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("null");
    if (v.metaType().id() == QMetaType::QDateTime)
        return QString::number(OleDate::fromDateTime(v.toDateTime()), 'f', 6);
    return v.toString();
}

QString entryFor(const QString &cls)
{
    return cls == QLatin1String("ZL") ? kZlEntry : cls == QLatin1String("RQ") ? kRqEntry : kPvEntry;
}

} // namespace

class TestProgramming : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void storedFields_data();
    void storedFields();
    void textNumberIsKeptFromARefusedRecord();
    void reuse_data();
    void reuse();
    void completeRow_data();
    void completeRow();
};

void TestProgramming::checks_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("record");
    QTest::addColumn<bool>("rejected");

    const auto z = [](const char *name, const QString &r, bool rej) {
        QTest::newRow(name) << "ZL" << r << rej;
    };
    z("ZL input 1 as written", kZl, false);
    z("ZL input kind 0", zl({{5, "0"}}), true);
    z("ZL input kind 6", zl({{5, "6"}}), true);
    z("ZL mode digit 3", zl({{4, "3"}}), true);
    z("ZL mode digit 5", zl({{4, "5"}}), false);
    z("ZL letters in an unused field", zl({{21, "0x0"}}), true);
    z("ZL input 1, device 0", zl({{6, "000"}}), true);
    z("ZL input 1, device 99", zl({{6, "099"}}), false);
    z("ZL input 1, device 100", zl({{6, "100"}}), true);
    z("ZL input 1, second address 255", zl({{7, "255"}}), false);
    z("ZL input 1, second address 256", zl({{7, "256"}}), true);
    z("ZL input 1, EIB kind 1", zl({{9, "1"}}), true);
    z("ZL input 1, display line 6", zl({{27, "6"}}), false);
    z("ZL input 1, display line 7", zl({{25, "7"}}), true);
    z("ZL collective indicator 3", zl({{10, "3"}}), false);
    z("ZL collective indicator 4", zl({{10, "4"}}), true);
    z("ZL buzzer 3", zl({{11, "3"}}), true);
    z("ZL relay a 16", zl({{12, "16"}}), false);
    z("ZL relay a 17", zl({{12, "17"}}), true);
    z("ZL relay b mode 3", zl({{15, "3"}}), true);
    z("ZL relay c 17", zl({{16, "17"}}), true);
    z("ZL key row 15", zl({{18, "015"}}), false);
    z("ZL key row 16", zl({{18, "016"}}), true);
    z("ZL key column 5", zl({{19, "05"}}), false);
    z("ZL key column 6", zl({{19, "06"}}), true);
    z("ZL check field 5", zl({{20, "5"}}), false);
    z("ZL check field 2", zl({{20, "2"}}), true);
    z("ZL EIB output 16", zl({{23, "16"}}), false);
    z("ZL EIB output 17", zl({{23, "17"}}), true);
    z("ZL buzzer repetition with letters", zl({{24, "1O"}}), true);
    const QString in2 = zl({{5, "2"}, {6, "000"}, {7, "001"}});
    z("ZL input 2 as written", in2, false);
    z("ZL input 2, device 1", zl({{6, "001"}}, in2), true);
    z("ZL input 2, second address 0", zl({{7, "000"}}, in2), true);
    z("ZL input 2, mode 2, channel 32", zl({{8, "32"}}, in2), false);
    z("ZL input 2, mode 2, channel 33", zl({{8, "33"}}, in2), true);
    z("ZL input 2, mode 5, channel 0", zl({{4, "5"}, {8, "00"}}, in2), false);
    z("ZL input 2, mode 5, channel 1", zl({{4, "5"}, {8, "01"}}, in2), true);
    const QString in3 =
        zl({{5, "3"}, {6, "000"}, {7, "000"}, {8, "01"}, {9, "1"}, {25, "0"}, {27, "0"}});
    z("ZL input 3 as written", in3, false);
    z("ZL input 3, channel 0", zl({{8, "00"}}, in3), true);
    z("ZL input 3, channel 32", zl({{8, "32"}}, in3), false);
    z("ZL input 3, channel 33", zl({{8, "33"}}, in3), true);
    z("ZL input 3, EIB kind 0", zl({{9, "0"}}, in3), true);
    z("ZL input 3, EIB kind 4", zl({{9, "4"}}, in3), false);
    z("ZL input 3, EIB kind 5", zl({{9, "5"}}, in3), true);
    z("ZL input 3, measured value shown", zl({{25, "1"}}, in3), true);
    z("ZL input 3, alarm address shown", zl({{27, "1"}}, in3), true);
    z("ZL input 3, date line 6", zl({{26, "6"}}, in3), false);
    z("ZL input 3, date line 7", zl({{26, "7"}}, in3), true);
    const QString in5 = zl({{5, "5"}, {6, "000"}, {7, "001"}, {8, "07"}});
    z("ZL input 5 as written", in5, false);
    z("ZL input 5, second address 2", zl({{7, "002"}}, in5), true);
    z("ZL input 5, channel 16", zl({{8, "16"}}, in5), false);
    z("ZL input 5, channel 17", zl({{8, "17"}}, in5), true);
    z("ZL input 5, EIB kind 1", zl({{9, "1"}}, in5), true);
    z("ZL input 4 takes anything", zl({{5, "4"}, {6, "999"}, {12, "99"}, {20, "9"}, {23, "99"}}),
      false);

    const auto p = [](const char *name, const QString &r, bool rej) {
        QTest::newRow(name) << "PV" << r << rej;
    };
    p("PV input 1 as written", kPv, false);
    p("PV input 1, device 150", pv({{6, "150"}}), false);
    p("PV input 1, device 151", pv({{6, "151"}}), true);
    p("PV input 1, EIB kind 1", pv({{9, "1"}}), false);
    p("PV input 1, EIB kind 2", pv({{9, "2"}}), true);
    p("PV relay a 192", pv({{12, "192"}}), false);
    p("PV relay c 193", pv({{16, "193"}}), true);
    p("PV check field 2", pv({{20, "2"}}), false);
    p("PV check field 3", pv({{20, "3"}}), true);
    p("PV EIB output 17", pv({{23, "017"}}), true);
    p("PV input 3, channel 192",
      pv({{5, "3"}, {6, "000"}, {7, "000"}, {8, "192"}, {9, "1"}, {25, "0"}, {27, "0"}}), false);
    p("PV input 3, channel 193",
      pv({{5, "3"}, {6, "000"}, {7, "000"}, {8, "193"}, {9, "1"}, {25, "0"}, {27, "0"}}), true);
    p("PV input 2, EIB kind 1", pv({{5, "2"}, {6, "000"}, {7, "001"}, {9, "1"}}), false);

    const auto q = [](const char *name, const QString &r, bool rej) {
        QTest::newRow(name) << "RQ" << r << rej;
    };
    q("RQ checks only kind and mode", zl({{6, "999"}, {12, "99"}, {20, "9"}, {25, "9"}}), false);
    q("RQ input kind 6", zl({{5, "6"}}), true);
    q("RQ mode digit 0", zl({{4, "0"}}), true);
    q("RQ EIB output the file cannot hold", zl({{23, "-1"}}), true);
    q("RQ buzzer repetition the file cannot hold", zl({{24, "-1"}}), true);
    q("RQ input 5, EIB input 99", zl({{5, "5"}, {8, "99"}}), false);
}

void TestProgramming::checks()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, record);
    QFETCH(bool, rejected);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), entryFor(deviceClass)).rejected);
    const QVariant before = fx.current(S::Tastenfeld);
    const auto o = fx.answer(QStringLiteral("LCDRP"), record);
    QVERIFY2(o.engineOk, qPrintable(fx.ctx.engineError));
    QCOMPARE(o.rejected, rejected);
    QCOMPARE(int(fx.readout.gEndReason), rejected ? 2 : 0);
    // A refused record leaves the row as the history entry wrote it.
    QCOMPARE(fx.current(S::Tastenfeld) == before, rejected);
}

void TestProgramming::storedFields_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ZL input 1")
        << "ZL" << kZl
        << "Kanal=4 EIBAusgang=5 GeraeteAdresse1=5 GeraeteAdresse2=3 Eingang=0 EIBEingang=0 "
           "Betriebsart1=0 "
           "Betriebsart2=0 Summer=0 Summerwiederholung=10 Relais_a=2 Relais_a_Betriebsart1=0 "
           "Relais_b=0 "
           "Relais_b_Betriebsart1=0 Relais_c=16 Relais_c_Betriebsart1=1 Meldeleuchte=1 "
           "Tastenfeld=13 text=0 "
           "Messwert=1 Datum_Uhrzeit=2 Alarmadresse=3 Text1= Text2= Text3= Text4= Text5= Text6=";
    QTest::newRow("ZL input 3, channel 1")
        << "ZL" << zl({{5, "3"}, {6, "000"}, {7, "000"}, {8, "01"}, {9, "3"}, {25, "0"}, {27, "0"}})
        << "Kanal=0 Eingang=2 EIBEingang=0 Betriebsart1=0 Betriebsart2=1";
    QTest::newRow("ZL input 5, channel 7")
        << "ZL" << zl({{5, "5"}, {6, "000"}, {7, "001"}, {8, "07"}})
        << "Kanal=0 Eingang=3 EIBEingang=7 GeraeteAdresse2=1";
    QTest::newRow("buzzer 0, indicator 3, relay a off")
        << "ZL" << zl({{11, "0"}, {10, "3"}, {12, "00"}, {13, "2"}})
        << "Summer=2 Meldeleuchte=1 Relais_a=0 Relais_a_Betriebsart1=2";
    QTest::newRow("buzzer 2, indicator 2")
        << "ZL" << zl({{11, "2"}, {10, "2"}}) << "Summer=1 Meldeleuchte=2";
    QTest::newRow("text number leaves the lines")
        << "ZL" << zl({{2, "012"}}) << "text=1 Text1=null Text2=null Text6=null";
    QTest::newRow("ZL input 4 as it came")
        << "ZL" << zl({{5, "4"}, {8, "40"}, {12, "99"}, {13, "7"}})
        << "Kanal=40 Eingang=3 EIBEingang=0 Relais_a=99 Relais_a_Betriebsart1=6";
    QTest::newRow("PV input 1, EIB kind 1") << "PV" << pv({{9, "1"}, {16, "192"}})
                                            << "Kanal=4 EIBEingang=1 Betriebsart1=0 Betriebsart2=0 "
                                               "Relais_c=192 Relais_c_Betriebsart1=1 EIBAusgang=5";
    QTest::newRow("PV input 3, channel 192")
        << "PV"
        << pv({{5, "3"}, {6, "000"}, {7, "000"}, {8, "192"}, {9, "4"}, {25, "0"}, {27, "0"}})
        << "Kanal=191 Eingang=2 Betriebsart1=1 Betriebsart2=1";
    QTest::newRow("RQ input 2, EIB kind 2")
        << "RQ" << zl({{5, "2"}, {9, "2"}})
        << "Eingang=1 EIBEingang=2 Betriebsart1=1 Betriebsart2=0";
    QTest::newRow("RQ EIB kind 7 leaves the modes")
        << "RQ" << zl({{5, "1"}, {9, "7"}})
        << "Eingang=0 EIBEingang=7 Betriebsart1=0 Betriebsart2=0";
}

void TestProgramming::storedFields()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, record);
    QFETCH(QString, expected);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), entryFor(deviceClass)).rejected);
    const auto o = fx.answer(QStringLiteral("LCDRP"), record);
    QVERIFY2(o.engineOk && !o.rejected, qPrintable(fx.ctx.engineError));
    for (const auto &[field, value] : expectations(expected))
        QVERIFY2(shown(fx.current(qPrintable(field))) == value,
                 qPrintable(field + " is " + shown(fx.current(qPrintable(field))) + ", expected " +
                            value));
}

void TestProgramming::textNumberIsKeptFromARefusedRecord()
{
    DecodeFixture fx(QStringLiteral("ZL"));
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), kZlEntry).rejected);
    QVERIFY(fx.answer(QStringLiteral("LCDRP"), zl({{2, "034"}, {10, "9"}})).rejected);
    QCOMPARE(int(fx.readout.gTextNumber), 34);
}

void TestProgramming::reuse_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("first");  // entry, then its record
    QTest::addColumn<QString>("second"); // the later entry
    QTest::addColumn<bool>("reused");

    QTest::newRow("ZL same address")
        << "ZL" << kZlEntry << DecodeFixture::with(kZlEntry, 1, "002") << true;
    QTest::newRow("ZL same address, earlier start")
        << "ZL" << kZlEntry
        << DecodeFixture::with(DecodeFixture::with(kZlEntry, 1, "002"), 9, "010198") << true;
    QTest::newRow("ZL other address")
        << "ZL" << kZlEntry << DecodeFixture::with(kZlEntry, 5, "013") << false;
    QTest::newRow("RQ same address")
        << "RQ" << kRqEntry << DecodeFixture::with(kRqEntry, 1, "002") << true;
    QTest::newRow("RQ other address")
        << "RQ" << kRqEntry << DecodeFixture::with(kRqEntry, 7, "0013") << false;
    QTest::newRow("PV same address")
        << "PV" << kPvEntry << DecodeFixture::with(kPvEntry, 1, "002") << true;
    QTest::newRow("PV alarm after a device event of the same number")
        << "PV" << DecodeFixture::with(kPvEntry, 5, "2") << DecodeFixture::with(kPvEntry, 1, "002")
        << false;
    QTest::newRow("RQ same address, other internal address")
        << "RQ" << kRqEntry
        << DecodeFixture::with(DecodeFixture::with(kRqEntry, 1, "002"), 19, "006") << false;
}

void TestProgramming::reuse()
{
    QFETCH(QString, deviceClass);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, reused);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    const bool zlClass = deviceClass == QLatin1String("ZL");
    const QString record = zlClass                              ? zl({{2, "012"}, {12, "05"}})
                           : deviceClass == QLatin1String("RQ") ? zl({{2, "012"}, {12, "05"}})
                                                                : pv({{2, "012"}, {12, "005"}});
    const QString text = (zlClass ? QString() : QStringLiteral(" ")) + QStringLiteral("012 ") +
                         QStringLiteral("Zeile eins           Zeile zwei           ");

    // The first event of the address: no earlier row, so its record is asked for.
    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), first).rejected);
    bool found = true;
    QVERIFY(ReuseProgrammingRecord(fx.ctx, first, found));
    QVERIFY(!found);
    QVERIFY(!fx.answer(QStringLiteral("LCDRP"), record).rejected);
    QVERIFY(!fx.answer(QStringLiteral("LCDRT"), text).rejected);
    if (zlClass)
        QVERIFY(!fx.answer(QStringLiteral("LCDRA"), QStringLiteral("001 T C 00021 T C 00030"),
                           QStringLiteral("AX=  "))
                     .rejected);

    // An unrelated row in between, with a record of its own.
    const QString other =
        zlClass ? DecodeFixture::with(kZlEntry, 5, "044") : DecodeFixture::with(first, 7, "0044");
    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), other).rejected);
    QVERIFY(ReuseProgrammingRecord(fx.ctx, other, found));
    QVERIFY(!found);
    QVERIFY(!fx.answer(QStringLiteral("LCDRP"), zlClass || deviceClass == QLatin1String("RQ")
                                                    ? zl({{12, "09"}})
                                                    : pv({{12, "009"}}))
                 .rejected);

    QVERIFY(!fx.answer(QStringLiteral("LCDRH"), second).rejected);
    QVERIFY(ReuseProgrammingRecord(fx.ctx, second, found));
    QCOMPARE(found, reused);
    // The new row stays current for the answers that follow it.
    QCOMPARE(fx.current(S::Start_Datum).toDateTime().date(),
             second.contains(QLatin1String("010198")) ? QDate(1998, 1, 1) : QDate(1999, 3, 5));
    QCOMPARE(fx.tempRows(), 3);
    if (reused) {
        QCOMPARE(fx.current(S::Relais_a).toInt(), 5);
        QCOMPARE(fx.current(S::Text).toInt(), 1);
        QCOMPARE(fx.current(S::Text1).toString(), QStringLiteral("Zeile eins"));
        QCOMPARE(fx.current(S::Text2).toString(), QStringLiteral("Zeile zwei"));
        QCOMPARE(fx.current(S::Tastenfeld).toInt(), 13);
        QCOMPARE(fx.current(S::AnalogWertMin).toString(),
                 zlClass ? QStringLiteral("T = 21C ") : QStringLiteral("Temp= 12"));
    } else {
        QCOMPARE(fx.current(S::Relais_a).toInt(), 0);
        QCOMPARE(fx.current(S::Text).toInt(), 0);
    }
}

void TestProgramming::completeRow_data()
{
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QStringList>("answers"); // "COMMAND|rxCommand|param"
    QTest::addColumn<QString>("expected");    // all 58 fields

    const QString zeroTimes =
        QStringLiteral("Quittiert_JN=0 Quittiert_Datum=0.000000 Quittiert_Datum_Sort=0 "
                       "Quittiert_Datum_Filter=0.000000 "
                       "Quittiert_Uhrzeit_Filter=0.000000 ");
    QTest::newRow("ZL entry, record, text, analogue")
        << "ZL"
        << QStringList{"LCDRH|     |123 045 241226 2400 0 311299 2359 1 010100 0000 1",
                       "LCDRP|     |045 017 0 2 3 000 000 05 2 2 0 03 1 04 2 00 0 004 02 5 000 000 "
                       "07 15 0 4 0",
                       "LCDRT|     |017 Alarm Heizraum       Brenner 1            Stufe "
                       "\x01"
                       "              Zusatz                                                       "
                       " ",
                       "LCDRA|AX=  |123 P bO 001.5 P bO 12345"}
        << QString(QStringLiteral(
                       "lfd_Nummer_data=0 Datenquelle=0 TableauAdresse=7 ParameterNummer=45 "
                       "Systemnummer=0 AdresseExt=0 "
                       "AdresseInt=0 Kanalnummer=0 Start_Datum=46380.000000 Start_Datum_Sort=46380 "
                       "Start_Datum_Filter=46380.000000 Start_Uhrzeit_Filter=1.000000 ") +
                   zeroTimes +
                   QStringLiteral(
                       "Stop_JN=1 Stop_Datum=36526.000012 Stop_Datum_Sort=36526.0000115741 "
                       "Stop_Datum_Filter=36526.000000 "
                       "Stop_Uhrzeit_Filter=0.000012 Test_JN=1 MinText=null MinWert=0 MaxText=null "
                       "MaxWert=0 geraetetyp= Kanal=4 "
                       "GeraeteAdresse1=0 GeraeteAdresse2=0 Eingang=2 Betriebsart1=1 "
                       "Betriebsart2=0 Summer=2 Relais_a=3 "
                       "Relais_a_Betriebsart1=0 Relais_b=4 Relais_b_Betriebsart1=1 Relais_c=0 "
                       "Relais_c_Betriebsart1=0 "
                       "Meldeleuchte=2 Tastenfeld=22 Text=1 Messwert=0 Datum_Uhrzeit=4 "
                       "Alarmadresse=0 Text1=Alarm_Heizraum "
                       "Text2=Brenner_1 Text3=Stufe_\x01 Text4=Zusatz Text5= Text6= EIBEingang=0 "
                       "EIBAusgang=7 "
                       "Summerwiederholung=15 AnalogWertMin=P_=_2bΩ AnalogWertMax=P_=_12345bΩ"));
}

void TestProgramming::completeRow()
{
    QFETCH(QString, deviceClass);
    QFETCH(QStringList, answers);
    QFETCH(QString, expected);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ready(), qPrintable(fx.error()));
    fx.readout.gHistoryIndex = 123;
    for (const QString &a : answers) {
        const QStringList p = a.split(QLatin1Char('|'));
        const auto o = fx.answer(p.at(0), p.at(2), p.at(1));
        QVERIFY2(o.engineOk && !o.rejected, qPrintable(p.at(0) + " " + fx.ctx.engineError));
        if (p.at(0) == QLatin1String("LCDRH")) {
            bool found = true;
            QVERIFY(ReuseProgrammingRecord(fx.ctx, p.at(2), found));
            QVERIFY(!found);
        }
    }
    const auto fields = expectations(expected);
    QStringList named;
    for (const auto &[field, value] : fields) {
        named << field.toLower();
        QString want = value;
        want.replace(QLatin1Char('_'), QLatin1Char(' '));
        const QVariant got = fx.current(qPrintable(field));
        bool isNumber = false;
        const double wantNumber = want.toDouble(&isNumber);
        if (isNumber && got.metaType().id() == QMetaType::Double)
            QVERIFY2(qAbs(got.toDouble() - wantNumber) < 1e-6,
                     qPrintable(field + " is " + shown(got)));
        else
            QVERIFY2(shown(got) == want,
                     qPrintable(field + " is " + shown(got) + ", expected " + want));
    }
    // Every field of the row is checked.
    QStringList all;
    const TableDef temp = S::eventTable(QStringLiteral("TEMP"));
    for (const FieldDef &f : temp.fields())
        all << f.name.toLower();
    named.sort();
    all.sort();
    QCOMPARE(named, all);
}

QTEST_GUILESS_MAIN(TestProgramming)
#include "tst_programming.moc"
