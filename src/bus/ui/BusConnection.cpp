#include "bus/ui/BusConnection.h"

#include "bus/QtSerialPortAdapter.h"
#include "core/QtClock.h"
#include "core/SettingsStore.h"

namespace qvr {

BusConnection::BusConnection(SettingsStore &settings, const Texts &texts, Asker &asker)
    : m_ownClock(std::make_unique<QtClock>()),
      m_ownPort(std::make_unique<QtSerialPortAdapter>(&settings)), m_settings(settings)
{
    m_port = m_ownPort.get();
    m_clock = m_ownClock.get();
    build(texts, asker);
}

BusConnection::BusConnection(SerialPort &port, Clock &clock, SettingsStore &settings,
                             const Texts &texts, Asker &asker, std::shared_ptr<void> owner)
    : m_owner(std::move(owner)), m_port(&port), m_clock(&clock), m_settings(settings)
{
    build(texts, asker);
}

void BusConnection::build(const Texts &texts, Asker &asker)
{
    m_timers = std::make_unique<BusTimers>(*m_clock);
    m_link = std::make_unique<BusLink>(*m_port, *m_clock, *m_timers, m_linkState, m_settings, texts,
                                       asker);
}

BusConnection::~BusConnection()
{
    // The link and the timers go before the port and the clock they use.
    if (m_port->isOpen())
        m_port->close();
    m_link.reset();
    m_timers.reset();
}

} // namespace qvr
