// The QSerialPort adapter and the link on a real pseudo-terminal: the program's end is the
// terminal's slave side, the test plays the panel on the master side.
#include "bus/BusLink.h"
#include "bus/Frame.h"
#include "bus/QtSerialPortAdapter.h"
#include "bus_helper.h"
#include "core/QtClock.h"
#include "core/TextTable.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

using namespace qvr;

namespace {

// The panel's side of a pseudo-terminal.
class PtyMaster
{
public:
    PtyMaster()
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_fd));
    }
    ~PtyMaster() { closeMaster(); }
    QString slavePath() const { return m_slave; }
    void closeMaster()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until `count` bytes came or `ms` passed, keeping Qt's events going so the
    // port can hand its data to the terminal.
    QByteArray read(qsizetype count, int ms = 5000)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < count && t.elapsed() < ms) {
            QCoreApplication::processEvents();
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
                char buf[512];
                const ssize_t n = ::read(m_fd, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, n);
            }
        }
        return got;
    }

private:
    int m_fd = -1;
    QString m_slave;
};

} // namespace

class TestQtSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void frameWrittenArrives()
    {
        PtyMaster panel;
        QVERIFY(!panel.slavePath().isEmpty());
        QtSerialPortAdapter port;
        port.setDevice(panel.slavePath());
        QVERIFY(port.setSettings(QStringLiteral("9600,E,7,1")));
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        QVERIFY(port.isPseudoTerminal());
        // A pseudo-terminal has no RTS or DTR: refused, but the port stays usable.
        port.setRts(false);
        port.setDtr(false);
        QVERIFY(!port.hasError());

        const QByteArray f = FrameBytes(CompleteFrame(QStringLiteral(":;001:IDNM? 1")));
        QVERIFY(port.write(f));
        QCOMPARE(panel.read(f.size()), f);
        QVERIFY(port.close());
        QVERIFY(!port.isOpen());
    }

    // The whole link on the terminal: COM7 names it through Device7, the request goes
    // out, an answer arriving one byte at a time comes back as one frame.
    void answerByteByByteIsOneFrame()
    {
        PtyMaster panel;
        LinkTestSettings settings;
        settings.set(QStringLiteral("Schnittstelle"), QStringLiteral("Com"), QStringLiteral("7"));
        settings.set(QStringLiteral("Schnittstelle"), QStringLiteral("Device7"), panel.slavePath());
        QtClock clock;
        QtSerialPortAdapter port(&settings.store());
        BusTimers timers(clock);
        LinkState state;
        Texts texts;
        test::FakeAsker asker;
        BusLink link(port, clock, timers, state, settings.store(), texts, asker);
        link.setAppPath(settings.folder());
        QStringList frames;
        link.setFrameHandler([&] {
            frames << state.rx.gRxCommand + QLatin1Char('|') + state.rx.gRxParam;
            state.rx.reset();
            return BusLink::FrameAction::Return;
        });

        bool failed = true;
        link.OpenBusPort(failed);
        QVERIFY2(!failed, qPrintable(port.errorString()));
        QVERIFY(asker.calls.isEmpty());
        QCOMPARE(port.device(), panel.slavePath());

        link.SendNewFrame(QStringLiteral(":;001:IDNM? 1"));
        QCOMPARE(panel.read(18), QByteArray(":;001:IDNM? 1&rp\r\n"));

        const QByteArray answer = FrameBytes(CompleteFrame(QStringLiteral("::001:IDNM 0031 ZL")));
        for (char c : answer) {
            QVERIFY(panel.write(QByteArray(1, c)));
            QTest::qWait(2);
        }
        QTRY_COMPARE(frames, QStringList{"IDNM |0031 ZL"});

        link.CloseBusPort();
        QVERIFY(!port.isOpen());
        QFile log(settings.folder() + QStringLiteral("/logdata.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), "-----> :;001:IDNM? 1&rp\r\n\r\n<- " + answer + "\r\n");
    }

    // The other end going away is a port event, not a hang or a crash.
    void otherEndClosing()
    {
        PtyMaster panel;
        QtSerialPortAdapter port;
        port.setDevice(panel.slavePath());
        QVERIFY(port.open());
        QList<SerialPort::Event> events;
        port.setNotify([&] { events << port.commEvent(); });
        port.setReceiveThreshold(1);
        panel.closeMaster();
        QTRY_VERIFY(events.contains(SerialPort::EventError));
        QTest::qWait(50);
        QVERIFY(events.size() < 100);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.write("x"));
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("device");
        QTest::newRow("no such device") << "/dev/qvr-no-such-port";
        QTest::newRow("not a terminal") << "/dev/null";
    }
    void openFailures()
    {
        QFETCH(QString, device);
        QtSerialPortAdapter port;
        port.setDevice(device);
        QVERIFY(!port.open());
        QVERIFY(port.hasError());
        QVERIFY(!port.isOpen());
        port.clearError();
        QVERIFY(!port.hasError());
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
