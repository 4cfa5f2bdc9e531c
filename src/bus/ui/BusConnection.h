#pragma once

#include "bus/BusLink.h"
#include "bus/BusTimers.h"
#include "bus/LinkState.h"

#include <memory>

namespace qvr {

class Asker;
class Clock;
class SerialPort;
class SettingsStore;
class Texts;

// The serial port, the clock, the four bus timers and the link of the window program,
// owned by the main window for as long as it lives and lent to the read-out dialog and
// the interface dialog. The program uses the real port and clock; tests hand in the
// in-memory line and the virtual clock.
class BusConnection
{
public:
    // The real port (COMn resolved through `settings`) on the real clock.
    BusConnection(SettingsStore &settings, const Texts &texts, Asker &asker);
    // A given port and clock; both must outlive this object, unless `owner` holds them
    // (it is released after everything that uses them).
    BusConnection(SerialPort &port, Clock &clock, SettingsStore &settings, const Texts &texts,
                  Asker &asker, std::shared_ptr<void> owner = {});
    ~BusConnection();
    BusConnection(const BusConnection &) = delete;
    BusConnection &operator=(const BusConnection &) = delete;

    SerialPort &port() { return *m_port; }
    Clock &clock() { return *m_clock; }
    BusTimers &timers() { return *m_timers; }
    LinkState &linkState() { return m_linkState; }
    BusLink &link() { return *m_link; }
    SettingsStore &settings() { return m_settings; }

private:
    void build(const Texts &texts, Asker &asker);

    std::shared_ptr<void> m_owner;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<SerialPort> m_ownPort;
    SerialPort *m_port = nullptr;
    Clock *m_clock = nullptr;
    SettingsStore &m_settings;
    LinkState m_linkState;
    std::unique_ptr<BusTimers> m_timers;
    std::unique_ptr<BusLink> m_link;
};

} // namespace qvr
