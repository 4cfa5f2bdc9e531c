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
    void exchangeOnVirtualTime_data();
    void exchangeOnVirtualTime();
    void masterTakeoverOnTheLine();
};

void TestPanelSimLine::exchangeOnVirtualTime_data()
{
    QTest::addColumn<QString>("panelSettings");
    QTest::addColumn<QString>("pcSettings");
    QTest::addColumn<bool>("understood");
    QTest::newRow("57600 both ends") << "57600,E,7,1" << "57600,E,7,1" << true;
    QTest::newRow("9600 both ends") << "9600,E,7,1" << "9600,E,7,1" << true;
    QTest::newRow("program still at 9600, panel at 57600")
        << "57600,E,7,1" << "9600,E,7,1" << false;
}

// The simulated panel answers through the in-memory line with its timing, and a
// program at the wrong baud rate gets nothing it could take for an answer.
void TestPanelSimLine::exchangeOnVirtualTime()
{
    QFETCH(QString, panelSettings);
    QFETCH(QString, pcSettings);
    QFETCH(bool, understood);
    VirtualClock clock;
    MemorySerialLine line(clock);
    line.setLineTiming(true);
    line.device().setSettings(panelSettings);
    PanelScenario s = PanelScenario::generate(PanelScenario::Layout::PV, 4, 11, 3);
    s.timing.turnaroundMs = 2;
    PanelSimulator sim(s);
    PanelSimDriver driver(sim, line.device(), clock);
    PcEnd pc(line.host(), pcSettings);

    pc.send(QStringLiteral(":;003:IDNM? 1"));
    clock.advance(500);
    pc.send(QStringLiteral(":;003:LCDRH 004"));
    clock.advance(500);
    if (!understood) {
        QCOMPARE(pc.frames, QStringList());
        return;
    }
    QCOMPARE(pc.frames.size(), 2);
    QCOMPARE(pc.frames[0], QStringLiteral("::003:PV 370"));
    QVERIFY(pc.frames[1].startsWith(QLatin1String("::003:LCDRH 004 ")));
    QCOMPARE(sim.panelRequests(),
             (QStringList{QStringLiteral(":;003:IDNM? 1"), QStringLiteral(":;003:LCDRH 004")}));
}

// The master station polls over the line on the virtual clock, releases the bus to the
// program's reply and takes it back on request.
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
