#pragma once

#include "core/Clock.h"

#include <limits>
#include <vector>

namespace qvr {

// A clock for tests. Time stands still until it is advanced; advancing runs every timer
// and scheduled call that falls due, in time order (ties in the order they were armed).
// sleepMs moves time on without running anything, like a blocked thread; waitWhile moves
// time on to the next due event whenever nothing is due now.
class VirtualClock : public Clock
{
public:
    VirtualClock();
    ~VirtualClock() override;
    VirtualClock(const VirtualClock &) = delete;
    VirtualClock &operator=(const VirtualClock &) = delete;

    qint64 nowMs() const override { return m_now; }
    std::unique_ptr<Timer> createTimer() override;
    void sleepMs(int ms) override;
    void processEvents() override;
    bool waitWhile(const std::function<bool()> &condition, int maxMs = -1) override;
    void callLater(int ms, std::function<void()> fn) override;

    // Moves time on by ms, running everything that falls due on the way.
    void advance(qint64 ms);
    // Runs what is due until condition() is true or maxMs have passed; true when it is.
    bool runUntil(const std::function<bool()> &condition, qint64 maxMs);
    // Time of the next timer or scheduled call, or -1 when nothing is pending.
    qint64 nextDueMs() const;

private:
    class VTimer;
    struct Call
    {
        qint64 due;
        quint64 seq;
        std::function<void()> fn;
    };

    // Runs the earliest item due at or before `limit`; false when there is none.
    bool runOneDue(qint64 limit, quint64 maxSeq = std::numeric_limits<quint64>::max());
    quint64 nextSeq() { return ++m_seq; }

    qint64 m_now = 0;
    quint64 m_seq = 0;
    std::vector<VTimer *> m_timers;
    std::vector<Call> m_calls;
};

} // namespace qvr
