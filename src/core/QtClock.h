#pragma once

#include "core/Clock.h"

#include <QObject>

namespace qvr {

// The real clock: QTimer timers, a thread sleep, and waits that run Qt's event loop.
class QtClock : public Clock
{
public:
    QtClock();
    ~QtClock() override;
    QtClock(const QtClock &) = delete;
    QtClock &operator=(const QtClock &) = delete;

    qint64 nowMs() const override;
    std::unique_ptr<Timer> createTimer() override;
    void sleepMs(int ms) override;
    void processEvents() override;
    bool waitWhile(const std::function<bool()> &condition, int maxMs = -1) override;
    void callLater(int ms, std::function<void()> fn) override;

private:
    // Context object for scheduled calls: calls still pending die with the clock.
    QObject m_context;
};

} // namespace qvr
