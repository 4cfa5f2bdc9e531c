#include "PanelScenario.h"
#include "PanelSimHost.h"
#include "PanelSimulator.h"
#include "bus/Frame.h"
#include "bus/RxParser.h"

#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace qvr;

namespace {

// The program's side of the pseudo-terminal: raw, as the serial port opens it.
class PcSide
{
public:
    explicit PcSide(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_fd >= 0 && tcgetattr(m_fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~PcSide()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    void send(const QString &text)
    {
        const QByteArray b = FrameBytes(CompleteFrame(text));
        QVERIFY(::write(m_fd, b.constData(), size_t(b.size())) == b.size());
    }

    // The next complete frame (text without checksum), or "" after a few seconds of
    // nothing; frames in `skip` (the master's polls) are passed over.
    QString next(const QStringList &skip = {})
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char c = 0;
            while (::read(m_fd, &c, 1) == 1) {
                m_parser.ParseRxChar(static_cast<unsigned char>(c));
                if (m_parser.gRxFrameComplete != 1)
                    continue;
                QString t = QStringLiteral(":")
                            + (m_parser.gRxKind ? QLatin1Char(';') : QLatin1Char(':'))
                            + QStringLiteral("%1").arg(m_parser.gRxAddress, 3, 10,
                                                       QLatin1Char('0'))
                            + QLatin1Char(':') + m_parser.gRxCommand.trimmed();
                if (!m_parser.gRxParam.isEmpty())
                    t += QLatin1Char(' ') + m_parser.gRxParam;
                m_parser.reset();
                if (!skip.contains(t))
                    return t;
            }
        }
        return QString();
    }

private:
    int m_fd = -1;
    RxParser m_parser;
};

} // namespace

class TestPanelSimPty : public QObject
{
    Q_OBJECT

private slots:
    void readoutThroughPseudoTerminal_data();
    void readoutThroughPseudoTerminal();
};

void TestPanelSimPty::readoutThroughPseudoTerminal_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("withMaster");
    QTest::addColumn<bool>("garbage");
    QTest::newRow("direct, no line timing") << 0 << false << false;
    QTest::newRow("direct, 57600 baud, noise") << 57600 << false << true;
    QTest::newRow("behind a bus master, 9600 baud") << 9600 << true << false;
}

// A short read-out through a real pseudo-terminal: every answer arrives whole and
// checks out, and the host ends by itself once the read-out is over.
void TestPanelSimPty::readoutThroughPseudoTerminal()
{
    QFETCH(int, baud);
    QFETCH(bool, withMaster);
    QFETCH(bool, garbage);
    PanelScenario s = PanelScenario::generate(PanelScenario::Layout::ZL, 2, 3, 17);
    s.timing.baud = baud;
    s.timing.turnaroundMs = 1;
    s.faults.garbage = garbage;
    s.master.present = withMaster;
    s.master.pollIntervalMs = 30;
    PanelSimulator sim(s);
    PanelSimHost host(sim);
    QString error;
    QVERIFY2(host.openPseudoTerminal(&error), qPrintable(error));
    QVERIFY(host.path().startsWith(QLatin1String("/dev/")));
    PcSide pc(host.path());
    QVERIFY(pc.isOpen());

    bool ran = false;
    std::thread loop([&] { ran = host.run(true, &error); });

    const QStringList polls{QStringLiteral(":;101:MAST?")};
    if (withMaster) {
        QCOMPARE(pc.next(), QStringLiteral(":;101:MAST?"));
        pc.send(QStringLiteral("::101:MAST 1"));
        QCOMPARE(pc.next(polls), QStringLiteral("::100:"));
    }
    pc.send(QStringLiteral(":;017:IDNM? 1"));
    QCOMPARE(pc.next(), QStringLiteral("::017:ZL 2900"));
    pc.send(QStringLiteral(":;017:LCDH?"));
    QCOMPARE(pc.next(), QStringLiteral("::017:n= 002"));
    pc.send(QStringLiteral(":;017:LCDRH 002"));
    QVERIFY(pc.next().startsWith(QLatin1String("::017:LCDRH 002 ")));
    pc.send(QStringLiteral(":;017:LCDST"));
    QCOMPARE(pc.next(), QStringLiteral("::017:LCDST"));
    if (withMaster) {
        pc.send(QStringLiteral(":;100:MAST? 101"));
        QCOMPARE(pc.next(), QStringLiteral("::100:MAST 1"));
        pc.send(QStringLiteral("::101:"));
    }
    loop.join();
    QVERIFY2(ran, qPrintable(error));
    QVERIFY(sim.readoutOver());
    // Nothing the host wrote came back to it: it saw only the program's frames.
    for (const QString &f : sim.framesFromPc())
        QVERIFY2(!f.startsWith(QLatin1String("::017")), qPrintable(f));
}

QTEST_GUILESS_MAIN(TestPanelSimPty)
#include "tst_panelsim_pty.moc"
