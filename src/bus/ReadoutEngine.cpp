#include "bus/ReadoutEngine.h"

#include "bus/ReadoutPresenter.h"
#include "core/Clock.h"
#include "decode/AnswerDispatch.h"
#include "decode/FieldHelpers.h"
#include "decode/ReadoutState.h"
#include "store/HistoryMerge.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"

namespace qvr {

namespace {
const QString kDirect57600 = QStringLiteral("57600,E,7,1");
const QString kDirect9600 = QStringLiteral("9600,E,7,1");
} // namespace

ReadoutEngine::ReadoutEngine(BusLink &link, ReadoutState &readout, StoreState &store,
                             const Texts &texts, Clock &clock, ReadoutPresenter &presenter)
    : m_link(link), m_readout(readout), m_store(store), m_clock(clock), m_presenter(presenter),
      m_ctx{readout, store, m_standardTexts, texts, {}, {}}, m_sequence(*this)
{
    BusTimers &t = m_link.timers();
    t.Timer_Timeout->setHandler([this] { onTimeout(); });
    t.Timer_Busaktivität->setHandler([this] { onBusActivity(); });
    t.Timer_Masterübernahme->setHandler([this] { onMasterTakeover(); });
    m_link.setReadoutState(&m_readout);
    m_link.setFrameHandler([this] { return onFrame(); });
}

ReadoutEngine::~ReadoutEngine()
{
    m_token.reset();
    BusTimers &t = m_link.timers();
    t.Timer_Timeout->setEnabled(false);
    t.Timer_Busaktivität->setEnabled(false);
    t.Timer_Masterübernahme->setEnabled(false);
    t.Timer_Timeout->setHandler({});
    t.Timer_Busaktivität->setHandler({});
    t.Timer_Masterübernahme->setHandler({});
    m_link.setFrameHandler({});
    m_link.setReadoutState(nullptr);
    endTempWrites();
}

// TEMP rows of one read-out go into one transaction: a read-out writes hundreds of rows
// and must stay bound by the line, not by the file.
void ReadoutEngine::beginTempWrites()
{
    Database *db = m_store.gDatabase.get();
    if (db && db->isOpen() && !m_tempTransaction)
        m_tempTransaction = db->beginTransaction();
}

void ReadoutEngine::endTempWrites()
{
    if (!m_tempTransaction)
        return;
    m_tempTransaction = false;
    Database *db = m_store.gDatabase.get();
    if (!db || !db->isOpen())
        return;
    QString error;
    if (!db->commit(&error)) {
        m_presenter.storeFailure(error);
        db->rollback();
    }
}

bool ReadoutEngine::StartReadout()
{
    m_outcome = Outcome::None;
    m_endMessage = 0;
    m_returnFailed = false;
    m_storeFailed = false;
    m_ending = false;
    m_transferOpen = false;
    m_stopping = false;
    m_token = std::make_shared<int>(0);
    m_readout.gReadAnalog = true;
    m_readout.gAnalogProbe = true;
    m_readout.standardTextsMissing = false;
    m_ctx.engineError.clear();

    // Empty TEMP and keep its record set open for the decoders.
    QString error;
    Database *db = m_store.gDatabase.get();
    if (!db || !db->isOpen() || !db->execute(QStringLiteral("DELETE FROM TEMP"), &error)
        || !HistorySchema::ensureIndexes(m_store, &error)
        || !HistorySchema::OpenTable(m_store, QStringLiteral("TEMP"), &error)) {
        if (error.isEmpty())
            error = QStringLiteral("No history file is open.");
        m_presenter.storeFailure(error);
        m_outcome = Outcome::StoreFailed;
        m_presenter.showMessage(kMsgMergeFailed, Asker::Icon::Critical, true);
        m_presenter.closeDialog();
        return false;
    }
    beginTempWrites();

    m_readout.gReadoutActive = true;
    m_presenter.setStatus(kStatusCheckInterface);
    m_readout.gHistoryIndex = 1;
    m_presenter.setProgress(0);
    m_readout.gEndReason = 0;
    m_readout.gTimeoutCount = 0;
    m_readout.gErrorCount = 0;

    SerialPort &port = m_link.port();
    port.discardInput();
    m_readout.gBusStage = 1;
    m_readout.gMasterAddress = -1;
    port.setReceiveThreshold(1);

    if (!m_link.state().isDirect()) {
        m_link.timers().Timer_Busaktivität->setInterval(BusTimers::kBusActivityMs);
        m_link.timers().Timer_Busaktivität->setEnabled(true);
        return true;
    }
    port.setSettings(m_link.state().gConnType == QLatin1String("USB") ? kDirect57600
                                                                       : kDirect9600);
    m_readout.gBusStage = 3;
    setLines(true);
    port.setReceiveThreshold(1);
    sendIdentification();
    return true;
}

void ReadoutEngine::StopReadout()
{
    // Closing the port processes events; a stop asked for meanwhile is answered below.
    if (m_inStopReadout)
        return;
    m_inStopReadout = true;
    m_stopping = false;
    m_token.reset(); // a pending pause ends here
    BusTimers &t = m_link.timers();
    t.Timer_Masterübernahme->setEnabled(false);
    t.Timer_Busaktivität->setEnabled(false);
    t.Timer_Timeout->setEnabled(false);
    if (m_readout.gReadoutActive && m_outcome == Outcome::None)
        m_outcome = Outcome::Stopped;
    m_readout.gReadoutActive = false;
    m_readout.gBusStage = 0;
    if (m_link.port().isOpen())
        m_link.CloseBusPort();
    endTempWrites();
    m_inStopReadout = false;
    if (m_stopRequested) {
        m_stopRequested = false;
        const std::function<void()> stopped = std::move(m_onStopped);
        m_onStopped = nullptr;
        if (stopped)
            stopped();
    }
}

bool ReadoutEngine::running() const
{
    return m_readout.gReadoutActive || m_ending || m_stopping;
}

void ReadoutEngine::requestStop(std::function<void()> stopped)
{
    if (stopped && m_onStopped) {
        m_onStopped = [first = std::move(m_onStopped), then = std::move(stopped)] {
            first();
            then();
        };
    } else if (stopped) {
        m_onStopped = std::move(stopped);
    }
    // A stop, an end or a close under way calls back when it is over.
    const bool underWay = m_stopRequested || m_ending || m_inStopReadout;
    m_stopRequested = true;
    if (underWay)
        return;
    if (!m_readout.gReadoutActive) {
        StopReadout();
        return;
    }
    switch (m_readout.gBusStage) {
    case 2:
        // The PC has answered the master's query and the release may be on its way:
        // closing now could leave the bus with nobody polling. Its 60 ms are waited out.
        m_stopping = true;
        break;
    case 3:
        m_stopping = true;
        if (!m_transferOpen)
            finishWithPanel();
        else if (LastCommandOf(m_link.state().gLastFrame) != QLatin1String("LCDST"))
            sendRequest(QStringLiteral("LCDST"));
        break;
    case 4:
        // The master return of the read-out's end is under way; the end finishes first.
        break;
    default:
        // Listening: the master still holds the bus.
        StopReadout();
        break;
    }
}

void ReadoutEngine::setLines(bool on)
{
    // A pseudo-terminal refuses RTS and DTR; that is no reason to stop.
    m_link.port().setRts(on);
    m_link.port().setDtr(on);
    m_link.port().clearError();
}

void ReadoutEngine::sendRequest(const QString &command)
{
    if (command == QLatin1String("LCDH"))
        m_transferOpen = true;
    m_link.SendNewFrame(QStringLiteral(":;") + PadTo3(qint64(m_readout.gDeviceAddress))
                        + QLatin1Char(':') + command);
}

void ReadoutEngine::sendFixed(const QString &text)
{
    m_link.SendNewFrame(text);
}

void ReadoutEngine::resendLastFrame()
{
    m_link.SendFrame(m_link.state().gLastFrame, false);
}

void ReadoutEngine::sendIdentification()
{
    sendRequest(QStringLiteral("IDNM? 1"));
}

// No bus traffic within 3 s of the start: nobody is master, so the PC takes the role.
void ReadoutEngine::onBusActivity()
{
    m_link.timers().Timer_Busaktivität->setEnabled(false);
    SerialPort &port = m_link.port();
    port.setSettings(kDirect57600);
    m_readout.gBusStage = 3;
    setLines(true);
    // Five seconds of quiet on the line before the first request: nothing is read or
    // sent meanwhile, but the event loop (and the window) keeps running.
    port.setReceiveThreshold(0);
    std::weak_ptr<int> token = m_token;
    m_clock.callLater(kSilentBusPauseMs, [this, token] {
        if (token.expired())
            return;
        m_link.port().setReceiveThreshold(1);
        if (m_readout.gReadoutActive)
            sendIdentification();
    });
}

BusLink::FrameAction ReadoutEngine::onFrame()
{
    if (m_stopping)
        return onStopFrame();
    switch (m_readout.gBusStage) {
    case 1:
    case 2:
        return HandleMasterQuery();
    case 3:
        return m_sequence.HandleFrame();
    case 4:
        return HandleMasterReturn();
    default:
        m_link.state().rx.reset();
        return BusLink::FrameAction::Continue;
    }
}

BusLink::FrameAction ReadoutEngine::HandleMasterQuery()
{
    BusTimers &t = m_link.timers();
    RxParser &rx = m_link.state().rx;
    t.Timer_Busaktivität->setEnabled(false);
    // The 30 s run from the first traffic: later frames must not restart them.
    if (!t.Timer_Masterübernahme->isEnabled())
        t.Timer_Masterübernahme->setEnabled(true);

    if (m_readout.gBusStage == 1 && rx.gRxKind == 1 && rx.gRxAddress == kPcStation
        && rx.gRxCommand == QLatin1String("MAST?")) {
        m_readout.gTimeoutCount = 0;
        m_readout.gErrorCount = 0;
        sendFixed(QStringLiteral("::101:MAST 1"));
        // The first timeout of the answer ends this attempt.
        m_readout.gTimeoutCount = kMaxTries - 1;
        m_readout.gErrorCount = kMaxTries - 1;
        m_readout.gBusStage = 2;
    } else if (m_readout.gBusStage == 2 && rx.gRxKind == 0
               && rx.gRxCommand == QLatin1String("     ") && rx.gRxParam.isEmpty()) {
        t.Timer_Timeout->setEnabled(false);
        m_readout.gTimeoutCount = 0;
        m_readout.gErrorCount = 0;
        t.Timer_Masterübernahme->setEnabled(false);
        m_readout.gMasterAddress = rx.gRxAddress;
        m_readout.gBusStage = 3;
        t.Timer_Timeout->setInterval(kReleaseTimeoutMs);
        if (m_stopping)
            finishWithPanel();
        else if (m_readout.gReadoutActive)
            sendIdentification();
    } else {
        rx.reset();
    }
    return BusLink::FrameAction::Return;
}

void ReadoutEngine::finishWithPanel()
{
    if (m_readout.gMasterAddress != -1) {
        m_readout.gErrorCount = 0;
        m_readout.gTimeoutCount = 0;
        m_readout.gBusStage = 4;
        m_link.SendNewFrame(QStringLiteral(":;") + PadTo3(qint64(m_readout.gMasterAddress))
                            + QStringLiteral(":MAST? 101"));
        return;
    }
    m_link.port().setReceiveThreshold(0);
    EndReadout();
}

BusLink::FrameAction ReadoutEngine::HandleMasterReturn()
{
    RxParser &rx = m_link.state().rx;
    BusTimers &t = m_link.timers();
    if (rx.gRxKind == 0 && rx.gRxAddress == m_readout.gMasterAddress
        && rx.gRxCommand == QLatin1String("MAST ") && rx.gRxParam == QLatin1String("1")) {
        t.Timer_Timeout->setEnabled(false);
        m_link.port().setReceiveThreshold(0);
        m_readout.gTimeoutCount = 0;
        m_readout.gErrorCount = 0;
        sendFixed(QStringLiteral("::101:"));
        m_readout.gTimeoutCount = kMaxTries - 1;
        m_readout.gErrorCount = kMaxTries - 1;
        t.Timer_Timeout->setEnabled(false);
        m_link.port().setReceiveThreshold(0);
    }
    // Whatever the master answered, the read-out is over.
    if (m_readout.gReadoutActive)
        EndReadout();
    return BusLink::FrameAction::Return;
}

// While stopping only the answers that end the stop count: the panel's "LCDST" and the
// master's answer to the return; the answer to a request still on its way is dropped.
BusLink::FrameAction ReadoutEngine::onStopFrame()
{
    RxParser &rx = m_link.state().rx;
    const bool answer = rx.gRxKind == 0 && m_readout.gReadoutActive;
    switch (m_readout.gBusStage) {
    case 2:
        return HandleMasterQuery();
    case 3:
        if (answer && rx.gRxAddress == m_readout.gDeviceAddress
            && rx.gRxCommand == QLatin1String("LCDST")) {
            m_link.timers().Timer_Timeout->setEnabled(false);
            finishWithPanel();
            return BusLink::FrameAction::Return;
        }
        break;
    case 4:
        if (answer && rx.gRxAddress == m_readout.gMasterAddress)
            return HandleMasterReturn();
        break;
    default:
        break;
    }
    rx.reset();
    return BusLink::FrameAction::Continue;
}

void ReadoutEngine::onStopTimeout()
{
    m_link.timers().Timer_Timeout->setEnabled(false);
    m_link.state().rx.reset();
    switch (m_readout.gBusStage) {
    case 3:
        // The panel did not acknowledge "LCDST": the bus goes back all the same.
        finishWithPanel();
        break;
    case 4:
        if (++m_readout.gTimeoutCount < kStopReturnTries) {
            resendLastFrame();
            break;
        }
        m_returnFailed = true;
        m_endMessage = kMsgReturnFailed;
        m_presenter.showMessage(kMsgReturnFailed, Asker::Icon::Critical, true);
        StopReadout();
        break;
    default:
        // No release within its 60 ms: the master kept the bus.
        StopReadout();
        break;
    }
}

void ReadoutEngine::onTimeout()
{
    if (m_stopping) {
        onStopTimeout();
        return;
    }
    BusTimers &t = m_link.timers();
    t.Timer_Timeout->setEnabled(false);
    m_link.state().rx.reset();
    ++m_readout.gTimeoutCount;

    if (m_readout.gTimeoutCount < kMaxTries) {
        if (m_readout.gReadoutActive)
            resendLastFrame();
        return;
    }
    // The analogue probe got its two waits: this panel has no analogue records.
    if (LastCommandOf(m_link.state().gLastFrame) == QLatin1String("LCDRA")
        && m_readout.gAnalogProbe) {
        m_readout.gAnalogProbe = false;
        m_readout.gReadAnalog = false;
        m_readout.gTimeoutCount = 0;
        sendRequest(QStringLiteral("LCDRH ") + PadTo3(qint64(m_readout.gHistoryIndex)));
        return;
    }
    setLines(false);
    if (m_readout.gReadoutActive)
        Timeout_Steuerung_Historiendaten_vom_Tableau_empfangen();
}

void ReadoutEngine::Timeout_Steuerung_Historiendaten_vom_Tableau_empfangen()
{
    m_readout.gTimeoutCount = 0;
    m_readout.gErrorCount = 0;
    switch (m_readout.gBusStage) {
    case 1:
    case 2:
        // Listen for the master's next query; the 30 s supervision keeps running.
        m_readout.gBusStage = 1;
        break;
    case 3:
        m_readout.gEndReason = 3;
        finishWithPanel();
        break;
    case 4:
        m_link.port().setReceiveThreshold(0);
        m_readout.gReadoutActive = false;
        m_returnFailed = true;
        m_endMessage = kMsgReturnFailed;
        m_presenter.showMessage(kMsgReturnFailed, Asker::Icon::Critical, true);
        EndReadout();
        break;
    default:
        break;
    }
}

void ReadoutEngine::onMasterTakeover()
{
    if (m_stopping) {
        StopReadout();
        return;
    }
    BusTimers &t = m_link.timers();
    m_link.port().setReceiveThreshold(0);
    m_readout.gBusStage = 0;
    t.Timer_Timeout->setEnabled(false);
    t.Timer_Masterübernahme->setEnabled(false);
    m_link.state().rx.reset();
    setLines(false);
    if (!m_readout.gReadoutActive)
        return;
    m_readout.gReadoutActive = false;
    endTempWrites();
    m_outcome = Outcome::EndMessage;
    m_endMessage = kMsgTakeoverFailed;
    m_presenter.stopAnimation();
    m_presenter.showMessage(kMsgTakeoverFailed, Asker::Icon::Critical, true);
    m_presenter.closeDialog();
}

void ReadoutEngine::showEndMessage(int textId)
{
    m_presenter.stopAnimation();
    m_readout.gNewData = false;
    m_readout.gReadoutActive = false;
    // A read-out the history file refused ends with the record error message, but it is
    // the file that failed.
    m_outcome = m_storeFailed ? Outcome::StoreFailed : Outcome::EndMessage;
    m_endMessage = textId;
    m_presenter.showMessage(textId, Asker::Icon::Critical, true);
    m_presenter.closeDialog();
}

void ReadoutEngine::storeFailed(const QString &detail)
{
    m_presenter.storeFailure(detail);
    m_storeFailed = true;
    m_readout.gEndReason = 2;
}

void ReadoutEngine::EndReadout()
{
    // Closing the port processes events; a frame or timer must not end the read-out twice.
    if (m_ending)
        return;
    // A stopped read-out ends without a message and without merging.
    if (m_stopping) {
        StopReadout();
        return;
    }
    m_ending = true;
    m_link.timers().Timer_Timeout->setEnabled(false);
    m_link.CloseBusPort();
    endTempWrites();

    switch (m_readout.gEndReason) {
    case 1:
        showEndMessage(kMsgNoHistory);
        break;
    case 2:
        showEndMessage(kMsgRecordError);
        break;
    case 3:
        showEndMessage(kMsgNotResponding);
        break;
    case 4:
        showEndMessage(kMsgUnsuitable);
        break;
    case 0: {
        m_readout.gReadoutActive = false;
        m_presenter.setProgress(100);
        m_presenter.setBusyPointer(true);
        m_presenter.setStatus(kStatusUpdating);
        QString error;
        const bool merged = HistoryMerge::MergeTempIntoHistory(m_store, &error);
        m_presenter.setBusyPointer(false);
        if (!merged) {
            // HISTORY is as it was and TEMP still holds the read-out; say so instead of
            // reporting success.
            m_presenter.storeFailure(error);
            m_outcome = Outcome::StoreFailed;
            m_presenter.stopAnimation();
            m_readout.gNewData = false;
            m_presenter.showMessage(kMsgMergeFailed, Asker::Icon::Critical, true);
            m_presenter.enableMainWindow();
            m_presenter.closeDialog();
            break;
        }
        m_presenter.setStatus(kStatusDone);
        m_outcome = Outcome::Success;
        m_presenter.readoutSucceeded();
        m_presenter.stopAnimation();
        if (m_readout.standardTextsMissing)
            m_presenter.showMessage(kMsgStandardTextsMissing, Asker::Icon::Exclamation, false);
        m_presenter.enableMainWindow();
        break;
    }
    default:
        break;
    }
    m_ending = false;
    // A stop asked for during the end is answered now that the end is over.
    if (m_stopRequested)
        StopReadout();
}

} // namespace qvr
