#pragma once

#include "core/Clock.h"

#include <memory>

namespace qvr {

// The four supervision timers of a read-out, all off to begin with. The link uses
// Timer_Delay (and arms Timer_Timeout on every send); the read-out sets the handlers of
// the other three.
class BusTimers
{
public:
    static constexpr int kDelayMs = 20;
    static constexpr int kTimeoutMs = 1000;
    static constexpr int kBusActivityMs = 3000;
    static constexpr int kMasterTakeoverMs = 30000;

    explicit BusTimers(Clock &clock);

    void disableAll();

    std::unique_ptr<Timer> Timer_Delay;
    std::unique_ptr<Timer> Timer_Timeout;
    std::unique_ptr<Timer> Timer_Busaktivität;
    std::unique_ptr<Timer> Timer_Masterübernahme;
};

} // namespace qvr
