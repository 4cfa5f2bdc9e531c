#pragma once

#include "PanelSimulator.h"

#include <memory>

namespace qvr {

class Clock;
class SerialPort;

// Runs a PanelSimulator on one end of a serial line inside the program: characters that
// arrive at the port go to the simulator, and what the simulator puts on the line is
// written to the port when its time comes on the clock. With the in-memory line the
// line's own timing applies, so the scenario's timing is best left at 0 baud there.
class PanelSimDriver
{
public:
    // Opens the port if it is closed, turns its receive notifications on and starts the
    // simulator (the master station begins polling) at the clock's present time.
    PanelSimDriver(PanelSimulator &sim, SerialPort &port, Clock &clock);
    ~PanelSimDriver();
    PanelSimDriver(const PanelSimDriver &) = delete;
    PanelSimDriver &operator=(const PanelSimDriver &) = delete;

    PanelSimulator &simulator() { return m_sim; }

private:
    void onNotify();
    void pump();
    void schedule();

    PanelSimulator &m_sim;
    SerialPort &m_port;
    Clock &m_clock;
    std::shared_ptr<bool> m_alive; // lets calls still scheduled on the clock see the end
    qint64 m_scheduledFor = -1;
};

} // namespace qvr
