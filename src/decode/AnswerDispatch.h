#pragma once

#include <QString>

namespace qvr {

struct DecodeContext;

// The five-letter command of a sent frame ":;" + address + ":" + command: characters 7 to
// 11 (for the bare "LCDH" frame this reads "LCDH&", the checksum separator following it).
QString LastCommandOf(const QString &lastFrame);

// Routes one accepted answer frame to its decoder, chosen by the command sent last and the
// panel's device class. Both flags start false:
// - rejected: the answer does not fit the request (gEndReason 2, or 1 with finished when
//   the panel holds no history); the read-out repeats the request or gives up;
// - finished: the panel acknowledged the end of the transfer, or has no history.
// An accepted answer resets gErrorCount and gEndReason. Returns false only when the
// database failed (ctx.engineError says why); the read-out then cannot go on.
bool DispatchAnswer(DecodeContext &ctx, const QString &lastCommand, const QString &rxCommand,
                    const QString &rxParam, bool &rejected, bool &finished);

} // namespace qvr
