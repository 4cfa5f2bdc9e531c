#include "bus/ReadoutSequence.h"

#include "bus/ReadoutEngine.h"
#include "bus/ReadoutPresenter.h"
#include "decode/AnswerDispatch.h"
#include "decode/FieldHelpers.h"
#include "decode/ProgrammingRecord.h"
#include "decode/ReadoutState.h"

namespace qvr {

namespace {

struct SupportedPanel
{
    const char *type;  // contained in the command field of the identification answer
    const char *model; // the answer's parameter, exactly
    const char *deviceClass;
};

// The first matching row decides; "RQ 370" is a PV panel although its type says RQ.
constexpr SupportedPanel kSupportedPanels[] = {
    {"JX", "940", "RQ"},  {"RQ", "6150", "RQ"}, {"WE", "610", "PV"},  {"RQ", "370", "PV"},
    {"PV", "370", "PV"},  {"ZL", "2900", "ZL"}, {"ZL", "720", "ZL"},  {"VZT", "8830", "ZL"},
};

QString index3(qint16 value)
{
    return PadTo3(qint64(value));
}

// Whether an "RQRAA" answer names a row before the one the request asked for.
bool namesEarlierRow(const QString &lastFrame, const QString &rxParam)
{
    bool askedOk = false;
    bool rowOk = false;
    const qint16 asked = TextToInt(Chars(lastFrame, 13, 15), askedOk);
    const qint16 row = TextToInt(Chars(rxParam, 1, 3), rowOk);
    return askedOk && rowOk && row < asked;
}

} // namespace

QString ReadoutSequence::ClassOfPanel(const QString &rxCommand, const QString &rxParam)
{
    for (const SupportedPanel &p : kSupportedPanels) {
        if (rxCommand.contains(QLatin1String(p.type)) && rxParam == QLatin1String(p.model))
            return QLatin1String(p.deviceClass);
    }
    return {};
}

void ReadoutSequence::sendEnd()
{
    m_engine.sendRequest(QStringLiteral("LCDST"));
}

void ReadoutSequence::reportProgress()
{
    const ReadoutState &r = m_engine.readout();
    if (r.gHistoryCount <= 0)
        return;
    m_engine.presenter().setProgress(int(double(r.gHistoryIndex) / r.gHistoryCount * 100.0));
    m_engine.presenter().entryProgress(r.gHistoryIndex, r.gHistoryCount);
}

void ReadoutSequence::nextEntry()
{
    ReadoutState &r = m_engine.readout();
    ++r.gHistoryIndex;
    if (r.gHistoryIndex <= r.gHistoryCount)
        m_engine.sendRequest(QStringLiteral("LCDRH ") + index3(r.gHistoryIndex));
    else
        sendEnd();
}

void ReadoutSequence::identify()
{
    ReadoutState &r = m_engine.readout();
    const RxParser &rx = m_engine.link().state().rx;
    const QString deviceClass = ClassOfPanel(rx.gRxCommand, rx.gRxParam);
    if (deviceClass.isEmpty()) {
        r.gDeviceClass.clear();
        r.gDeviceModel.clear();
        r.gEndReason = 4;
        m_engine.finishWithPanel();
        return;
    }
    r.gDeviceModel = rx.gRxParam;
    r.gDeviceClass = deviceClass;
    r.gReadAnalog = deviceClass == QLatin1String("ZL");
    r.gNewData = true;
    m_engine.sendRequest(QStringLiteral("LCDH"));
}

void ReadoutSequence::entryAnswered()
{
    ReadoutState &r = m_engine.readout();
    const QString param = m_engine.link().state().rx.gRxParam;
    reportProgress();
    // An empty answer is accepted but adds no row: whatever was copied or asked for it
    // would land in the previous entry's row.
    if (param.isEmpty()) {
        nextEntry();
        return;
    }

    bool reused = false;
    if (r.gDeviceClass == QLatin1String("ZL")) {
        const QString address = Chars(param, 5, 7);
        if (address == QLatin1String("000")) {
            nextEntry();
            return;
        }
        if (!ReuseProgrammingRecord(m_engine.decodeContext(), param, reused)) {
            m_engine.storeFailed(m_engine.decodeContext().engineError);
            sendEnd();
            return;
        }
        if (!reused) {
            if (!address.trimmed().isEmpty())
                m_engine.sendRequest(QStringLiteral("LCDRP ") + address);
            else
                nextEntry();
        } else if (r.gReadAnalog) {
            m_engine.sendRequest(QStringLiteral("LCDRA ") + index3(r.gHistoryIndex));
        } else {
            nextEntry();
        }
        return;
    }

    // Classes PV and RQ: only entries flagged at character 5 have a programming record.
    bool ok = false;
    const qint16 flag = TextToInt(Chars(param, 5, 5), ok);
    if (!ok || flag != 1) {
        nextEntry();
        return;
    }
    if (!ReuseProgrammingRecord(m_engine.decodeContext(), param, reused)) {
        m_engine.storeFailed(m_engine.decodeContext().engineError);
        sendEnd();
        return;
    }
    if (reused)
        nextEntry();
    else
        m_engine.sendRequest(QStringLiteral("LCDRP ") + Chars(param, 8, 10));
}

BusLink::FrameAction ReadoutSequence::HandleFrame()
{
    ReadoutState &r = m_engine.readout();
    LinkState &link = m_engine.link().state();
    RxParser &rx = link.rx;
    Timer &timeout = *m_engine.link().timers().Timer_Timeout;

    // Other stations' answers and requests on the bus: not ours, the wait goes on.
    if (!r.gReadoutActive || rx.gRxKind == 1 || rx.gRxAddress != r.gDeviceAddress) {
        rx.reset();
        return BusLink::FrameAction::Continue;
    }
    timeout.setEnabled(false);
    const quint8 timeoutsBefore = r.gTimeoutCount;
    r.gTimeoutCount = 0;

    if (link.gLastFrame.contains(QLatin1String("IDNM?"))) {
        identify();
        return BusLink::FrameAction::Return;
    }

    ReadoutPresenter &presenter = m_engine.presenter();
    if (!presenter.animationRunning()) {
        presenter.setStatus(ReadoutEngine::kStatusReceiving);
        presenter.startAnimation();
    }

    const QString last = LastCommandOf(link.gLastFrame);
    const QString rxCommand = rx.gRxCommand;
    const QString rxParam = rx.gRxParam;
    bool rejected = false;
    bool finished = false;
    if (last == QLatin1String("RQRAA") && namesEarlierRow(link.gLastFrame, rxParam)) {
        // The next request follows from the row answered, so a panel that keeps naming an
        // earlier row would be asked the same rows without end: it is refused like any
        // answer that does not fit, and asked again at most five times.
        rejected = true;
        r.gEndReason = 2;
    } else if (!DispatchAnswer(m_engine.decodeContext(), last, rxCommand, rxParam, rejected,
                               finished)) {
        // The file refused the answer: end the transfer, the read-out ends with an error.
        m_engine.storeFailed(m_engine.decodeContext().engineError);
        sendEnd();
        return BusLink::FrameAction::Return;
    }

    if (rejected && finished) {
        sendEnd();
        r.gErrorCount = 0;
        return BusLink::FrameAction::Return;
    }
    if (rejected) {
        ++r.gErrorCount;
        if (r.gErrorCount < ReadoutEngine::kMaxTries) {
            m_engine.resendLastFrame();
            return BusLink::FrameAction::Return;
        }
        r.gReadoutErrors = true;
        r.gErrorCount = 0;
        if (last != QLatin1String("LCDRH")) {
            sendEnd();
            return BusLink::FrameAction::Return;
        }
        // An entry refused five times is left out: it has no row, so nothing further is
        // asked for it (the answers would land in the previous entry's row), and the
        // entries read so far are kept.
        r.gEndReason = 0;
        reportProgress();
        nextEntry();
        return BusLink::FrameAction::Return;
    }
    if (finished && link.gLastFrame.contains(QLatin1String("LCDST"))) {
        m_engine.finishWithPanel();
        return BusLink::FrameAction::Return;
    }

    if (last == QLatin1String("LCDH&")) {
        if (rxCommand == QLatin1String("isxon")) {
            sendEnd();
            presenter.showMessage(ReadoutEngine::kMsgIsxScanning, Asker::Icon::Critical, true);
        } else if (r.gDeviceClass == QLatin1String("ZL")) {
            m_engine.sendRequest(QStringLiteral("LCDH?"));
        } else {
            m_engine.sendRequest(QStringLiteral("RQRTS"));
        }
    } else if (last == QLatin1String("RQRTS")) {
        m_engine.sendRequest(QStringLiteral("RQNA?"));
    } else if (last == QLatin1String("RQNA?")) {
        if (r.gNaCount < 1)
            m_engine.sendRequest(QStringLiteral("LCDH?"));
        else
            m_engine.sendRequest(QStringLiteral("RQRAA 001"));
    } else if (last == QLatin1String("RQRAA")) {
        bool ok = false;
        const qint16 asked = TextToInt(Chars(link.gLastFrame, 13, 15), ok);
        if (ok && asked == r.gNaCount) {
            m_engine.sendRequest(QStringLiteral("LCDH?"));
        } else {
            const qint16 row = TextToInt(Chars(rxParam, 1, 3), ok);
            m_engine.sendRequest(QStringLiteral("RQRAA ") + PadTo3(qint64(row) + 1));
        }
    } else if (last == QLatin1String("LCDH?")) {
        if (r.gDeviceClass == QLatin1String("ZL")) {
            // The analogue probe gets two waits instead of five.
            r.gTimeoutCount = ReadoutEngine::kMaxTries - 2;
            m_engine.sendRequest(QStringLiteral("LCDRA 001"));
        } else if (r.gHistoryIndex <= r.gHistoryCount) {
            m_engine.sendRequest(QStringLiteral("LCDRH ") + index3(r.gHistoryIndex));
        } else {
            sendEnd();
        }
    } else if (last == QLatin1String("LCDRH")) {
        entryAnswered();
    } else if (last == QLatin1String("LCDRP")) {
        const QString text = Chars(rxParam, 5, 7);
        if (r.gDeviceClass == QLatin1String("ZL")) {
            if (r.gTextNumber > 0)
                m_engine.sendRequest(QStringLiteral("LCDRT ") + text);
            else if (r.gReadAnalog)
                m_engine.sendRequest(QStringLiteral("LCDRA ") + index3(r.gHistoryIndex));
            else
                nextEntry();
        } else if (r.gTextNumber < 1) {
            nextEntry();
        } else {
            m_engine.sendRequest(QStringLiteral("LCDRT ") + text);
        }
    } else if (last == QLatin1String("LCDRT")) {
        if (r.gReadAnalog)
            m_engine.sendRequest(QStringLiteral("LCDRA ") + index3(r.gHistoryIndex));
        else
            nextEntry();
    } else if (last == QLatin1String("LCDRA")) {
        if (r.gAnalogProbe) {
            r.gAnalogProbe = false;
            m_engine.sendRequest(QStringLiteral("LCDRH ") + index3(r.gHistoryIndex));
        } else {
            nextEntry();
        }
    } else {
        // An answer that fits no request of ours (an "LCDST" answered with another
        // command): ignored, and the wait for the right one goes on with the timeouts
        // counted so far, so a panel that keeps answering wrongly still ends.
        rx.reset();
        r.gTimeoutCount = timeoutsBefore;
        timeout.setEnabled(true);
        return BusLink::FrameAction::Continue;
    }
    return BusLink::FrameAction::Return;
}

} // namespace qvr
