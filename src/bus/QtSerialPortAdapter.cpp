#include "bus/QtSerialPortAdapter.h"

#include "bus/PortNames.h"

#include <QFileInfo>
#include <QTimer>
#include <algorithm>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace qvr {

namespace {
// Qt's own buffer above the driver's: bounded, so a flood on the line cannot grow memory,
// and large enough that a full frame never waits in the driver.
constexpr int kMinReadBuffer = 4096;

QSerialPort::Parity toQt(LineSettings::Parity p)
{
    switch (p) {
    case LineSettings::Parity::None:
        return QSerialPort::NoParity;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    }
    return QSerialPort::EvenParity;
}

QSerialPort::StopBits toQt(LineSettings::StopBits s)
{
    switch (s) {
    case LineSettings::StopBits::One:
        return QSerialPort::OneStop;
    case LineSettings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two:
        return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}
} // namespace

QtSerialPortAdapter::QtSerialPortAdapter(const SettingsStore *settings, QObject *parent)
    : QObject(parent),
      m_resolver([settings](int n) { return PortNames::deviceForCom(n, settings); })
{
    m_device = m_resolver(m_commPort);
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialPortAdapter::onReadyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &QtSerialPortAdapter::onBytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPortAdapter::onError);
}

QtSerialPortAdapter::~QtSerialPortAdapter()
{
    m_port.disconnect(this);
    if (m_port.isOpen())
        m_port.close();
}

void QtSerialPortAdapter::setCommPort(int number)
{
    m_commPort = number;
    m_device = m_resolver ? m_resolver(number) : PortNames::defaultDevice(number);
}

void QtSerialPortAdapter::setDevice(const QString &device)
{
    m_device = device;
}

bool QtSerialPortAdapter::isPseudoTerminalPath(const QString &device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (canonical.startsWith(QLatin1String("/dev/pts/")) || canonical == QLatin1String("/dev/ptmx"))
        return true;
#ifdef Q_OS_LINUX
    struct stat st
    {
    };
    if (!canonical.isEmpty() && ::stat(QFile::encodeName(canonical).constData(), &st) == 0 &&
        S_ISCHR(st.st_mode)) {
        const unsigned major = ::major(st.st_rdev);
        return major >= 136 && major <= 143; // Unix98 pseudo-terminal slaves
    }
#endif
    return false;
}

bool QtSerialPortAdapter::setSettings(const QString &settings)
{
    LineSettings parsed;
    if (!LineSettings::parse(settings, &parsed)) {
        m_error = QStringLiteral("Invalid line settings: %1").arg(settings);
        return false;
    }
    m_settings = parsed;
    if (m_port.isOpen()) {
        applySettings();
        QString why;
        if (!m_pseudoTerminal && !verifyLine(&why)) {
            m_error = why;
            return false;
        }
    }
    return true;
}

void QtSerialPortAdapter::applySettings()
{
    // Each setter fails on an open pseudo-terminal for what it cannot do; that is expected.
    m_port.setBaudRate(m_settings.baud);
    m_port.setDataBits(static_cast<QSerialPort::DataBits>(m_settings.dataBits));
    m_port.setParity(toQt(m_settings.parity));
    m_port.setStopBits(toQt(m_settings.stopBits));
    m_port.setFlowControl(m_handshaking ? QSerialPort::HardwareControl
                                        : QSerialPort::NoFlowControl);
    m_port.clearError();
}

// Reads the line settings back from the driver: on a real serial device they must be
// what was asked for.
bool QtSerialPortAdapter::verifyLine(QString *why) const
{
#ifdef Q_OS_UNIX
    termios tio{};
    if (::tcgetattr(int(m_port.handle()), &tio) != 0) {
        *why = QStringLiteral("Cannot read the line settings of %1").arg(m_device);
        return false;
    }
    tcflag_t size = CS8;
    switch (m_settings.dataBits) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    default:
        size = CS8;
        break;
    }
    bool ok = (tio.c_cflag & CSIZE) == size;
    const bool parity = m_settings.parity != LineSettings::Parity::None;
    ok = ok && bool(tio.c_cflag & PARENB) == parity;
    if (m_settings.parity == LineSettings::Parity::Even ||
        m_settings.parity == LineSettings::Parity::Odd)
        ok = ok && bool(tio.c_cflag & PARODD) == (m_settings.parity == LineSettings::Parity::Odd);
    ok = ok && bool(tio.c_cflag & CSTOPB) == (m_settings.stopBits != LineSettings::StopBits::One);
    // The standard rates have their own codes; others are set by a driver-specific call
    // that termios cannot read back.
    static const struct
    {
        qint32 baud;
        speed_t code;
    } rates[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                 {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto &r : rates)
        if (r.baud == m_settings.baud)
            ok = ok && ::cfgetospeed(&tio) == r.code;
    if (!ok)
        *why = QStringLiteral("%1 did not take the line settings %2")
                   .arg(m_device, m_settings.toString());
    return ok;
#else
    Q_UNUSED(why);
    return true;
#endif
}

bool QtSerialPortAdapter::open()
{
    if (m_port.isOpen()) {
        m_error = QStringLiteral("Port already open");
        return false;
    }
    m_port.setPortName(m_device);
    applySettings();
    m_pseudoTerminal = isPseudoTerminalPath(m_device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = m_port.errorString();
        m_port.clearError();
        return false;
    }
    QString why;
    if (!m_pseudoTerminal && !verifyLine(&why)) {
        m_port.close();
        m_error = why;
        return false;
    }
    m_port.setReadBufferSize(std::max(m_inSize, kMinReadBuffer));
    if (!m_pseudoTerminal) {
        m_port.setRequestToSend(m_rts);
        m_port.setDataTerminalReady(m_dtr);
    }
    m_port.clearError();
    m_notifyPending = false;
    return true;
}

bool QtSerialPortAdapter::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    return true;
}

void QtSerialPortAdapter::clearError()
{
    m_error.clear();
    m_port.clearError();
}

void QtSerialPortAdapter::setBufferSizes(int inSize, int outSize)
{
    Q_UNUSED(outSize); // QSerialPort's write buffer grows as needed
    m_inSize = std::max(inSize, 1);
    if (m_port.isOpen())
        m_port.setReadBufferSize(std::max(m_inSize, kMinReadBuffer));
}

void QtSerialPortAdapter::setHandshaking(bool on)
{
    m_handshaking = on;
    if (m_port.isOpen())
        m_port.setFlowControl(on ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl);
}

int QtSerialPortAdapter::bytesAvailable() const
{
    return m_port.isOpen() ? int(m_port.bytesAvailable()) : 0;
}

int QtSerialPortAdapter::readChar()
{
    char c = 0;
    if (!m_port.isOpen() || !m_port.getChar(&c))
        return -1;
    return static_cast<unsigned char>(c);
}

void QtSerialPortAdapter::discardInput()
{
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Input);
    m_port.skip(m_port.bytesAvailable());
    m_port.clearError();
}

int QtSerialPortAdapter::bytesToWrite() const
{
    return m_port.isOpen() ? int(m_port.bytesToWrite()) : 0;
}

bool QtSerialPortAdapter::write(const QByteArray &data)
{
    if (!m_port.isOpen()) {
        m_error = QStringLiteral("Port not open");
        return false;
    }
    if (m_port.write(data) != data.size()) {
        m_error = m_port.errorString();
        return false;
    }
    m_port.flush(); // hand it to the driver now rather than at the next event round
    return true;
}

bool QtSerialPortAdapter::setRts(bool on)
{
    m_rts = on;
    if (!m_port.isOpen())
        return true; // applied when the port opens
    const bool ok = m_port.setRequestToSend(on);
    m_port.clearError();
    if (!ok && !m_pseudoTerminal)
        m_error = QStringLiteral("%1 refused RTS").arg(m_device);
    return ok;
}

bool QtSerialPortAdapter::setDtr(bool on)
{
    m_dtr = on;
    if (!m_port.isOpen())
        return true;
    const bool ok = m_port.setDataTerminalReady(on);
    m_port.clearError();
    if (!ok && !m_pseudoTerminal)
        m_error = QStringLiteral("%1 refused DTR").arg(m_device);
    return ok;
}

void QtSerialPortAdapter::setReceiveThreshold(int threshold)
{
    m_rThreshold = threshold;
    if (threshold >= 1 && bytesAvailable() > 0)
        scheduleReceiveNotify();
}

void QtSerialPortAdapter::scheduleReceiveNotify()
{
    if (m_notifyPending)
        return;
    m_notifyPending = true;
    QTimer::singleShot(0, this, [this] {
        m_notifyPending = false;
        onReadyRead();
    });
}

void QtSerialPortAdapter::onReadyRead()
{
    if (!m_port.isOpen() || m_rThreshold < 1 || m_port.bytesAvailable() <= 0)
        return;
    const qint64 before = m_port.bytesAvailable();
    notify(EventReceive);
    // Characters the handler left waiting get another notification, as long as it takes
    // something each time.
    if (m_port.isOpen() && m_rThreshold >= 1) {
        const qint64 after = m_port.bytesAvailable();
        if (after > 0 && after < before)
            scheduleReceiveNotify();
    }
}

void QtSerialPortAdapter::onBytesWritten()
{
    if (m_sThreshold >= 1 && m_port.isOpen() && m_port.bytesToWrite() == 0)
        notify(EventSend);
}

void QtSerialPortAdapter::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        break;
    default:
        return; // refused settings and the like are answered by the setters' results
    }
#ifdef Q_OS_UNIX
    // A read notification can find the input already gone: a send discards waiting input,
    // and when it runs from another event of the same round (a timer, a stop) the port's
    // notification still follows and reads nothing. The line is fine then; only a hung-up
    // or vanished device is an error.
    if (error == QSerialPort::ReadError && m_port.isOpen()) {
        pollfd p{int(m_port.handle()), POLLIN, 0};
        if (::poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            m_port.clearError();
            return;
        }
    }
#endif
    m_error = m_port.errorString();
    // A read error means the device is gone (unplugged, the other end of a terminal
    // closed); Qt would report it again on every event round, so the port is closed and
    // the link sees one error event. Sends then fail and the read-out times out.
    if (error != QSerialPort::WriteError && m_port.isOpen())
        m_port.close();
    if (m_errorPending)
        return;
    m_errorPending = true;
    // Not from inside a call on the port: the handler runs from the event loop.
    QTimer::singleShot(0, this, [this] {
        m_errorPending = false;
        notify(EventError);
    });
}

} // namespace qvr
