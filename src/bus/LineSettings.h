#pragma once

#include <QString>

namespace qvr {

// Line settings as the settings text writes them: "baud,parity,data bits,stop bits",
// for example "9600,E,7,1". Parity is N, E, O, M or S; data bits 5 to 8; stop bits 1,
// 1.5 or 2.
struct LineSettings
{
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baud = 9600;
    Parity parity = Parity::Even;
    int dataBits = 7;
    StopBits stopBits = StopBits::One;

    // Parses a settings text; false (and *out untouched) when it is malformed.
    static bool parse(const QString &text, LineSettings *out);
    QString toString() const;

    bool operator==(const LineSettings &) const = default;
};

} // namespace qvr
