#pragma once

#include <QString>

namespace qvr {

struct DecodeContext;

// The programming record of an event's alarm address, copied into the event's TEMP row.

// Right after a history entry was stored (rxParam still the "LCDRH" answer): searches TEMP
// backwards from the new row for an earlier row of the same alarm address (same data
// source, number, system number and addresses) and copies its
// programming fields, text lines and analogue values into the new row. `reused` tells
// whether one was found (then no "LCDRP" request is needed). False on a database failure.
bool ReuseProgrammingRecord(DecodeContext &ctx, const QString &rxParam, bool &reused);

// The "LCDRP" answer: checks it by the rules of the device class and writes it into the
// current TEMP row. `error` refuses the answer (the row stays as it was). Sets gTextNumber
// from the answer before any check. False on a database failure.
bool DecodeProgrammingRecord(DecodeContext &ctx, const QString &rxParam, bool &error);

} // namespace qvr
