#include "app/StopSignals.h"

#include <QCoreApplication>
#include <csignal>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qvr {

#ifdef Q_OS_UNIX

namespace {

// A signal handler can reach no object: the write end of the self-pipe is the one piece of
// state it needs, set while a StopSignals object lives.
volatile sig_atomic_t &pipeWriteEnd()
{
    static volatile sig_atomic_t fd = -1;
    return fd;
}

void onSignal(int signal)
{
    const int savedErrno = errno;
    const int fd = pipeWriteEnd();
    const char byte = char(signal);
    if (fd >= 0 && ::write(fd, &byte, 1) < 0) {
        // A full pipe already holds a stop; nothing else is safe to do here.
    }
    errno = savedErrno;
}

} // namespace

struct StopSignals::Platform
{
    int fds[2] = {-1, -1}; // read end, write end
    struct sigaction oldInt = {};
    struct sigaction oldTerm = {};
    bool installed = false;
};

StopSignals::StopSignals(std::function<void(int)> onStop)
    : m_onStop(std::move(onStop)), m_platform(std::make_unique<Platform>())
{
    Platform &p = *m_platform;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, p.fds) != 0)
        return; // the signals keep their default: the program ends as before
    for (int fd : p.fds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    auto *notifier = new QSocketNotifier(p.fds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        const ssize_t n = ::read(m_platform->fds[0], bytes, sizeof bytes);
        for (ssize_t i = 0; i < n; ++i)
            deliver(bytes[i]);
    });
    pipeWriteEnd() = p.fds[1];

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    struct sigaction *old[] = {&p.oldInt, &p.oldTerm};
    const int numbers[] = {SIGINT, SIGTERM};
    for (int i = 0; i < 2; ++i) {
        ::sigaction(numbers[i], nullptr, old[i]);
        if (old[i]->sa_handler != SIG_IGN)
            ::sigaction(numbers[i], &action, nullptr);
    }
    p.installed = true;
}

StopSignals::~StopSignals()
{
    Platform &p = *m_platform;
    if (p.installed) {
        ::sigaction(SIGINT, &p.oldInt, nullptr);
        ::sigaction(SIGTERM, &p.oldTerm, nullptr);
    }
    pipeWriteEnd() = -1;
    for (int fd : p.fds)
        if (fd >= 0)
            ::close(fd);
}

#elif defined(Q_OS_WIN)

namespace {

// The console handler runs on a thread of its own and can reach no object: it posts the
// stop to the event loop, where the object that lives now takes it.
StopSignals *&currentStopSignals()
{
    static StopSignals *current = nullptr;
    return current;
}

BOOL WINAPI onConsoleEvent(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    const int signal = type == CTRL_C_EVENT ? SIGINT : SIGTERM;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [signal] {
            if (StopSignals *s = currentStopSignals())
                s->deliver(signal);
        },
        Qt::QueuedConnection);
    return TRUE;
}

} // namespace

struct StopSignals::Platform
{
};

StopSignals::StopSignals(std::function<void(int)> onStop)
    : m_onStop(std::move(onStop)), m_platform(std::make_unique<Platform>())
{
    currentStopSignals() = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    currentStopSignals() = nullptr;
}

#else

struct StopSignals::Platform
{
};

// Elsewhere the signals keep their default.
StopSignals::StopSignals(std::function<void(int)> onStop)
    : m_onStop(std::move(onStop)), m_platform(std::make_unique<Platform>())
{
}

StopSignals::~StopSignals() = default;

#endif

void StopSignals::deliver(int signal)
{
    if (m_received == 0)
        m_received = signal;
    if (m_onStop)
        m_onStop(signal);
}

} // namespace qvr
