#include "DateStyle.h"

#include <QDateTime>

namespace qvr {

DateStyle::DateStyle(int languageOffset, const QLocale &system)
    : m_locale(system.language() != QLocale::C ? system
               : languageOffset == 0           ? QLocale(QLocale::German, QLocale::Germany)
                                               : QLocale(QLocale::English, QLocale::UnitedKingdom)),
      m_dateFormat(m_locale.dateFormat(QLocale::ShortFormat)),
      m_timeFormat(m_locale.timeFormat(QLocale::ShortFormat))
{
    if (!m_dateFormat.contains(QLatin1String("yyyy")))
        m_dateFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
}

QString DateStyle::date(const QDate &date) const
{
    return m_locale.toString(date, m_dateFormat);
}

QString DateStyle::time(const QTime &time) const
{
    return m_locale.toString(time, m_timeFormat);
}

QString DateStyle::dateTime(const QDateTime &dateTime) const
{
    if (!dateTime.isValid())
        return {};
    return m_locale.toString(dateTime, m_dateFormat + QLatin1Char(' ') + m_timeFormat);
}

} // namespace qvr
