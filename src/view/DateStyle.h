#pragma once

#include <QLocale>
#include <QString>

class QDate;
class QDateTime;

namespace qvr {

// The one way dates and times are shown and printed (grid, filter defaults, printout and
// its footer, CSV export): the system's short date and time formats when the system has a
// real locale; under C/POSIX, which has no convention of its own, the interface
// language's: German "05.11.2026 14:03", English "05/11/2026 14:03" (day first, 24 hours,
// as in the United Kingdom). Years always have four digits: an archive spans decades.
class DateStyle
{
public:
    // `system`: the locale the system gives (QLocale() unless a test sets another).
    explicit DateStyle(int languageOffset, const QLocale &system = QLocale());

    // The locale dates are written and read in.
    const QLocale &locale() const { return m_locale; }
    QString dateFormat() const { return m_dateFormat; }
    QString timeFormat() const { return m_timeFormat; }

    QString date(const QDate &date) const;
    QString time(const QTime &time) const;
    // The date, one blank, the time; empty for an invalid value.
    QString dateTime(const QDateTime &dateTime) const;

private:
    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
};

} // namespace qvr
