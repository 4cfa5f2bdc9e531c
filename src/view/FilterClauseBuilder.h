#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace qvr {

class Texts;

// The filter window's clause building without the window: the 17 field entries, their
// default values and value rules, and the text one press of Add appends.
class FilterClauseBuilder
{
public:
    enum class Rule {
        AsTyped,         // a number, appended as typed
        Date,            // read in the locale's date format, appended as #m/d/yyyy#
        Time,            // appended between '#'
        Type,            // "Warn" -> 2, "Alarm" -> 1, else 0
        YesNo,           // "ja" -> 1, else 0
        ExternalAddress, // adjusted by device class
        InternalAddress, // adjusted by device class
        BusChannel,      // a number, appended as typed
        DigitalInput,    // one less, written back
        EibChannel,      // one less, not written back
        TextPattern,     // quoted, compared with like
    };

    enum class Default { Text, Today, Now, AlarmWord, NoWord };

    struct Field
    {
        int labelId;
        const char *fieldText;
        Default defaultKind;
        const char *defaultText; // for Default::Text
        Rule rule;
    };

    static constexpr int FieldCount = 17;
    static constexpr int OperatorEqual = 2;
    static const Field &field(int index);
    static QStringList operators();

    // The value put into the value box when entry `index` is chosen.
    static QString defaultValue(int index, const Texts &texts, const QLocale &locale,
                                const QDateTime &now = QDateTime::currentDateTime());

    // Whether the entry is compared with " like " (the operator list is then disabled).
    static bool isTextPattern(int index);

    struct Condition
    {
        bool ok = false;
        QString text;          // to append to the clause (field, operator, value, connector)
        QString valueBox;      // what the value box shows afterwards
        int errorId = 0;       // text id of the reason when !ok
    };

    // One press of Add. `connector` is 0 none, 1 and, 2 or.
    static Condition addCondition(int fieldIndex, int operatorIndex, const QString &value,
                                  int connector, const QString &deviceClass,
                                  const Texts &texts, const QLocale &locale);

    // A date typed in the locale's short date order; two or four digit years; a missing
    // year means the current one. Nothing that is not a real calendar date.
    static std::optional<QDate> parseDate(const QString &value, const QLocale &locale,
                                          int currentYear = QDate::currentDate().year());
    // A time of day "H:mm" or "H:mm:ss" (24-hour), or with the locale's AM/PM marker.
    // Returns the text to put between '#': the value itself when it is already 24-hour
    // with ':' separators, otherwise its 24-hour form.
    static std::optional<QString> timeLiteral(const QString &value, const QLocale &locale);

    // Message ids of the value checks.
    static constexpr int NotANumberId = 2280;
    static constexpr int NotADateId = 2290;
    static constexpr int NotATimeId = 2300;
};

} // namespace qvr
