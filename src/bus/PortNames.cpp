#include "bus/PortNames.h"

#include "core/SettingsStore.h"

#include <QRegularExpression>

namespace qvr {

QString PortNames::defaultDevice(int number)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

QString PortNames::deviceForCom(int number, const SettingsStore *settings)
{
#ifndef Q_OS_WIN
    if (settings) {
        const QString device = settings
                                   ->ReadSetting(QStringLiteral("Schnittstelle"),
                                                 QStringLiteral("Device%1").arg(number), QString())
                                   .trimmed();
        if (!device.isEmpty())
            return device;
    }
#else
    Q_UNUSED(settings);
#endif
    return defaultDevice(number);
}

int PortNames::comNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*COM([0-9]{1,3})\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return 0;
    return m.captured(1).toInt();
}

} // namespace qvr
