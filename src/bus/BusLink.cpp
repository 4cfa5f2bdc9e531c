#include "bus/BusLink.h"

#include "bus/Frame.h"
#include "bus/LineSettings.h"
#include "core/Asker.h"
#include "core/Clock.h"
#include "core/Folders.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"

namespace qvr {

namespace {
constexpr QLatin1String kSection("Schnittstelle");
constexpr int kMsgPortUnavailable = 30010;
} // namespace

BusLink::BusLink(SerialPort &port, Clock &clock, BusTimers &timers, LinkState &state,
                 const SettingsStore &settings, const Texts &texts, Asker &asker)
    : m_port(port), m_clock(clock), m_timers(timers), m_state(state), m_settings(settings),
      m_texts(texts), m_asker(asker)
{
    m_timers.Timer_Delay->setHandler([this] {
        m_timers.Timer_Delay->setEnabled(false);
        m_state.gDelayElapsed = true;
    });
    m_state.rx.setLogSink([this](const QString &line) { logReceived(line); });
    m_port.setNotify([this] { OnComm(); });
}

BusLink::~BusLink()
{
    m_port.setNotify({});
    m_state.rx.setLogSink({});
    m_timers.Timer_Delay->setHandler({});
}

QString BusLink::logPath() const
{
    const QString folder = m_appPath.isEmpty() ? InstallationFolder(m_settings) : m_appPath;
    return BusLog::pathIn(UserFilesFolder(folder));
}

// Up to three attempts, each followed by the 20 ms pause; stops at the first success.
bool BusLink::retry(const std::function<bool()> &attempt)
{
    for (int i = 0; i < kAttempts; ++i) {
        m_port.clearError();
        const bool ok = attempt() && !m_port.hasError();
        m_clock.sleepMs(kPauseMs);
        if (ok)
            return true;
    }
    return false;
}

void BusLink::OpenBusPort(bool &failed)
{
    failed = false;
    if (m_port.isOpen())
        return;

    const int com = int(LeadingNumber(
        m_settings.ReadSetting(kSection, QStringLiteral("Com"), QStringLiteral("2"))));
    const QString baud =
        m_settings.ReadSetting(kSection, QStringLiteral("Baud"), QStringLiteral("9600"));
    // The DTR option is kept with the settings; the line handling here does not use it.
    (void)m_settings.ReadSetting(kSection, QStringLiteral("DTR"), QStringLiteral("2"));
    m_state.gConnType =
        m_settings.ReadSetting(kSection, QStringLiteral("ConnType"), QStringLiteral("int"));

    m_port.clearError();
    m_port.setCommPort(com);
    m_clock.sleepMs(kPauseMs);

    // Test open: is the port there and free?
    if (!retry([this] { return m_port.open(); })) {
        m_asker.message(m_texts.ResText(kMsgPortUnavailable), QString(), Asker::Icon::None,
                        Asker::Buttons::Ok);
        m_port.clearError();
        failed = true;
        return;
    }
    retry([this] { return m_port.close(); });

    m_port.setBufferSizes(kBufferSize, kBufferSize);
    m_port.setCommPort(com);
    // A malformed baud rate leaves the port at its previous (default) settings.
    m_port.setSettings(baud.trimmed() + QStringLiteral(",E,7,1"));
    m_port.setHandshaking(false);
    m_clock.sleepMs(kPauseMs);

    m_state.gLogEnabled = true;
    m_log.open(logPath(), m_logAppend);

    retry([this] { return m_port.open(); });

    m_port.setRts(false);
    m_port.setDtr(false);
    m_port.setSendThreshold(1);
    m_port.setReceiveThreshold(0);
    m_port.clearError();
    m_state.rx.reset();
}

void BusLink::CloseBusPort()
{
    m_clock.waitWhile([this] { return m_port.isOpen() && m_port.bytesToWrite() > 0; },
                      kDrainLimitMs);

    m_state.gDelayElapsed = false;
    m_timers.Timer_Delay->setInterval(kCloseDelayMs);
    m_timers.Timer_Delay->setEnabled(true);
    // Bounded: should the timer be stopped meanwhile, the close still goes on.
    m_clock.waitWhile([this] { return !m_state.gDelayElapsed; }, kDelayLimitMs);
    m_timers.Timer_Delay->setEnabled(false);

    m_port.setRts(false);
    m_port.setDtr(false);
    m_clock.sleepMs(kPauseMs);
    retry([this] { return m_port.close(); });
    m_port.clearError();

    if (m_state.gLogEnabled) {
        m_log.close();
        m_state.gLogEnabled = false;
    }
}

void BusLink::SendFrame(QString &frame, bool withChecksum)
{
    if (withChecksum)
        frame = CompleteFrame(frame);

    m_port.setReceiveThreshold(0);
    m_clock.sleepMs(kPauseMs);
    m_port.setReceiveThreshold(1);

    m_state.rx.reset();
    m_port.discardInput();
    m_port.write(FrameBytes(frame));

    if (m_state.gLogEnabled)
        m_log.writeLine(QLatin1String(BusLog::kSentPrefix) + frame);

    if (m_readout && m_readout->gReadoutActive) {
        m_timers.Timer_Timeout->setInterval(kTimeoutMs);
        if (frame.contains(QLatin1String("::101:MAST 1")) && m_readout->gBusStage == 1)
            m_timers.Timer_Timeout->setInterval(kMastAnswerTimeoutMs);
    }
    m_timers.Timer_Timeout->setEnabled(true);
}

void BusLink::SendNewFrame(const QString &text)
{
    m_state.gLastFrame = text;
    SendFrame(m_state.gLastFrame, true);
}

void BusLink::ParseRxChar(unsigned char ch)
{
    m_state.rx.ParseRxChar(ch);
}

void BusLink::logReceived(const QString &line)
{
    if (m_state.gLogEnabled)
        m_log.writeLine(QLatin1String(BusLog::kReceivedPrefix) + line);
}

void BusLink::OnComm()
{
    switch (m_port.commEvent()) {
    case SerialPort::EventReceive:
        while (m_port.isOpen() && m_port.bytesAvailable() > 0) {
            const int ch = m_port.readChar();
            if (ch < 0)
                break;
            ParseRxChar(static_cast<unsigned char>(ch));
            if (m_state.rx.gRxFrameComplete != 1)
                continue;
            const FrameAction action = m_frameHandler ? m_frameHandler() : FrameAction::Continue;
            // A frame is handed over once: should the handler leave it complete, the
            // next character must not hand it over again.
            if (m_state.rx.gRxFrameComplete == 1)
                m_state.rx.reset();
            if (action == FrameAction::Return)
                return;
        }
        break;
    case SerialPort::EventSend:
        break;
    default:
        m_state.rx.reset();
        break;
    }
}

} // namespace qvr
