#include "core/QtClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace qvr {

namespace {

QElapsedTimer &monotonic()
{
    // Started once; read-only afterwards.
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}

class QtTimer : public Timer
{
public:
    QtTimer()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { fire(); });
    }

    void setInterval(int ms) override
    {
        m_interval = ms;
        m_timer.setInterval(std::max(ms, 0));
        if (m_enabled)
            restart();
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        m_enabled = enabled;
        if (enabled)
            restart();
        else
            m_timer.stop();
    }
    bool isEnabled() const override { return m_enabled; }

private:
    void restart()
    {
        // An interval of 0 keeps the timer quiet, as a window timer would be.
        if (m_interval > 0)
            m_timer.start(m_interval);
        else
            m_timer.stop();
    }

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
};

} // namespace

QtClock::QtClock()
{
    monotonic();
}

QtClock::~QtClock() = default;

qint64 QtClock::nowMs() const
{
    return monotonic().elapsed();
}

std::unique_ptr<Timer> QtClock::createTimer()
{
    return std::make_unique<QtTimer>();
}

void QtClock::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void QtClock::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtClock::waitWhile(const std::function<bool()> &condition, int maxMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (condition()) {
        if (maxMs >= 0 && elapsed.elapsed() >= maxMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (condition())
            QThread::msleep(1); // don't spin a core while waiting
    }
    return true;
}

void QtClock::callLater(int ms, std::function<void()> fn)
{
    QTimer::singleShot(std::max(ms, 0), Qt::PreciseTimer, &m_context, std::move(fn));
}

} // namespace qvr
