#pragma once

#include <QString>

namespace qvr {

struct DecodeContext;

// Decoders of the history memory answers. Each checks the fixed-column answer and writes
// into the TEMP record set of ctx.store. `error` is set when the answer is refused (a
// field out of range, a number field holding letters, a value the file would not take):
// nothing is then written, so a retry cannot duplicate a row.
// The result is false only when the database itself failed (ctx.engineError says why).

// "LCDRH" answers, one per device class. A new TEMP row is added and left current, so the
// following "LCDRT"/"LCDRA"/"LCDRP" answers of the same entry complete it.
bool DecodeHistoryZL(DecodeContext &ctx, const QString &rxParam, bool &error);
bool DecodeHistoryRQ(DecodeContext &ctx, const QString &rxParam, bool &error);
bool DecodeHistoryPV(DecodeContext &ctx, const QString &rxParam, bool &error);

// "LCDRT" answers: the six message text lines of the current row. The ZL layout starts one
// character further left than the layout of the other classes.
bool DecodeTextLinesZL(DecodeContext &ctx, const QString &rxParam, bool &error);
bool DecodeTextLines(DecodeContext &ctx, const QString &rxParam, bool &error);

// "LCDRA" answer of class ZL: the analogue lower and upper values of the current row.
bool DecodeAnalogZL(DecodeContext &ctx, const QString &rxCommand, const QString &rxParam,
                    bool &error);

} // namespace qvr
