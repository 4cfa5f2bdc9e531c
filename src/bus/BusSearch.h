#pragma once

#include "bus/BusLink.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace qvr {

class Clock;

// Finds the panels on the bus: takes the master role as a read-out does (or is master at
// once on a direct connection), sends the identification request once to every candidate
// address and waits a short answer window for it, then hands the master role back. An
// address counts as a panel only when it answered with an identification of the table of
// supported panels; a silent address costs one window.
//
// From start() until it has finished the search owns the link's frame handler and the
// bus timers, so no read-out engine may exist meanwhile. It ends with the port closed.
class BusSearch
{
public:
    struct Panel
    {
        int address = 0;
        QString deviceClass; // "ZL", "PV", "RQ"
        QString type;        // the device type of the answer
        QString model;
    };

    // The answer window covers the request on the wire (up to 19 characters with its
    // checksum and line end), a turnaround of a few characters and the answer (up to 24),
    // plus what the port driver and a USB adapter add: 80 ms at 9600 baud, 39 ms at 57600.
    static constexpr int kWindowChars = 48;
    static constexpr int kWindowLatencyMs = 30;
    static int answerWindowMs(int baud);

    static constexpr int kMsgTakeoverFailed = 30030;
    static constexpr int kMsgReturnFailed = 30040;

    BusSearch(BusLink &link, Clock &clock);
    ~BusSearch();
    BusSearch(const BusSearch &) = delete;
    BusSearch &operator=(const BusSearch &) = delete;

    // Before each identification request: candidate `number` of `count`, at `address`.
    std::function<void(int number, int count, int address)> asking;
    // The search is over (from the event loop; the search may be destroyed in it).
    std::function<void()> finished;

    // Asks every address of `candidates` over the open port.
    void start(QList<int> candidates);
    // Asks no further address: the master role is handed back (a pending answer or a
    // release under way is waited out first), or, while listening, the search ends.
    void requestStop();
    bool running() const { return m_running; }

    const QList<Panel> &panels() const { return m_panels; }
    // The station that released the master role to the search (and got it back), -1
    // when there was none.
    int masterAddress() const { return m_master; }
    // 0, or the message that ended the search badly (30030 or 30040).
    int endMessage() const { return m_endMessage; }
    bool stopped() const { return m_stopRequested; }

private:
    BusLink::FrameAction onFrame();
    void onTimeout();
    void onBusActivity();
    void onMasterTakeover();
    void askNext();
    void handBack();
    void finish();
    void setHandlers(bool on);
    void setLines(bool on);

    BusLink &m_link;
    Clock &m_clock;
    QList<int> m_candidates;
    QList<Panel> m_panels;
    qsizetype m_next = 0;
    int m_asked = 0; // address of the request waiting for its answer, 0 for none
    int m_stage = 0; // as a read-out: 1 listening, 2 answered "MAST?", 3 master, 4 handing back
    int m_master = -1;
    int m_tries = 0;
    int m_endMessage = 0;
    bool m_running = false;
    bool m_stopRequested = false;
    // Pending calls on the clock hold a weak reference and do nothing once it is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::shared_ptr<int> m_pause;
};

} // namespace qvr
