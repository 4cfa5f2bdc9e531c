#include "bus/BusSearch.h"

#include "bus/LineSettings.h"
#include "bus/ReadoutEngine.h"
#include "bus/ReadoutSequence.h"
#include "core/Clock.h"
#include "decode/FieldHelpers.h"

#include <cmath>

namespace qvr {

int BusSearch::answerWindowMs(int baud)
{
    if (baud <= 0)
        baud = 9600;
    // 10 bits a character (7E1).
    return int(std::ceil(kWindowChars * 10000.0 / baud)) + kWindowLatencyMs;
}

BusSearch::BusSearch(BusLink &link, Clock &clock) : m_link(link), m_clock(clock) {}

BusSearch::~BusSearch()
{
    if (m_running)
        setHandlers(false);
}

void BusSearch::setHandlers(bool on)
{
    BusTimers &t = m_link.timers();
    t.Timer_Timeout->setEnabled(false);
    t.Timer_Busaktivität->setEnabled(false);
    t.Timer_Masterübernahme->setEnabled(false);
    if (!on) {
        t.Timer_Timeout->setHandler({});
        t.Timer_Busaktivität->setHandler({});
        t.Timer_Masterübernahme->setHandler({});
        m_link.setFrameHandler({});
        return;
    }
    t.Timer_Timeout->setHandler([this] { onTimeout(); });
    t.Timer_Busaktivität->setHandler([this] { onBusActivity(); });
    t.Timer_Masterübernahme->setHandler([this] { onMasterTakeover(); });
    m_link.setFrameHandler([this] { return onFrame(); });
}

void BusSearch::setLines(bool on)
{
    m_link.port().setRts(on);
    m_link.port().setDtr(on);
    m_link.port().clearError();
}

void BusSearch::start(QList<int> candidates)
{
    m_candidates = std::move(candidates);
    m_panels.clear();
    m_next = 0;
    m_asked = 0;
    m_master = -1;
    m_tries = 0;
    m_endMessage = 0;
    m_stopRequested = false;
    m_running = true;
    setHandlers(true);

    SerialPort &port = m_link.port();
    port.discardInput();
    m_link.state().rx.reset();
    m_stage = 1;
    port.setReceiveThreshold(1);
    if (!m_link.state().isDirect()) {
        m_link.timers().Timer_Busaktivität->setInterval(BusTimers::kBusActivityMs);
        m_link.timers().Timer_Busaktivität->setEnabled(true);
        return;
    }
    port.setSettings(m_link.state().gConnType == QLatin1String("USB")
                         ? QStringLiteral("57600,E,7,1")
                         : QStringLiteral("9600,E,7,1"));
    setLines(true);
    m_stage = 3;
    askNext();
}

// No traffic: nobody is master, so the search takes the role after the same quiet pause
// a read-out keeps.
void BusSearch::onBusActivity()
{
    m_link.timers().Timer_Busaktivität->setEnabled(false);
    SerialPort &port = m_link.port();
    port.setSettings(QStringLiteral("57600,E,7,1"));
    setLines(true);
    m_stage = 3;
    port.setReceiveThreshold(0);
    m_pause = std::make_shared<int>(0);
    std::weak_ptr<int> pause = m_pause;
    m_clock.callLater(ReadoutEngine::kSilentBusPauseMs, [this, pause] {
        if (pause.expired())
            return;
        m_pause.reset();
        m_link.port().setReceiveThreshold(1);
        askNext();
    });
}

void BusSearch::onMasterTakeover()
{
    m_endMessage = kMsgTakeoverFailed;
    finish();
}

BusLink::FrameAction BusSearch::onFrame()
{
    RxParser &rx = m_link.state().rx;
    BusTimers &t = m_link.timers();
    switch (m_stage) {
    case 1:
    case 2:
        t.Timer_Busaktivität->setEnabled(false);
        if (!t.Timer_Masterübernahme->isEnabled()) {
            t.Timer_Masterübernahme->setInterval(BusTimers::kMasterTakeoverMs);
            t.Timer_Masterübernahme->setEnabled(true);
        }
        if (m_stage == 1 && rx.gRxKind == 1 && rx.gRxAddress == ReadoutEngine::kPcStation &&
            rx.gRxCommand == QLatin1String("MAST?")) {
            t.Timer_Timeout->setInterval(ReadoutEngine::kReleaseTimeoutMs);
            m_link.SendNewFrame(QStringLiteral("::101:MAST 1"));
            m_stage = 2;
        } else if (m_stage == 2 && rx.gRxKind == 0 && rx.gRxCommand == QLatin1String("     ") &&
                   rx.gRxParam.isEmpty()) {
            t.Timer_Timeout->setEnabled(false);
            t.Timer_Masterübernahme->setEnabled(false);
            m_master = rx.gRxAddress;
            m_stage = 3;
            askNext();
        } else {
            rx.reset();
        }
        return BusLink::FrameAction::Return;
    case 3:
        if (m_asked > 0 && rx.gRxKind == 0 && rx.gRxAddress == m_asked) {
            t.Timer_Timeout->setEnabled(false);
            const QString deviceClass = ReadoutSequence::ClassOfPanel(rx.gRxCommand, rx.gRxParam);
            if (!deviceClass.isEmpty())
                m_panels.append({m_asked, deviceClass, rx.gRxCommand.trimmed(), rx.gRxParam});
            askNext();
            return BusLink::FrameAction::Return;
        }
        break;
    case 4:
        // Only the master's answer ends the return; a late answer of a panel does not.
        if (rx.gRxKind == 0 && rx.gRxAddress == m_master) {
            t.Timer_Timeout->setEnabled(false);
            if (rx.gRxCommand == QLatin1String("MAST ") && rx.gRxParam == QLatin1String("1")) {
                m_link.port().setReceiveThreshold(0);
                m_link.SendNewFrame(QStringLiteral("::101:"));
                t.Timer_Timeout->setEnabled(false);
            }
            finish();
            return BusLink::FrameAction::Return;
        }
        break;
    default:
        break;
    }
    rx.reset();
    return BusLink::FrameAction::Continue;
}

void BusSearch::onTimeout()
{
    m_link.timers().Timer_Timeout->setEnabled(false);
    m_link.state().rx.reset();
    switch (m_stage) {
    case 2:
        // No release within its window: the master keeps the bus; listen for its next query.
        m_stage = 1;
        if (m_stopRequested)
            finish();
        break;
    case 3:
        askNext();
        break;
    case 4:
        if (++m_tries < ReadoutEngine::kMaxTries) {
            m_link.SendFrame(m_link.state().gLastFrame, false);
            break;
        }
        m_endMessage = kMsgReturnFailed;
        finish();
        break;
    default:
        break;
    }
}

void BusSearch::askNext()
{
    if (m_stopRequested || m_next >= m_candidates.size()) {
        handBack();
        return;
    }
    m_asked = m_candidates[m_next++];
    if (asking)
        asking(int(m_next), int(m_candidates.size()), m_asked);
    LineSettings line;
    if (!LineSettings::parse(m_link.port().settings(), &line))
        line.baud = 9600;
    m_link.timers().Timer_Timeout->setInterval(answerWindowMs(line.baud));
    m_link.SendNewFrame(QStringLiteral(":;") + PadTo3(qint64(m_asked)) +
                        QStringLiteral(":IDNM? 1"));
}

void BusSearch::handBack()
{
    m_asked = 0;
    if (m_master < 0) {
        finish();
        return;
    }
    m_stage = 4;
    m_tries = 0;
    m_link.timers().Timer_Timeout->setInterval(BusLink::kTimeoutMs);
    m_link.SendNewFrame(QStringLiteral(":;") + PadTo3(qint64(m_master)) +
                        QStringLiteral(":MAST? 101"));
}

void BusSearch::requestStop()
{
    if (!m_running || m_stopRequested)
        return;
    m_stopRequested = true;
    // Listening, or in the quiet pause before taking the role: nobody to hand back to.
    if (m_stage == 1 || (m_stage == 3 && m_asked == 0 && m_pause))
        finish();
}

void BusSearch::finish()
{
    if (!m_running)
        return;
    m_pause.reset();
    setHandlers(false);
    m_stage = 0;
    m_asked = 0;
    m_link.port().setReceiveThreshold(0);
    m_link.CloseBusPort();
    m_running = false;
    std::weak_ptr<int> alive = m_alive;
    m_clock.callLater(0, [this, alive] {
        if (alive.expired() || !finished)
            return;
        // A copy: the search may be destroyed in it.
        const std::function<void()> done = finished;
        done();
    });
}

} // namespace qvr
