#include "bus/MemorySerialLine.h"

#include "core/Clock.h"

#include <algorithm>

namespace qvr {

namespace {
constexpr int kBitsPerChar = 10; // start, 7 data, parity, stop
constexpr int kMinRxCapacity = 4096;

// What a receiver with other line settings makes of a character: never a ":" or any
// other character of a frame.
char garbled(char c)
{
    return static_cast<char>((static_cast<unsigned char>(c) ^ 0xA5) | 0x80);
}
} // namespace

MemorySerialLine::MemorySerialLine(Clock &clock)
    : m_clock(clock), m_host(std::make_unique<End>(*this)), m_device(std::make_unique<End>(*this))
{
    m_host->m_peer = m_device.get();
    m_device->m_peer = m_host.get();
}

MemorySerialLine::~MemorySerialLine() = default;

MemorySerialLine::End::End(MemorySerialLine &line) : m_line(line) {}

template <typename F> void MemorySerialLine::End::later(int ms, F fn)
{
    std::weak_ptr<int> alive = m_alive;
    m_line.m_clock.callLater(ms, [alive, fn = std::move(fn)]() mutable {
        if (!alive.expired())
            fn();
    });
}

bool MemorySerialLine::End::setSettings(const QString &settings)
{
    LineSettings parsed;
    if (!LineSettings::parse(settings, &parsed)) {
        m_error = QStringLiteral("Invalid line settings: %1").arg(settings);
        return false;
    }
    m_settings = parsed;
    return true;
}

bool MemorySerialLine::End::open()
{
    if (m_open) {
        m_error = QStringLiteral("Port already open");
        return false;
    }
    if (!m_available.isEmpty() && !m_available.contains(m_commPort)) {
        m_error = QStringLiteral("No such port: COM%1").arg(m_commPort);
        return false;
    }
    if (m_failOpens > 0) {
        --m_failOpens;
        m_error = QStringLiteral("Port in use: COM%1").arg(m_commPort);
        return false;
    }
    m_open = true;
    ++m_openCount;
    discardInput();
    return true;
}

bool MemorySerialLine::End::close()
{
    if (m_open) {
        m_open = false;
        // What was not yet on the wire is lost with the port.
        ++m_generation;
        m_inFlight = 0;
        m_wireFreeUs = 0;
        discardInput();
    }
    return true;
}

void MemorySerialLine::End::setBufferSizes(int inSize, int outSize)
{
    m_inSize = std::max(inSize, 1);
    m_outSize = std::max(outSize, 1);
}

int MemorySerialLine::End::readChar()
{
    if (m_rxPos >= m_rx.size())
        return -1;
    const int ch = static_cast<unsigned char>(m_rx[m_rxPos++]);
    ++m_readCount;
    compact();
    return ch;
}

void MemorySerialLine::End::compact()
{
    if (m_rxPos == m_rx.size()) {
        m_rx.clear();
        m_rxPos = 0;
    } else if (m_rxPos > 4096) {
        m_rx.remove(0, m_rxPos);
        m_rxPos = 0;
    }
}

void MemorySerialLine::End::discardInput()
{
    m_readCount += quint64(bytesAvailable());
    m_rx.clear();
    m_rxPos = 0;
}

bool MemorySerialLine::End::write(const QByteArray &data)
{
    if (!m_open) {
        m_error = QStringLiteral("Port not open");
        return false;
    }
    if (m_writeFails) {
        m_error = QStringLiteral("Write failed");
        return false;
    }
    if (data.isEmpty())
        return true;
    m_written += data;
    m_inFlight += int(data.size());

    const LineSettings sentWith = m_settings;
    const quint64 generation = m_generation;
    if (!m_line.m_timing) {
        scheduleDelivery(0, data, sentWith, generation);
        return true;
    }

    // Characters leave one after the other at this end's baud rate; those arriving in
    // the same millisecond are delivered together.
    const double charUs = kBitsPerChar * 1e6 / std::max(m_settings.baud, 1);
    const qint64 nowUs = m_line.m_clock.nowMs() * 1000;
    const double startUs = double(std::max(nowUs, m_wireFreeUs));
    qsizetype from = 0;
    while (from < data.size()) {
        const qint64 arrivalMs = qint64((startUs + double(from + 1) * charUs + 999.0) / 1000.0);
        qsizetype to = from + 1;
        while (to < data.size() &&
               qint64((startUs + double(to + 1) * charUs + 999.0) / 1000.0) == arrivalMs)
            ++to;
        const QByteArray chunk = data.mid(from, to - from);
        const int delay = int(std::max<qint64>(arrivalMs - m_line.m_clock.nowMs(), 0));
        scheduleDelivery(delay, chunk, sentWith, generation);
        from = to;
    }
    m_wireFreeUs = qint64(startUs + double(data.size()) * charUs);
    return true;
}

void MemorySerialLine::End::scheduleDelivery(int delayMs, const QByteArray &chunk,
                                             const LineSettings &sentWith, quint64 generation)
{
    later(delayMs, [this, chunk, sentWith, generation] {
        if (generation != m_generation)
            return; // this end was closed meanwhile
        if (m_peer)
            m_peer->receive(chunk, sentWith);
        delivered(int(chunk.size()));
    });
}

void MemorySerialLine::End::delivered(int count)
{
    m_inFlight = std::max(m_inFlight - count, 0);
    if (m_inFlight == 0 && m_open && m_sThreshold >= 1)
        notify(EventSend);
}

void MemorySerialLine::End::receive(const QByteArray &data, const LineSettings &sentWith)
{
    if (!m_open)
        return;
    QByteArray in = data;
    if (!(sentWith == m_settings))
        std::transform(in.begin(), in.end(), in.begin(), garbled);
    const qsizetype capacity = std::max(m_inSize, kMinRxCapacity);
    const qsizetype room = std::max<qsizetype>(capacity - bytesAvailable(), 0);
    if (in.size() > room) {
        m_overflow += int(in.size() - room);
        in.truncate(room);
    }
    m_rx += in;
    if (m_rThreshold >= 1 && bytesAvailable() > 0)
        scheduleReceiveNotify();
}

void MemorySerialLine::End::scheduleReceiveNotify()
{
    if (m_notifyPending)
        return;
    m_notifyPending = true;
    later(0, [this] {
        m_notifyPending = false;
        if (!m_open || m_rThreshold < 1 || bytesAvailable() == 0)
            return;
        const quint64 readBefore = m_readCount;
        notify(EventReceive);
        // Characters left waiting get another notification, as long as the handler takes
        // something each time (a handler that reads nothing is not called in a loop).
        if (m_open && m_rThreshold >= 1 && bytesAvailable() > 0 && m_readCount != readBefore)
            scheduleReceiveNotify();
    });
}

void MemorySerialLine::End::setReceiveThreshold(int threshold)
{
    m_rThreshold = threshold;
    if (threshold >= 1 && bytesAvailable() > 0)
        scheduleReceiveNotify();
}

bool MemorySerialLine::End::setRts(bool on)
{
    if (!m_lineControl) {
        m_error = QStringLiteral("Inappropriate ioctl for device");
        return false;
    }
    m_rts = on;
    return true;
}

bool MemorySerialLine::End::setDtr(bool on)
{
    if (!m_lineControl) {
        m_error = QStringLiteral("Inappropriate ioctl for device");
        return false;
    }
    m_dtr = on;
    return true;
}

void MemorySerialLine::End::injectError(const QString &message)
{
    later(0, [this, message] {
        m_error = message;
        notify(EventError);
    });
}

} // namespace qvr
