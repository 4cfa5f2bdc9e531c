#include "decode/ProgrammingRecord.h"
#include "decode_helper.h"

#include <QLocale>
#include <QTest>

using namespace qvr;
using namespace qvr::test;

namespace {

// Standard texts in the panel's language and an alarm address table of class RQ.
void prepareTexts(DecodeFixture &fx)
{
    QVERIFY(fx.writeStandardTexts("01", {"1001,'Kesseldruck','zu hoch','Stufe 2'",
                                         "1002,'Pumpe',NULL,''", "1003,'','Linie 2',NULL",
                                         "1004,'Eine sehr lange Zeile 1',NULL,NULL"}));
    QVERIFY(!fx.answer(QStringLiteral("RQNA?"), QStringLiteral("3")).rejected);
    for (const char *row : {"001 000 004 07 other text", "002 000 005 99 Heizung Halle 3",
                            "003 000 005 99 second match"})
        QVERIFY(!fx.answer(QStringLiteral("RQRAA"), QString::fromLatin1(row)).rejected);
}

// The first event of an address: no earlier row, so its record (relay a 5), text and
// analogue values are asked for.
void firstEvent(DecodeFixture &fx)
{
    const QString &cls = fx.readout.gDeviceClass;
    bool found = true;
    QVERIFY(!fx.answer("LCDRH", entryOf(cls)).rejected);
    QVERIFY(ReuseProgrammingRecord(fx.ctx, entryOf(cls), found) && !found);
    const bool pv = cls == QLatin1String("PV");
    const QString rec = put(pv ? kPvRecord : kZlRecord, pv ? "2=012;12=005" : "2=012;12=05", true);
    QVERIFY(!fx.answer("LCDRP", rec).rejected);
    QVERIFY(!fx.answer("LCDRT", (pv || cls == QLatin1String("RQ") ? " " : "") +
                                    QStringLiteral("012 Zeile eins"))
                 .rejected);
    QVERIFY(!fx.answer("LCDRA", "001 T C 00021", "AX=  ").rejected);
}

} // namespace

// Each decoder with answers written by hand, against a real history file.
class TestDecoders : public QObject
{
    Q_OBJECT

private slots:
    // Analogue values are written as the user's system writes numbers.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void dispatch_data();
    void dispatch() { checkAnswerRow(); }
    void entries_data();
    void entries() { checkAnswerRow(); }
    void standardTexts_data();
    void standardTexts() { checkAnswerRow(prepareTexts); }
    void linesAndAnalogue_data();
    // The probe answer only tells whether the panel has analogue records.
    void linesAndAnalogue()
    {
        checkAnswerRow([](DecodeFixture &fx) {
            fx.readout.gAnalogProbe = strstr(QTest::currentDataTag(), "probe") != nullptr;
        });
    }
    void records_data();
    void records() { checkAnswerRow(); }
    void reuse_data();
    void reuse() { checkAnswerRow(firstEvent); }
    void refusedWrite();
};

void TestDecoders::dispatch_data()
{
    AnswerRows r(QStringLiteral("LCDH? n=   "));
    r.use("ZL", {});
    r.bound("count", 1, "650", "651", "gHistoryCount=650");
    const QString none("refused|finished|gHistoryCount=99|gErrorCount=0|gEndReason=1");
    r.add("count 0: no history", "1=000", none);
    r.refused("1=1O");
    r.use("PV", {});
    r.bound("count", 1, "1000", "1001", "gHistoryCount=1000");
    r.add("empty count: no history", "", none);
    r.use("RQ", {});
    r.bound("count", 1, "250", "251", "gHistoryCount=250");
    r.add("count 1", "1=001", "gHistoryCount=1");
    r.command = QStringLiteral("LCDH? n=  1");
    r.add("count in another command", "1=005", "refused|gHistoryCount=99");
    // The language is stored with the file's layout version and the panel's class.
    r.command = QStringLiteral("RQRTS");
    r.use("PV", {}, "language");
    r.add("empty: 1", "",
          "gTextLanguage=|LumoHistory.Meldetextsprache=1|LumoHistory.Version=2.00|"
          "LumoHistory.Geraet=PV");
    r.bound("", 1, "20", "21", "LumoHistory.Meldetextsprache=20");
    r.add("00", "1=00", "gTextLanguage=00|LumoHistory.Meldetextsprache=0");
    r.add("-1", "1=-1",
          "refused|gTextLanguage=01|LumoHistory.Meldetextsprache=9|LumoHistory.Geraet=ZL");
    r.command = QStringLiteral("RQNA?");
    r.use("RQ", {}, "address table");
    r.add("of 2 rows", "1=002", "gAlarmAddressTable=,,,;,,,");
    r.command = QStringLiteral("RQRAA"); // after a table of 3 rows
    r.use("RQ", QStringLiteral("001 000 012 99 Kessel Haus 2"), "address row");
    r.add("1", "", "gAlarmAddressTable=000,012,99,Kessel Haus 2;,,,;,,,");
    r.bound("", 1, "003", "004", "gAlarmAddressTable=,,,;,,,;000,012,99,Kessel Haus 2");
    r.refused("1=000;1=0O1");
    r.use("ZL", {});
    for (const char *command : {"LCDH&", "XXXXX", "LCDST LCDH&"}) {
        r.command = QString::fromLatin1(command);
        r.add(command, "", "unchanged");
    }
    // The end reason a failed request left survives, so the end message names it.
    r.command = QStringLiteral("LCDST LCDST");
    r.add("end acknowledged", "", "finished|gErrorCount=0|gEndReason=3");
    r.command = QStringLiteral("LCDRH");
    r.use("", kZlEntry, "entry of no class");
    r.add("", "", "unchanged");
    r.command = QStringLiteral("LCDRA");
    r.use("RQ", QStringLiteral("x"));
    r.add("analogue answer", "", "unchanged");
}

void TestDecoders::entries_data()
{
    AnswerRows r(QStringLiteral("LCDRH"));
    r.use("ZL", kZlEntry);
    r.add("layout", "",
          "TableauAdresse=7|ParameterNummer=12|Start_Datum=1999-03-05 12:30|Start_Datum_Sort="
          "36224.520833|Start_Datum_Filter=1999-03-05 00:00|Start_Uhrzeit_Filter=1899-12-30 "
          "12:30|Quittiert_JN=1|Quittiert_Datum=1999-03-06 12:31|Quittiert_Datum_Sort=36225."
          "521528|Quittiert_Datum_Filter=1999-03-06 00:00|Quittiert_Uhrzeit_Filter=1899-12-30 "
          "12:31|Stop_JN=1|Stop_Datum=1999-03-07 13:00|Stop_Datum_Sort=36226.541667|Stop_Datum_"
          "Filter=1999-03-07 00:00|Stop_Uhrzeit_Filter=1899-12-30 13:00|Test_JN=0|geraetetyp=|"
          "Text1=null|AnalogWertMin=|AnalogWertMax=");
    r.bound("entry", 1, "650", "651", "ParameterNummer=12");
    r.bound("address", 5, "999", "-01", "ParameterNummer=999");
    // Address in letters, flags other than 0 and 1, times out of range where the flag is 1.
    r.refused("5=0A2;9=32;21=2;23=00;35=2;39=13");
    r.add("panel event", "5=000",
          "Text1=Gerät|Text2=Außer Betrieb|Text3=|Text6=|geraetetyp=ZL2900");
    r.add("not acknowledged: no time read", "21=0;23=00",
          "Quittiert_JN=0|Quittiert_Datum=1899-12-30 00:00|Quittiert_Datum_Sort=0.000000|"
          "Quittiert_Datum_Filter=1899-12-30 00:00|Quittiert_Uhrzeit_Filter=1899-12-30 00:00");
    r.add("not stopped, test 7", "35=0;39=13;49=7",
          "Stop_JN=0|Stop_Datum=1899-12-30 00:00|Stop_Datum_Filter=1899-12-30 00:00|Test_JN=1");
    r.use("ZL", kZlEntry.left(19));
    r.add("answer ending before the flags", "", "Quittiert_JN=0|Stop_JN=0");
    r.use("ZL", kZlEntry.left(18));
    r.add("answer cut in the start time", "", "refused");
    r.use("ZL", {});
    r.add("empty answer", "", "unchanged");

    r.use("RQ", kRqEntry);
    r.add("layout", "",
          "lfd_Nummer_data=1|Datenquelle=1|TableauAdresse=7|ParameterNummer=12|Systemnummer=0|"
          "AdresseExt=0|GeraeteAdresse1=0|AdresseInt=5|GeraeteAdresse2=5|Kanalnummer=3|Kanal=3|"
          "Start_Datum=1999-03-05 12:30|Quittiert_Datum=1999-03-06 12:31|Stop_Datum=1999-03-07 "
          "13:00|Test_JN=0|Text1=null|geraetetyp=RQ-SENSOR |AnalogWertMin=Temp= 12|"
          "AnalogWertMax=Hum = 45");
    r.add("test 1, not acknowledged", "38=0;66=1",
          "Quittiert_JN=0|Quittiert_Datum=1899-12-30 00:00|Test_JN=1");
    r.bound("number", 1, "250", "251", "lfd_Nummer_data=250");
    r.bound("source 1 address", 7, "0999", "1000", "ParameterNummer=999");
    r.bound("internal address", 19, "150", "151", "AdresseInt=150");
    r.bound("channel", 23, "32", "33", "Kanal=32|Kanalnummer=32");
    r.bound("low value", 73, "65536", "65537", "AnalogWertMin=Temp= 65536");
    // Sources other than 1 and 2, a system or an external address of source 1, an internal
    // address 0, flag 2, analogue values out of range or in letters.
    r.refused("5=0;5=3;12=01;15=001;19=000;38=2;84=65537;84=-0001;73=12O45;73=1e4");
    r.add("address 5: panel event",
          "7=0005;90=          ", "Text1=Gerät|Text2=Außer Betrieb|Text3=|geraetetyp=RQ2900");
    r.add("address 6", "7=0006", "Text1=null|geraetetyp=RQ-SENSOR ");
    r.add("panel event with a type", "7=0003", "geraetetyp=RQ-SENSOR ");
    r.add("source 2 system 1", "5=2 0008 01",
          "Datenquelle=2|Systemnummer=1|Text1=Gerät|Text2=Kein Wert|Text3=");
    r.add("source 2 address 1000", "5=2 1000", "Text1=null");
    r.add("standard text, no file", "5=2 9999", "Text1=|Text6=|standardTextsMissing=1");
    r.add("decimal comma", "73=12,50", "AnalogWertMin=Temp= 12,5");
    r.add("label with a national letter", "68=T\x17  ", "AnalogWertMin=T°  = 12");
    r.use("RQ", put(kRqEntry, "5=2"), "source 2");
    r.refused("7=0007;7=0999");

    r.use("PV", kPvEntry);
    r.add("layout", "15=999",
          "lfd_Nummer_data=1|Datenquelle=1|ParameterNummer=12|Systemnummer=0|AdresseExt=999|"
          "GeraeteAdresse1=999|AdresseInt=5|GeraeteAdresse2=5|Kanalnummer=3|Kanal=3|Start_Datum="
          "1999-03-05 12:30|Quittiert_Datum=1999-03-06 12:31|Stop_Datum=1999-03-07 13:00|Test_"
          "JN=0|Text1=Gerät :12|Text2=Errorcode|Text3=|geraetetyp=PV-SENSOR |AnalogWertMin=Temp= "
          "12|AnalogWertMax=Hum = 45");
    r.refused("7=1000;12=01;23=200;53=2;85=65537");
    r.add("source 1 address 5", "7=0005", "Text1=Gerät :5");
    r.add("source 2 address 5",
          "5=2 0005;91=          ", "Text1=Gerät|Text2=Außer Betrieb|Text3=|geraetetyp=PV2900");
    r.add("source 2 address 6", "5=2 0006", "Text1=Gerät :6");
    r.add("source 2 address 1000", "5=2 1000", "Text1=Gerät :1000");
    r.add("source 2 address 1001", "5=2 1001", "Text1=|Text6=");
    r.bound("internal address", 19, "150", "151", "AdresseInt=150");
    r.add("internal address 0", "19=000", "AdresseInt=0");
    r.bound("channel", 23, "192", "193", "Kanal=192|Kanalnummer=192");
    r.add("fault code 201 of an address", "23=201",
          "Kanal=0|Kanalnummer=0|Text1=Gerät :12|Text2=Errorcode|Text3=1|Text4=");
    r.add("no analogue values", "74=00000;85=00000", "AnalogWertMin=-|AnalogWertMax=-");
    r.add("low value 0", "74=00000", "AnalogWertMin=Temp= 0|AnalogWertMax=Hum = 45");
    r.use("PV", put(kPvEntry, "5=2 0008"), "internal fault");
    r.add("", "", "Text1=Gerät|Text2=Interner Fehler|Text3=|Text4=");
    r.add("205", "23=205", "Text4=(AdrInt Error)");
    r.bound("", 23, "210", "211", "Text3=10|Text4=(I2CInt1 Error)");
}

void TestDecoders::standardTexts_data()
{
    AnswerRows r(QStringLiteral("LCDRH"));
    const QString b(20, QLatin1Char(' '));
    r.use("RQ", put(kRqEntry, "5=2"));
    r.add("full text", "7=1001",
          "Text1=Kesseldruck|Text2=zu hoch|Text3=Stufe 2|Text4=Standardtext Zeile 4|"
          "Text5=Standardtext Zeile 5|Text6=Standardtext Zeile 6|standardTextsMissing=0");
    r.add("empty lines", "7=1002", "Text2=" + b + "|Text3=" + b);
    r.add("line 1 from the row's text", "7=1003", "Text1=Heizung Halle 3|Text2=Linie 2");
    r.add("line 1 from the text kind", "7=1003;19=004", "Text1=07");
    r.add("line 1 without a row", "7=1003;19=006", "Text1=" + b);
    r.add("line cut", "7=1004", "Text1=Eine sehr lange Zeil");
    r.add("number not in the table", "7=1999", "Text1=|Text6=|standardTextsMissing=0");
    r.use("PV", put(kPvEntry, "5=2"));
    r.add("line 1 not from the table", "7=1003", "Text1=" + b + "|Text2=Linie 2");
}

void TestDecoders::linesAndAnalogue_data()
{
    AnswerRows r(QStringLiteral("LCDRT"));
    const QString lines =
        put(QStringLiteral("012"),
            "5=Brandmelder;26=Halle 3, Tor Nord 12;47=Ost;68=Zusatz 1;89=Zusatz 2;"
            "110=Zusatz 3            ");
    const QString stored = QStringLiteral("Text1=Brandmelder|Text2=Halle 3, Tor Nord 12|Text3=Ost|"
                                          "Text4=Zusatz 1|Text5=Zusatz 2|Text6=Zusatz 3");
    r.use("ZL", lines, "text");
    r.add("lines", "", stored);
    r.refused("1=013;1=01B");
    r.use("RQ", ' ' + lines, "text");
    r.add("lines, one further right", "", stored);

    r.command = QStringLiteral("LCDRA AX=  ");
    //                                       1   5 7  10    16 18 21
    r.use("ZL", QStringLiteral("001 R kO 002.5 R O  00045"), "analogue");
    r.add("Ohm, half rounds up", "", "AnalogWertMin=R = 3kΩ|AnalogWertMax=R = 45Ω ");
    r.add("label U, micro, milli", "5=U uV;16=U mo",
          "AnalogWertMin=U = 3µV|AnalogWertMax=U = 45mΩ");
    r.add("no name: no values", "5=    ", "unchanged");
    r.add("probe", "", "unchanged");
    r.refused("1=002;21=4X"); // another entry, letters
    r.command = QStringLiteral("LCDRA AX 1 ");
    r.add("without AX=", "", "refused");
}

void TestDecoders::records_data()
{
    AnswerRows r(QStringLiteral("LCDRP"));
    r.byField = true;
    r.use("ZL", kZlRecord);
    r.add("layout, input 1", "",
          "Kanal=4|GeraeteAdresse1=5|GeraeteAdresse2=3|Eingang=0|EIBEingang=0|Betriebsart1=0|"
          "Betriebsart2=0|Summer=0|Relais_a=2|Relais_a_Betriebsart1=0|Relais_b=0|Relais_b_"
          "Betriebsart1=0|Relais_c=16|Relais_c_Betriebsart1=1|Meldeleuchte=1|Tastenfeld=13|"
          "Text=0|Messwert=1|Datum_Uhrzeit=2|Alarmadresse=3|Text1=|Text6=|EIBAusgang=5|"
          "Summerwiederholung=10");
    r.add("text number 1 keeps the lines", "2=001", "Text=1|Text1=null");
    r.bound("input 1 device", 6, "099", "100", "GeraeteAdresse1=99");
    r.bound("input 1 address 2", 7, "255", "256", "GeraeteAdresse2=255");
    r.bound("display line", 25, "6", "7", "Messwert=6");
    r.bound("indicator", 10, "3", "4", "Meldeleuchte=1");
    r.bound("buzzer", 11, "2", "3", "Summer=1");
    r.add("buzzer 0", "11=0", "Summer=2");
    r.bound("relay a", 12, "16", "17", "Relais_a=16");
    r.bound("key row", 18, "015", "016", "Tastenfeld=78");
    r.bound("key column", 19, "05", "06", "Tastenfeld=15");
    r.bound("check field", 20, "5", "2", "Kanal=4");
    r.bound("EIB output", 23, "16", "17", "EIBAusgang=16");
    // Input kinds and mode digits that do not exist, letters, device 0, EIB kind 1, relay
    // b and c 17, relay mode 3, buzzer repetition in letters.
    r.refused("5=0;5=6;4=3;21=0x0;6=000;9=1;14=17;16=17;15=3;24=1O");
    r.add("input 4 takes anything", "5=4;6=999;8=40;12=99;13=7;20=9;23=99",
          "Kanal=40|Eingang=3|GeraeteAdresse1=999|Relais_a=99|Relais_a_Betriebsart1=6");
    r.use("ZL", put(kZlRecord, "5=2;6=000;7=001", true), "input 2");
    r.add("", "", "Eingang=1|GeraeteAdresse1=0|GeraeteAdresse2=1|Kanal=4");
    r.bound("channel", 8, "32", "33", "Kanal=32");
    r.refused("6=001;7=000");
    r.use("ZL", put(kZlRecord, "4=5;5=2;6=000;7=001", true), "input 2 mode 5");
    r.bound("channel", 8, "00", "01", "Kanal=0");
    r.use("ZL", put(kZlRecord, "5=3;6=000;7=000;8=01;9=1;25=0;27=0", true), "input 3");
    r.add("", "", "Kanal=0|Eingang=2|Betriebsart1=0|Betriebsart2=0");
    r.bound("channel", 8, "32", "33", "Kanal=31");
    r.bound("EIB kind", 9, "4", "5", "Betriebsart1=1|Betriebsart2=1");
    r.add("EIB kind 3", "9=3", "Betriebsart1=0|Betriebsart2=1");
    r.bound("date line", 26, "6", "7", "Datum_Uhrzeit=6");
    r.refused("8=00;9=0;25=1;27=1"); // channel 0, EIB kind 0, value or alarm address shown
    r.use("ZL", put(kZlRecord, "5=5;6=000;7=001;8=07", true), "input 5");
    r.add("", "", "Eingang=3|EIBEingang=7|Kanal=0");
    r.bound("channel", 8, "16", "17", "EIBEingang=16");
    r.refused("7=002;9=1");

    r.use("PV", kPvRecord);
    r.add("layout, input 1", "",
          "Kanal=4|GeraeteAdresse1=5|GeraeteAdresse2=3|Relais_a=2|Relais_c=16|Tastenfeld=13|"
          "EIBAusgang=5|Summerwiederholung=10|Alarmadresse=3");
    r.bound("input 1 device", 6, "150", "151", "GeraeteAdresse1=150");
    r.bound("input 1 EIB kind", 9, "1", "2", "EIBEingang=1");
    r.bound("relay a", 12, "192", "193", "Relais_a=192");
    r.bound("check field", 20, "2", "3", "Kanal=4");
    r.refused("16=193;23=017");
    r.use("PV", put(kPvRecord, "5=3;6=000;7=000;9=1;25=0;27=0", true), "input 3");
    r.bound("channel", 8, "192", "193", "Kanal=191");

    r.use("RQ", kZlRecord);
    r.add("checks only kind and mode", "6=999;12=99;20=9;25=9",
          "GeraeteAdresse1=999|Relais_a=99|Messwert=9");
    // Kind 6, mode digit 0, and values the file cannot hold (refused, not half stored).
    r.refused("5=6;4=0;23=-1;24=-1");
}

void TestDecoders::reuse_data()
{
    AnswerRows r(QStringLiteral("REUSE"));
    const QString copied =
        QStringLiteral("reused|Relais_a=5|Text=1|Text1=Zeile eins|AnalogWertMin=");
    const QString own = QStringLiteral("Relais_a=0|Text=0");
    r.use("ZL", kZlEntry);
    r.add("same address", "1=002", copied + "T = 21C |Start_Datum=1999-03-05 12:30");
    // The new row stays current for the answers that follow it.
    r.add("same address, earlier start", "1=002;9=010198",
          copied + "T = 21C |Start_Datum=1998-01-01 12:30");
    r.add("other address", "5=013", own);
    r.use("RQ", kRqEntry);
    r.add("same address", "1=002", copied + "Temp= 12");
    r.add("other address", "7=0013", own);
    r.add("other internal address", "1=002;19=006", own);
    r.use("PV", kPvEntry);
    r.add("same address", "1=002", copied + "Temp= 12");
    r.add("device event of the address's number", "1=002;5=2", own);
}

// A write the file refuses stops the read-out instead of counting as stored.
void TestDecoders::refusedWrite()
{
    DecodeFixture fx(QStringLiteral("ZL"));
    QVERIFY(fx.ok && !fx.answer(QStringLiteral("LCDRH"), kZlEntry).rejected);
    fx.readout.gTextNumber = 12;
    QVERIFY(fx.store.gDatabase->execute(QStringLiteral("PRAGMA query_only=1")));
    QVERIFY(!fx.answer(QStringLiteral("LCDRT"), QStringLiteral("012 Zeile")).engineOk);
    QVERIFY(!fx.ctx.engineError.isEmpty());
}

QTEST_GUILESS_MAIN(TestDecoders)
#include "tst_decoders.moc"
