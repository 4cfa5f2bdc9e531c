#pragma once

#include "bus/LineSettings.h"
#include "bus/SerialPort.h"

#include <QByteArray>
#include <QSet>
#include <memory>

namespace qvr {

class Clock;

// Two serial port ends joined by an in-memory line, running on a Clock (usually the
// VirtualClock). What one open end writes arrives at the other end if that end is open,
// and its notifications come from the clock's event processing, never from inside a call.
//
// With line timing on, characters take their time on the wire: 10 bits per character at
// the writer's baud rate, one after the other, and bytesToWrite() counts those not yet
// delivered. Ends whose line settings differ receive garbled characters, as on a real line.
//
// Faults for tests: ports that do not exist or fail to open, failing writes, RTS/DTR
// refused (as a pseudo-terminal does), an error event.
class MemorySerialLine
{
public:
    class End;

    explicit MemorySerialLine(Clock &clock);
    ~MemorySerialLine();
    MemorySerialLine(const MemorySerialLine &) = delete;
    MemorySerialLine &operator=(const MemorySerialLine &) = delete;

    // The program's end and the panel's end.
    End &host() { return *m_host; }
    End &device() { return *m_device; }

    void setLineTiming(bool on) { m_timing = on; }
    bool lineTiming() const { return m_timing; }

    Clock &clock() { return m_clock; }

private:
    friend class End;
    Clock &m_clock;
    bool m_timing = false;
    std::unique_ptr<End> m_host;
    std::unique_ptr<End> m_device;
};

class MemorySerialLine::End : public SerialPort
{
public:
    explicit End(MemorySerialLine &line);

    void setCommPort(int number) override { m_commPort = number; }
    int commPort() const override { return m_commPort; }
    void setDevice(const QString &device) override { m_device = device; }
    QString device() const override { return m_device; }

    bool setSettings(const QString &settings) override;
    QString settings() const override { return m_settings.toString(); }
    LineSettings lineSettings() const { return m_settings; }

    bool open() override;
    bool close() override;
    bool isOpen() const override { return m_open; }

    bool hasError() const override { return !m_error.isEmpty(); }
    QString errorString() const override { return m_error; }
    void clearError() override { m_error.clear(); }

    void setBufferSizes(int inSize, int outSize) override;
    void setHandshaking(bool on) override { m_handshaking = on; }
    bool handshaking() const { return m_handshaking; }
    int inBufferSize() const { return m_inSize; }
    int outBufferSize() const { return m_outSize; }

    int bytesAvailable() const override { return int(m_rx.size() - m_rxPos); }
    int readChar() override;
    void discardInput() override;

    int bytesToWrite() const override { return m_inFlight; }
    bool write(const QByteArray &data) override;

    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    bool rts() const override { return m_rts; }
    bool dtr() const override { return m_dtr; }

    void setReceiveThreshold(int threshold) override;
    int receiveThreshold() const override { return m_rThreshold; }
    void setSendThreshold(int threshold) override { m_sThreshold = threshold; }

    // Faults and observation for tests.
    // Only these port numbers exist (empty: every number exists).
    void setAvailablePorts(const QSet<int> &ports) { m_available = ports; }
    // The next n opens fail as if the port were taken.
    void failNextOpens(int n) { m_failOpens = n; }
    void setWriteFails(bool fail) { m_writeFails = fail; }
    // Refuse RTS and DTR as a pseudo-terminal does (the setters fail, nothing else).
    void setLineControlSupported(bool supported) { m_lineControl = supported; }
    // Raises an error event (kind EventError) from the clock's event processing.
    void injectError(const QString &message);
    // Everything this end has written while open, in order.
    const QByteArray &written() const { return m_written; }
    void clearWritten() { m_written.clear(); }
    int openCount() const { return m_openCount; }
    // Characters lost because the receive buffer was full.
    int overflowCount() const { return m_overflow; }

private:
    friend class MemorySerialLine;
    void receive(const QByteArray &data, const LineSettings &sentWith);
    void scheduleDelivery(int delayMs, const QByteArray &chunk, const LineSettings &sentWith,
                          quint64 generation);
    void delivered(int count);
    void scheduleReceiveNotify();
    void compact();
    template <typename F> void later(int ms, F fn);

    MemorySerialLine &m_line;
    End *m_peer = nullptr;
    // Calls scheduled on the clock hold a weak reference, so they do nothing once the
    // line is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    quint64 m_readCount = 0;
    int m_commPort = 1;
    QString m_device;
    LineSettings m_settings;
    bool m_open = false;
    QString m_error;
    int m_inSize = 1024;
    int m_outSize = 512;
    bool m_handshaking = false;
    QByteArray m_rx;
    qsizetype m_rxPos = 0;
    int m_inFlight = 0;
    qint64 m_wireFreeUs = 0;
    bool m_rts = false;
    bool m_dtr = false;
    int m_rThreshold = 0;
    int m_sThreshold = 0;
    bool m_notifyPending = false;
    QSet<int> m_available;
    int m_failOpens = 0;
    bool m_writeFails = false;
    bool m_lineControl = true;
    QByteArray m_written;
    int m_openCount = 0;
    int m_overflow = 0;
    quint64 m_generation = 0; // changes on close, so deliveries in flight are dropped
};

} // namespace qvr
