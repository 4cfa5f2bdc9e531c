#include "PanelSimHost.h"

#include "PanelSimulator.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

namespace qvr {

namespace {

QString lastError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

bool speedOf(int baud, speed_t *speed)
{
    struct Pair {
        int baud;
        speed_t speed;
    };
    static constexpr Pair kSpeeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},
                                       {9600, B9600},   {19200, B19200}, {38400, B38400},
                                       {57600, B57600}, {115200, B115200}};
    for (const Pair &p : kSpeeds) {
        if (p.baud == baud) {
            *speed = p.speed;
            return true;
        }
    }
    return false;
}

qint64 monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

PanelSimHost::PanelSimHost(PanelSimulator &sim) : m_sim(sim) {}

PanelSimHost::~PanelSimHost()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
}

bool PanelSimHost::openPseudoTerminal(QString *error)
{
    m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0 || grantpt(m_fd) != 0 || unlockpt(m_fd) != 0) {
        *error = lastError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (ptsname_r(m_fd, name, sizeof name) != 0) {
        *error = lastError("ptsname");
        return false;
    }
    m_path = QString::fromLocal8Bit(name);
    // Raw from the start: a cooked slave would echo the simulator's own frames back.
    m_slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveFd < 0) {
        *error = lastError("open slave");
        return false;
    }
    termios t{};
    if (tcgetattr(m_slaveFd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(m_slaveFd, TCSANOW, &t);
    }
    return true;
}

bool PanelSimHost::openDevice(const QString &device, int baud, QString *error)
{
    speed_t speed = B9600;
    if (!speedOf(baud, &speed)) {
        *error = QStringLiteral("unsupported baud rate %1").arg(baud);
        return false;
    }
    m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        *error = lastError("open device");
        return false;
    }
    termios t{};
    if (tcgetattr(m_fd, &t) != 0) {
        *error = lastError("tcgetattr");
        return false;
    }
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CS7 | PARENB | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(m_fd, TCSANOW, &t) != 0) {
        *error = lastError("tcsetattr");
        return false;
    }
    m_path = device;
    return true;
}

void PanelSimHost::writeAll(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Give a slow reader a moment; a line nobody reads loses its characters.
            pollfd p{m_fd, POLLOUT, 0};
            if (::poll(&p, 1, 100) > 0)
                continue;
        }
        m_dropped += bytes.size() - done;
        return;
    }
}

void PanelSimHost::blockStopSignals()
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
}

bool PanelSimHost::run(bool exitWhenOver, QString *error)
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &mask, &previous);
    const int sigFd = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (sigFd < 0) {
        *error = lastError("signalfd");
        return false;
    }

    const qint64 origin = monotonicMs();
    auto now = [origin] { return monotonicMs() - origin; };
    m_sim.start(now());
    qint64 overSince = -1;
    bool ok = true;
    char buf[512];
    for (;;) {
        const QByteArray out = m_sim.takeOutput(now());
        if (!out.isEmpty())
            writeAll(out);
        if (exitWhenOver && m_sim.readoutOver()) {
            // Linger a little so the program's last frames are still taken off the line.
            if (overSince < 0)
                overSince = now();
            else if (now() - overSince >= 300)
                break;
        }
        const qint64 due = m_sim.nextDueMs();
        int timeout = 1000;
        if (due >= 0)
            timeout = int(std::clamp<qint64>(due - now(), 0, 1000));
        if (overSince >= 0)
            timeout = qMin(timeout, 50);
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {sigFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, timeout);
        if (r < 0 && errno != EINTR) {
            *error = lastError("poll");
            ok = false;
            break;
        }
        if (r > 0 && (fds[1].revents & POLLIN))
            break;
        if (r > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                m_sim.receive(QByteArray(buf, int(n)), now());
            } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
                *error = lastError("read");
                ok = false;
                break;
            } else if (fds[0].revents & (POLLERR | POLLHUP)) {
                // A pseudo-terminal whose slave nobody holds; wait instead of spinning.
                ::poll(nullptr, 0, 10);
            }
        }
    }
    ::close(sigFd);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}

} // namespace qvr
