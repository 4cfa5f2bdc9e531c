#pragma once

#include "PanelScenario.h"

#include <QString>

namespace qvr {

// The parameter texts of the panel's answers, field by field at their fixed positions.
// With `failing` set, an answer is built that the program must refuse (a field out of
// range or a number that does not belong to the request) while the rest stays valid.
class PanelAnswers
{
public:
    // A point in time as the panel writes it: ddMMyy HHmm (11 characters).
    static QString deviceDateTime(const QDateTime &t);

    // "LCDRH": entry `number` (1-based) of the history.
    static QString history(const PanelScenario &s, int number, bool failing = false);
    // "LCDRP": the programming record of an alarm address.
    static QString program(PanelScenario::Layout layout, int alarmAddress,
                           const PanelScenario::Program &p, bool failing = false);
    // "LCDRT": six message text lines.
    static QString text(PanelScenario::Layout layout, int number, const QStringList &lines,
                        bool failing = false);
    // "LCDRA": the analogue values of entry `number` (blank when it has none).
    static QString analog(const PanelScenario::Event &e, int number, bool failing = false);
    // "RQRAA": row `number` (1-based) of the alarm address table.
    static QString alarmRow(int number, const PanelScenario::AlarmRow &row);

    // Writes `value` into `s` at the 1-based position, cut or blank-padded to `width`.
    static void put(QString &s, int position, int width, const QString &value);
    // A number zero-padded to `width` digits.
    static QString num(int value, int width);
};

} // namespace qvr
