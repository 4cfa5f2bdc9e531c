#pragma once

#include <functional>

namespace qvr {

// A window timer: an interval in milliseconds and an enabled flag. While enabled with an
// interval above 0 it fires every interval. Enabling it, or changing the interval while it
// is enabled, starts the countdown afresh. Created by a Clock.
class Timer
{
public:
    using Handler = std::function<void()>;

    virtual ~Timer() = default;

    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    // What runs when the timer fires.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Runs the handler now, as if the timer had fired.
    void fire()
    {
        if (m_handler)
            m_handler();
    }

private:
    Handler m_handler;
};

} // namespace qvr
