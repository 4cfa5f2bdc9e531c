#include "bus/SiteReadout.h"

#include "bus/ReadoutEngine.h"
#include "core/Clock.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "store/StoreState.h"

namespace qvr {

namespace {
constexpr int kFirstAddress = 1;
constexpr int kLastAddress = 99;

int address(const QString &text, bool *ok)
{
    const int value = text.trimmed().toInt(ok);
    *ok = *ok && value >= kFirstAddress && value <= kLastAddress;
    return value;
}
} // namespace

SiteReadout::SiteReadout(BusLink &link, ReadoutState &readout, StoreState &store,
                         const Texts &texts, Clock &clock, ReadoutPresenter &view,
                         SiteObserver &observer)
    : m_link(link), m_readout(readout), m_store(store), m_texts(texts), m_clock(clock),
      m_view(view), m_observer(observer), m_waitTimer(clock.createTimer())
{
    m_waitTimer->setHandler([this] {
        // No query for the PC in time: the read-out's own supervision decides.
        endWait();
        startPanel();
    });
}

SiteReadout::~SiteReadout()
{
    m_alive.reset();
    abort();
}

bool SiteReadout::ParseAddressList(const QString &text, QList<int> *addresses, bool *all)
{
    addresses->clear();
    *all = text.trimmed().compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
    if (*all) {
        for (int a = kFirstAddress; a <= kLastAddress; ++a)
            addresses->append(a);
        return true;
    }
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QStringList ends = item.split(QLatin1Char('-'));
        bool ok = ends.size() <= 2;
        const int first = ok ? address(ends.first(), &ok) : 0;
        bool lastOk = ok;
        const int last = ok && ends.size() == 2 ? address(ends.last(), &lastOk) : first;
        if (!ok || !lastOk || last < first) {
            addresses->clear();
            return false;
        }
        for (int a = first; a <= last; ++a)
            if (!addresses->contains(a))
                addresses->append(a);
    }
    return true;
}

QString SiteReadout::FormatAddressList(const QList<int> &addresses)
{
    QStringList items;
    for (qsizetype i = 0; i < addresses.size();) {
        qsizetype j = i;
        while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1)
            ++j;
        if (j - i >= 2) {
            items << QStringLiteral("%1-%2").arg(addresses[i]).arg(addresses[j]);
        } else {
            for (qsizetype k = i; k <= j; ++k)
                items << QString::number(addresses[k]);
        }
        i = j + 1;
    }
    return items.join(QLatin1Char(','));
}

void SiteReadout::start(const QList<int> &addresses, int masterBefore)
{
    m_results.clear();
    for (int a : addresses) {
        PanelResult r;
        r.address = a;
        m_results << r;
    }
    m_current = -1;
    m_masterBefore = masterBefore;
    m_running = true;
    m_stopRequested = false;
    m_textsMissing = false;
    m_logAppendBefore = m_link.logAppend();
    nextPanel();
}

void SiteReadout::nextPanel()
{
    ++m_current;
    if (m_stopRequested || m_current >= m_results.size()) {
        finish();
        return;
    }
    // The master that has just got the bus back must poll its stations before the PC
    // asks for the bus again.
    if (m_masterBefore >= 0 && !m_link.state().isDirect())
        waitForMaster();
    else
        startPanel();
}

void SiteReadout::waitForMaster()
{
    m_link.setLogAppend(true);
    bool failed = false;
    m_link.OpenBusPort(failed);
    if (failed) {
        finish();
        return;
    }
    m_waiting = true;
    m_trafficSeen = false;
    m_link.setFrameHandler([this] { return onWaitFrame(); });
    m_link.port().discardInput();
    m_link.state().rx.reset();
    m_link.port().setReceiveThreshold(1);
    // A bus with no traffic at all has no master left to wait for.
    m_waitTimer->setInterval(BusTimers::kBusActivityMs);
    m_waitTimer->setEnabled(true);
}

BusLink::FrameAction SiteReadout::onWaitFrame()
{
    RxParser &rx = m_link.state().rx;
    const bool queryForPc = rx.gRxKind == 1 && rx.gRxAddress == ReadoutEngine::kPcStation &&
                            rx.gRxCommand == QLatin1String("MAST?");
    rx.reset();
    if (queryForPc) {
        // Left unanswered: the master goes on with its cycle, and the read-out answers
        // the next query to the PC.
        endWait();
        std::weak_ptr<int> alive = m_alive;
        m_clock.callLater(0, [this, alive] {
            if (!alive.expired() && m_running)
                startPanel();
        });
        return BusLink::FrameAction::Return;
    }
    if (!m_trafficSeen) {
        // The master is there: its cycle gets the time a takeover has.
        m_trafficSeen = true;
        m_waitTimer->setInterval(BusTimers::kMasterTakeoverMs);
    }
    return BusLink::FrameAction::Continue;
}

void SiteReadout::endWait()
{
    m_waiting = false;
    m_waitTimer->setEnabled(false);
    m_link.port().setReceiveThreshold(0);
    m_link.setFrameHandler({});
}

void SiteReadout::startPanel()
{
    if (m_stopRequested) {
        finish();
        return;
    }
    PanelResult &r = m_results[m_current];
    m_observer.panelStarted(int(m_current) + 1, int(m_results.size()), r.address);
    if (m_current > 0)
        m_link.setLogAppend(true);
    m_panelMessages.clear();
    m_panelEnding = false;
    ReadoutPresenter &presenter = *this; // the base is private: converted here
    m_engine =
        std::make_unique<ReadoutEngine>(m_link, m_readout, m_store, m_texts, m_clock, presenter);
    m_engine->setAppPath(m_appPath);
    bool failed = false;
    m_link.OpenBusPort(failed);
    if (failed) {
        m_engine.reset();
        finish();
        return;
    }
    m_readout.gDeviceAddress = qint16(r.address);
    // A refused start has told this presenter, which ends the panel.
    m_engine->StartReadout();
}

void SiteReadout::panelOver()
{
    if (m_panelEnding)
        return;
    m_panelEnding = true;
    // Not from inside the engine's own calls: it is destroyed when its panel is over.
    std::weak_ptr<int> alive = m_alive;
    m_clock.callLater(0, [this, alive] {
        if (!alive.expired() && m_engine)
            panelEnded();
    });
}

void SiteReadout::panelEnded()
{
    // Timers off and the port closed (a failed takeover leaves it open).
    m_engine->StopReadout();
    PanelResult &r = m_results[m_current];
    bool endsSite = false;
    switch (m_engine->outcome()) {
    case ReadoutEngine::Outcome::Success:
        r.state = PanelResult::State::Read;
        r.entries = tempRows();
        r.deviceClass = m_readout.gDeviceClass;
        r.model = m_readout.gDeviceModel;
        if (m_engine->returnFailed())
            r.message = ReadoutEngine::kMsgReturnFailed;
        else if (m_panelMessages.contains(ReadoutEngine::kMsgIsxScanning))
            r.message = ReadoutEngine::kMsgIsxScanning;
        break;
    case ReadoutEngine::Outcome::EndMessage:
        r.state = PanelResult::State::EndMessage;
        r.message = m_engine->endMessage();
        // Nobody gave the bus to the PC; the next panels would wait the same way.
        endsSite = r.message == ReadoutEngine::kMsgTakeoverFailed;
        break;
    case ReadoutEngine::Outcome::StoreFailed:
        r.state = PanelResult::State::StoreFailed;
        r.message = ReadoutEngine::kMsgMergeFailed;
        endsSite = true;
        break;
    default:
        r.state = PanelResult::State::Stopped;
        break;
    }
    m_masterBefore = m_readout.gMasterAddress;
    m_engine.reset();
    if (endsSite)
        m_stopRequested = true;
    nextPanel();
}

void SiteReadout::requestStop(std::function<void()> stopped)
{
    if (stopped) {
        if (!m_running) {
            stopped();
            return;
        }
        m_onStopped = m_onStopped ? [first = std::move(m_onStopped), then = std::move(stopped)] {
            first();
            then();
        }
                                  : std::move(stopped);
    }
    if (!m_running || m_stopRequested)
        return;
    m_stopRequested = true;
    if (m_waiting) {
        endWait();
        finish();
    } else if (m_engine && !m_panelEnding) {
        m_engine->requestStop([this] { panelOver(); });
    }
    // Otherwise a panel is ending or about to start: it sees the stop.
}

void SiteReadout::abort()
{
    if (m_waiting)
        endWait();
    if (m_engine) {
        m_engine->StopReadout();
        m_engine.reset();
    }
    if (m_running && m_link.port().isOpen())
        m_link.CloseBusPort();
    if (m_running)
        m_link.setLogAppend(m_logAppendBefore);
    m_running = false;
    m_onStopped = nullptr;
}

void SiteReadout::finish()
{
    if (!m_running)
        return;
    if (m_waiting)
        endWait();
    if (m_link.port().isOpen())
        m_link.CloseBusPort();
    m_link.setLogAppend(m_logAppendBefore);
    m_running = false;
    m_view.stopAnimation();
    if (m_textsMissing)
        m_view.showMessage(ReadoutEngine::kMsgStandardTextsMissing, Asker::Icon::Exclamation,
                           false);
    m_observer.siteFinished();
    const std::function<void()> stopped = std::move(m_onStopped);
    m_onStopped = nullptr;
    if (stopped)
        stopped();
}

int SiteReadout::tempRows() const
{
    if (!m_store.gDatabase)
        return 0;
    const std::unique_ptr<Recordset> rs =
        m_store.gDatabase->openRecordset(QStringLiteral("Select * From TEMP"));
    return rs ? rs->recordCount() : 0;
}

bool SiteReadout::delivered() const
{
    for (const PanelResult &r : m_results)
        if (r.state == PanelResult::State::Read)
            return true;
    return false;
}

QStringList SiteReadout::summary() const
{
    QStringList lines;
    for (const PanelResult &r : m_results) {
        switch (r.state) {
        case PanelResult::State::Read: {
            QString line =
                m_texts.ResText(kMsgRead).arg(r.address).arg(r.deviceClass, r.model).arg(r.entries);
            if (r.message != 0)
                line += QLatin1Char(' ') + m_texts.ResText(r.message);
            lines << line;
            break;
        }
        case PanelResult::State::EndMessage:
        case PanelResult::State::StoreFailed:
            lines << m_texts.ResText(kMsgEnded).arg(r.address).arg(m_texts.ResText(r.message));
            break;
        case PanelResult::State::Stopped:
            lines << m_texts.ResText(kMsgStopped).arg(r.address);
            break;
        case PanelResult::State::NotRead:
            lines << m_texts.ResText(kMsgNotRead).arg(r.address);
            break;
        }
    }
    return lines;
}

// ---------------------------------------------------------------------------------------
// The engine's presenter

void SiteReadout::setStatus(int textId)
{
    m_view.setStatus(textId);
}

void SiteReadout::setProgress(int percent)
{
    m_view.setProgress(percent);
}

void SiteReadout::entryProgress(int index, int count)
{
    m_view.entryProgress(index, count);
}

void SiteReadout::startAnimation()
{
    m_view.startAnimation();
}

void SiteReadout::stopAnimation()
{
    m_view.stopAnimation();
}

bool SiteReadout::animationRunning() const
{
    return m_view.animationRunning();
}

void SiteReadout::showMessage(int textId, Asker::Icon, bool)
{
    if (textId == ReadoutEngine::kMsgStandardTextsMissing)
        m_textsMissing = true;
    else
        m_panelMessages << textId;
}

void SiteReadout::setBusyPointer(bool busy)
{
    m_view.setBusyPointer(busy);
}

void SiteReadout::enableMainWindow()
{
    panelOver();
}

void SiteReadout::closeDialog()
{
    panelOver();
}

void SiteReadout::storeFailure(const QString &detail)
{
    m_view.storeFailure(detail);
}

} // namespace qvr
