#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace qvr {

// The serial port as the link drives it: one character at a time, with notifications
// after received characters and when the send buffer has drained. Implemented on
// QSerialPort for real ports and pseudo-terminals, and in memory for tests and the
// in-process simulated panel.
//
// Errors do not throw: an operation that fails returns false and leaves an error pending
// (hasError(), errorString()) until clearError().
class SerialPort
{
public:
    // Kind of the last notification (commEvent()).
    enum Event : int {
        EventNone = 0,
        EventSend = 1,    // send buffer empty
        EventReceive = 2, // characters received
        EventLine = 3,    // a line change
        EventError = 4,   // a port error (framing, overrun, the other end closed, ...)
    };
    using Notify = std::function<void()>;

    virtual ~SerialPort() = default;

    // Port number n of "COMn" (1 to 16), or an explicit device path. Takes effect at the
    // next open.
    virtual void setCommPort(int number) = 0;
    virtual int commPort() const = 0;
    virtual void setDevice(const QString &device) = 0;
    virtual QString device() const = 0;

    // Line settings text such as "9600,E,7,1"; false for a malformed text (nothing changes).
    // On an open port the settings apply at once.
    virtual bool setSettings(const QString &settings) = 0;
    virtual QString settings() const = 0;

    virtual bool open() = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;

    virtual bool hasError() const = 0;
    virtual QString errorString() const = 0;
    virtual void clearError() = 0;

    virtual void setBufferSizes(int inSize, int outSize) = 0;
    virtual void setHandshaking(bool on) = 0;

    // Receive side: characters waiting, read one (-1 when none), discard all waiting.
    virtual int bytesAvailable() const = 0;
    virtual int readChar() = 0;
    virtual void discardInput() = 0;

    // Send side: characters still waiting to be sent; write a block.
    virtual int bytesToWrite() const = 0;
    virtual bool write(const QByteArray &data) = 0;

    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;
    virtual bool rts() const = 0;
    virtual bool dtr() const = 0;

    // Receive notification threshold: 1 notifies after received characters, 0 suppresses
    // receive notifications. Send threshold 1 notifies when the send buffer has drained.
    virtual void setReceiveThreshold(int threshold) = 0;
    virtual int receiveThreshold() const = 0;
    virtual void setSendThreshold(int threshold) = 0;

    // The notification handler (one per event, from the event loop, never from inside a
    // call on this port) and the kind of the event being notified.
    void setNotify(Notify notify) { m_notify = std::move(notify); }
    Event commEvent() const { return m_event; }

protected:
    void notify(Event event)
    {
        m_event = event;
        if (m_notify)
            m_notify();
    }

private:
    Notify m_notify;
    Event m_event = EventNone;
};

} // namespace qvr
