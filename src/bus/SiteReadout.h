#pragma once

#include "bus/BusLink.h"
#include "bus/ReadoutPresenter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace qvr {

class Clock;
class ReadoutEngine;
class StoreState;
class Texts;
class Timer;
struct ReadoutState;

// What a site read-out tells besides what each panel's read-out shows.
class SiteObserver
{
public:
    virtual ~SiteObserver() = default;
    // Panel `number` of `count` (from 1), at bus address `address`, is read next.
    virtual void panelStarted(int number, int count, int address) = 0;
    // Every panel has had its turn, or the site was stopped; the results are complete.
    virtual void siteFinished() = 0;
};

// Reads several panels of one bus into the open history file, one after the other: for
// each panel one read-out engine run takes the master role, reads the panel, hands the
// role back and merges the panel's events. Between two panels the installation's master
// keeps the bus for one whole query cycle: the next panel starts only after the master's
// query to the PC has been seen once and left unanswered, so every other station has been
// polled again. A panel that fails is recorded and the next one is read; a failed
// takeover of the master role or a history file that refuses the data ends the site.
//
// The engines report their status, progress and animation to `view`; their messages are
// collected into the results instead of interrupting the site (the note that standard
// texts were missing is shown once at the end).
class SiteReadout : private ReadoutPresenter
{
public:
    struct PanelResult
    {
        enum class State { NotRead, Read, EndMessage, StoreFailed, Stopped };
        int address = 0;
        State state = State::NotRead;
        int entries = 0; // rows the panel's read-out brought (Read)
        // The end message (EndMessage, StoreFailed); beside a read: 30040 when the master
        // did not take its role back, 31080 when the panel's ISX scan ended the transfer.
        int message = 0;
        QString deviceClass;
        QString model;
    };

    static constexpr int kMsgPanel = 31300;
    static constexpr int kMsgRead = 31310;
    static constexpr int kMsgEnded = 31320;
    static constexpr int kMsgStopped = 31330;
    static constexpr int kMsgNotRead = 31340;

    SiteReadout(BusLink &link, ReadoutState &readout, StoreState &store, const Texts &texts,
                Clock &clock, ReadoutPresenter &view, SiteObserver &observer);
    ~SiteReadout() override;
    SiteReadout(const SiteReadout &) = delete;
    SiteReadout &operator=(const SiteReadout &) = delete;

    // The installation folder where "Standardtexte.bdb" lies.
    void setAppPath(const QString &appPath) { m_appPath = appPath; }

    // "all", or addresses and ranges separated by commas ("3,5,10-14"), each 1 to 99;
    // false for anything else. The order is kept, repeats are dropped.
    static bool ParseAddressList(const QString &text, QList<int> *addresses, bool *all);
    // The list text of addresses, runs of three or more as ranges ("3,5,10-14").
    static QString FormatAddressList(const QList<int> &addresses);

    // Reads the panels at `addresses` in this order. `masterBefore`: the station that has
    // just got the bus back from the PC (after a search), so the first panel waits for
    // its query cycle too; -1 for none.
    void start(const QList<int> &addresses, int masterBefore = -1);
    // Ends the panel being read the safe way (the engine's stop: nothing of it is merged,
    // the master role handed back) and reads no further panel; `stopped` is called once
    // the site has finished.
    void requestStop(std::function<void()> stopped = {});
    // Stops at once without handing anything back (the owner is going).
    void abort();
    bool running() const { return m_running; }

    const QList<PanelResult> &results() const { return m_results; }
    // Some panel's events were merged into the file.
    bool delivered() const;
    // One line per panel: its address and entries read, or the message it ended with.
    QStringList summary() const;

private:
    // The engine's presenter: status, progress and animation go to the view; the end of
    // a panel's read-out ends the panel here.
    void setStatus(int textId) override;
    void setProgress(int percent) override;
    void entryProgress(int index, int count) override;
    void startAnimation() override;
    void stopAnimation() override;
    bool animationRunning() const override;
    void showMessage(int textId, Asker::Icon icon, bool systemModal) override;
    void setBusyPointer(bool busy) override;
    void readoutSucceeded() override {}
    void enableMainWindow() override;
    void closeDialog() override;
    void storeFailure(const QString &detail) override;

    void nextPanel();
    void waitForMaster();
    BusLink::FrameAction onWaitFrame();
    void endWait();
    void startPanel();
    void panelOver();
    void panelEnded();
    void finish();
    int tempRows() const;

    BusLink &m_link;
    ReadoutState &m_readout;
    StoreState &m_store;
    const Texts &m_texts;
    Clock &m_clock;
    ReadoutPresenter &m_view;
    SiteObserver &m_observer;
    QString m_appPath;
    QList<PanelResult> m_results;
    qsizetype m_current = -1;
    std::unique_ptr<ReadoutEngine> m_engine;
    std::unique_ptr<Timer> m_waitTimer;
    int m_masterBefore = -1;
    bool m_waiting = false; // for the master's query cycle between two panels
    bool m_trafficSeen = false;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_panelEnding = false;
    bool m_textsMissing = false;
    bool m_logAppendBefore = false;
    QList<int> m_panelMessages;
    std::function<void()> m_onStopped;
    // Calls pending on the clock hold a weak reference and do nothing once it is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace qvr
