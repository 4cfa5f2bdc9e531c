#include "bus/LineSettings.h"

#include <QStringList>

namespace qvr {

bool LineSettings::parse(const QString &text, LineSettings *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;

    LineSettings s;
    bool ok = false;
    const QString baudText = parts[0].trimmed();
    const qlonglong baud = baudText.toLongLong(&ok);
    if (!ok || baud < 50 || baud > 4000000)
        return false;
    s.baud = static_cast<qint32>(baud);

    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        s.parity = Parity::None;
    else if (parity == QLatin1String("E"))
        s.parity = Parity::Even;
    else if (parity == QLatin1String("O"))
        s.parity = Parity::Odd;
    else if (parity == QLatin1String("M"))
        s.parity = Parity::Mark;
    else if (parity == QLatin1String("S"))
        s.parity = Parity::Space;
    else
        return false;

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    s.dataBits = bits;

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = StopBits::One;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        s.stopBits = StopBits::Two;
    else
        return false;

    if (out)
        *out = s;
    return true;
}

QString LineSettings::toString() const
{
    static const char parityChars[] = {'N', 'E', 'O', 'M', 'S'};
    const char *stop = stopBits == StopBits::One ? "1" : stopBits == StopBits::Two ? "2" : "1.5";
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(QLatin1Char(parityChars[static_cast<int>(parity)]))
        .arg(dataBits)
        .arg(QLatin1String(stop));
}

} // namespace qvr
