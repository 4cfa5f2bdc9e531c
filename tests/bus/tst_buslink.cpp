// The serial link on the in-memory line and the virtual clock: open retries, the answer time
// of a master answer, a port error mid-frame and closing.
#include "bus/BusLink.h"
#include "bus/Frame.h"
#include "bus/MemorySerialLine.h"
#include "bus_helper.h"
#include "core/TextTable.h"
#include "core/VirtualClock.h"
#include "decode/ReadoutState.h"

#include <QFile>
#include <QTest>

using namespace qvr;

namespace {

struct Rig
{
    VirtualClock clock;
    MemorySerialLine line{clock};
    BusTimers timers{clock};
    LinkState state;
    LinkTestSettings settings;
    Texts texts;
    test::FakeAsker asker;
    BusLink link{line.host(), clock, timers, state, settings.store(), texts, asker};
    QStringList frames; // frames handed to the read-out, "address|command|param"

    Rig()
    {
        link.setAppPath(settings.folder());
        link.setFrameHandler([this] {
            frames << QStringLiteral("%1|%2|%3")
                          .arg(state.rx.gRxAddress)
                          .arg(state.rx.gRxCommand, state.rx.gRxParam);
            return BusLink::FrameAction::Continue;
        });
        line.device().setSettings(QStringLiteral("9600,E,7,1"));
        QVERIFY(line.device().open());
    }

    bool open()
    {
        bool failed = true;
        link.OpenBusPort(failed);
        return !failed;
    }
    QString logPath() const { return settings.folder() + QStringLiteral("/logdata.txt"); }
    // The panel sends bytes; the clock runs until the line is quiet.
    void panelSends(const QByteArray &bytes)
    {
        line.device().write(bytes);
        clock.advance(10);
    }
};

} // namespace

class TestBusLink : public QObject
{
    Q_OBJECT

private slots:
    // Each open is tried three times; only a port that fails all three is reported.
    void openFailures_data()
    {
        QTest::addColumn<int>("failingOpens");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<bool>("opens");
        QTest::newRow("busy twice") << 2 << false << true;
        QTest::newRow("busy three times") << 3 << false << false;
        QTest::newRow("no such port") << 0 << true << false;
    }
    void openFailures()
    {
        QFETCH(int, failingOpens);
        QFETCH(bool, missing);
        QFETCH(bool, opens);
        Rig rig;
        rig.settings.set(QStringLiteral("Schnittstelle"), QStringLiteral("Com"),
                         QStringLiteral("5"));
        rig.line.host().failNextOpens(failingOpens);
        if (missing)
            rig.line.host().setAvailablePorts({1, 2});

        QCOMPARE(rig.open(), opens);
        QCOMPARE(rig.line.host().isOpen(), opens);
        QCOMPARE(rig.state.gLogEnabled, opens);
        QCOMPARE(QFile::exists(rig.logPath()), opens);
        if (opens) {
            QVERIFY(rig.asker.calls.isEmpty());
        } else {
            QCOMPARE(rig.asker.messageTexts(), QStringList{rig.texts.ResText(30010)});
            QVERIFY(!rig.line.host().hasError());
        }
    }

    // A master answer while listening (stage 1) is given the short answer time, in any
    // other stage the normal one.
    void sendArmsTimeout()
    {
        for (const int stage : {1, 3}) {
            Rig rig;
            QVERIFY(rig.open());
            ReadoutState readout;
            readout.gReadoutActive = true;
            readout.gBusStage = quint8(stage);
            rig.link.setReadoutState(&readout);
            rig.link.SendNewFrame(QStringLiteral("::101:MAST 1"));
            QCOMPARE(rig.timers.Timer_Timeout->interval(), stage == 1 ? 60 : 1000);
        }
    }

    // Any port event other than send or receive throws away the frame being received.
    void portErrorResetsParser()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.line.host().setReceiveThreshold(1);
        const QByteArray f = FrameBytes(CompleteFrame(QStringLiteral("::017:LCDNA 005")));
        rig.panelSends(f.left(9));
        QVERIFY(rig.state.rx.gRxState > 0);
        rig.line.host().injectError(QStringLiteral("framing error"));
        rig.clock.advance(1);
        QCOMPARE(int(rig.state.rx.gRxState), 0);
        rig.panelSends(f.mid(9) + f);
        QCOMPARE(rig.frames, QStringList{"17|LCDNA|005"});
    }

    // Closing drains, waits the 50 ms delay, drops RTS and DTR and closes; a send buffer
    // that never drains does not hang it.
    void close_data()
    {
        QTest::addColumn<QString>("lineSettings");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("drains");
        QTest::newRow("nothing pending") << "9600,E,7,1" << 0 << true;
        QTest::newRow("a frame still on the wire") << "9600,E,7,1" << 100 << true;
        QTest::newRow("far more than fits the drain time") << "50,E,7,1" << 256 << false;
    }
    void close()
    {
        QFETCH(QString, lineSettings);
        QFETCH(int, bytes);
        QFETCH(bool, drains);
        Rig rig;
        rig.line.setLineTiming(true);
        QVERIFY(rig.open());
        rig.line.host().setSettings(lineSettings);
        rig.line.host().setRts(true);
        rig.line.host().setDtr(true);
        rig.line.host().write(QByteArray(bytes, 'x'));
        const qint64 start = rig.clock.nowMs();
        rig.link.CloseBusPort();
        QVERIFY(!rig.line.host().isOpen());
        QVERIFY(!rig.line.host().rts());
        QVERIFY(!rig.line.host().dtr());
        QVERIFY(!rig.state.gLogEnabled);
        QVERIFY(rig.state.gDelayElapsed);
        QVERIFY(!rig.timers.Timer_Delay->isEnabled());
        // Virtual time: the close took the drain, the 50 ms delay and the pauses.
        QVERIFY(rig.clock.nowMs() - start >= 50 + 20);
        QCOMPARE(rig.line.device().bytesAvailable() == bytes, drains);
        QVERIFY(rig.clock.nowMs() - start <= BusLink::kDrainLimitMs + 1000);
    }
};

QTEST_GUILESS_MAIN(TestBusLink)
#include "tst_buslink.moc"
