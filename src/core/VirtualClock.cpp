#include "core/VirtualClock.h"

#include <algorithm>
#include <limits>

namespace qvr {

class VirtualClock::VTimer : public Timer
{
public:
    explicit VTimer(VirtualClock *clock) : m_clock(clock) {}
    ~VTimer() override
    {
        if (m_clock) {
            auto &timers = m_clock->m_timers;
            timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
        }
    }

    void setInterval(int ms) override
    {
        m_interval = ms;
        if (m_enabled)
            arm();
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        m_enabled = enabled;
        if (enabled)
            arm();
    }
    bool isEnabled() const override { return m_enabled; }

    bool pending() const { return m_clock && m_enabled && m_interval > 0; }

    void arm()
    {
        if (!m_clock)
            return;
        m_due = m_clock->m_now + m_interval;
        m_seq = m_clock->nextSeq();
    }

    VirtualClock *m_clock;
    int m_interval = 0;
    bool m_enabled = false;
    qint64 m_due = 0;
    quint64 m_seq = 0;
};

VirtualClock::VirtualClock() = default;

VirtualClock::~VirtualClock()
{
    for (VTimer *t : m_timers)
        t->m_clock = nullptr;
}

std::unique_ptr<Timer> VirtualClock::createTimer()
{
    auto timer = std::make_unique<VTimer>(this);
    m_timers.push_back(timer.get());
    return timer;
}

void VirtualClock::sleepMs(int ms)
{
    if (ms > 0)
        m_now += ms;
}

void VirtualClock::callLater(int ms, std::function<void()> fn)
{
    m_calls.push_back(Call{m_now + std::max(ms, 0), nextSeq(), std::move(fn)});
}

qint64 VirtualClock::nextDueMs() const
{
    qint64 best = -1;
    for (const VTimer *t : m_timers)
        if (t->pending() && (best < 0 || t->m_due < best))
            best = t->m_due;
    for (const Call &c : m_calls)
        if (best < 0 || c.due < best)
            best = c.due;
    return best;
}

bool VirtualClock::runOneDue(qint64 limit, quint64 maxSeq)
{
    // The earliest item; equal times go by arming order.
    VTimer *timer = nullptr;
    int callIndex = -1;
    qint64 due = std::numeric_limits<qint64>::max();
    quint64 seq = std::numeric_limits<quint64>::max();
    for (VTimer *t : m_timers) {
        if (t->pending() && t->m_seq <= maxSeq &&
            (t->m_due < due || (t->m_due == due && t->m_seq < seq))) {
            timer = t;
            due = t->m_due;
            seq = t->m_seq;
        }
    }
    for (int i = 0; i < int(m_calls.size()); ++i) {
        const Call &c = m_calls[size_t(i)];
        if (c.seq <= maxSeq && (c.due < due || (c.due == due && c.seq < seq))) {
            timer = nullptr;
            callIndex = i;
            due = c.due;
            seq = c.seq;
        }
    }
    if ((!timer && callIndex < 0) || due > limit)
        return false;

    m_now = std::max(m_now, due);
    if (callIndex >= 0) {
        std::function<void()> fn = std::move(m_calls[size_t(callIndex)].fn);
        m_calls.erase(m_calls.begin() + callIndex);
        if (fn)
            fn();
    } else {
        timer->arm(); // periodic: the next tick counts from now
        timer->fire();
    }
    return true;
}

void VirtualClock::processEvents()
{
    // Only what is due now and was armed before this round: a handler that re-arms itself
    // waits for the next round, so this cannot loop forever.
    const quint64 startSeq = m_seq;
    while (runOneDue(m_now, startSeq)) {
    }
}

void VirtualClock::advance(qint64 ms)
{
    const qint64 target = m_now + std::max<qint64>(ms, 0);
    while (runOneDue(target)) {
    }
    m_now = std::max(m_now, target);
}

bool VirtualClock::runUntil(const std::function<bool()> &condition, qint64 maxMs)
{
    const qint64 deadline = m_now + std::max<qint64>(maxMs, 0);
    while (!condition()) {
        if (!runOneDue(deadline)) {
            m_now = std::max(m_now, deadline);
            return condition();
        }
    }
    return true;
}

bool VirtualClock::waitWhile(const std::function<bool()> &condition, int maxMs)
{
    const qint64 deadline = maxMs < 0 ? std::numeric_limits<qint64>::max() : m_now + maxMs;
    while (condition()) {
        if (!runOneDue(deadline)) {
            // Nothing left that could change the condition before the deadline.
            if (maxMs >= 0)
                m_now = std::max(m_now, deadline);
            return !condition();
        }
    }
    return true;
}

} // namespace qvr
