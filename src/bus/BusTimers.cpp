#include "bus/BusTimers.h"

namespace qvr {

BusTimers::BusTimers(Clock &clock)
    : Timer_Delay(clock.createTimer()), Timer_Timeout(clock.createTimer()),
      Timer_Busaktivität(clock.createTimer()), Timer_Masterübernahme(clock.createTimer())
{
    Timer_Delay->setInterval(kDelayMs);
    Timer_Timeout->setInterval(kTimeoutMs);
    Timer_Busaktivität->setInterval(kBusActivityMs);
    Timer_Masterübernahme->setInterval(kMasterTakeoverMs);
}

void BusTimers::disableAll()
{
    Timer_Delay->setEnabled(false);
    Timer_Timeout->setEnabled(false);
    Timer_Busaktivität->setEnabled(false);
    Timer_Masterübernahme->setEnabled(false);
}

} // namespace qvr
