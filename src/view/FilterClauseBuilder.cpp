#include "FilterClauseBuilder.h"

#include "DateStyle.h"
#include "GridCellFormatter.h"
#include "core/TextTable.h"

#include <algorithm>
#include <array>

namespace qvr {

namespace {

using Rule = FilterClauseBuilder::Rule;
using Default = FilterClauseBuilder::Default;

constexpr std::array<FilterClauseBuilder::Field, FilterClauseBuilder::FieldCount> kFields = {{
    {2010, "TableauAdresse", Default::Text, "1", Rule::AsTyped},
    {2020, "Start_Datum_Filter", Default::Today, "", Rule::Date},
    {2030, "Start_Uhrzeit_Filter", Default::Now, "", Rule::Time},
    {2040, "Quittiert_Datum_Filter", Default::Today, "", Rule::Date},
    {2050, "Quittiert_Uhrzeit_Filter", Default::Now, "", Rule::Time},
    {2060, "Stop_Datum_Filter", Default::Today, "", Rule::Date},
    {2070, "Stop_Uhrzeit_Filter", Default::Now, "", Rule::Time},
    {2080, "Meldeleuchte", Default::AlarmWord, "", Rule::Type},
    {2090, "Test_JN", Default::NoWord, "", Rule::YesNo},
    {2100, "(GeraeteAdresse1", Default::Text, "000", Rule::ExternalAddress},
    {2110, "(GeraeteAdresse2", Default::Text, "002", Rule::InternalAddress},
    {2120, "(Kanal", Default::Text, "001", Rule::BusChannel},
    {13510, "(Kanal", Default::Text, "001", Rule::DigitalInput},
    {5160, "(EIBEingang", Default::Text, "001", Rule::EibChannel},
    {2130, "Text1", Default::Text, "*Text*", Rule::TextPattern},
    {2140, "Text2", Default::Text, "*Text*", Rule::TextPattern},
    {2150, "Text3", Default::Text, "*Text*", Rule::TextPattern},
}};

constexpr int kYesId = 5010;
constexpr int kNoId = 5020;
constexpr int kWarnId = 5030;
constexpr int kAlarmId = 5040;

std::optional<qint64> parseWholeNumber(const QString &value)
{
    bool ok = false;
    const int n = value.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return n;
}

// Digit groups of a date or time text, split at the given separators; any other
// character makes the text unreadable.
std::optional<QList<QString>> digitGroups(const QString &text, QLatin1String separators)
{
    QList<QString> groups;
    QString current;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            current += c;
        } else if (!separators.contains(c)) {
            return std::nullopt;
        } else if (!current.isEmpty()) {
            groups.append(current);
            current.clear();
        }
    }
    if (!current.isEmpty())
        groups.append(current);
    return groups;
}

int twoDigitYear(int yy)
{
    return yy < 30 ? 2000 + yy : 1900 + yy;
}

} // namespace

const FilterClauseBuilder::Field &FilterClauseBuilder::field(int index)
{
    if (index < 0 || index >= FieldCount)
        index = 0;
    return kFields[static_cast<std::size_t>(index)];
}

QStringList FilterClauseBuilder::operators()
{
    return {QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("="), QStringLiteral("<>")};
}

bool FilterClauseBuilder::isTextPattern(int index)
{
    return field(index).rule == Rule::TextPattern;
}

QString FilterClauseBuilder::defaultValue(int index, const Texts &texts, const QLocale &locale,
                                          const QDateTime &now)
{
    const Field &f = field(index);
    switch (f.defaultKind) {
    case Default::Today:
        return DateStyle(texts.gLanguageOffset, locale).date(now.date());
    case Default::Now:
        return DateStyle(texts.gLanguageOffset, locale).time(now.time());
    case Default::AlarmWord:
        return texts.ResText(kAlarmId);
    case Default::NoWord:
        return texts.ResText(kNoId);
    case Default::Text:
        break;
    }
    return QString::fromLatin1(f.defaultText);
}

std::optional<QDate> FilterClauseBuilder::parseDate(const QString &value, const QLocale &locale,
                                                    int currentYear)
{
    const auto groups = digitGroups(value, QLatin1String("./- "));
    if (!groups || groups->size() < 2 || groups->size() > 3) {
        // Month names and other long forms the locale itself can read.
        for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
            const QDate d = locale.toDate(value.trimmed(), format);
            if (d.isValid())
                return d;
        }
        return std::nullopt;
    }
    // The order of day, month and year as the locale writes a short date.
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    struct Part { qsizetype at; char what; };
    std::array<Part, 3> parts = {{{format.indexOf(QLatin1Char('d')), 'd'},
                                  {format.indexOf(QLatin1Char('M')), 'M'},
                                  {format.indexOf(QLatin1Char('y')), 'y'}}};
    for (const Part &p : parts)
        if (p.at < 0)
            return std::nullopt;
    std::sort(parts.begin(), parts.end(), [](const Part &a, const Part &b) { return a.at < b.at; });

    int day = 0, month = 0, year = currentYear;
    qsizetype g = 0;
    for (const Part &p : parts) {
        if (p.what == 'y' && groups->size() == 2)
            continue; // no year typed: the current one
        const QString &digits = groups->at(g++);
        const int n = digits.toInt();
        if (p.what == 'd') {
            if (digits.size() > 2)
                return std::nullopt;
            day = n;
        } else if (p.what == 'M') {
            if (digits.size() > 2)
                return std::nullopt;
            month = n;
        } else {
            if (digits.size() <= 2)
                year = twoDigitYear(n);
            else if (digits.size() == 4)
                year = n;
            else
                return std::nullopt;
        }
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QString> FilterClauseBuilder::timeLiteral(const QString &value, const QLocale &locale)
{
    QString text = value.trimmed();
    int half = 0; // 0 none, 1 AM, 2 PM
    const QString markers[4] = {locale.amText(), locale.pmText(), QStringLiteral("AM"),
                                QStringLiteral("PM")};
    for (int i = 0; i < 4 && half == 0; ++i) {
        const QString &m = markers[i];
        if (m.isEmpty())
            continue;
        if (text.endsWith(m, Qt::CaseInsensitive)) {
            text.chop(m.size());
            half = (i % 2 == 0) ? 1 : 2;
        } else if (text.startsWith(m, Qt::CaseInsensitive)) {
            text.remove(0, m.size());
            half = (i % 2 == 0) ? 1 : 2;
        }
    }
    text = text.trimmed();
    bool colonsOnly = true;
    for (const QChar c : text) {
        if (!c.isDigit() && c != QLatin1Char(':'))
            colonsOnly = false;
    }
    const auto groups = digitGroups(text, QLatin1String(":."));
    if (!groups || groups->size() < 2 || groups->size() > 3)
        return std::nullopt;
    for (const QString &g : *groups)
        if (g.size() > 2)
            return std::nullopt;
    int hour = groups->at(0).toInt();
    const int minute = groups->at(1).toInt();
    const int second = groups->size() == 3 ? groups->at(2).toInt() : 0;
    if (minute > 59 || second > 59)
        return std::nullopt;
    if (half != 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = (hour % 12) + (half == 2 ? 12 : 0);
    } else if (hour > 23) {
        return std::nullopt;
    }
    const bool canonical = half == 0 && colonsOnly && groups->at(1).size() == 2
                           && (groups->size() == 2 || groups->at(2).size() == 2);
    if (canonical)
        return text;
    QString out = QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0'))
                      .arg(minute, 2, 10, QLatin1Char('0'));
    if (groups->size() == 3)
        out += QStringLiteral(":%1").arg(second, 2, 10, QLatin1Char('0'));
    return out;
}

FilterClauseBuilder::Condition FilterClauseBuilder::addCondition(
    int fieldIndex, int operatorIndex, const QString &value, int connector,
    const QString &deviceClass, const Texts &texts, const QLocale &locale)
{
    Condition result;
    result.valueBox = value;
    const Field &f = field(fieldIndex);

    QString op;
    if (f.rule == Rule::TextPattern)
        op = QStringLiteral(" like ");
    else
        op = operators().value(operatorIndex, QStringLiteral("="));

    QString appended;
    switch (f.rule) {
    case Rule::AsTyped:
    case Rule::BusChannel: {
        if (!parseWholeNumber(value)) {
            result.errorId = NotANumberId;
            return result;
        }
        appended = value.trimmed();
        if (f.rule == Rule::BusChannel)
            appended += QStringLiteral(" and Eingang<2)");
        break;
    }
    case Rule::Date: {
        // Read as the grid writes dates.
        const auto date = parseDate(value, DateStyle(texts.gLanguageOffset, locale).locale());
        if (!date) {
            result.errorId = NotADateId;
            return result;
        }
        appended = QStringLiteral("#%1/%2/%3#").arg(date->month()).arg(date->day()).arg(date->year());
        break;
    }
    case Rule::Time: {
        const auto time = timeLiteral(value, DateStyle(texts.gLanguageOffset, locale).locale());
        if (!time) {
            result.errorId = NotATimeId;
            return result;
        }
        appended = QLatin1Char('#') + *time + QLatin1Char('#');
        break;
    }
    case Rule::Type: {
        const QString v = value.trimmed();
        if (v.compare(texts.ResText(kWarnId), Qt::CaseInsensitive) == 0)
            appended = QStringLiteral("2");
        else if (v.compare(texts.ResText(kAlarmId), Qt::CaseInsensitive) == 0)
            appended = QStringLiteral("1");
        else
            appended = QStringLiteral("0");
        break;
    }
    case Rule::YesNo:
        appended = value.trimmed().compare(texts.ResText(kYesId), Qt::CaseInsensitive) == 0
                       ? QStringLiteral("1") : QStringLiteral("0");
        break;
    case Rule::ExternalAddress:
    case Rule::InternalAddress: {
        const auto n = parseWholeNumber(value);
        if (!n) {
            result.errorId = NotANumberId;
            return result;
        }
        qint64 v = *n;
        if (deviceClass == QLatin1String("ZL") || deviceClass == QLatin1String("PV"))
            v += 1;
        if (deviceClass == QLatin1String("RQ") && f.rule == Rule::InternalAddress)
            v += 1;
        v -= 1;
        if (v < 0)
            v = 0;
        result.valueBox = QString::number(v);
        appended = result.valueBox + QStringLiteral(" and Eingang<2)");
        break;
    }
    case Rule::DigitalInput: {
        const auto n = parseWholeNumber(value);
        if (!n) {
            result.errorId = NotANumberId;
            return result;
        }
        const qint64 v = std::max<qint64>(*n - 1, 0);
        result.valueBox = QString::number(v);
        appended = result.valueBox + QStringLiteral(" and Eingang=2)");
        break;
    }
    case Rule::EibChannel: {
        const auto n = parseWholeNumber(value);
        if (!n) {
            result.errorId = NotANumberId;
            return result;
        }
        appended = QString::number(*n - 1) + QStringLiteral(" and Eingang=3)");
        break;
    }
    case Rule::TextPattern: {
        // A quote inside the pattern is doubled, so it is part of the pattern rather
        // than the end of the text.
        QString v = value;
        v.replace(QLatin1Char('\''), QLatin1String("''"));
        appended = QLatin1Char('\'') + v + QLatin1Char('\'');
        break;
    }
    }

    result.text = QString::fromLatin1(f.fieldText) + op + appended;
    if (connector == 1)
        result.text += QStringLiteral(" and ");
    else if (connector == 2)
        result.text += QStringLiteral(" or ");
    result.ok = true;
    return result;
}

} // namespace qvr
