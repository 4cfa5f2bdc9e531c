#include "PanelSimDriver.h"

#include "bus/SerialPort.h"
#include "core/Clock.h"

namespace qvr {

PanelSimDriver::PanelSimDriver(PanelSimulator &sim, SerialPort &port, Clock &clock)
    : m_sim(sim), m_port(port), m_clock(clock), m_alive(std::make_shared<bool>(true))
{
    if (!m_port.isOpen())
        m_port.open();
    m_port.setReceiveThreshold(1);
    m_port.setNotify([this] { onNotify(); });
    m_sim.start(m_clock.nowMs());
    schedule();
}

PanelSimDriver::~PanelSimDriver()
{
    *m_alive = false;
    m_port.setNotify({});
}

void PanelSimDriver::onNotify()
{
    if (m_port.commEvent() != SerialPort::EventReceive)
        return;
    QByteArray bytes;
    while (m_port.bytesAvailable() > 0) {
        const int c = m_port.readChar();
        if (c < 0)
            break;
        bytes += char(c);
    }
    if (!bytes.isEmpty())
        m_sim.receive(bytes, m_clock.nowMs());
    pump();
}

void PanelSimDriver::pump()
{
    const QByteArray out = m_sim.takeOutput(m_clock.nowMs());
    if (!out.isEmpty())
        m_port.write(out);
    schedule();
}

void PanelSimDriver::schedule()
{
    const qint64 due = m_sim.nextDueMs();
    if (due < 0)
        return;
    // One call on the clock at a time, unless something earlier has become due.
    if (m_scheduledFor >= 0 && m_scheduledFor <= due)
        return;
    m_scheduledFor = due;
    const qint64 now = m_clock.nowMs();
    std::weak_ptr<bool> alive = m_alive;
    m_clock.callLater(int(qMax<qint64>(0, due - now)), [this, alive, due] {
        const auto a = alive.lock();
        if (!a || !*a)
            return;
        if (m_scheduledFor == due)
            m_scheduledFor = -1;
        pump();
    });
}

} // namespace qvr
