#include "decode/FieldHelpers.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <cmath>

namespace qvr {

namespace {

QString padLeft(const QString &value, int width)
{
    const QString t = value.trimmed();
    // An empty text stays empty: there is no number to pad.
    if (t.isEmpty() || t.size() >= width)
        return t;
    return QString(width - t.size(), QLatin1Char('0')) + t;
}

// Character table of the panel's message text languages 1 to 20 for codes 1 to 31;
// 0 means "this language leaves the code alone".
using LanguageRow = std::array<char16_t, 32>;
using LanguageTable = std::array<LanguageRow, 21>;

constexpr LanguageTable makeLanguageTable()
{
    LanguageTable t{};
    // Turkish and its neighbours.
    for (int l : {1, 2, 4, 19, 20}) {
        t[l][4] = 0x00E7;
        t[l][25] = 0x0131;
        t[l][27] = 0x015F;
        t[l][28] = 0x015E;
        t[l][30] = 0x0130;
    }
    t[19][5] = 0x011F;
    // French.
    {
        LanguageRow &r = t[3];
        r[1] = 0x00E0;
        r[2] = 0x00E8;
        r[3] = 0x00E9;
        r[4] = 0x00E7;
        r[5] = 0x00EE;
        r[6] = 0x00E2;
        r[7] = 0x00EB;
        r[25] = 0x00F4;
        r[26] = 0x00F9;
        r[27] = 0x00EA;
    }
    // Spanish and Portuguese.
    for (int l : {5, 6, 7}) {
        LanguageRow &r = t[l];
        r[1] = 0x00E1;
        r[2] = 0x00C1;
        r[3] = 0x00E0;
        r[25] = 0x00EA;
        r[26] = 0x00ED;
        r[27] = 0x00F3;
        r[28] = 0x00E9;
        r[29] = 0x00F4;
    }
    t[5][4] = 0x00A1;
    t[6][4] = 0x00E7;
    t[7][4] = 0x00E3;
    t[5][5] = 0x00E7;
    t[6][5] = 0x00FA;
    t[7][5] = 0x00FA;
    t[6][6] = 0x00E2;
    t[7][6] = 0x00E7;
    t[6][7] = 0x00E3;
    t[7][7] = 0x00D3;
    // Nordic.
    for (int l = 8; l <= 12; ++l) {
        LanguageRow &r = t[l];
        r[1] = 0x00E6;
        r[2] = 0x00C6;
        r[4] = 0x00E7;
        r[6] = 0x00EB;
        r[7] = 0x00EF;
        r[25] = 0x00D8;
        r[26] = 0x00F8;
        r[27] = 0x00E9;
        r[28] = 0x00C9;
        r[29] = 0x00E5;
        r[30] = 0x00C5;
    }
    // Polish.
    {
        LanguageRow &r = t[13];
        r[1] = 0x0105;
        r[2] = 0x0107;
        r[3] = 0x0119;
        r[4] = 0x0142;
        r[5] = 0x0144;
        r[6] = 0x015B;
        r[7] = 0x017C;
        r[25] = 0x0394;
        r[26] = 0x00F3;
    }
    // Hungarian.
    {
        LanguageRow &r = t[14];
        r[1] = 0x00E1;
        r[2] = 0x00E9;
        r[3] = 0x00C9;
        r[4] = 0x0151;
        r[5] = 0x0171;
        r[6] = 0x00FA;
        r[7] = 0x00D3;
        r[25] = 0x00ED;
        r[26] = 0x00F3;
        r[27] = 0x00C1;
        r[28] = 0x00CD;
        r[29] = 0x00DA;
    }
    // Czech: maps the umlaut codes 14-20 itself, and code 31.
    {
        LanguageRow &r = t[15];
        r[1] = 0x010D;
        r[2] = 0x010C;
        r[3] = 0x00E9;
        r[4] = 0x0165;
        r[5] = 0x010F;
        r[6] = 0x0148;
        r[7] = 0x011B;
        r[14] = 0x00ED;
        r[15] = 0x0158;
        r[16] = 0x0159;
        r[17] = 0x0161;
        r[18] = 0x011A;
        r[19] = 0x00DA;
        r[20] = 0x016F;
        r[25] = 0x00FD;
        r[26] = 0x00DD;
        r[27] = 0x017E;
        r[28] = 0x00CD;
        r[29] = 0x00E1;
        r[30] = 0x0160;
        r[31] = 0x00F3;
    }
    // Slovenian, Croatian, Serbian.
    for (int l : {16, 17, 18}) {
        LanguageRow &r = t[l];
        r[1] = 0x010D;
        r[2] = 0x0160;
        r[3] = 0x0161;
        r[25] = 0x017E;
        r[26] = 0x010C;
        r[27] = 0x017D;
    }
    t[16][4] = 0x00E7;
    t[17][4] = 0x0107;
    t[18][4] = 0x00E7;
    t[17][5] = 0x00E7;
    t[18][5] = 0x0107;
    t[17][6] = 0x0111;
    t[18][6] = 0x0111;
    t[17][7] = 0x0110;
    t[18][7] = 0x0110;
    return t;
}

constexpr LanguageTable kLanguageTable = makeLanguageTable();

constexpr std::array<char16_t, 7> kUmlauts = {0x00E4, 0x00C4, 0x00F6, 0x00D6,
                                              0x00FC, 0x00DC, 0x00DF};

// OLE date 0 (30 December 1899) as a Julian day.
constexpr qint64 kOleEpochJulianDay = 2415019;

} // namespace

QString PadTo3(const QString &value)
{
    return padLeft(value, 3);
}
QString PadTo3(qint64 value)
{
    return padLeft(QString::number(value), 3);
}
QString PadTo2(const QString &value)
{
    return padLeft(value, 2);
}
QString PadTo2(qint64 value)
{
    return padLeft(QString::number(value), 2);
}

qint16 TextToInt(const QString &text, bool &ok)
{
    ok = true;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    qsizetype i = 0;
    bool negative = false;
    if (t.at(0) == QLatin1Char('+') || t.at(0) == QLatin1Char('-')) {
        negative = t.at(0) == QLatin1Char('-');
        ++i;
    }
    if (i == t.size()) {
        ok = false;
        return 0;
    }
    qint32 value = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t.at(i).unicode();
        if (c < u'0' || c > u'9') {
            ok = false;
            return 0;
        }
        value = value * 10 + (c - u'0');
        if (value > 32768) {
            ok = false;
            return 0;
        }
    }
    if (negative)
        value = -value;
    if (value > 32767 || value < -32768) {
        ok = false;
        return 0;
    }
    return static_cast<qint16>(value);
}

double TextToDouble(const QString &text, bool &ok)
{
    ok = true;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0.0;
    qsizetype i = 0;
    bool negative = false;
    if (t.at(0) == QLatin1Char('+') || t.at(0) == QLatin1Char('-')) {
        negative = t.at(0) == QLatin1Char('-');
        ++i;
    }
    qint64 mantissa = 0;
    int digits = 0;
    int decimals = -1; // -1 until the decimal point is seen
    for (; i < t.size(); ++i) {
        const char16_t c = t.at(i).unicode();
        if (c >= u'0' && c <= u'9') {
            if (++digits > 15) { // far more than a panel field holds
                ok = false;
                return 0.0;
            }
            mantissa = mantissa * 10 + (c - u'0');
            if (decimals >= 0)
                ++decimals;
        } else if ((c == u'.' || c == u',') && decimals < 0) {
            decimals = 0;
        } else {
            ok = false;
            return 0.0;
        }
    }
    if (digits == 0) {
        ok = false;
        return 0.0;
    }
    const double value = static_cast<double>(mantissa) / std::pow(10.0, qMax(decimals, 0));
    return negative ? -value : value;
}

QString Chars(const QString &text, int from, int to)
{
    if (from < 1 || to < from || from > text.size())
        return QString();
    return text.mid(from - 1, to - from + 1);
}

double OleDateFromYmd(int year, int month, int day)
{
    // Day counted from the first of the month so a day past the month's end rolls over.
    const QDate first(year, month, 1);
    return static_cast<double>(first.toJulianDay() + (day - 1) - kOleEpochJulianDay);
}

double ParseDeviceDateTime(const QString &text, bool &error, double &datePart, double &timePart)
{
    error = false;
    datePart = 0.0;
    timePart = 0.0;

    // A point in time cut short (the answer ended early) would read its missing parts as
    // 0 and give a plausible but wrong date; it is refused instead.
    bool ok = text.size() >= 11;
    const auto part = [&](int from, int to, int min, int max) {
        bool partOk = false;
        const int v = TextToInt(Chars(text, from, to), partOk);
        if (!partOk || v < min || v > max)
            ok = false;
        return v;
    };
    const int day = ok ? part(1, 2, 1, 31) : 0;
    const int month = ok ? part(3, 4, 1, 12) : 0;
    const int year = ok ? part(5, 6, 0, 99) : 0;
    const int hour = ok ? part(8, 9, 0, 24) : 0;
    const int minute = ok ? part(10, 11, 0, 59) : 0;
    if (!ok) {
        error = true;
        return 0.0;
    }

    const int fullYear = year < 30 ? 2000 + year : 1900 + year;
    const int second = (hour == 0 && minute == 0) ? 1 : 0;
    datePart = OleDateFromYmd(fullYear, month, day);
    const int seconds = hour * 3600 + minute * 60 + second;
    timePart = seconds / 86400.0;
    // Hour 24 shows as 00 of the same date: only the time of day joins the date.
    return datePart + (seconds % 86400) / 86400.0;
}

QString ConvertDeviceText(const QString &text, const QString &textLanguage)
{
    // Only codes below 32 change; most texts have none (the grid sorts a million of them).
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 32; }))
        return text;
    bool ok = false;
    int language = TextToInt(textLanguage, ok);
    if (!ok || language < 1 || language > 20)
        language = 0;

    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        char16_t c = ch.unicode();
        switch (c) {
        case 21:
            c = 0x03A9;
            break;
        case 22:
            c = 0x00B5;
            break;
        case 23:
            c = 0x00B0;
            break;
        case 24:
            c = u'&';
            break;
        default:
            break;
        }
        if (language != 0 && c < 32 && kLanguageTable[language][c] != 0)
            c = kLanguageTable[language][c];
        if (c >= 14 && c <= 20)
            c = kUmlauts[c - 14];
        out += QChar(c);
    }
    return out;
}

} // namespace qvr
