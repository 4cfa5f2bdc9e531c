#include "PanelAnswers.h"
#include "PanelScenario.h"
#include "PanelSimulator.h"
#include "bus/Frame.h"
#include "bus/RxParser.h"

#include <QTest>
#include <optional>

using namespace qvr;
using Layout = PanelScenario::Layout;
using Rule = PanelScenario::FaultRule;

namespace {

// An answer as the program's receive parser delivers it.
struct Answer {
    int kind = 0;
    int address = 0;
    QString command; // five characters, blank-padded
    QString param;
};

// Sends one request to the simulator at `now` and collects what reaches the line in the
// next ten seconds, parsed by the program's own receive parser.
QList<Answer> exchange(PanelSimulator &sim, const QString &text, qint64 &now)
{
    sim.receive(FrameBytes(CompleteFrame(text)), now);
    now += 10000;
    const QByteArray out = sim.takeOutput(now);
    QList<Answer> answers;
    RxParser parser;
    for (char c : out) {
        parser.ParseRxChar(static_cast<unsigned char>(c));
        if (parser.gRxFrameComplete == 1) {
            answers.append({parser.gRxKind, parser.gRxAddress, parser.gRxCommand,
                            parser.gRxParam});
            parser.reset();
        }
    }
    return answers;
}

std::optional<Answer> ask(PanelSimulator &sim, const QString &request, qint64 &now)
{
    const QList<Answer> a = exchange(sim, request, now);
    if (a.isEmpty())
        return std::nullopt;
    return a.last();
}

} // namespace

class TestPanelSim : public QObject
{
    Q_OBJECT

private slots:
    void faults_data();
    void faults();
    void identification_data();
    void identification();
    void masterStation_data();
    void masterStation();
    void answerArrivesAfterLineTime_data();
    void answerArrivesAfterLineTime();
    void scenarioFileRoundTrip_data();
    void scenarioFileRoundTrip();
    void scenarioFileErrors_data();
    void scenarioFileErrors();
    void panelStatement_data();
    void panelStatement();
};

void TestPanelSim::faults_data()
{
    QTest::addColumn<QString>("fault");
    // Requests in order, each followed by "+" (answered and accepted by the parser) or
    // "-" (nothing the program would accept arrives).
    QTest::addColumn<QStringList>("dialogue");
    QTest::newRow("silent from entry 3")
        << "silentfrom=3"
        << QStringList{"LCDRH 001+", "LCDRH 002+", "LCDRH 003-", "LCDRH 001-", "LCDST-"};
    QTest::newRow("every third answer with a wrong checksum")
        << "badchecksumevery=3"
        << QStringList{"LCDH+", "LCDH?+", "LCDRH 001-", "LCDRH 001+", "LCDRH 002+",
                       "LCDRH 003-"};
    QTest::newRow("wrong checksum for entry 2 twice")
        << "kind=badchecksum command=LCDRH index=2 times=2"
        << QStringList{"LCDRH 002-", "LCDRH 001+", "LCDRH 002-", "LCDRH 002+"};
    QTest::newRow("no analogue records")
        << "noanalog=1" << QStringList{"LCDRA 001-", "LCDRH 001+", "LCDRA 001-"};
    QTest::newRow("one silent answer")
        << "kind=silent command=LCDRP times=1"
        << QStringList{"LCDRP 005-", "LCDRP 005+"};
    QTest::newRow("noise between frames")
        << "garbage=1" << QStringList{"IDNM? 1+", "LCDH+", "LCDH?+", "LCDRH 001+"};
    QTest::newRow("requests to another address are not answered")
        << "" << QStringList{"@2 LCDH?-", "LCDH?+"};
}

void TestPanelSim::faults()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, dialogue);
    QString error;
    const PanelScenario s = PanelScenario::parse(
        QStringLiteral("panel class=ZL address=1\ngenerate count=5 seed=2\n")
            + (fault.isEmpty() ? QString() : QStringLiteral("fault ") + fault),
        &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    PanelSimulator sim(s, 77);
    qint64 now = 0;
    sim.start(now);
    for (QString step : dialogue) {
        const bool expectAnswer = step.endsWith(QLatin1Char('+'));
        step.chop(1);
        int address = 1;
        if (step.startsWith(QLatin1Char('@'))) {
            address = step.mid(1, step.indexOf(QLatin1Char(' ')) - 1).toInt();
            step = step.mid(step.indexOf(QLatin1Char(' ')) + 1);
        }
        const QList<Answer> got = exchange(
            sim, QStringLiteral(":;%1:").arg(address, 3, 10, QLatin1Char('0')) + step, now);
        QVERIFY2(got.size() == (expectAnswer ? 1 : 0),
                 qPrintable(QStringLiteral("%1: %2 frames").arg(step).arg(got.size())));
        if (expectAnswer)
            QCOMPARE(got[0].address, 1);
    }
}

void TestPanelSim::identification_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("suitable");
    QTest::addColumn<Layout>("layout");
    QTest::newRow("JX 940") << "JX" << "940" << true << Layout::RQ;
    QTest::newRow("RQ 6150") << "RQ" << "6150" << true << Layout::RQ;
    QTest::newRow("WE 610") << "WE" << "610" << true << Layout::PV;
    QTest::newRow("RQ 370 is PV") << "RQ" << "370" << true << Layout::PV;
    QTest::newRow("PV 370") << "PV" << "370" << true << Layout::PV;
    QTest::newRow("ZL 2900") << "ZL" << "2900" << true << Layout::ZL;
    QTest::newRow("ZL 720") << "ZL" << "720" << true << Layout::ZL;
    QTest::newRow("VZT 8830") << "VZT" << "8830" << true << Layout::ZL;
    QTest::newRow("type inside a longer field") << "xZLx" << "720" << true << Layout::ZL;
    QTest::newRow("model must match exactly") << "ZL" << "7200" << false << Layout::ZL;
    QTest::newRow("unknown type") << "AB" << "2900" << false << Layout::ZL;
}

void TestPanelSim::identification()
{
    QFETCH(QString, type);
    QFETCH(QString, model);
    QFETCH(bool, suitable);
    QFETCH(Layout, layout);
    PanelScenario s = PanelScenario::generate(layout, 3, 1, 99);
    s.deviceType = type;
    s.model = model;
    PanelSimulator sim(s);
    qint64 now = 0;
    sim.start(now);
    const auto a = ask(sim, QStringLiteral(":;099:IDNM? 1"), now);
    QVERIFY(a.has_value());
    QCOMPARE(a->address, 99);
    QCOMPARE(a->command.trimmed(), type);
    QCOMPARE(a->param, model);
    Layout decided = Layout::ZL;
    QCOMPARE(PanelScenario::layoutOf(a->command, a->param, &decided), suitable);
    if (suitable)
        QCOMPARE(decided, layout);
}

void TestPanelSim::masterStation_data()
{
    QTest::addColumn<QString>("master");
    // Steps: "wait N" lets N ms pass; "pc FRAME" is the PC writing a frame; "expect FRAME"
    // and "none" check what the line carried meanwhile.
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("takeover and return")
        << "master address=100 poll=200 window=80 release=5"
        << QStringList{"wait 150", "none", "wait 100", "expect :;101:MAST?",
                       "pc ::101:MAST 1", "wait 10", "expect ::100:",
                       "wait 5000", "none",
                       "pc :;100:MAST? 101", "wait 10", "expect ::100:MAST 1",
                       "pc ::101:", "wait 250", "expect :;101:MAST?"};
    QTest::newRow("late reply is not taken")
        << "master address=100 poll=200 window=50 release=5"
        << QStringList{"wait 250", "expect :;101:MAST?", "wait 60", "pc ::101:MAST 1",
                       "wait 20", "none", "wait 200", "expect :;101:MAST?"};
    QTest::newRow("queries to other stations in turn")
        << "master address=7 queries=\":;102:MAST?|::101:MAST?|:;101:MAST?\" poll=100"
        << QStringList{"wait 100", "expect :;102:MAST?", "wait 100", "expect ::101:MAST?",
                       "wait 100", "expect :;101:MAST?", "pc ::101:MAST 1", "wait 10",
                       "expect ::007:"};
    QTest::newRow("master that never takes the bus back")
        << "master address=100 poll=100 nevertakesback=1"
        << QStringList{"wait 100", "expect :;101:MAST?", "pc ::101:MAST 1", "wait 10",
                       "expect ::100:", "pc :;100:MAST? 101", "wait 3000", "none"};
    QTest::newRow("master that never releases")
        << "master address=100 poll=100 neverreleases=1"
        << QStringList{"wait 100", "expect :;101:MAST?", "pc ::101:MAST 1", "wait 50",
                       "none", "wait 200", "expect :;101:MAST?"};
}

void TestPanelSim::masterStation()
{
    QFETCH(QString, master);
    QFETCH(QStringList, steps);
    QString error;
    const PanelScenario s = PanelScenario::parse(
        QStringLiteral("panel class=ZL address=1\n") + master, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    PanelSimulator sim(s);
    qint64 now = 1000;
    sim.start(now);
    QByteArray line;
    auto framesOnLine = [&] {
        QStringList frames;
        RxParser parser;
        for (char c : line) {
            parser.ParseRxChar(static_cast<unsigned char>(c));
            if (parser.gRxFrameComplete == 1) {
                QString t = QStringLiteral(":") + (parser.gRxKind ? QLatin1Char(';')
                                                                  : QLatin1Char(':'))
                            + PanelAnswers::num(parser.gRxAddress, 3) + QLatin1Char(':')
                            + parser.gRxCommand.trimmed();
                if (!parser.gRxParam.isEmpty())
                    t += QLatin1Char(' ') + parser.gRxParam;
                frames << t;
                parser.reset();
            }
        }
        line.clear();
        return frames;
    };
    for (const QString &step : steps) {
        const QString arg = step.section(QLatin1Char(' '), 1);
        if (step.startsWith(QLatin1String("wait"))) {
            // Time passes in small steps, as the event loop would let it.
            const qint64 until = now + arg.toInt();
            while (now < until) {
                now = qMin(until, sim.nextDueMs() > now ? sim.nextDueMs() : now + 1);
                line += sim.takeOutput(now);
            }
        } else if (step.startsWith(QLatin1String("pc"))) {
            sim.receive(FrameBytes(CompleteFrame(arg)), now);
        } else if (step == QLatin1String("none")) {
            QCOMPARE(framesOnLine(), QStringList());
        } else {
            QCOMPARE(framesOnLine(), QStringList{arg});
        }
    }
}

void TestPanelSim::answerArrivesAfterLineTime_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaround");
    QTest::newRow("9600") << 9600 << 3;
    QTest::newRow("57600") << 57600 << 1;
    QTest::newRow("no timing") << 0 << 0;
}

// The benchmark's lower bound assumes the request and the answer each take their
// characters' time on the line plus one turnaround; an answer must not come sooner.
void TestPanelSim::answerArrivesAfterLineTime()
{
    QFETCH(int, baud);
    QFETCH(int, turnaround);
    PanelScenario s = PanelScenario::generate(Layout::ZL, 3, 5, 1);
    s.timing.baud = baud;
    s.timing.turnaroundMs = turnaround;
    PanelSimulator sim(s);
    sim.start(0);
    const QByteArray request = FrameBytes(CompleteFrame(QStringLiteral(":;001:LCDRH 002")));
    sim.receive(request, 0);
    const qint64 due = sim.nextDueMs();
    QVERIFY(due >= 0);
    QVERIFY(sim.takeOutput(due - 1).isEmpty());
    const QByteArray answer = sim.takeOutput(due);
    QVERIFY(answer.startsWith("::001:LCDRH 002 "));
    const double bound = baud ? (request.size() + answer.size()) * 10000.0 / baud : 0.0;
    QVERIFY2(due >= bound + turnaround && due <= bound + turnaround + 2,
             qPrintable(QStringLiteral("due %1, bound %2").arg(due).arg(bound + turnaround)));
}

void TestPanelSim::scenarioFileRoundTrip_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<int>("count");
    QTest::newRow("ZL") << Layout::ZL << 80;
    QTest::newRow("PV") << Layout::PV << 80;
    QTest::newRow("RQ") << Layout::RQ << 80;
}

// A scenario written to a file and read back gives a panel that answers every request
// exactly as the original does.
void TestPanelSim::scenarioFileRoundTrip()
{
    QFETCH(Layout, layout);
    QFETCH(int, count);
    PanelScenario original = PanelScenario::generate(layout, count, 21, 7);
    original.master.present = true;
    original.faults.rules << Rule{Rule::Kind::BadChecksum, QStringLiteral("LCDRT"), 4, 1};
    original.texts.insert(999, {QStringLiteral("a|b \"c\" \\d"), QStringLiteral("\x0e\x18"),
                                {}, {}, {}, QStringLiteral("zwanzig Zeichen lang")});
    QString error;
    const PanelScenario copy = PanelScenario::parse(original.toText(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(copy.toText(), original.toText());

    PanelSimulator a(original), b(copy);
    qint64 ta = 0, tb = 0;
    a.start(0);
    b.start(0);
    QStringList requests{QStringLiteral("IDNM? 1"), QStringLiteral("RQRTS"),
                         QStringLiteral("RQNA?"), QStringLiteral("LCDH?"),
                         QStringLiteral("LCDRT 999")};
    for (int i = 1; i <= count; ++i)
        requests << QStringLiteral("LCDRH %1").arg(PanelAnswers::num(i, 3))
                 << QStringLiteral("LCDRA %1").arg(PanelAnswers::num(i, 3));
    for (int key : original.programs.keys())
        requests << QStringLiteral("LCDRP %1").arg(PanelAnswers::num(key, 3));
    for (int key : original.texts.keys())
        requests << QStringLiteral("LCDRT %1").arg(PanelAnswers::num(key, 3));
    for (int i = 1; i <= original.alarmTable.size(); ++i)
        requests << QStringLiteral("RQRAA %1").arg(PanelAnswers::num(i, 3));
    for (const QString &r : requests) {
        const QString frame = QStringLiteral(":;007:") + r;
        a.receive(FrameBytes(CompleteFrame(frame)), ta);
        b.receive(FrameBytes(CompleteFrame(frame)), tb);
        ta += 5000;
        tb += 5000;
        QCOMPARE(b.takeOutput(tb), a.takeOutput(ta));
    }
}

void TestPanelSim::scenarioFileErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown statement") << "panel class=ZL\npanle address=3" << "line 2: unknown";
    QTest::newRow("unknown key") << "entry adress=3 start=\"2026-01-01 10:00\"" << "adress";
    QTest::newRow("number") << "panel address=x1" << "address";
    QTest::newRow("date") << "entry address=3 start=\"2026-13-01 10:00\"" << "start";
    QTest::newRow("quote") << "text number=1 lines=\"abc" << "quote";
    QTest::newRow("class") << "panel class=XY" << "class";
    QTest::newRow("address out of range") << "panel address=100" << "1 to 99";
    QTest::newRow("analogue parts") << "entry start=\"2026-01-01 10:00\" analog=\"U ,V \""
                                    << "six";
    QTest::newRow("fault kind") << "fault kind=loud" << "kind";
    QTest::newRow("history too long") << "generate count=100000" << "count";
}

void TestPanelSim::scenarioFileErrors()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QString got;
    PanelScenario::parse(text, &got);
    QVERIFY2(got.contains(error), qPrintable(got));
}

void TestPanelSim::panelStatement_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("identification");
    QTest::addColumn<Layout>("layout");
    QTest::newRow("class alone names a panel of that class")
        << "panel class=PV" << "PV 370" << Layout::PV;
    QTest::newRow("type and model decide the layout") << "panel type=RQ model=370"
                                                       << "RQ 370" << Layout::PV;
    QTest::newRow("unsuitable pair keeps the class") << "panel class=RQ type=XY model=1"
                                                     << "XY 1" << Layout::RQ;
}

// The panel identifies itself as a panel whose answers it gives: a mismatch would make
// every answer of a correct program look wrong.
void TestPanelSim::panelStatement()
{
    QFETCH(QString, statement);
    QFETCH(QString, identification);
    QFETCH(Layout, layout);
    QString error;
    const PanelScenario s = PanelScenario::parse(statement, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(s.deviceType + QLatin1Char(' ') + s.model, identification);
    QCOMPARE(s.layout, layout);
}

QTEST_GUILESS_MAIN(TestPanelSim)
#include "tst_panelsim.moc"
