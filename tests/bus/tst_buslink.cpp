// The serial link on the in-memory line and the virtual clock: opening from the settings,
// sending, receiving, the bus log and closing.
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
    ReadoutState readout;
    BusLink link{line.host(), clock, timers, state, settings.store(), texts, asker};
    QStringList frames; // frames handed to the read-out, "address|command|param"
    BusLink::FrameAction action = BusLink::FrameAction::Continue;

    Rig()
    {
        link.setAppPath(settings.folder());
        link.setReadoutState(&readout);
        link.setFrameHandler([this] {
            frames << QStringLiteral("%1|%2|%3")
                          .arg(state.rx.gRxAddress)
                          .arg(state.rx.gRxCommand, state.rx.gRxParam);
            return action;
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
    QByteArray log() const
    {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no log>");
    }
    // The panel sends bytes; the clock runs until the line is quiet.
    void panelSends(const QByteArray &bytes)
    {
        line.device().write(bytes);
        clock.advance(10);
    }
};

QByteArray frame(const char *text)
{
    return FrameBytes(CompleteFrame(QString::fromLatin1(text)));
}

} // namespace

class TestBusLink : public QObject
{
    Q_OBJECT

private slots:
    void opensFromSettings_data()
    {
        QTest::addColumn<QStringList>("settings"); // name=value in section Schnittstelle
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("lineSettings");
        QTest::addColumn<QString>("connType");
        QTest::newRow("nothing stored") << QStringList{} << 2 << "9600,E,7,1"
                                        << "int";
        QTest::newRow("USB at 57600 on COM3")
            << QStringList{"Com=3", "Baud=57600", "ConnType=USB"} << 3 << "57600,E,7,1"
            << "USB";
        QTest::newRow("port number with trailing text")
            << QStringList{"Com=4 (USB)"} << 4 << "9600,E,7,1"
            << "int";
        QTest::newRow("malformed baud rate keeps the port's settings")
            << QStringList{"Baud=fast"} << 2 << "9600,E,7,1"
            << "int";
        QTest::newRow("empty connection type") << QStringList{"ConnType="} << 2 << "9600,E,7,1"
                                               << "";
    }
    void opensFromSettings()
    {
        QFETCH(QStringList, settings);
        QFETCH(int, port);
        QFETCH(QString, lineSettings);
        QFETCH(QString, connType);
        Rig rig;
        for (const QString &s : settings)
            rig.settings.set(QStringLiteral("Schnittstelle"), s.section('=', 0, 0),
                             s.section('=', 1));

        QVERIFY(rig.open());
        auto &host = rig.line.host();
        QVERIFY(host.isOpen());
        QCOMPARE(host.commPort(), port);
        QCOMPARE(host.settings(), lineSettings);
        QCOMPARE(rig.state.gConnType, connType);
        QVERIFY(!host.rts());
        QVERIFY(!host.dtr());
        QCOMPARE(host.receiveThreshold(), 0);
        QCOMPARE(host.inBufferSize(), 256);
        QCOMPARE(host.outBufferSize(), 256);
        QVERIFY(!host.handshaking());
        QVERIFY(rig.state.gLogEnabled);
        QCOMPARE(rig.log(), QByteArray());
        QVERIFY(rig.asker.calls.isEmpty());
        // Opening an open port changes nothing.
        const int opens = host.openCount();
        QVERIFY(rig.open());
        QCOMPARE(host.openCount(), opens);
    }

    // Each open is tried three times; only a port that fails all three is reported.
    void openFailures_data()
    {
        QTest::addColumn<int>("failingOpens");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<bool>("opens");
        QTest::newRow("busy once") << 1 << false << true;
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

    // A pseudo-terminal refuses RTS and DTR; that does not stop the link.
    void lineControlRefusedIsNotFatal()
    {
        Rig rig;
        rig.line.host().setLineControlSupported(false);
        QVERIFY(rig.open());
        QVERIFY(!rig.line.host().hasError());
        rig.state.gLastFrame = QStringLiteral(":;001:IDNM? 1");
        rig.link.SendFrame(rig.state.gLastFrame, true);
        rig.clock.advance(5);
        QCOMPARE(rig.line.device().bytesAvailable(), 18);
        rig.link.CloseBusPort();
        QVERIFY(!rig.line.host().isOpen());
    }

    // The answer time armed by a send depends on the read-out.
    void sendArmsTimeout_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("interval");
        QTest::newRow("request during a read-out") << true << 3 << ":;001:IDNM? 1" << 1000;
        QTest::newRow("master answer while listening") << true << 1 << "::101:MAST 1" << 60;
        QTest::newRow("master answer in another stage") << true << 3 << "::101:MAST 1" << 1000;
        QTest::newRow("other frame while listening") << true << 1 << "::101:" << 1000;
        QTest::newRow("no read-out keeps the interval") << false << 1 << "::101:MAST 1" << 777;
    }
    void sendArmsTimeout()
    {
        QFETCH(bool, active);
        QFETCH(int, stage);
        QFETCH(QString, text);
        QFETCH(int, interval);
        Rig rig;
        QVERIFY(rig.open());
        rig.readout.gReadoutActive = active;
        rig.readout.gBusStage = quint8(stage);
        rig.timers.Timer_Timeout->setInterval(777);
        rig.link.SendNewFrame(text);
        QVERIFY(rig.timers.Timer_Timeout->isEnabled());
        QCOMPARE(rig.timers.Timer_Timeout->interval(), interval);
        QCOMPARE(rig.state.gLastFrame, CompleteFrame(text));
        QCOMPARE(rig.line.host().receiveThreshold(), 1);
    }

    // A resend transmits the last frame unchanged; the parser and waiting input are
    // dropped before every send.
    void resendAndDiscard()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.link.SendNewFrame(QStringLiteral(":;001:IDNM? 1"));
        rig.clock.advance(5);
        // Half a frame and stale bytes wait when the resend goes out.
        rig.line.device().write(QByteArray("::001:IDN"));
        rig.line.host().setReceiveThreshold(0);
        rig.clock.advance(5);
        rig.link.SendFrame(rig.state.gLastFrame, false);
        QCOMPARE(rig.line.host().bytesAvailable(), 0);
        QCOMPARE(int(rig.state.rx.gRxState), 0);
        rig.clock.advance(5);
        QCOMPARE(rig.line.device().written(), QByteArray("::001:IDN"));
        QCOMPARE(rig.line.host().written(), QByteArray(":;001:IDNM? 1&rp\r\n:;001:IDNM? 1&rp\r\n"));
    }

    // The receive handler hands every frame over once; with "return" it leaves the rest
    // for the next notification, which still comes.
    void receiveHandler_data()
    {
        QTest::addColumn<bool>("returnAfterFrame");
        QTest::addColumn<bool>("handlerResets");
        QTest::newRow("continue") << false << true;
        QTest::newRow("return") << true << true;
        QTest::newRow("handler leaves the frame complete") << false << false;
    }
    void receiveHandler()
    {
        QFETCH(bool, returnAfterFrame);
        QFETCH(bool, handlerResets);
        Rig rig;
        QVERIFY(rig.open());
        rig.action =
            returnAfterFrame ? BusLink::FrameAction::Return : BusLink::FrameAction::Continue;
        rig.link.setFrameHandler([&] {
            rig.frames << QStringLiteral("%1|%2|%3")
                              .arg(rig.state.rx.gRxAddress)
                              .arg(rig.state.rx.gRxCommand, rig.state.rx.gRxParam);
            if (handlerResets)
                rig.state.rx.reset();
            return rig.action;
        });
        rig.line.host().setReceiveThreshold(1);
        rig.panelSends(frame("::017:LCDNA 005") + "noise" + frame("::017:LCDRH 001"));
        QCOMPARE(rig.frames, (QStringList{"17|LCDNA|005", "17|LCDRH|001"}));
        QCOMPARE(rig.line.host().bytesAvailable(), 0);
    }

    // Any port event other than send or receive throws away the frame being received.
    void portErrorResetsParser()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.line.host().setReceiveThreshold(1);
        const QByteArray f = frame("::017:LCDNA 005");
        rig.panelSends(f.left(9));
        QVERIFY(rig.state.rx.gRxState > 0);
        rig.line.host().injectError(QStringLiteral("framing error"));
        rig.clock.advance(1);
        QCOMPARE(int(rig.state.rx.gRxState), 0);
        rig.panelSends(f.mid(9) + f);
        QCOMPARE(rig.frames, QStringList{"17|LCDNA|005"});
    }

    // The log of one exchange, byte for byte: every line ends in CR LF, so each frame
    // (ending in CR LF itself) is followed by an empty line.
    void logOfOneExchange()
    {
        Rig rig;
        QVERIFY(rig.open());
        rig.link.SendNewFrame(QStringLiteral(":;001:IDNM? 1"));
        rig.clock.advance(5);
        rig.panelSends("?\n" + frame("::001:IDNM 0031"));
        rig.link.CloseBusPort();
        QVERIFY(!rig.state.gLogEnabled);
        const QByteArray answer = frame("::001:IDNM 0031");
        QCOMPARE(rig.log(), "-----> :;001:IDNM? 1&rp\r\n\r\n<- ?\n\r\n<- " + answer + "\r\n");
        QCOMPARE(rig.frames, QStringList{"1|IDNM |0031"});
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
