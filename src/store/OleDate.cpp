#include "store/OleDate.h"

#include <cmath>

namespace qvr {

namespace {
constexpr qint64 MsPerDay = 86400000;
QDate epoch() { return QDate(1899, 12, 30); }
} // namespace

double OleDate::fromDate(const QDate &d)
{
    return double(epoch().daysTo(d));
}

double OleDate::fromTime(const QTime &t)
{
    return t.isValid() ? double(t.msecsSinceStartOfDay()) / double(MsPerDay) : 0.0;
}

double OleDate::fromDateTime(const QDateTime &dt)
{
    const double days = fromDate(dt.date());
    const double frac = fromTime(dt.time());
    // Before the epoch the sign belongs to the day count only.
    return days >= 0 ? days + frac : days - frac;
}

QDateTime OleDate::toDateTime(double ole)
{
    if (!std::isfinite(ole) || ole < Minimum - 1 || ole > Maximum + 1)
        return QDateTime();
    const double days = std::trunc(ole);
    qint64 ms = std::llround(std::fabs(ole - days) * double(MsPerDay));
    QDate date = epoch().addDays(qint64(days));
    if (ms >= MsPerDay) {
        ms -= MsPerDay;
        date = date.addDays(1);
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

qint64 OleDate::toSeconds(double ole)
{
    const QDateTime dt = toDateTime(ole);
    if (!dt.isValid())
        return 0;
    return epoch().daysTo(dt.date()) * 86400 + dt.time().msecsSinceStartOfDay() / 1000;
}

double OleDate::fromSeconds(qint64 seconds)
{
    qint64 days = seconds / 86400;
    qint64 rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    return fromDateTime(QDateTime(epoch().addDays(days),
                                  QTime::fromMSecsSinceStartOfDay(int(rest * 1000)), Qt::UTC));
}

bool OleDate::fromVariant(const QVariant &v, double *ole)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid())
            return false;
        *ole = fromDateTime(dt);
        return true;
    }
    case QMetaType::QDate:
        if (!v.toDate().isValid())
            return false;
        *ole = fromDate(v.toDate());
        return true;
    case QMetaType::QTime:
        if (!v.toTime().isValid())
            return false;
        *ole = fromTime(v.toTime());
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        *ole = v.toDouble();
        return std::isfinite(*ole);
    default:
        return false;
    }
}

} // namespace qvr
