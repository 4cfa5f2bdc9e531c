#pragma once

#include "core/Timer.h"

#include <QtGlobal>
#include <functional>
#include <memory>

namespace qvr {

// Time as the program sees it: window timers, the blocking millisecond sleep and waits
// that keep processing events. QtClock is the real one; VirtualClock runs tests in
// virtual time, so a read-out with 30 s supervision takes milliseconds and runs the same
// way every time.
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary start; only differences mean something.
    virtual qint64 nowMs() const = 0;

    // A new timer, disabled, interval 0. The timer must not outlive the clock.
    virtual std::unique_ptr<Timer> createTimer() = 0;

    // Blocks for ms milliseconds; no events (timers, port notifications) run meanwhile.
    virtual void sleepMs(int ms) = 0;

    // Processes the events that are pending now, once.
    virtual void processEvents() = 0;

    // Keeps processing events until condition() is false or maxMs have passed (maxMs < 0:
    // no limit). Returns true when the condition became false.
    virtual bool waitWhile(const std::function<bool()> &condition, int maxMs = -1) = 0;

    // Runs fn once from the event loop after ms milliseconds (0: as soon as events are
    // processed). Calls scheduled for the same moment run in the order they were made.
    virtual void callLater(int ms, std::function<void()> fn) = 0;
};

} // namespace qvr
