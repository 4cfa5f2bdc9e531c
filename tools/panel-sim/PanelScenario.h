#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace qvr {

// Everything a simulated panel is: what it answers to the identification, what its
// history memory holds, the bus master station beside it, the line's timing and the
// faults it shows on request. A scenario is generated from a seed or read from a text
// file a person can write and read (see parse()).
class PanelScenario
{
public:
    // How the panel's answers are laid out. Unsuitable panels answer the identification
    // only; what they answer is `deviceType`/`model`, which then matches no known panel.
    enum class Layout { ZL, PV, RQ };

    // One entry of the history memory. Fields a layout has no place for are ignored.
    struct Event {
        int alarmAddress = 0;   // parameter number (ZL: 0 to 999, PV/RQ up to 9999)
        int source = 1;         // PV/RQ data source: 1 alarm address, 2 device/standard text
        int systemNumber = 0;   // PV/RQ
        int externalAddress = 0;
        int internalAddress = 1;
        int channel = 0;        // PV: 201 to 210 are device fault codes
        QDateTime start;
        bool acknowledged = false;
        QDateTime acknowledgedAt; // sent even with the flag 0 when set (the flag rules)
        bool stopped = false;
        QDateTime stoppedAt;
        int test = 0;
        // PV/RQ: the two limits and the device type text inside the entry.
        QString lowerLabel;
        int lowerValue = 0;
        QString upperLabel;
        int upperValue = 0;
        QString deviceType;
        // ZL: the analogue record ("LCDRA"). Units use O for Ohm and u for micro.
        bool hasAnalog = false;
        QString analogLowerName, analogLowerUnit, analogUpperName, analogUpperUnit;
        double analogLower = 0;
        double analogUpper = 0;
    };

    // The programming record of an alarm address, fields F2 to F27 of the "LCDRP" answer.
    struct Program {
        int textNumber = 0;  // F2, 0 = no text
        int f3 = 0;
        int mode = 2;        // F4: 2 or 5
        int inputKind = 1;   // F5: 1 to 5
        int device1 = 1;     // F6
        int device2 = 0;     // F7
        int channel = 0;     // F8
        int eibInput = 0;    // F9
        int lamp = 0;        // F10
        int buzzer = 0;      // F11
        int relayA = 0, relayAMode = 0, relayB = 0, relayBMode = 0, relayC = 0, relayCMode = 0;
        int keyRow = 0, keyColumn = 0; // F18, F19
        int f20 = 0, f21 = 0, f22 = 0;
        int eibOutput = 0;   // F23
        QString buzzerRepeat = QStringLiteral("00"); // F24, text
        int showMeasured = 0, showDateTime = 0, showAlarmAddress = 0; // F25 to F27
    };

    // One row of the alarm address table of classes PV and RQ ("RQRAA").
    struct AlarmRow {
        int externalAddress = 0;
        int internalAddress = 1;
        QString textKind = QStringLiteral("99"); // "99": the row carries its own text
        QString text;
    };

    // The bus master station that owns the bus until the PC takes it over.
    struct Master {
        bool present = false;
        int address = 100;
        // Frame texts the master sends in turn while it holds the bus; the PC answers
        // the one that is a request "MAST?" addressed to station 101.
        QStringList queries{QStringLiteral(":;101:MAST?")};
        int pollIntervalMs = 100;  // from one query to the next
        int replyWindowMs = 100;   // how long it waits for "::101:MAST 1"
        int releaseDelayMs = 5;    // from the PC's reply to the release
        bool neverTakesBack = false;
        bool neverReleases = false; // ignores the PC's "MAST 1"
    };

    // A fault aimed at answers of one command (any command when empty), optionally of
    // one entry/record number, for a number of answers (-1: all of them).
    struct FaultRule {
        enum class Kind { BadChecksum, FailCheck, Silent, Empty }; // Empty: no parameter
        Kind kind = Kind::FailCheck;
        QString command;
        int index = -1;
        int times = -1;
    };

    struct Faults {
        int silentFromEntry = 0;   // no answer at all from the request "LCDRH k" on
        int badChecksumEvery = 0;  // every n-th answer of the panel has a wrong checksum
        bool noAnalog = false;     // "LCDRA" is never answered
        bool isx = false;          // the insulation fault location is scanning
        bool garbage = false;      // noise before every frame on the line
        QList<FaultRule> rules;
    };

    struct Timing {
        int baud = 0;          // 0: no line timing (characters arrive at once)
        int turnaroundMs = 0;  // from the end of a request to the first answer character
        // Milliseconds one character takes on the line (10 bits at 7E1), 0 without timing.
        double charMs() const { return baud > 0 ? 10000.0 / baud : 0.0; }
    };

    Layout layout = Layout::ZL;
    QString deviceType = QStringLiteral("ZL"); // command field of the identification answer
    QString model = QStringLiteral("2900");    // its parameter
    int address = 1;                           // bus address 1 to 99
    QString language = QStringLiteral("01");  // answer to "RQRTS"
    QList<Event> events;                       // entry 1 is events[0]
    QMap<int, Program> programs;               // by alarm address (0 to 999)
    QMap<int, QStringList> texts;              // by text number: six lines of up to 20
    QList<AlarmRow> alarmTable;
    Master master;
    Faults faults;
    Timing timing;

    // A panel of the supported table: "ZL", "PV", "RQ" or the class by type and model.
    // Returns false for a type/model pair that is not in the table of supported panels.
    static bool layoutOf(const QString &type, const QString &model, Layout *layout);
    static QString layoutName(Layout layout);

    // A panel with `count` entries made up from `seed`: every input kind, texts and no
    // texts, analogue values (ZL), device events, fault codes (PV), standard text numbers
    // and the alarm table (PV/RQ), repeated alarm addresses, acknowledged and stopped
    // events. Types and models are those of the supported table for the layout.
    static PanelScenario generate(Layout layout, int count, quint32 seed, int address = 1);

    // The scenario text format, one statement a line, '#' starts a comment:
    //   panel class=ZL type=ZL model=2900 address=17 language=01
    //   generate count=200 seed=7
    //   entry address=12 start="2026-03-05 12:00" ack="2026-03-05 12:05" stop=... test=0
    //         source=1 system=0 ext=0 int=3 channel=2 lower=... lowervalue=... upper=...
    //         uppervalue=... type=... analog="U ,V ,12.5,I ,mA,3"
    //   program address=12 text=5 mode=2 kind=1 dev1=3 dev2=0 channel=0 eib=0 lamp=1
    //         buzzer=1 relaya=1 relayamode=1 ... keyrow=2 keycol=3 f20=0 eibout=0
    //         repeat=00 measured=0 datetime=1 alarmaddress=1
    //   text number=5 lines="Line one|Line two|..."
    //   alarm ext=0 int=3 kind=99 text="Own text"
    //   master address=100 queries=":;101:MAST?|:;102:MAST?" poll=100 window=100
    //         release=5 nevertakesback=1 neverreleases=0
    //   timing baud=57600 turnaround=2
    //   fault silentfrom=17 | badchecksumevery=5 | noanalog=1 | isx=1 | garbage=1
    //   fault kind=failcheck|badchecksum|silent|empty command=LCDRH index=17 times=5
    // In values, control codes and the characters | " \ are written \xHH (hex).
    static PanelScenario parse(const QString &text, QString *error);
    static PanelScenario load(const QString &path, QString *error);
    QString toText() const;

    // The layout with the type and model of its first panel in the supported table.
    void setPanel(Layout layout);

    // The most entries the program accepts from a panel of this layout.
    int historyLimit() const;
};

} // namespace qvr
