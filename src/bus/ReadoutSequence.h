#pragma once

#include "bus/BusLink.h"

#include <QString>

namespace qvr {

class ReadoutEngine;

// The request-answer dialogue with the panel while the PC is bus master: identification
// and device class, the announcement, the alarm address table (classes PV and RQ), the
// number of entries and every entry with its programming record, text and analogue
// values, then the end of the transfer. The next request follows from the command sent
// last and the answer just received; storing the answers is the decoders' work.
class ReadoutSequence
{
public:
    explicit ReadoutSequence(ReadoutEngine &engine) : m_engine(engine) {}

    // The device class for an identification answer ("ZL", "PV", "RQ"), or empty for a
    // panel that is not in the table of supported panels.
    static QString ClassOfPanel(const QString &rxCommand, const QString &rxParam);

    // A complete frame received while the PC is master.
    BusLink::FrameAction HandleFrame();

private:
    void identify();
    // The answer to "LCDRH" was accepted: what the entry needs next.
    void entryAnswered();
    // The following entry, or the end of the transfer after the last one.
    void nextEntry();
    void sendEnd();
    void reportProgress();

    ReadoutEngine &m_engine;
};

} // namespace qvr
