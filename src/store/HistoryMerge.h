#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace qvr {

class StoreState;

// Brings the events of TEMP (the last read-out) into HISTORY: an event HISTORY already
// holds (same TableauAdresse, ParameterNummer and Start_Datum to the second) is
// overwritten with the fresh copy, a new one is appended. The k-th TEMP row of a run of
// equal keys overwrites the k-th HISTORY row with that key in HISTORY order; further
// ones are appended. TEMP is left as it is.
//
// The merge runs in one transaction: when the engine fails, HISTORY is exactly as it was
// before (no half-merged table, no all-defaults row), TEMP still holds the read-out, and
// the error is returned.
class HistoryMerge
{
public:
    // Leaves gHistoryRecordset open over HISTORY (current row: the last one written) and
    // gTempRecordset at end of set. An empty TEMP changes nothing and opens nothing else.
    static bool MergeTempIntoHistory(StoreState &store, QString *error = nullptr);

    // Copies the 48 merged fields of the current TEMP row into the current HISTORY row, or
    // into a new all-defaults row appended first when `notFound` is true.
    static bool CopyTempRowToHistory(StoreState &store, bool notFound, QString *error = nullptr);

    // The fields the merge copies, in copy order (48), and those it leaves alone (10).
    static const QStringList &copiedFields();
    static const QStringList &keptFields();

    // "#mm/dd/yy hh:mm:ss AM#": month/day/year with "/" whatever the regional settings.
    static QString dateLiteral(const QDateTime &dt);
    // "TableauAdresse=3 and ParameterNummer=12 and Start_Datum=#12/05/26 02:03:09 PM#".
    // Empty when a key field has no value.
    static QString matchCriteria(const QVariant &tableauAdresse, const QVariant &parameterNummer,
                                 const QVariant &startDatum);
};

} // namespace qvr
