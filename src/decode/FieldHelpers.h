#pragma once

#include <QString>
#include <QtGlobal>

namespace qvr {

// Small helpers every decoder uses to read the panel's fixed-column answers.

// Zero padding for numbers in command frames: "1" -> "001", "12" -> "012"; longer texts
// come back unchanged. Leading and trailing blanks are removed first.
QString PadTo3(const QString &value);
QString PadTo3(qint64 value);
// "7" -> "07"; longer texts unchanged.
QString PadTo2(const QString &value);
QString PadTo2(qint64 value);

// A panel number field as a 16-bit integer. An empty or all-blank field is 0; surrounding
// blanks are allowed. Anything else that is not a whole number in the 16-bit range
// (letters, a sign without digits, an overflow) sets ok to false and gives 0, so the
// caller can refuse the answer instead of storing a wrong number.
qint16 TextToInt(const QString &text, bool &ok);

// A panel measurement as a number: blanks around it, an optional sign, digits with at most
// one decimal point ('.' or ','); an empty or all-blank field is 0. Anything else (letters,
// exponents) sets ok to false. The fields are at most five characters wide, so the value
// is always finite and small.
double TextToDouble(const QString &text, bool &ok);

// Date-time values are OLE dates: days since 30 December 1899, the time of day as the
// fraction (the file's format). 0 is the "zero date".
double OleDateFromYmd(int year, int month, int day);

// The panel's 11-character point in time "DDMMYY?HHMM". Day 1-31, month 1-12, year 0-99
// (0-29 -> 2000-2029, 30-99 -> 1930-1999), hour 0-24, minute 0-59; a day past the month's
// end rolls into the next month (31 April -> 1 May). 00:00 is stored as 00:00:01 so a
// midnight event keeps a visible time. Hour 24 gives timePart = one day plus the minutes,
// while the result shows 00:MM of the same date. Out-of-range parts, and a text shorter
// than 11 characters, set error and leave all three values 0. Computed arithmetically: the user's
// regional settings play no part.
double ParseDeviceDateTime(const QString &text, bool &error, double &datePart, double &timePart);

// The panel's LCD character set to Unicode: codes 21-24 are Ohm, micro, degree and '&';
// codes 1-31 are national letters by the message text language (TextToInt of
// textLanguage, 1 to 20); codes 14-20 fall back to German umlauts and sharp s.
QString ConvertDeviceText(const QString &text, const QString &textLanguage);

// Characters a to b (1-based, inclusive) of text, empty where text is shorter.
QString Chars(const QString &text, int from, int to);

} // namespace qvr
