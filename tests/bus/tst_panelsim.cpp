#include "PanelAnswers.h"
#include "PanelScenario.h"
#include "PanelSimulator.h"
#include "bus/Frame.h"
#include "bus/RxParser.h"

#include <QSet>
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

// 1-based field of an answer, as the decoders cut it.
QString cut(const QString &p, int from, int to)
{
    return p.mid(from - 1, to - from + 1);
}

int num(const QString &p, int from, int to, bool *ok = nullptr)
{
    bool good = false;
    const QString f = cut(p, from, to);
    const int v = f.trimmed().isEmpty() ? 0 : f.trimmed().toInt(&good);
    if (ok)
        *ok = good || f.trimmed().isEmpty();
    return v;
}

bool in(int v, int lo, int hi)
{
    return v >= lo && v <= hi;
}

bool validDate(const QString &p, int from)
{
    bool ok1 = false, ok2 = false, ok3 = false, ok4 = false, ok5 = false;
    const int d = num(p, from, from + 1, &ok1), m = num(p, from + 2, from + 3, &ok2),
              y = num(p, from + 4, from + 5, &ok3), h = num(p, from + 7, from + 8, &ok4),
              mi = num(p, from + 9, from + 10, &ok5);
    return ok1 && ok2 && ok3 && ok4 && ok5 && in(d, 1, 31) && in(m, 1, 12) && in(y, 0, 99)
           && in(h, 0, 24) && in(mi, 0, 59);
}

// The checks the program makes on an "LCDRH" answer; empty when it passes.
QString historyFault(Layout layout, const QString &p)
{
    if (layout == Layout::ZL) {
        if (!in(num(p, 1, 3), 0, 650))
            return QStringLiteral("entry number");
        if (!in(num(p, 5, 7), 0, 999))
            return QStringLiteral("parameter number");
        if (!validDate(p, 9))
            return QStringLiteral("start date");
        const int ack = num(p, 21, 21), stop = num(p, 35, 35);
        if (!in(ack, 0, 1) || (ack == 1 && !validDate(p, 23)))
            return QStringLiteral("acknowledged");
        if (!in(stop, 0, 1) || (stop == 1 && !validDate(p, 37)))
            return QStringLiteral("stopped");
        return p.size() >= 49 ? QString() : QStringLiteral("too short");
    }
    const bool pv = layout == Layout::PV;
    const int w = pv ? 1 : 0;
    if (!in(num(p, 1, 3), 0, pv ? 1000 : 250))
        return QStringLiteral("running number");
    const int source = num(p, 5, 5), param = num(p, 7, 10), system = num(p, 12, 13);
    if (!in(source, 1, 2))
        return QStringLiteral("source");
    if (source == 1 && !in(param, 0, 999))
        return QStringLiteral("parameter (source 1)");
    if (!pv && source == 2 && param != 5 && param != 8 && !in(param, 1000, 9999))
        return QStringLiteral("parameter (source 2)");
    if (source == 1 && system != 0)
        return QStringLiteral("system number");
    if (!pv && num(p, 15, 17) != 0)
        return QStringLiteral("external address");
    if (!in(num(p, 19, 21), pv ? 0 : 1, 150))
        return QStringLiteral("internal address");
    const int channel = num(p, 23, 24 + w);
    if (pv ? !(in(channel, 0, 192) || in(channel, 201, 210)) : !in(channel, 0, 32))
        return QStringLiteral("channel");
    if (!validDate(p, 26 + w))
        return QStringLiteral("start date");
    const int ack = num(p, 38 + w, 38 + w), stop = num(p, 52 + w, 52 + w);
    if (!in(ack, 0, 1) || (ack == 1 && !validDate(p, 40 + w)))
        return QStringLiteral("acknowledged");
    if (!in(stop, 0, 1) || (stop == 1 && !validDate(p, 54 + w)))
        return QStringLiteral("stopped");
    if (!in(num(p, 73 + w, 77 + w), 0, 32767) || !in(num(p, 84 + w, 88 + w), 0, 32767))
        return QStringLiteral("limit values");
    return p.size() >= 99 + w ? QString() : QStringLiteral("too short");
}

// The checks the program makes on an "LCDRP" answer; empty when it passes.
QString programFault(Layout layout, const QString &p)
{
    const bool pv = layout == Layout::PV;
    const int w = pv ? 1 : 0;
    const int f4 = num(p, 11, 11), kind = num(p, 13, 13);
    if (f4 != 2 && f4 != 5)
        return QStringLiteral("F4");
    if (!in(kind, 1, 5))
        return QStringLiteral("F5");
    if (layout == Layout::RQ || kind == 4)
        return QString();
    const int f6 = num(p, 15, 17), f7 = num(p, 19, 21), f8 = num(p, 23, 24 + w),
              f9 = num(p, 26 + w, 26 + w);
    const int f25 = num(p, 70 + 5 * w, 70 + 5 * w), f26 = num(p, 72 + 5 * w, 72 + 5 * w),
              f27 = num(p, 74 + 5 * w, 74 + 5 * w);
    const bool displayOk = in(f25, 0, 6) && in(f26, 0, 6) && in(f27, 0, 6);
    const int eibMax = pv ? 1 : 0;
    switch (kind) {
    case 1:
        if (!in(f6, 1, pv ? 150 : 99) || !in(f7, 0, 255) || !in(f9, 0, eibMax) || !displayOk)
            return QStringLiteral("kind 1");
        break;
    case 2:
        if (f6 != 0 || !in(f7, 1, 255) || !in(f8, 0, f4 == 5 ? 0 : 32) || !in(f9, 0, eibMax)
            || !displayOk)
            return QStringLiteral("kind 2");
        break;
    case 3:
        if (f6 != 0 || f7 != 0 || !in(f8, 1, pv ? 192 : 32) || !in(f9, 1, 4) || f25 != 0
            || f27 != 0 || f26 > 6 || f26 < 0)
            return QStringLiteral("kind 3");
        break;
    default:
        if (f6 != 0 || f7 != 1 || !in(f8, 1, 16) || f9 != 0 || !displayOk)
            return QStringLiteral("kind 5");
        break;
    }
    const int relayMax = pv ? 192 : 16;
    const int f10 = num(p, 28 + w, 28 + w), f11 = num(p, 30 + w, 30 + w);
    const int f12 = num(p, 32 + w, 33 + 2 * w), f13 = num(p, 35 + 2 * w, 35 + 2 * w);
    const int f14 = num(p, 37 + 2 * w, 38 + 3 * w), f15 = num(p, 40 + 3 * w, 40 + 3 * w);
    const int f16 = num(p, 42 + 3 * w, 43 + 4 * w), f17 = num(p, 45 + 4 * w, 45 + 4 * w);
    const int f18 = num(p, 47 + 4 * w, 49 + 4 * w), f19 = num(p, 51 + 4 * w, 52 + 4 * w);
    const int f20 = num(p, 54 + 4 * w, 54 + 4 * w), f23 = num(p, 64 + 4 * w, 65 + 5 * w);
    if (!in(f10, 0, 3) || !in(f11, 0, 2) || !in(f12, 0, relayMax) || !in(f14, 0, relayMax)
        || !in(f16, 0, relayMax) || !in(f13, 0, 2) || !in(f15, 0, 2) || !in(f17, 0, 2)
        || !in(f18, 0, 15) || !in(f19, 0, 5) || !in(f23, 0, 16))
        return QStringLiteral("common fields");
    if (!(f20 == 0 || f20 == 5 || (pv && f20 == 2)))
        return QStringLiteral("F20");
    return QString();
}

QString requestText(int address, const QString &command, int number = -1)
{
    QString t = QStringLiteral(":;%1:%2").arg(address, 3, 10, QLatin1Char('0')).arg(command);
    if (number >= 0)
        t += QLatin1Char(' ') + PanelAnswers::num(number, 3);
    return t;
}

} // namespace

class TestPanelSim : public QObject
{
    Q_OBJECT

private slots:
    void wholeHistoryPassesTheChecks_data();
    void wholeHistoryPassesTheChecks();
    void failingAnswersAreRefused_data();
    void failingAnswersAreRefused();
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
};

void TestPanelSim::wholeHistoryPassesTheChecks_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<int>("count");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("ZL 650") << Layout::ZL << 650 << 1u;
    QTest::newRow("ZL 120 other seed") << Layout::ZL << 120 << 99u;
    QTest::newRow("PV 400") << Layout::PV << 400 << 3u;
    QTest::newRow("RQ 250") << Layout::RQ << 250 << 4u;
    QTest::newRow("RQ 60 other seed") << Layout::RQ << 60 << 12345u;
}

// Walks the whole history in the program's request order and checks every answer with
// the checks the program makes, and that the history has every kind of content a
// technician meets.
void TestPanelSim::wholeHistoryPassesTheChecks()
{
    QFETCH(Layout, layout);
    QFETCH(int, count);
    QFETCH(quint32, seed);
    const int addr = 42;
    PanelSimulator sim(PanelScenario::generate(layout, count, seed, addr));
    qint64 now = 0;
    sim.start(now);

    auto askOk = [&](const QString &req) {
        const auto a = ask(sim, req, now);
        if (!a)
            qWarning("no answer to %s", qPrintable(req));
        return a.value_or(Answer{-1, -1, {}, {}});
    };

    const Answer id = askOk(requestText(addr, QStringLiteral("IDNM? 1")));
    QCOMPARE(id.address, addr);
    QCOMPARE(id.kind, 0);
    Layout decided;
    QVERIFY(PanelScenario::layoutOf(id.command, id.param, &decided));
    QCOMPARE(decided, layout);
    QCOMPARE(askOk(requestText(addr, QStringLiteral("LCDH"))).kind, 0);

    int naCount = 0;
    if (layout != Layout::ZL) {
        const Answer lang = askOk(requestText(addr, QStringLiteral("RQRTS")));
        QVERIFY(in(num(lang.param, 1, lang.param.size()), 0, 20));
        naCount = num(askOk(requestText(addr, QStringLiteral("RQNA?"))).param, 1, 3);
        QVERIFY(naCount > 0);
        for (int n = 1; n <= naCount; ++n) {
            const Answer row = askOk(requestText(addr, QStringLiteral("RQRAA"), n));
            QCOMPARE(num(row.param, 1, 3), n); // the program asks for the next by this
            QVERIFY(in(num(row.param, 9, 11), 1, 150));
        }
    }
    const Answer total = askOk(requestText(addr, QStringLiteral("LCDH?")));
    QCOMPARE(total.command, QStringLiteral("n=   "));
    QCOMPARE(num(total.param, 1, total.param.size()), count);

    QSet<int> kinds, alarmAddresses, faultCodes;
    int repeats = 0, deviceEvents = 0, withText = 0, withoutText = 0, standardTexts = 0;
    int acknowledged = 0, stopped = 0, analog = 0, noAnalog = 0;
    for (int i = 1; i <= count; ++i) {
        const Answer h = askOk(requestText(addr, QStringLiteral("LCDRH"), i));
        const QString fault = historyFault(layout, h.param);
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("entry %1: %2 in \"%3\"")
                                                 .arg(i)
                                                 .arg(fault, h.param)));
        int alarm = 0;
        bool wantsProgram = false;
        const int w = layout == Layout::PV ? 1 : 0;
        if (layout == Layout::ZL) {
            alarm = num(h.param, 5, 7);
            wantsProgram = alarm != 0;
            deviceEvents += alarm == 0;
            acknowledged += num(h.param, 21, 21);
            stopped += num(h.param, 35, 35);
        } else {
            const int source = num(h.param, 5, 5);
            const int param = num(h.param, 7, 10);
            wantsProgram = source == 1;
            alarm = num(h.param, 8, 10);
            deviceEvents += source == 2 && param < 9;
            standardTexts += param > 1000;
            const int channel = num(h.param, 23, 25);
            if (layout == Layout::PV && channel > 200)
                faultCodes.insert(channel);
            acknowledged += num(h.param, 38 + w, 38 + w);
            stopped += num(h.param, 52 + w, 52 + w);
        }
        if (wantsProgram) {
            if (alarmAddresses.contains(alarm)) {
                ++repeats; // the program takes the record of the earlier entry
            } else {
                alarmAddresses.insert(alarm);
                const Answer p = askOk(requestText(addr, QStringLiteral("LCDRP"), alarm));
                const QString pf = programFault(layout, p.param);
                QVERIFY2(pf.isEmpty(), qPrintable(QStringLiteral("address %1: %2 in \"%3\"")
                                                      .arg(alarm)
                                                      .arg(pf, p.param)));
                QCOMPARE(num(p.param, 1, 3), alarm);
                kinds.insert(num(p.param, 13, 13));
                const int textNumber = num(p.param, 5, 7);
                if (textNumber > 0) {
                    ++withText;
                    const Answer t = askOk(requestText(addr, QStringLiteral("LCDRT"),
                                                       textNumber));
                    // ZL: number in 1-3 and lines from 5; others one further right.
                    const int n = layout == Layout::ZL ? num(t.param, 1, 3)
                                                       : num(t.param, 2, 4);
                    QCOMPARE(n, textNumber);
                    QVERIFY(!cut(t.param, 5 + w, 24 + w).trimmed().isEmpty());
                    QVERIFY(!t.param.contains(QLatin1Char('&')));
                } else {
                    ++withoutText;
                }
            }
        }
        if (layout == Layout::ZL) {
            const Answer a = askOk(requestText(addr, QStringLiteral("LCDRA"), i));
            QVERIFY(a.command.contains(QStringLiteral("AX=")));
            QCOMPARE(num(a.param, 1, 3), i);
            if (cut(a.param, 5, 8) == QStringLiteral("    ")) {
                ++noAnalog;
            } else {
                ++analog;
                bool lowOk = false, highOk = false;
                cut(a.param, 10, 14).trimmed().toDouble(&lowOk);
                cut(a.param, 21, 25).trimmed().toDouble(&highOk);
                QVERIFY2(lowOk && highOk, qPrintable(a.param));
            }
        }
    }
    const Answer end = askOk(requestText(addr, QStringLiteral("LCDST")));
    QCOMPARE(end.command, QStringLiteral("LCDST"));
    QVERIFY(sim.readoutOver());

    // What a history of this size has to offer.
    QCOMPARE(kinds, (QSet<int>{1, 2, 3, 4, 5}));
    QVERIFY(repeats > 0);
    QVERIFY(deviceEvents > 0);
    QVERIFY(withText > 0 && withoutText > 0);
    QVERIFY(acknowledged > 0 && acknowledged < count);
    QVERIFY(stopped > 0 && stopped < count);
    if (layout == Layout::ZL)
        QVERIFY(analog > 0 && noAnalog > 0);
    else
        QVERIFY(standardTexts > 0);
    if (layout == Layout::PV)
        QVERIFY(faultCodes.size() > 1);
}

void TestPanelSim::failingAnswersAreRefused_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("number");
    QTest::newRow("ZL history") << Layout::ZL << "LCDRH" << 3;
    QTest::newRow("PV history") << Layout::PV << "LCDRH" << 3;
    QTest::newRow("RQ history") << Layout::RQ << "LCDRH" << 3;
    QTest::newRow("ZL program") << Layout::ZL << "LCDRP" << 0;
    QTest::newRow("PV program") << Layout::PV << "LCDRP" << 0;
    QTest::newRow("RQ program") << Layout::RQ << "LCDRP" << 0;
    QTest::newRow("ZL text") << Layout::ZL << "LCDRT" << 7;
    QTest::newRow("RQ text") << Layout::RQ << "LCDRT" << 7;
    QTest::newRow("ZL analogue") << Layout::ZL << "LCDRA" << 2;
    QTest::newRow("ZL count") << Layout::ZL << "LCDH?" << -1;
    QTest::newRow("RQ count") << Layout::RQ << "LCDH?" << -1;
    QTest::newRow("PV language") << Layout::PV << "RQRTS" << -1;
}

// A check fault applies to the number of answers asked for; the answer after them is
// sound again, so the program's retries can succeed.
void TestPanelSim::failingAnswersAreRefused()
{
    QFETCH(Layout, layout);
    QFETCH(QString, command);
    QFETCH(int, number);
    PanelScenario s = PanelScenario::generate(layout, 30, 8, 1);
    if (command == QLatin1String("LCDRP"))
        number = s.programs.firstKey();
    if (command == QLatin1String("LCDRT"))
        s.texts.insert(number, {QStringLiteral("Pumpe"), {}, {}, {}, {}, {}});
    s.faults.rules << Rule{Rule::Kind::FailCheck, command, number, 2};
    PanelSimulator sim(s);
    qint64 now = 0;
    sim.start(now);

    auto refused = [&](const Answer &a) -> bool {
        if (command == QLatin1String("LCDRH"))
            return !historyFault(layout, a.param).isEmpty();
        if (command == QLatin1String("LCDRP"))
            return !programFault(layout, a.param).isEmpty();
        if (command == QLatin1String("LCDRT"))
            return (layout == Layout::ZL ? num(a.param, 1, 3) : num(a.param, 2, 4)) != number;
        if (command == QLatin1String("LCDRA"))
            return num(a.param, 1, 3) != number || !a.command.contains(QStringLiteral("AX="));
        if (command == QLatin1String("LCDH?"))
            return num(a.param, 1, a.param.size()) > s.historyLimit();
        return !in(num(a.param, 1, a.param.size()), 0, 20); // RQRTS
    };
    const QString req = requestText(1, command, number);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const auto a = ask(sim, req, now);
        QVERIFY(a.has_value());
        QCOMPARE(refused(*a), attempt <= 2);
    }
}

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
}

void TestPanelSim::scenarioFileErrors()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    QString got;
    PanelScenario::parse(text, &got);
    QVERIFY2(got.contains(error), qPrintable(got));
}

QTEST_GUILESS_MAIN(TestPanelSim)
#include "tst_panelsim.moc"
