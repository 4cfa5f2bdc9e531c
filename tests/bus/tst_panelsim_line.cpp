#include "PanelScenario.h"
#include "PanelSimDriver.h"
#include "PanelSimulator.h"
#include "bus/Frame.h"
#include "bus/MemorySerialLine.h"
#include "bus/RxParser.h"
#include "core/VirtualClock.h"

#include <QTest>

using namespace qvr;

namespace {

// The program's end of the in-memory line: sends frames and collects the frames that
// arrive, with the virtual time of their arrival.
class PcEnd
{
public:
    PcEnd(MemorySerialLine::End &port, const QString &settings) : m_port(port)
    {
        m_port.setSettings(settings);
        m_port.open();
        m_port.setReceiveThreshold(1);
        m_port.setNotify([this] {
            while (m_port.bytesAvailable() > 0) {
                m_parser.ParseRxChar(static_cast<unsigned char>(m_port.readChar()));
                if (m_parser.gRxFrameComplete != 1)
                    continue;
                QString t = QStringLiteral(":")
                            + (m_parser.gRxKind ? QLatin1Char(';') : QLatin1Char(':'))
                            + QStringLiteral("%1").arg(m_parser.gRxAddress, 3, 10,
                                                       QLatin1Char('0'))
                            + QLatin1Char(':') + m_parser.gRxCommand.trimmed();
                if (!m_parser.gRxParam.isEmpty())
                    t += QLatin1Char(' ') + m_parser.gRxParam;
                frames << t;
                m_parser.reset();
            }
        });
    }
    void send(const QString &text) { m_port.write(FrameBytes(CompleteFrame(text))); }

    QStringList frames;

private:
    MemorySerialLine::End &m_port;
    RxParser m_parser;
};

} // namespace

class TestPanelSimLine : public QObject
{
    Q_OBJECT

private slots:
    void masterTakeoverOnTheLine();
};

// On the virtual clock and the line's own timing: the master station polls, releases the
// bus to the program's reply, the panel answers the program, and the master takes the bus
// back on request.
void TestPanelSimLine::masterTakeoverOnTheLine()
{
    VirtualClock clock;
    MemorySerialLine line(clock);
    line.setLineTiming(true);
    line.device().setSettings(QStringLiteral("9600,E,7,1"));
    PanelScenario s = PanelScenario::generate(PanelScenario::Layout::ZL, 2, 1, 5);
    s.master.present = true;
    s.master.address = 12;
    s.master.pollIntervalMs = 200;
    PanelSimulator sim(s);
    PanelSimDriver driver(sim, line.device(), clock);
    PcEnd pc(line.host(), QStringLiteral("9600,E,7,1"));

    QVERIFY(clock.runUntil([&] { return !pc.frames.isEmpty(); }, 1000));
    QCOMPARE(pc.frames.takeFirst(), QStringLiteral(":;101:MAST?"));
    pc.send(QStringLiteral("::101:MAST 1"));
    QVERIFY(clock.runUntil([&] { return !pc.frames.isEmpty(); }, 60));
    QCOMPARE(pc.frames.takeFirst(), QStringLiteral("::012:"));
    QVERIFY(!sim.masterHoldsBus());
    clock.advance(3000);
    QCOMPARE(pc.frames, QStringList()); // the bus is the program's now
    pc.send(QStringLiteral(":;005:IDNM? 1"));
    QVERIFY(clock.runUntil([&] { return !pc.frames.isEmpty(); }, 1000));
    QCOMPARE(pc.frames.takeFirst(), QStringLiteral("::005:ZL 2900"));
    QCOMPARE(sim.panelRequests(), QStringList{QStringLiteral(":;005:IDNM? 1")});

    pc.send(QStringLiteral(":;012:MAST? 101"));
    QVERIFY(clock.runUntil([&] { return !pc.frames.isEmpty(); }, 1000));
    QCOMPARE(pc.frames.takeFirst(), QStringLiteral("::012:MAST 1"));
    pc.send(QStringLiteral("::101:"));
    clock.advance(300);
    QVERIFY(sim.masterHoldsBus());
    QCOMPARE(pc.frames.value(0), QStringLiteral(":;101:MAST?"));
}

QTEST_GUILESS_MAIN(TestPanelSimLine)
#include "tst_panelsim_line.moc"
