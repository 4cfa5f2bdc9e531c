#pragma once

#include <QString>

namespace qvr {

class PanelSimulator;

// Puts a PanelSimulator on a real line: the master side of a new pseudo-terminal (the
// program under test opens its slave path like a serial device) or a serial device.
// The loop runs on the monotonic clock and sleeps in poll() until characters arrive or
// the simulator has something due. POSIX only.
class PanelSimHost
{
public:
    explicit PanelSimHost(PanelSimulator &sim);
    ~PanelSimHost();
    PanelSimHost(const PanelSimHost &) = delete;
    PanelSimHost &operator=(const PanelSimHost &) = delete;

    // A new pseudo-terminal in raw mode; path() then names its slave side, which stays
    // open here too so the line survives the program closing and reopening it.
    bool openPseudoTerminal(QString *error);
    // A serial device at `baud`, 7 data bits, even parity, 1 stop bit, no handshake.
    bool openDevice(const QString &device, int baud, QString *error);
    QString path() const { return m_path; }

    // Blocks SIGINT and SIGTERM in the calling thread and the threads it starts later,
    // so run() receives them; call it first in main(), before any thread exists.
    static void blockStopSignals();

    // Serves the line until SIGINT or SIGTERM, or, with exitWhenOver, shortly after the
    // read-out is over (the panel acknowledged "LCDST" and a master has its role back).
    // Returns false on an error of the line.
    bool run(bool exitWhenOver, QString *error);

    // Characters that could not be written because nobody read the line.
    qint64 dropped() const { return m_dropped; }

private:
    void writeAll(const QByteArray &bytes);

    PanelSimulator &m_sim;
    int m_fd = -1;      // the side the simulator talks through
    int m_slaveFd = -1; // pseudo-terminal only: keeps the slave side alive
    QString m_path;
    qint64 m_dropped = 0;
};

} // namespace qvr
