#pragma once

#include "bus/BusLog.h"
#include "bus/BusTimers.h"
#include "bus/LinkState.h"
#include "bus/SerialPort.h"

#include <QString>
#include <functional>

namespace qvr {

class Asker;
class Clock;
class SettingsStore;
class Texts;
struct ReadoutState;

// The serial link: opens and closes the port from the interface settings, sends frames
// with their checksum, feeds received characters to the parser, hands complete frames to
// the read-out and keeps the bus log.
class BusLink
{
public:
    // What the receive handler does after a frame was handed over: go on with the
    // characters still waiting, or return and leave them for the next notification.
    enum class FrameAction { Continue, Return };
    using FrameHandler = std::function<FrameAction()>;

    static constexpr int kPauseMs = 20;
    static constexpr int kCloseDelayMs = 50;
    static constexpr int kAttempts = 3;
    static constexpr int kBufferSize = 256;
    static constexpr int kTimeoutMs = 1000;
    static constexpr int kMastAnswerTimeoutMs = 60;
    // A send buffer that never drains (a pseudo-terminal nobody reads) must not hang the
    // close; 256 characters at 1200 baud take about 2.1 s.
    static constexpr int kDrainLimitMs = 5000;
    static constexpr int kDelayLimitMs = 1000;

    BusLink(SerialPort &port, Clock &clock, BusTimers &timers, LinkState &state,
            const SettingsStore &settings, const Texts &texts, Asker &asker);
    ~BusLink();
    BusLink(const BusLink &) = delete;
    BusLink &operator=(const BusLink &) = delete;

    // The installation folder `gAppPath`; "logdata.txt" goes there, or to the user's data
    // folder when the user may not write there. When never set, the setting `CurDir` of
    // section `Installation` is used.
    void setAppPath(const QString &path) { m_appPath = path; }
    QString logPath() const;
    // The next opens continue the bus log instead of starting it anew (the panels of a
    // site read-out share one log).
    void setLogAppend(bool append) { m_logAppend = append; }
    bool logAppend() const { return m_logAppend; }

    // The read-out whose activity and stage decide the answer time of a send; none: the
    // timeout timer is only enabled.
    void setReadoutState(const ReadoutState *readout) { m_readout = readout; }
    // Called for every frame the parser accepts.
    void setFrameHandler(FrameHandler handler) { m_frameHandler = std::move(handler); }

    // Opens and configures the port from section `Schnittstelle`; `failed` when it cannot
    // be opened (the user has been told with message 30010).
    void OpenBusPort(bool &failed);
    // Drains output, drops RTS and DTR, closes the port and the log.
    void CloseBusPort();
    // With `withChecksum`, completes `frame` in place ("&", checksum, CR LF); then resets
    // the parser, discards waiting input, writes the frame, logs it and arms Timer_Timeout.
    void SendFrame(QString &frame, bool withChecksum);
    // `gLastFrame` = text, then SendFrame(gLastFrame, true).
    void SendNewFrame(const QString &text);
    // One received character through the parser (and into the log).
    void ParseRxChar(unsigned char ch);
    // The port's notification handler.
    void OnComm();

    SerialPort &port() { return m_port; }
    LinkState &state() { return m_state; }
    BusTimers &timers() { return m_timers; }

private:
    bool retry(const std::function<bool()> &attempt);
    void logReceived(const QString &line);

    SerialPort &m_port;
    Clock &m_clock;
    BusTimers &m_timers;
    LinkState &m_state;
    const SettingsStore &m_settings;
    const Texts &m_texts;
    Asker &m_asker;
    const ReadoutState *m_readout = nullptr;
    FrameHandler m_frameHandler;
    QString m_appPath;
    bool m_logAppend = false;
    BusLog m_log;
};

} // namespace qvr
