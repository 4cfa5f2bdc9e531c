#include "bus/BusSearch.h"
#include "bus/SiteReadout.h"
#include "bus_helper.h"

#include <QTest>

using namespace qvr;

namespace {

const QString kPanel = QStringLiteral("panel class=ZL address=17\n"
                                      "entry address=0 start=\"2026-03-05 12:00\"\n");
const QString kMaster = QStringLiteral("master address=100 poll=100 window=100 release=5 ");

int countOf(const QByteArray &haystack, const char *needle)
{
    return int(haystack.count(needle));
}

} // namespace

class TestReadoutBus : public QObject
{
    Q_OBJECT

private slots:
    void takeover_data();
    void takeover();
    void mastAnswerWindow();
    void silentBus();
    void silentPanel_data();
    void silentPanel();
    void stop_data();
    void stop();
    void search_data();
    void search();
    void site_data();
    void site();
};

void TestReadoutBus::takeover_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("connection");
    // What the PC sent first and last (frames without checksum).
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("last");
    QTest::addColumn<int>("mastAnswers"); // "::101:MAST 1" sent this often
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<bool>("success");

    const QStringList identify{QStringLiteral("::101:MAST 1"), QStringLiteral(":;017:IDNM? 1")};
    const QStringList handBack{QStringLiteral(":;017:LCDST"), QStringLiteral(":;100:MAST? 101"),
                               QStringLiteral("::101:")};
    QTest::newRow("master releases and takes back")
        << kPanel + kMaster + "queries=\":;101:MAST?\"\n"
        << "int." << identify << handBack << 1 << QList<int>{} << true;
    QTest::newRow("queries to others or as answers are not answered")
        << kPanel + kMaster + "queries=\":;102:MAST?|::101:MAST?|:;101:MAST?\"\n"
        << "ext." << identify << handBack << 1 << QList<int>{} << true;
    QTest::newRow("no query for the PC in 30 s")
        << kPanel + kMaster + "queries=\":;102:MAST?|::101:MAST?\"\n"
        << "int." << QStringList{} << QStringList{} << 0 << QList<int>{30030} << false;
    QTest::newRow("master never releases")
        << kPanel + kMaster + "queries=\":;101:MAST?\" neverreleases=1\n"
        << "int." << QStringList{QStringLiteral("::101:MAST 1"), QStringLiteral("::101:MAST 1")}
        << QStringList{QStringLiteral("::101:MAST 1")} << -1 << QList<int>{30030} << false;
    // The failed return is reported, then the read-out ends as its end reason says.
    QTest::newRow("master never takes back")
        << kPanel + kMaster + "queries=\":;101:MAST?\" nevertakesback=1\n"
        << "int." << identify << QStringList(5, QStringLiteral(":;100:MAST? 101")) << 1
        << QList<int>{30040} << true;
    QTest::newRow("unsuitable panel, master never takes back")
        << kPanel + "panel type=XY model=1\n" + kMaster +
               "queries=\":;101:MAST?\" nevertakesback=1\n"
        << "int." << identify << QStringList(5, QStringLiteral(":;100:MAST? 101")) << 1
        << QList<int>{30040, 30100} << false;
    QTest::newRow("direct connection: no master exchange")
        << kPanel + kMaster + "queries=\":;101:MAST?\"\n"
        << "USB" << QStringList{QStringLiteral(":;017:IDNM? 1")}
        << QStringList{QStringLiteral(":;017:LCDST")} << 0 << QList<int>{} << true;
}

void TestReadoutBus::takeover()
{
    QFETCH(QString, scenario);
    QFETCH(QString, connection);
    QFETCH(QStringList, first);
    QFETCH(QStringList, last);
    QFETCH(int, mastAnswers);
    QFETCH(QList<int>, messages);
    QFETCH(bool, success);

    const PanelScenario s = scenarioOf(scenario);
    ReadoutRig rig(s, connection, QStringLiteral("9600"), true);
    QVERIFY2(rig.ready, qPrintable(rig.error));
    QVERIFY(rig.run(17));

    const QStringList sent = rig.sim->framesFromPc();
    QCOMPARE(sent.mid(0, first.size()), first);
    QCOMPARE(sent.mid(sent.size() - last.size()), last);
    if (mastAnswers >= 0)
        QCOMPARE(sent.count(QStringLiteral("::101:MAST 1")), mastAnswers);
    else
        QVERIFY(sent.count(QStringLiteral("::101:MAST 1")) > 1);
    QCOMPARE(rig.presenter.messages, messages);
    QCOMPARE(rig.presenter.succeeded, success);
    QCOMPARE(rig.addresses(HistorySchema::HISTORY), success ? QList<int>{0} : QList<int>{});
    if (messages.contains(30030)) {
        // 30 s from the first traffic, which the master makes within its first poll.
        const qint64 at = rig.presenter.messageTimes.first() - rig.startedAt;
        QVERIFY2(at >= 30000 && at < 30300, qPrintable(QString::number(at)));
        QVERIFY(rig.presenter.closed);
        QVERIFY(!rig.line.host().isOpen());
    }
    if (success && connection != QLatin1String("USB"))
        QCOMPARE(rig.readout.gMasterAddress, qint16(100));
}

// The master must release the bus within 60 ms of the PC's "MAST 1"; otherwise the PC
// listens for its next query.
void TestReadoutBus::mastAnswerWindow()
{
    ReadoutRig rig(scenarioOf(kPanel + kMaster + "queries=\":;101:MAST?\" neverreleases=1\n"),
                   QStringLiteral("int."), QStringLiteral("9600"), true);
    QVERIFY2(rig.ready, qPrintable(rig.error));
    QVERIFY(rig.start(17));
    QVERIFY(rig.clock.runUntil([&] { return rig.line.host().written().contains("::101:MAST 1"); },
                               5000));
    QCOMPARE(rig.readout.gBusStage, quint8(2));
    rig.clock.advance(59);
    QCOMPARE(rig.readout.gBusStage, quint8(2));
    rig.clock.advance(2);
    QCOMPARE(rig.readout.gBusStage, quint8(1));
    QVERIFY(rig.readout.gReadoutActive);
    QCOMPARE(rig.line.host().written().count("::101:MAST 1"), 1);
}

// Nobody on the bus: the PC becomes master after 3 s of quiet and a 5 s pause, at 57600
// baud with RTS and DTR on.
void TestReadoutBus::silentBus()
{
    ReadoutRig rig(scenarioOf(kPanel), QStringLiteral("int."), QStringLiteral("57600"), true);
    QVERIFY2(rig.ready, qPrintable(rig.error));
    QVERIFY(rig.start(17));
    QVERIFY(rig.clock.runUntil([&] { return !rig.line.host().written().isEmpty(); }, 20000));
    const qint64 at = rig.clock.nowMs() - rig.startedAt;
    QVERIFY2(at >= 8000 && at < 8100, qPrintable(QString::number(at)));
    QVERIFY(rig.line.host().written().startsWith(":;017:IDNM? 1"));
    QCOMPARE(rig.line.host().settings(), QStringLiteral("57600,E,7,1"));
    QVERIFY(rig.line.host().rts());
    QVERIFY(rig.line.host().dtr());
    QVERIFY(rig.clock.runUntil([&] { return rig.presenter.over(); }, 60000));
    QVERIFY(rig.presenter.succeeded);
    QCOMPARE(rig.readout.gMasterAddress, qint16(-1));
}

void TestReadoutBus::silentPanel_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QStringList>("last");

    QTest::newRow("direct") << kPanel + "fault kind=silent command=IDNM?\n"
                            << "USB" << QStringList{QStringLiteral(":;017:IDNM? 1")};
    QTest::newRow("master gets the bus back")
        << kPanel + kMaster + "queries=\":;101:MAST?\"\nfault kind=silent command=IDNM?\n"
        << "int."
        << QStringList{QStringLiteral(":;017:IDNM? 1"), QStringLiteral(":;100:MAST? 101"),
                       QStringLiteral("::101:")};
}

// A request goes out five times, one second apart; then the read-out gives up with
// "not responding", handing the master role back first where there is a master.
void TestReadoutBus::silentPanel()
{
    QFETCH(QString, scenario);
    QFETCH(QString, connection);
    QFETCH(QStringList, last);

    ReadoutRig rig(scenarioOf(scenario), connection, QStringLiteral("9600"), true);
    QVERIFY2(rig.ready, qPrintable(rig.error));
    QVERIFY(rig.start(17));

    QList<qint64> sendTimes;
    for (int n = 1; n <= 5; ++n) {
        QVERIFY(rig.clock.runUntil(
            [&] { return countOf(rig.line.host().written(), "IDNM? 1") >= n; }, 60000));
        sendTimes << rig.clock.nowMs();
    }
    for (int i = 1; i < sendTimes.size(); ++i) {
        const qint64 gap = sendTimes[i] - sendTimes[i - 1];
        QVERIFY2(gap >= 1000 && gap <= 1050, qPrintable(QString::number(gap)));
    }
    QVERIFY(rig.clock.runUntil([&] { return rig.presenter.over(); }, 60000));
    QCOMPARE(countOf(rig.line.host().written(), "IDNM? 1"), 5);
    QCOMPARE(rig.presenter.messages, QList<int>{30020});
    QVERIFY(rig.presenter.closed);
    QCOMPARE(rig.readout.gNewData, false);
    const QStringList sent = rig.sim->framesFromPc();
    QCOMPARE(sent.mid(sent.size() - last.size()), last);
}

void TestReadoutBus::stop_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("when");
    QTest::addColumn<QStringList>("after"); // frames the PC sent from the stop on
    QTest::addColumn<int>("history");       // HISTORY rows afterwards
    QTest::addColumn<QList<int>>("messages");
    QTest::addColumn<bool>("masterHasBus"); // the master station polls again

    const QString bus = QStringLiteral("int."), usb = QStringLiteral("USB");
    const QString panel = QStringLiteral("panel class=ZL address=17\ngenerate count=10 seed=3\n");
    const QString master = panel + kMaster + "queries=\":;101:MAST?\"\n";
    const QString lcdst = QStringLiteral(":;017:LCDST");
    const QString mastBack = QStringLiteral(":;100:MAST? 101");
    const QString ack = QStringLiteral("::101:");
    QTest::newRow("listening") << master << bus << "listening" << QStringList{} << 0 << QList<int>{}
                               << true;
    QTest::newRow("answered the master's query")
        << master << bus << "answered" << QStringList{mastBack, ack} << 0 << QList<int>{} << true;
    QTest::newRow("after the takeover")
        << master << bus << "takeover" << QStringList{mastBack, ack} << 0 << QList<int>{} << true;
    QTest::newRow("mid-transfer") << master << QStringLiteral("ext.") << "transfer"
                                  << QStringList{lcdst, mastBack, ack} << 0 << QList<int>{} << true;
    QTest::newRow("mid-transfer, direct")
        << panel << usb << "transfer" << QStringList{lcdst} << 0 << QList<int>{} << false;
    // Bounded: two tries of the return, then the port closes all the same.
    QTest::newRow("mid-transfer, master never takes back")
        << master.chopped(1) + " nevertakesback=1\n"
        << bus << "transfer" << QStringList{lcdst, mastBack, mastBack} << 0 << QList<int>{30040}
        << false;
    // The end goes on to its merge; the stop is answered after it.
    QTest::newRow("during the end")
        << master << bus << "end" << QStringList{} << 10 << QList<int>{} << true;
}

// A read-out stopped from outside hands the panel and the bus back and merges nothing.
void TestReadoutBus::stop()
{
    QFETCH(QString, scenario);
    QFETCH(QString, connection);
    QFETCH(QString, when);
    QFETCH(QStringList, after);
    QFETCH(int, history);
    QFETCH(QList<int>, messages);
    QFETCH(bool, masterHasBus);

    ReadoutRig rig(scenarioOf(scenario), connection, QStringLiteral("9600"), true);
    QVERIFY2(rig.ready, qPrintable(rig.error));
    QVERIFY(rig.start(17));

    const ReadoutState &r = rig.readout;
    const std::function<bool()> due = [&] {
        if (when == "listening")
            return r.gBusStage == 1;
        if (when == "answered")
            return r.gBusStage == 2;
        if (when == "takeover")
            return r.gBusStage == 3 && r.gMasterAddress == 100 && !r.gNewData;
        if (when == "transfer")
            return r.gHistoryIndex > 3;
        return r.gReadoutActive && rig.timers.Timer_Delay->isEnabled(); // closing the port
    };
    // Checked between events, also inside the waits of the read-out's end.
    qsizetype sentBefore = -1;
    bool stopped = false;
    std::function<void()> probe = [&] {
        if (!due()) {
            rig.clock.callLater(1, probe);
            return;
        }
        sentBefore = rig.line.host().written().size();
        rig.engine->requestStop([&] { stopped = true; });
    };
    probe();
    QVERIFY(rig.clock.runUntil([&] { return stopped; }, 60000));

    QStringList sent;
    for (const QByteArray &frame : rig.line.host().written().mid(sentBefore).split('\n'))
        if (!frame.isEmpty())
            sent << QString::fromLatin1(frame.left(frame.indexOf('&')));
    QCOMPARE(sent, after);
    QCOMPARE(rig.addresses(HistorySchema::HISTORY).size(), history);
    QCOMPARE(rig.engine->outcome(),
             history > 0 ? ReadoutEngine::Outcome::Success : ReadoutEngine::Outcome::Stopped);
    QCOMPARE(rig.presenter.messages, messages);
    QCOMPARE(rig.sim->masterHoldsBus(), masterHasBus);
    QVERIFY(!rig.line.host().isOpen());
    QVERIFY(!rig.engine->running());
}

void TestReadoutBus::search_data()
{
    QTest::addColumn<QString>("baud");
    QTest::addColumn<int>("turnaround"); // ms from the request to the answer of the panel at 2
    QTest::addColumn<QString>("panel");  // its identification, type and model
    QTest::addColumn<QList<int>>("found");

    // The window, from the send: 48 characters' time plus 30 ms, 80 ms at 9600 baud and
    // 39 ms at 57600. Request and answer take 39 ms and 8 ms of it on the line, each
    // rounded up to whole milliseconds.
    QTest::newRow("9600, answer inside the window") << "9600" << 40 << "ZL 2900" << QList<int>{2};
    QTest::newRow("9600, answer just after it") << "9600" << 43 << "ZL 2900" << QList<int>{};
    // Arrives while the next address is asked: not that address's answer.
    QTest::newRow("9600, answer in the next window") << "9600" << 70 << "ZL 2900" << QList<int>{};
    QTest::newRow("57600, inside") << "57600" << 29 << "RQ 370" << QList<int>{2};
    QTest::newRow("57600, just after") << "57600" << 32 << "RQ 370" << QList<int>{};
    QTest::newRow("not a supported panel") << "9600" << 0 << "ZL 9999" << QList<int>{};
}

// The search takes the bus from the master, asks every address once with an answer window
// chosen from the baud rate, and hands the bus back well within 20 s for 99 addresses.
void TestReadoutBus::search()
{
    QFETCH(QString, baud);
    QFETCH(int, turnaround);
    QFETCH(QString, panel);
    QFETCH(QList<int>, found);

    const QStringList id = panel.split(' ');
    ReadoutRig rig(
        scenarioOf(QStringLiteral("panel class=ZL address=2 type=%1 model=%2\n").arg(id[0], id[1]) +
                   kMaster + "queries=\":;101:MAST?\"\n" +
                   QStringLiteral("timing turnaround=%1\n").arg(turnaround)),
        QStringLiteral("int."), baud, true);
    QVERIFY2(rig.ready, qPrintable(rig.error));
    bool failed = false;
    rig.link->OpenBusPort(failed);
    QVERIFY(!failed);
    rig.driver = std::make_unique<PanelSimDriver>(*rig.sim, rig.line.device(), rig.clock);
    BusSearch search(*rig.link, rig.clock);
    QList<qint64> asked;
    search.asking = [&](int, int, int) { asked << rig.clock.nowMs(); };
    bool over = false;
    search.finished = [&] { over = true; };
    QList<int> all;
    bool every = false;
    QVERIFY(SiteReadout::ParseAddressList("all", &all, &every));
    search.start(all);
    QVERIFY(rig.clock.runUntil([&] { return over; }, 60000));

    QList<int> addresses;
    for (const BusSearch::Panel &p : search.panels())
        addresses << p.address;
    QCOMPARE(addresses, found);
    QCOMPARE(asked.size(), 99);
    // A silent address costs the pause before the send and the window.
    QCOMPARE(asked[1] - asked[0], BusLink::kPauseMs + BusSearch::answerWindowMs(baud.toInt()));
    QCOMPARE(search.endMessage(), 0);
    QVERIFY(rig.sim->masterHoldsBus());
    const qint64 held = rig.sim->stats().masterReleasedMs;
    QVERIFY2(held > 0 && held < 20000, qPrintable(QString::number(held)));
    QVERIFY(!rig.line.host().isOpen());
}

void TestReadoutBus::site_data()
{
    QTest::addColumn<QString>("master");
    QTest::addColumn<QList<int>>("messages"); // of the panels at 17 and 5; -1: not read
    QTest::addColumn<int>("history");
    QTest::newRow("master never releases: the site ends")
        << "neverreleases=1" << QList<int>{30030, -1} << 0;
    QTest::newRow("master never takes back: noted, the next panel is read")
        << "nevertakesback=1" << QList<int>{30040, 0} << 2;
}

// Two panels read as a site on the virtual clock: a master that never lets the PC have the
// bus ends the site, one that does not take it back only leaves a note.
void TestReadoutBus::site()
{
    QFETCH(QString, master);
    QFETCH(QList<int>, messages);
    QFETCH(int, history);

    ReadoutRig rig(scenarioOf(kPanel + kMaster + "queries=\":;101:MAST?\" " + master + "\n"),
                   QStringLiteral("int."), QStringLiteral("57600"), true);
    QVERIFY2(rig.ready, qPrintable(rig.error));
    rig.sim->addPanel(scenarioOf(QString(kPanel).replace("address=17", "address=5")));
    rig.driver = std::make_unique<PanelSimDriver>(*rig.sim, rig.line.device(), rig.clock);
    struct Observer : SiteObserver
    {
        bool over = false;
        void panelStarted(int, int, int) override {}
        void siteFinished() override { over = true; }
    } observer;
    SiteReadout site(*rig.link, rig.readout, rig.store, rig.texts, rig.clock, rig.presenter,
                     observer);
    site.start({17, 5});
    QVERIFY(rig.clock.runUntil([&] { return observer.over; }, 600000));
    QList<int> got;
    for (const SiteReadout::PanelResult &r : site.results())
        got << (r.state == SiteReadout::PanelResult::State::NotRead ? -1 : r.message);
    QCOMPARE(got, messages);
    QCOMPARE(rig.addresses(HistorySchema::HISTORY).size(), history);
    QCOMPARE(site.summary().value(0).contains(rig.texts.ResText(30040)), messages[0] == 30040);
    QVERIFY(!rig.line.host().isOpen());
}

QTEST_GUILESS_MAIN(TestReadoutBus)
#include "tst_readout_bus.moc"
