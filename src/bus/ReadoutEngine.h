#pragma once

#include "bus/BusLink.h"
#include "bus/ReadoutSequence.h"
#include "decode/DecodeContext.h"
#include "store/StandardTexts.h"

#include <QString>
#include <functional>
#include <memory>

namespace qvr {

class Clock;
class ReadoutPresenter;
class StoreState;
class Texts;
struct ReadoutState;

// One read-out of a panel's history memory: the takeover of the bus master role (or
// direct mastery on a cable), the supervision timers, the request sequence while the PC
// is master, the return of the master role and the end with its message or the merge of
// TEMP into HISTORY. Runs on the link's port and clock seams and reports to a presenter,
// so the window, the command-line program and the tests drive the same code.
//
// The bus stages: 0 idle, 1 listening for the master's query, 2 answered it and waiting
// for the release, 3 master (the request sequence), 4 handing the master role back.
class ReadoutEngine
{
public:
    // Texts the read-out shows.
    static constexpr int kTextOk = 4060;
    static constexpr int kStatusCheckInterface = 4070;
    static constexpr int kStatusReceiving = 4080;
    static constexpr int kStatusUpdating = 4090;
    static constexpr int kStatusDone = 4100;
    static constexpr int kMsgNotResponding = 30020;
    static constexpr int kMsgTakeoverFailed = 30030;
    static constexpr int kMsgReturnFailed = 30040;
    static constexpr int kMsgRecordError = 30050;
    static constexpr int kMsgNoHistory = 30060;
    static constexpr int kMsgUnsuitable = 30100;
    static constexpr int kMsgIsxScanning = 31080;
    static constexpr int kMsgStandardTextsMissing = 31090;
    static constexpr int kMsgMergeFailed = 31100;

    static constexpr int kPcStation = 101;
    static constexpr int kMaxTries = 5;
    static constexpr int kSilentBusPauseMs = 5000;
    static constexpr int kReleaseTimeoutMs = 60;

    // How the last read-out ended, for callers that are not a window.
    enum class Outcome {
        None,        // not started, or still running
        Success,     // merged (also after the ISX end or a failed master return)
        EndMessage,  // ended with an error message (endMessage() tells which)
        StoreFailed, // the history file refused the data (TEMP or the merge)
        Stopped,     // stopped from outside before it ended; nothing was merged
    };

    // A stop hands the bus back in at most this many tries of the master return (1 s
    // each), after at most one wait for the panel's answer to "LCDST".
    static constexpr int kStopReturnTries = 2;

    ReadoutEngine(BusLink &link, ReadoutState &readout, StoreState &store, const Texts &texts,
                  Clock &clock, ReadoutPresenter &presenter);
    ~ReadoutEngine();
    ReadoutEngine(const ReadoutEngine &) = delete;
    ReadoutEngine &operator=(const ReadoutEngine &) = delete;

    // The installation folder where "Standardtexte.bdb" lies.
    void setAppPath(const QString &appPath) { m_standardTexts.setAppPath(appPath); }

    // Starts reading the panel at gDeviceAddress over the open port: empties TEMP and
    // begins the takeover (panel bus) or identification (direct connection). False when
    // the history file refused to empty TEMP (the presenter has been told).
    bool StartReadout();
    // Stops at once: timers off, read-out and stage reset, port closed. Leaves the bus as
    // it is; requestStop() is the stop that hands it back.
    void StopReadout();
    // Stops the read-out without leaving the bus without a master, then calls `stopped`
    // once (from the event loop, or before returning when there is nothing to wait for).
    // While the PC is master a running transfer is closed with "LCDST" (one wait for the
    // answer) and the master role is handed back to the station that released it
    // (kStopReturnTries waits, then message 30040 and the port is closed all the same);
    // an answered "MAST 1" is waited out for the release. Nothing is merged: outcome()
    // is Stopped. A stop during the read-out's end (stage 4 or EndReadout) lets the end
    // finish, merge included, and calls `stopped` after it. The callback must not destroy
    // the engine.
    void requestStop(std::function<void()> stopped = {});
    // A read-out, its end or a stop is under way.
    bool running() const;
    // Closes the port and ends with the message of gEndReason, or merges on success.
    void EndReadout();
    // The timeout control after the fifth timeout in a row, by stage.
    void Timeout_Steuerung_Historiendaten_vom_Tableau_empfangen();

    // Used by the request sequence.
    // Sends ":;" + address + ":" + command with its checksum (gLastFrame becomes it).
    void sendRequest(const QString &command);
    // Sends gLastFrame again, unchanged.
    void resendLastFrame();
    // Done with the panel: hands the master role back when a master released it,
    // otherwise ends the read-out.
    void finishWithPanel();
    // Tells the presenter that the history file failed and stops talking to the panel.
    void storeFailed(const QString &detail);

    Outcome outcome() const { return m_outcome; }
    // The end message of an Outcome::EndMessage (or 30040 before a success).
    int endMessage() const { return m_endMessage; }
    bool returnFailed() const { return m_returnFailed; }

    BusLink &link() { return m_link; }
    ReadoutState &readout() { return m_readout; }
    DecodeContext &decodeContext() { return m_ctx; }
    ReadoutPresenter &presenter() { return m_presenter; }
    Clock &clock() { return m_clock; }

private:
    BusLink::FrameAction onFrame();
    BusLink::FrameAction HandleMasterQuery();
    BusLink::FrameAction HandleMasterReturn();
    void onTimeout();
    void onStopTimeout();
    BusLink::FrameAction onStopFrame();
    void onBusActivity();
    void onMasterTakeover();
    void sendIdentification();
    void sendFixed(const QString &text);
    void setLines(bool on);
    void beginTempWrites();
    void endTempWrites();
    void showEndMessage(int textId);

    BusLink &m_link;
    ReadoutState &m_readout;
    StoreState &m_store;
    Clock &m_clock;
    ReadoutPresenter &m_presenter;
    StandardTexts m_standardTexts;
    DecodeContext m_ctx;
    ReadoutSequence m_sequence;
    // Pending pauses hold a weak reference and do nothing once the read-out they belong to
    // is stopped (a new token per read-out).
    std::shared_ptr<int> m_token;
    bool m_tempTransaction = false;
    bool m_ending = false;
    Outcome m_outcome = Outcome::None;
    int m_endMessage = 0;
    bool m_returnFailed = false;
    bool m_storeFailed = false;
    // "LCDH" went out: the panel is in its transfer until it acknowledges "LCDST".
    bool m_transferOpen = false;
    // A stop hands the panel and the bus back (frames and timeouts take the stop's way).
    bool m_stopping = false;
    bool m_inStopReadout = false;
    bool m_stopRequested = false;
    std::function<void()> m_onStopped;
};

} // namespace qvr
