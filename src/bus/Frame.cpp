#include "bus/Frame.h"

namespace qvr {

QByteArray FrameBytes(const QString &frame)
{
    return frame.toLatin1();
}

int ChecksumValue(const QString &textWithSeparator)
{
    // Subtract every byte from 256, folding back into 1..256 as we go; 256 means 0.
    int s = 256;
    for (const char ch : FrameBytes(textWithSeparator)) {
        s -= static_cast<unsigned char>(ch);
        while (s <= 0)
            s += 256;
    }
    return s == 256 ? 0 : s;
}

QString ChecksumText(int value)
{
    const int c = ((value % 256) + 256) % 256;
    auto ch = [](int code) { return QString(QChar(code)); };
    if (c <= 55)
        return QStringLiteral("dZ") + ch(c + 66);
    if (c <= 64)
        return QStringLiteral("zz") + ch(c + 12);
    if (c <= 121)
        return ch(c);
    if (c <= 178)
        return QStringLiteral("9") + ch(c - 57);
    if (c <= 236)
        return QStringLiteral("r") + ch(c - 114);
    return QStringLiteral("VV") + ch(c - 172);
}

QString CompleteFrame(const QString &text)
{
    QString frame = text + QLatin1Char('&');
    frame += ChecksumText(ChecksumValue(frame));
    frame += QLatin1String("\r\n");
    return frame;
}

} // namespace qvr
