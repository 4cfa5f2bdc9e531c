#pragma once

#include "bus/RxParser.h"

#include <QString>

namespace qvr {

// State of the serial link, owned by whoever owns the link (the main window, the
// command-line read-out, a test) and handed to the read-out and the decoders.
struct LinkState
{
    QString gConnType;        // "RS232", "USB" (direct), "ext.", anything else: internal bus
    bool gLogEnabled = false; // the bus log is open
    QString gLastFrame;       // last frame sent, complete with "&", checksum, CR LF
    bool gDelayElapsed = false;
    // The receive parser with gRxState, gRxFrameComplete, gRxSum, gRxKind, gRxAddress,
    // gRxCommand, gRxParam and gRxLogLine.
    RxParser rx;

    // A direct connection to the panel rather than its bus.
    bool isDirect() const
    {
        return gConnType == QLatin1String("RS232") || gConnType == QLatin1String("USB");
    }
};

} // namespace qvr
