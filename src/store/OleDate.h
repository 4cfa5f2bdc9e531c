#pragma once

#include <QDateTime>
#include <QVariant>

namespace qvr {

// Date-time values as history files store them: an OLE automation date, the number of days
// since 30 December 1899 with the time of day as the fraction. Before that day the sign
// applies to the day count only (-1.25 is 29 December 1899, 06:00), as the old engine did.
//
// Date-times read from a file are wall-clock values without a time zone; they come back as
// QDateTime with Qt::UTC so that no daylight-saving gap can move an event. When writing,
// only the date and time components of a QDateTime count, whatever its time spec.
class OleDate
{
public:
    static double fromDateTime(const QDateTime &dt);
    static double fromDate(const QDate &d);
    // A time of day alone: the fraction of 30 December 1899.
    static double fromTime(const QTime &t);
    // Rounded to the millisecond; an out-of-range value gives an invalid QDateTime.
    static QDateTime toDateTime(double ole);

    // Whole seconds since 30 December 1899 00:00 (negative before it), the unit in which
    // two date-times are "equal to the second".
    static qint64 toSeconds(double ole);
    static double fromSeconds(qint64 seconds);

    // Converts QDateTime/QDate/QTime/numbers to an OLE date; false for anything else.
    static bool fromVariant(const QVariant &v, double *ole);

    // The range the old engine accepts: 1 January 100 to 31 December 9999.
    static constexpr double Minimum = -657434.0;
    static constexpr double Maximum = 2958465.999988426;
};

} // namespace qvr
