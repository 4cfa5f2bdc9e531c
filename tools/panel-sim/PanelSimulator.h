#pragma once

#include "PanelScenario.h"
#include "bus/RxParser.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QStringList>

#include <memory>
#include <vector>

namespace qvr {

// A panel (and, when the scenario has one, the bus master station beside it) on one
// serial line. It takes the characters the PC writes and produces the characters that
// appear on the line, each at the moment it would arrive. It owns no clock and no port:
// the caller hands in the time with every call, so the same object runs on a virtual
// clock in tests and on a pseudo-terminal in the qvr-panel-sim program.
//
// Line timing: with a baud rate, a character takes 10 bits on the line (7E1); an answer
// starts `turnaroundMs` after the last character of its request and is delivered when
// its last character would have arrived. Frames never overlap on the line.
//
// A site: further panels added with addPanel() share the line, its timing and the master
// station; each answers the requests to its own address.
class PanelSimulator
{
public:
    struct Stats
    {
        qint64 charsReceived = 0;    // from the PC, valid or not
        qint64 charsSent = 0;        // by the panel and the master station
        int framesReceived = 0;      // valid frames from the PC
        int answers = 0;             // frames the panel answered
        int turnarounds = 0;         // answers and master reactions, each one turnaround
        qint64 pollChars = 0;        // of charsSent: the master's own queries
        qint64 masterReleasedMs = 0; // time the master station was without the bus
    };

    explicit PanelSimulator(PanelScenario scenario, quint32 noiseSeed = 1);

    const PanelScenario &scenario() const { return m_s; }

    // Another panel on this line, at its own address (its master and timing are ignored).
    void addPanel(PanelScenario panel);

    // The line comes alive: the master station (if any) starts polling.
    void start(qint64 nowMs);

    // Characters the PC wrote, at time nowMs.
    void receive(const QByteArray &bytes, qint64 nowMs);

    // The characters that have arrived on the line by nowMs, in order. Lets the master
    // station act on its schedule first.
    QByteArray takeOutput(qint64 nowMs);

    // When takeOutput() next has something (characters due or the master acting), or -1.
    qint64 nextDueMs() const;

    // Valid frames the PC sent (frame text without "&", checksum and CR LF), in order,
    // and those of them that were requests to a panel.
    const QStringList &framesFromPc() const { return m_framesFromPc; }
    const QStringList &panelRequests() const { return m_panelRequests; }
    // Frames the simulator put on the line, in order, as texts without checksum
    // (noise is not listed).
    const QStringList &framesSent() const { return m_framesSent; }

    // Keeping the frame lists above; a long-running program turns it off so a master
    // polling for days does not fill the memory.
    void setRecording(bool on) { m_recording = on; }

    // Every panel acknowledged "LCDST" and the master station (if any) has its role back.
    bool readoutOver() const;
    // The bus master station holds the bus (false when there is none).
    bool masterHoldsBus() const
    {
        return m_s.master.present && m_master != MasterState::Released;
    }

    // Counts of the line, the answers of a site's panels included.
    Stats stats() const;

private:
    enum class MasterState { Polling, AwaitReply, Released, AwaitAck };

    void handleFrame(qint64 endMs);
    // The panel at a bus address: this one or one added to the site; null for none.
    PanelSimulator *panelAt(int address);
    void answerPanel(const QString &command, const QString &param, qint64 endMs);
    void handleMaster(bool request, int address, const QString &command, const QString &param,
                      qint64 endMs);
    void runMaster(qint64 nowMs);
    // Puts a frame text on the line (completed with its checksum) no earlier than
    // earliestMs; corrupts its checksum when asked.
    void send(const QString &frameText, double earliestMs, bool badChecksum = false);
    // The first targeted fault of `kind` that matches the request; uses one of its times.
    bool takeFault(PanelScenario::FaultRule::Kind kind, const QString &command, int index);

    struct Pending {
        qint64 dueMs;
        QByteArray bytes;
    };

    PanelScenario m_s;
    RxParser m_parser;
    QRandomGenerator m_noise;
    QList<PanelScenario::FaultRule> m_rules; // with their remaining times
    QList<Pending> m_out;
    double m_lineFreeMs = 0;  // the simulator's transmitter is busy until then
    double m_rxWireMs = 0;    // the PC's characters are on the line until then
    bool m_recording = true;
    bool m_silent = false;    // "silent from entry k" has begun
    bool m_lcdstAnswered = false;
    int m_answerCounter = 0;

    MasterState m_master = MasterState::Polling;
    bool m_started = false;
    qint64 m_masterNextMs = -1; // the next master action (query or giving up waiting)
    int m_queryIndex = 0;
    bool m_masterReturned = false; // the master answered "MAST? 101" since its release
    double m_releasedAtMs = -1;    // the master released the bus then

    std::vector<std::unique_ptr<PanelSimulator>> m_site;
    PanelSimulator *m_line = nullptr; // a site's panel answers on this simulator's line

    QStringList m_framesFromPc;
    QStringList m_panelRequests;
    QStringList m_framesSent;
    Stats m_stats;
};

} // namespace qvr
