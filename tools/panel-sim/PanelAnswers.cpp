#include "PanelAnswers.h"

#include <cmath>

namespace qvr {

void PanelAnswers::put(QString &s, int position, int width, const QString &value)
{
    const int end = position - 1 + width;
    if (s.size() < end)
        s += QString(end - s.size(), QLatin1Char(' '));
    const QString field = value.left(width).leftJustified(width, QLatin1Char(' '));
    s.replace(position - 1, width, field);
}

QString PanelAnswers::num(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

QString PanelAnswers::deviceDateTime(const QDateTime &t)
{
    if (!t.isValid())
        return QStringLiteral("000000 0000");
    return t.toString(QStringLiteral("ddMMyy HHmm"));
}

QString PanelAnswers::history(const PanelScenario &s, int number, bool failing)
{
    const PanelScenario::Event &e = s.events.at(number - 1);
    // An acknowledged flag of 2 is refused by every layout.
    const QString ackFlag = failing ? QStringLiteral("2") : e.acknowledged ? QStringLiteral("1")
                                                                          : QStringLiteral("0");
    const QString ackDate = deviceDateTime(e.acknowledgedAt);
    const QString stopFlag = e.stopped ? QStringLiteral("1") : QStringLiteral("0");
    const QString stopDate = deviceDateTime(e.stopped ? e.stoppedAt : QDateTime());
    QString a;
    if (s.layout == PanelScenario::Layout::ZL) {
        put(a, 1, 3, num(number, 3));
        put(a, 5, 3, num(e.alarmAddress, 3));
        put(a, 9, 11, deviceDateTime(e.start));
        put(a, 21, 1, ackFlag);
        put(a, 23, 11, ackDate);
        put(a, 35, 1, stopFlag);
        put(a, 37, 11, stopDate);
        put(a, 49, 1, QString::number(e.test));
        return a;
    }
    // PV has a three-character channel; every later field sits one position further.
    const int w = s.layout == PanelScenario::Layout::PV ? 1 : 0;
    put(a, 1, 3, num(number, 3));
    put(a, 5, 1, QString::number(e.source));
    put(a, 7, 4, num(e.alarmAddress, 4));
    put(a, 12, 2, num(e.systemNumber, 2));
    put(a, 15, 3, num(e.externalAddress, 3));
    put(a, 19, 3, num(e.internalAddress, 3));
    put(a, 23, 2 + w, num(e.channel, 2 + w));
    put(a, 26 + w, 11, deviceDateTime(e.start));
    put(a, 38 + w, 1, ackFlag);
    put(a, 40 + w, 11, ackDate);
    put(a, 52 + w, 1, stopFlag);
    put(a, 54 + w, 11, stopDate);
    put(a, 66 + w, 1, QString::number(e.test));
    put(a, 68 + w, 4, e.lowerLabel);
    put(a, 73 + w, 5, num(e.lowerValue, 5));
    put(a, 79 + w, 4, e.upperLabel);
    put(a, 84 + w, 5, num(e.upperValue, 5));
    put(a, 90 + w, 10, e.deviceType);
    return a;
}

QString PanelAnswers::program(PanelScenario::Layout layout, int alarmAddress,
                              const PanelScenario::Program &p, bool failing)
{
    // Five fields are one character wider for PV, moving everything after them.
    const bool pv = layout == PanelScenario::Layout::PV;
    const int w = pv ? 3 : 2;
    QString a;
    put(a, 1, 3, num(alarmAddress, 3));
    put(a, 5, 3, num(p.textNumber, 3));
    put(a, 9, 1, QString::number(p.f3));
    put(a, 11, 1, QString::number(p.mode));
    put(a, 13, 1, QString::number(failing ? 6 : p.inputKind)); // kinds are 1 to 5
    put(a, 15, 3, num(p.device1, 3));
    put(a, 19, 3, num(p.device2, 3));
    int pos = 23;
    auto field = [&](int width, const QString &value) {
        put(a, pos, width, value);
        pos += width + 1;
    };
    field(w, num(p.channel, w));                   // F8
    field(1, QString::number(p.eibInput));         // F9
    field(1, QString::number(p.lamp));             // F10
    field(1, QString::number(p.buzzer));           // F11
    field(w, num(p.relayA, w));                    // F12
    field(1, QString::number(p.relayAMode));       // F13
    field(w, num(p.relayB, w));                    // F14
    field(1, QString::number(p.relayBMode));       // F15
    field(w, num(p.relayC, w));                    // F16
    field(1, QString::number(p.relayCMode));       // F17
    field(3, num(p.keyRow, 3));                    // F18
    field(2, num(p.keyColumn, 2));                 // F19
    field(1, QString::number(p.f20));              // F20
    field(3, num(p.f21, 3));                       // F21
    field(3, num(p.f22, 3));                       // F22
    field(w, num(p.eibOutput, w));                 // F23
    field(2, p.buzzerRepeat);                      // F24
    field(1, QString::number(p.showMeasured));     // F25
    field(1, QString::number(p.showDateTime));     // F26
    field(1, QString::number(p.showAlarmAddress)); // F27
    return a;
}

QString PanelAnswers::text(PanelScenario::Layout layout, int number, const QStringList &lines,
                           bool failing)
{
    // The text number must be the one asked for; ZL has a three-digit field, the other
    // layouts a four-digit one, so their lines start one position further.
    const int shown = failing ? number + 1 : number;
    const int w = layout == PanelScenario::Layout::ZL ? 0 : 1;
    QString a;
    put(a, 1, 3 + w, num(shown, 3 + w));
    for (int i = 0; i < 6; ++i)
        put(a, 5 + w + 21 * i, 20, lines.value(i));
    return a;
}

QString PanelAnswers::analog(const PanelScenario::Event &e, int number, bool failing)
{
    QString a;
    put(a, 1, 3, num(failing ? number + 1 : number, 3));
    if (!e.hasAnalog) {
        put(a, 5, 21, QString());
        return a;
    }
    auto value = [](double v) {
        // Five characters: one decimal while it fits, else a whole number.
        QString t = QString::number(v, 'f', 1);
        if (t.size() > 5)
            t = QString::number(std::lround(v));
        return t.rightJustified(5, QLatin1Char(' '));
    };
    put(a, 5, 2, e.analogLowerName);
    put(a, 7, 2, e.analogLowerUnit);
    put(a, 10, 5, value(e.analogLower));
    put(a, 16, 2, e.analogUpperName);
    put(a, 18, 2, e.analogUpperUnit);
    put(a, 21, 5, value(e.analogUpper));
    return a;
}

QString PanelAnswers::alarmRow(int number, const PanelScenario::AlarmRow &row)
{
    QString a;
    put(a, 1, 3, num(number, 3));
    put(a, 5, 3, num(row.externalAddress, 3));
    put(a, 9, 3, num(row.internalAddress, 3));
    put(a, 13, 2, row.textKind);
    put(a, 16, 20, row.text);
    return a;
}

} // namespace qvr
