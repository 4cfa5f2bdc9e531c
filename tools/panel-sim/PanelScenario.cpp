#include "PanelScenario.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

namespace qvr {

namespace {

struct SupportedPanel {
    const char *type;
    const char *model;
    PanelScenario::Layout layout;
};

// The panels the program can read, in the order it matches them.
constexpr SupportedPanel kSupported[] = {
    {"JX", "940", PanelScenario::Layout::RQ},  {"RQ", "6150", PanelScenario::Layout::RQ},
    {"WE", "610", PanelScenario::Layout::PV},  {"RQ", "370", PanelScenario::Layout::PV},
    {"PV", "370", PanelScenario::Layout::PV},  {"ZL", "2900", PanelScenario::Layout::ZL},
    {"ZL", "720", PanelScenario::Layout::ZL},  {"VZT", "8830", PanelScenario::Layout::ZL},
};

const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm");

// Words for generated message texts; \x12 is the panel's code for "ü", \x10 for "ö".
const char *const kWords[] = {
    "Brandmeldung",  "T\x12r offen",  "L\x12" "ftung",   "St\x10rung Pumpe", "Kessel",
    "Heizung",       "Druck hoch",    "Niveau tief",     "Netzausfall",      "Batterie",
    "Halle 3",       "Keller",        "Temperatur",      "Sprinkler",        "Gas Alarm",
};

const char *const kAnalogNames[][2] = {{"U ", "V "}, {"I ", "mA"}, {"R ", "kO"}, {"T ", "C "},
                                       {"I ", "uA"}, {"P ", "b "}};

QString escapeValue(const QString &value)
{
    QString out;
    for (QChar c : value) {
        if (c.unicode() < 32 || c == QLatin1Char('|') || c == QLatin1Char('"')
            || c == QLatin1Char('\\'))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString unescapeValue(const QString &value)
{
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 3 < value.size()
            && value[i + 1] == QLatin1Char('x')) {
            bool ok = false;
            const int code = value.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

// Splits a statement into its keyword and key=value pairs; values may be double-quoted.
bool splitStatement(const QString &line, QString *keyword, QHash<QString, QString> *values,
                    QString *error)
{
    int i = 0;
    const int n = line.size();
    auto skipBlanks = [&] {
        while (i < n && line[i].isSpace())
            ++i;
    };
    skipBlanks();
    const int kwStart = i;
    while (i < n && !line[i].isSpace())
        ++i;
    *keyword = line.mid(kwStart, i - kwStart).toLower();
    for (;;) {
        skipBlanks();
        if (i >= n)
            return true;
        const int keyStart = i;
        while (i < n && line[i] != QLatin1Char('=') && !line[i].isSpace())
            ++i;
        if (i >= n || line[i] != QLatin1Char('=')) {
            *error = QStringLiteral("expected key=value at \"%1\"").arg(line.mid(keyStart));
            return false;
        }
        const QString key = line.mid(keyStart, i - keyStart).toLower();
        ++i;
        QString value;
        if (i < n && line[i] == QLatin1Char('"')) {
            const int close = line.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0) {
                *error = QStringLiteral("unterminated quote after %1=").arg(key);
                return false;
            }
            value = line.mid(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const int valueStart = i;
            while (i < n && !line[i].isSpace())
                ++i;
            value = line.mid(valueStart, i - valueStart);
        }
        values->insert(key, value); // still escaped: lists split on "|" first
    }
}

// Reads the values of one statement, remembering the first bad number.
class Values
{
public:
    Values(const QHash<QString, QString> &values, QString *error)
        : m_values(values), m_error(error)
    {
    }
    bool has(const char *key) const { return m_values.contains(QLatin1String(key)); }
    QString text(const char *key, const QString &fallback = QString()) const
    {
        return has(key) ? unescapeValue(m_values.value(QLatin1String(key))) : fallback;
    }
    // A value of several parts separated by "|".
    QStringList list(const char *key) const
    {
        QStringList parts = m_values.value(QLatin1String(key)).split(QLatin1Char('|'));
        for (QString &p : parts)
            p = unescapeValue(p);
        return parts;
    }
    int number(const char *key, int fallback) const
    {
        if (!has(key))
            return fallback;
        bool ok = false;
        const int v = text(key).toInt(&ok);
        if (!ok && m_error->isEmpty())
            *m_error = QStringLiteral("%1 is not a number: \"%2\"")
                           .arg(QLatin1String(key), text(key));
        return ok ? v : fallback;
    }
    QDateTime date(const char *key) const
    {
        if (!has(key) || text(key).isEmpty())
            return {};
        const QDateTime d = QDateTime::fromString(text(key), kDateFormat);
        if (!d.isValid() && m_error->isEmpty())
            *m_error = QStringLiteral("%1 is not a date \"yyyy-MM-dd HH:mm\": \"%2\"")
                           .arg(QLatin1String(key), text(key));
        return d;
    }
    // Reports keys the statement does not know, so a typo does not pass silently.
    void rejectUnknown(std::initializer_list<const char *> known) const
    {
        for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
            bool found = false;
            for (const char *k : known)
                found = found || it.key() == QLatin1String(k);
            if (!found && m_error->isEmpty())
                *m_error = QStringLiteral("unknown key %1").arg(it.key());
        }
    }

private:
    const QHash<QString, QString> &m_values;
    QString *m_error;
};

bool parseLayout(const QString &name, PanelScenario::Layout *layout)
{
    const QString n = name.toUpper();
    if (n == QLatin1String("ZL"))
        *layout = PanelScenario::Layout::ZL;
    else if (n == QLatin1String("PV"))
        *layout = PanelScenario::Layout::PV;
    else if (n == QLatin1String("RQ"))
        *layout = PanelScenario::Layout::RQ;
    else
        return false;
    return true;
}

// A valid programming record of a given input kind for the layout's checks.
PanelScenario::Program makeProgram(PanelScenario::Layout layout, int kind, int textNumber,
                                   QRandomGenerator &rng)
{
    const bool pv = layout == PanelScenario::Layout::PV;
    auto upTo = [&](int max) { return int(rng.bounded(max + 1)); };
    PanelScenario::Program p;
    p.textNumber = textNumber;
    p.inputKind = kind;
    p.mode = rng.bounded(3) == 0 ? 5 : 2;
    p.f3 = upTo(9);
    const int relayMax = pv ? 192 : 16;
    p.lamp = upTo(3);
    p.buzzer = upTo(2);
    // A panel sends a relay's mode as 1 or 2 when the relay is programmed, 0 when not.
    auto relayMode = [&](int relay) { return relay ? 1 + upTo(1) : 0; };
    p.relayA = upTo(relayMax);
    p.relayAMode = relayMode(p.relayA);
    p.relayB = upTo(relayMax);
    p.relayBMode = relayMode(p.relayB);
    p.relayC = rng.bounded(2) ? 0 : upTo(relayMax);
    p.relayCMode = relayMode(p.relayC);
    p.keyRow = upTo(15);
    p.keyColumn = upTo(5);
    p.f20 = pv ? QList<int>{0, 2, 5}[rng.bounded(3)] : (rng.bounded(2) ? 5 : 0);
    p.f21 = upTo(999);
    p.f22 = upTo(999);
    p.eibOutput = upTo(16);
    p.buzzerRepeat = QStringLiteral("%1").arg(upTo(99), 2, 10, QLatin1Char('0'));
    p.showMeasured = upTo(6);
    p.showDateTime = upTo(6);
    p.showAlarmAddress = upTo(6);
    p.eibInput = pv ? upTo(1) : 0;
    switch (kind) {
    case 1:
        p.device1 = 1 + upTo(pv ? 149 : 98);
        p.device2 = upTo(255);
        p.channel = upTo(pv ? 99 : 32);
        break;
    case 2:
        p.device1 = 0;
        p.device2 = 1 + upTo(254);
        p.channel = p.mode == 5 ? 0 : upTo(32);
        break;
    case 3:
        p.device1 = 0;
        p.device2 = 0;
        p.channel = 1 + upTo(pv ? 191 : 31);
        p.eibInput = 1 + upTo(3);
        p.showMeasured = 0;
        p.showAlarmAddress = 0;
        break;
    case 4:
        // Nothing is checked for this kind: out-of-range values come back as they are.
        p.device1 = upTo(99);
        p.device2 = upTo(255);
        p.channel = upTo(99);
        p.relayA = 17 + upTo(pv ? 99 : 82);
        p.lamp = 9;
        break;
    default: // 5
        p.device1 = 0;
        p.device2 = 1;
        p.channel = 1 + upTo(15);
        p.eibInput = 0;
        break;
    }
    return p;
}

QStringList makeText(int number, QRandomGenerator &rng)
{
    QStringList lines;
    const int used = 1 + int(rng.bounded(6));
    for (int i = 0; i < 6; ++i) {
        if (i >= used) {
            lines << QString();
            continue;
        }
        QString line = QString::fromLatin1(kWords[rng.bounded(int(std::size(kWords)))]);
        if (i == 0)
            line = QStringLiteral("%1 %2").arg(number).arg(line);
        lines << line.left(20);
    }
    return lines;
}

} // namespace

bool PanelScenario::layoutOf(const QString &type, const QString &model, Layout *layout)
{
    for (const SupportedPanel &p : kSupported) {
        if (type.contains(QLatin1String(p.type)) && model == QLatin1String(p.model)) {
            *layout = p.layout;
            return true;
        }
    }
    return false;
}

QString PanelScenario::layoutName(Layout layout)
{
    switch (layout) {
    case Layout::PV:
        return QStringLiteral("PV");
    case Layout::RQ:
        return QStringLiteral("RQ");
    case Layout::ZL:
        break;
    }
    return QStringLiteral("ZL");
}

void PanelScenario::setPanel(Layout newLayout)
{
    layout = newLayout;
    switch (layout) {
    case Layout::ZL:
        deviceType = QStringLiteral("ZL");
        model = QStringLiteral("2900");
        break;
    case Layout::PV:
        deviceType = QStringLiteral("PV");
        model = QStringLiteral("370");
        break;
    case Layout::RQ:
        deviceType = QStringLiteral("RQ");
        model = QStringLiteral("6150");
        break;
    }
}

int PanelScenario::historyLimit() const
{
    switch (layout) {
    case Layout::PV:
        return 1000;
    case Layout::RQ:
        return 250;
    case Layout::ZL:
        break;
    }
    return 650;
}

PanelScenario PanelScenario::generate(Layout layout, int count, quint32 seed, int address)
{
    QRandomGenerator rng(seed);
    PanelScenario s;
    s.address = address;
    s.setPanel(layout);

    // A pool of alarm addresses smaller than the history, so addresses repeat.
    QList<int> pool;
    QSet<int> used;
    const int poolSize = qMax(1, count / 3 + 1);
    while (pool.size() < poolSize && used.size() < 998) {
        const int a = 1 + int(rng.bounded(999));
        if (!used.contains(a)) {
            used.insert(a);
            pool << a;
        }
    }

    if (layout != Layout::ZL) {
        const int rows = 3 + int(rng.bounded(6));
        for (int r = 0; r < rows; ++r) {
            AlarmRow row;
            row.externalAddress = 0;
            row.internalAddress = 1 + int(rng.bounded(150));
            if (rng.bounded(2)) {
                row.textKind = QStringLiteral("99");
                row.text = QStringLiteral("Melder %1").arg(row.internalAddress);
            } else {
                row.textKind = QStringLiteral("%1").arg(1 + rng.bounded(98), 2, 10,
                                                        QLatin1Char('0'));
            }
            s.alarmTable << row;
        }
    }

    QDateTime when(QDate(2025, 1, 1), QTime(0, 0));
    int nextKind = 1;
    // PV/RQ: the internal address an alarm address is programmed on; all its events come
    // from there.
    QHash<int, int> inputOf;
    for (int i = 0; i < count; ++i) {
        Event e;
        when = when.addSecs(60 * (1 + qint64(rng.bounded(600))));
        // Now and then an event at midnight, which the program stores as 00:00:01.
        if (rng.bounded(25) == 0)
            when = QDateTime(when.date().addDays(1), QTime(0, 0));
        e.start = when;
        e.acknowledged = rng.bounded(10) < 6;
        if (e.acknowledged)
            e.acknowledgedAt = when.addSecs(60 * (1 + qint64(rng.bounded(30))));
        else if (rng.bounded(4) == 0)
            e.acknowledgedAt = when.addSecs(120); // a date behind the flag 0
        e.stopped = rng.bounded(2) == 1;
        if (e.stopped)
            e.stoppedAt = when.addSecs(60 * (31 + qint64(rng.bounded(60))));
        e.test = rng.bounded(10) == 0 ? 1 : 0;

        const int roll = int(rng.bounded(100));
        if (layout == Layout::ZL) {
            e.alarmAddress = roll < 8 ? 0 : pool[rng.bounded(pool.size())];
            if (rng.bounded(10) < 7) {
                e.hasAnalog = true;
                const auto &lo = kAnalogNames[rng.bounded(int(std::size(kAnalogNames)))];
                const auto &hi = kAnalogNames[rng.bounded(int(std::size(kAnalogNames)))];
                e.analogLowerName = QString::fromLatin1(lo[0]);
                e.analogLowerUnit = QString::fromLatin1(lo[1]);
                e.analogUpperName = QString::fromLatin1(hi[0]);
                e.analogUpperUnit = QString::fromLatin1(hi[1]);
                e.analogLower = rng.bounded(9000) / 10.0;
                e.analogUpper = rng.bounded(99999);
            }
        } else {
            const bool pv = layout == Layout::PV;
            e.internalAddress = 1 + int(rng.bounded(150));
            e.channel = int(rng.bounded(pv ? 193 : 33));
            if (roll < 55) {
                e.source = 1;
                e.alarmAddress = pool[rng.bounded(pool.size())];
                e.internalAddress = inputOf.value(e.alarmAddress, e.internalAddress);
                inputOf.insert(e.alarmAddress, e.internalAddress);
            } else if (roll < 65) {
                e.source = 2;
                e.alarmAddress = pv ? 1 + int(rng.bounded(5)) : 5; // the device itself
                e.systemNumber = int(rng.bounded(10));
            } else if (roll < 78) {
                e.source = 2;
                e.alarmAddress = 8;
                if (pv && rng.bounded(2))
                    e.channel = 201 + int(rng.bounded(10)); // device fault code
            } else {
                e.source = 2;
                e.alarmAddress = 1001 + int(rng.bounded(200)); // standard text number
                if (!s.alarmTable.isEmpty() && rng.bounded(2)) {
                    const AlarmRow &row = s.alarmTable[rng.bounded(s.alarmTable.size())];
                    e.externalAddress = row.externalAddress;
                    e.internalAddress = row.internalAddress;
                }
            }
            if (!pv)
                e.externalAddress = 0;
            if (rng.bounded(3)) {
                e.lowerLabel = QStringLiteral("min");
                e.lowerValue = int(rng.bounded(30000));
                e.upperLabel = QStringLiteral("max");
                e.upperValue = int(rng.bounded(30000));
            }
            e.deviceType = rng.bounded(2) ? QStringLiteral("Melder %1").arg(e.channel)
                                          : QString();
        }
        s.events << e;

        const bool hasProgram = layout == Layout::ZL ? e.alarmAddress != 0 : e.source == 1;
        if (hasProgram && !s.programs.contains(e.alarmAddress % 1000)) {
            const int textNumber = rng.bounded(10) < 7 ? 1 + int(rng.bounded(999)) : 0;
            s.programs.insert(e.alarmAddress % 1000,
                              makeProgram(layout, nextKind, textNumber, rng));
            nextKind = nextKind % 5 + 1;
            if (textNumber > 0 && !s.texts.contains(textNumber))
                s.texts.insert(textNumber, makeText(textNumber, rng));
        }
    }
    return s;
}

PanelScenario PanelScenario::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return {};
    }
    return parse(QString::fromUtf8(file.readAll()), error);
}

PanelScenario PanelScenario::parse(const QString &text, QString *error)
{
    PanelScenario s;
    error->clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int ln = 0; ln < lines.size(); ++ln) {
        const QString line = lines[ln].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QString keyword;
        QHash<QString, QString> map;
        QString err;
        if (splitStatement(line, &keyword, &map, &err)) {
            const Values v(map, &err);
            if (keyword == QLatin1String("panel")) {
                v.rejectUnknown({"class", "type", "model", "address", "language"});
                Layout layout = s.layout;
                if (v.has("class") && !parseLayout(v.text("class"), &layout))
                    err = QStringLiteral("class must be ZL, PV or RQ");
                s.setPanel(layout);
                s.deviceType = v.text("type", s.deviceType);
                s.model = v.text("model", s.model);
                // A known type and model decide the layout, as they do in the program.
                if (!v.has("class"))
                    layoutOf(s.deviceType, s.model, &s.layout);
                s.address = v.number("address", s.address);
                s.language = v.text("language", s.language);
            } else if (keyword == QLatin1String("generate")) {
                v.rejectUnknown({"count", "seed"});
                const int count = v.number("count", 0);
                if (count < 0 || count > 9999)
                    err = QStringLiteral("count must be 0 to 9999");
                const PanelScenario g = generate(s.layout, err.isEmpty() ? count : 0,
                                                 quint32(v.number("seed", 1)), s.address);
                s.events += g.events;
                for (auto it = g.programs.cbegin(); it != g.programs.cend(); ++it)
                    if (!s.programs.contains(it.key()))
                        s.programs.insert(it.key(), it.value());
                for (auto it = g.texts.cbegin(); it != g.texts.cend(); ++it)
                    if (!s.texts.contains(it.key()))
                        s.texts.insert(it.key(), it.value());
                s.alarmTable += g.alarmTable;
            } else if (keyword == QLatin1String("entry")) {
                v.rejectUnknown({"address", "start", "ack", "ackdate", "stop", "test",
                                 "source", "system", "ext", "int", "channel", "lower",
                                 "lowervalue", "upper", "uppervalue", "type", "analog"});
                Event e;
                e.alarmAddress = v.number("address", 0);
                e.start = v.date("start");
                if (!e.start.isValid() && err.isEmpty())
                    err = QStringLiteral("entry needs start=\"yyyy-MM-dd HH:mm\"");
                e.acknowledgedAt = v.date("ack");
                e.acknowledged = e.acknowledgedAt.isValid();
                if (!e.acknowledged && v.has("ackdate"))
                    e.acknowledgedAt = v.date("ackdate");
                e.stoppedAt = v.date("stop");
                e.stopped = e.stoppedAt.isValid();
                e.test = v.number("test", 0);
                e.source = v.number("source", 1);
                e.systemNumber = v.number("system", 0);
                e.externalAddress = v.number("ext", 0);
                e.internalAddress = v.number("int", 1);
                e.channel = v.number("channel", 0);
                e.lowerLabel = v.text("lower");
                e.lowerValue = v.number("lowervalue", 0);
                e.upperLabel = v.text("upper");
                e.upperValue = v.number("uppervalue", 0);
                e.deviceType = v.text("type");
                if (v.has("analog")) {
                    const QStringList a = v.text("analog").split(QLatin1Char(','));
                    if (a.size() != 6) {
                        err = QStringLiteral("analog needs six parts: name,unit,value,"
                                             "name,unit,value");
                    } else {
                        e.hasAnalog = true;
                        e.analogLowerName = a[0];
                        e.analogLowerUnit = a[1];
                        e.analogLower = a[2].toDouble();
                        e.analogUpperName = a[3];
                        e.analogUpperUnit = a[4];
                        e.analogUpper = a[5].toDouble();
                    }
                }
                s.events << e;
            } else if (keyword == QLatin1String("program")) {
                v.rejectUnknown({"address", "text", "f3", "mode", "kind", "dev1", "dev2",
                                 "channel", "eib", "lamp", "buzzer", "relaya", "relayamode",
                                 "relayb", "relaybmode", "relayc", "relaycmode", "keyrow",
                                 "keycol", "f20", "f21", "f22", "eibout", "repeat",
                                 "measured", "datetime", "alarmaddress"});
                Program p;
                p.textNumber = v.number("text", p.textNumber);
                p.f3 = v.number("f3", p.f3);
                p.mode = v.number("mode", p.mode);
                p.inputKind = v.number("kind", p.inputKind);
                p.device1 = v.number("dev1", p.device1);
                p.device2 = v.number("dev2", p.device2);
                p.channel = v.number("channel", p.channel);
                p.eibInput = v.number("eib", p.eibInput);
                p.lamp = v.number("lamp", p.lamp);
                p.buzzer = v.number("buzzer", p.buzzer);
                p.relayA = v.number("relaya", p.relayA);
                p.relayAMode = v.number("relayamode", p.relayAMode);
                p.relayB = v.number("relayb", p.relayB);
                p.relayBMode = v.number("relaybmode", p.relayBMode);
                p.relayC = v.number("relayc", p.relayC);
                p.relayCMode = v.number("relaycmode", p.relayCMode);
                p.keyRow = v.number("keyrow", p.keyRow);
                p.keyColumn = v.number("keycol", p.keyColumn);
                p.f20 = v.number("f20", p.f20);
                p.f21 = v.number("f21", p.f21);
                p.f22 = v.number("f22", p.f22);
                p.eibOutput = v.number("eibout", p.eibOutput);
                p.buzzerRepeat = v.text("repeat", p.buzzerRepeat);
                p.showMeasured = v.number("measured", p.showMeasured);
                p.showDateTime = v.number("datetime", p.showDateTime);
                p.showAlarmAddress = v.number("alarmaddress", p.showAlarmAddress);
                s.programs.insert(v.number("address", 0), p);
            } else if (keyword == QLatin1String("text")) {
                v.rejectUnknown({"number", "lines"});
                QStringList tl = v.list("lines");
                while (tl.size() < 6)
                    tl << QString();
                if (tl.size() > 6)
                    err = QStringLiteral("a text has at most six lines");
                s.texts.insert(v.number("number", 0), tl.mid(0, 6));
            } else if (keyword == QLatin1String("alarm")) {
                v.rejectUnknown({"ext", "int", "kind", "text"});
                AlarmRow row;
                row.externalAddress = v.number("ext", 0);
                row.internalAddress = v.number("int", 1);
                row.textKind = v.text("kind", row.textKind);
                row.text = v.text("text");
                s.alarmTable << row;
            } else if (keyword == QLatin1String("master")) {
                v.rejectUnknown({"address", "queries", "poll", "window", "release",
                                 "nevertakesback", "neverreleases"});
                Master &m = s.master;
                m.present = true;
                m.address = v.number("address", m.address);
                if (v.has("queries"))
                    m.queries = v.list("queries");
                m.pollIntervalMs = v.number("poll", m.pollIntervalMs);
                m.replyWindowMs = v.number("window", m.replyWindowMs);
                m.releaseDelayMs = v.number("release", m.releaseDelayMs);
                m.neverTakesBack = v.number("nevertakesback", 0) != 0;
                m.neverReleases = v.number("neverreleases", 0) != 0;
            } else if (keyword == QLatin1String("timing")) {
                v.rejectUnknown({"baud", "turnaround"});
                s.timing.baud = v.number("baud", s.timing.baud);
                s.timing.turnaroundMs = v.number("turnaround", s.timing.turnaroundMs);
            } else if (keyword == QLatin1String("fault")) {
                v.rejectUnknown({"silentfrom", "badchecksumevery", "noanalog", "isx",
                                 "garbage", "kind", "command", "index", "times"});
                Faults &f = s.faults;
                f.silentFromEntry = v.number("silentfrom", f.silentFromEntry);
                f.badChecksumEvery = v.number("badchecksumevery", f.badChecksumEvery);
                f.noAnalog = f.noAnalog || v.number("noanalog", 0) != 0;
                f.isx = f.isx || v.number("isx", 0) != 0;
                f.garbage = f.garbage || v.number("garbage", 0) != 0;
                if (v.has("kind")) {
                    FaultRule r;
                    const QString kind = v.text("kind").toLower();
                    if (kind == QLatin1String("failcheck"))
                        r.kind = FaultRule::Kind::FailCheck;
                    else if (kind == QLatin1String("badchecksum"))
                        r.kind = FaultRule::Kind::BadChecksum;
                    else if (kind == QLatin1String("silent"))
                        r.kind = FaultRule::Kind::Silent;
                    else if (kind == QLatin1String("empty"))
                        r.kind = FaultRule::Kind::Empty;
                    else
                        err = QStringLiteral("fault kind must be failcheck, badchecksum, "
                                             "silent or empty");
                    r.command = v.text("command").toUpper();
                    r.index = v.number("index", -1);
                    r.times = v.number("times", -1);
                    f.rules << r;
                }
            } else {
                err = QStringLiteral("unknown statement \"%1\"").arg(keyword);
            }
        }
        if (!err.isEmpty()) {
            *error = QStringLiteral("line %1: %2").arg(ln + 1).arg(err);
            return {};
        }
    }
    if (s.address < 1 || s.address > 99)
        *error = QStringLiteral("the panel address must be 1 to 99");
    return s;
}

QString PanelScenario::toText() const
{
    QStringList out;
    auto q = [](const QString &v) { return QStringLiteral("\"%1\"").arg(escapeValue(v)); };
    auto d = [&](const QDateTime &t) { return q(t.toString(kDateFormat)); };
    auto joinList = [](const QStringList &parts) {
        QStringList esc;
        for (const QString &p : parts)
            esc << escapeValue(p);
        return QStringLiteral("\"%1\"").arg(esc.join(QLatin1Char('|')));
    };
    out << QStringLiteral("panel class=%1 type=%2 model=%3 address=%4 language=%5")
               .arg(layoutName(layout), q(deviceType), q(model))
               .arg(address)
               .arg(q(language));
    if (timing.baud > 0 || timing.turnaroundMs > 0)
        out << QStringLiteral("timing baud=%1 turnaround=%2")
                   .arg(timing.baud)
                   .arg(timing.turnaroundMs);
    if (master.present)
        out << QStringLiteral("master address=%1 queries=%2 poll=%3 window=%4 release=%5 "
                              "nevertakesback=%6 neverreleases=%7")
                   .arg(master.address)
                   .arg(joinList(master.queries))
                   .arg(master.pollIntervalMs)
                   .arg(master.replyWindowMs)
                   .arg(master.releaseDelayMs)
                   .arg(master.neverTakesBack ? 1 : 0)
                   .arg(master.neverReleases ? 1 : 0);
    out << QStringLiteral("fault silentfrom=%1 badchecksumevery=%2 noanalog=%3 isx=%4 "
                          "garbage=%5")
               .arg(faults.silentFromEntry)
               .arg(faults.badChecksumEvery)
               .arg(faults.noAnalog ? 1 : 0)
               .arg(faults.isx ? 1 : 0)
               .arg(faults.garbage ? 1 : 0);
    for (const FaultRule &r : faults.rules) {
        const char *kind = r.kind == FaultRule::Kind::BadChecksum ? "badchecksum"
                           : r.kind == FaultRule::Kind::Silent    ? "silent"
                           : r.kind == FaultRule::Kind::Empty     ? "empty"
                                                                  : "failcheck";
        out << QStringLiteral("fault kind=%1 command=%2 index=%3 times=%4")
                   .arg(QLatin1String(kind), q(r.command))
                   .arg(r.index)
                   .arg(r.times);
    }
    for (const AlarmRow &r : alarmTable)
        out << QStringLiteral("alarm ext=%1 int=%2 kind=%3 text=%4")
                   .arg(r.externalAddress)
                   .arg(r.internalAddress)
                   .arg(q(r.textKind), q(r.text));
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        out << QStringLiteral("text number=%1 lines=%2").arg(it.key()).arg(joinList(it.value()));
    for (auto it = programs.cbegin(); it != programs.cend(); ++it) {
        const Program &p = it.value();
        out << QStringLiteral("program address=%1 text=%2 f3=%3 mode=%4 kind=%5 dev1=%6 "
                              "dev2=%7 channel=%8 eib=%9")
                       .arg(it.key())
                       .arg(p.textNumber)
                       .arg(p.f3)
                       .arg(p.mode)
                       .arg(p.inputKind)
                       .arg(p.device1)
                       .arg(p.device2)
                       .arg(p.channel)
                       .arg(p.eibInput)
                   + QStringLiteral(" lamp=%1 buzzer=%2 relaya=%3 relayamode=%4 relayb=%5 "
                                    "relaybmode=%6 relayc=%7 relaycmode=%8 keyrow=%9")
                         .arg(p.lamp)
                         .arg(p.buzzer)
                         .arg(p.relayA)
                         .arg(p.relayAMode)
                         .arg(p.relayB)
                         .arg(p.relayBMode)
                         .arg(p.relayC)
                         .arg(p.relayCMode)
                         .arg(p.keyRow)
                   + QStringLiteral(" keycol=%1 f20=%2 f21=%3 f22=%4 eibout=%5 repeat=%6 "
                                    "measured=%7 datetime=%8 alarmaddress=%9")
                         .arg(p.keyColumn)
                         .arg(p.f20)
                         .arg(p.f21)
                         .arg(p.f22)
                         .arg(p.eibOutput)
                         .arg(q(p.buzzerRepeat))
                         .arg(p.showMeasured)
                         .arg(p.showDateTime)
                         .arg(p.showAlarmAddress);
    }
    for (const Event &e : events) {
        QString line = QStringLiteral("entry address=%1 start=%2").arg(e.alarmAddress).arg(d(e.start));
        if (e.acknowledged)
            line += QStringLiteral(" ack=") + d(e.acknowledgedAt);
        else if (e.acknowledgedAt.isValid())
            line += QStringLiteral(" ackdate=") + d(e.acknowledgedAt);
        if (e.stopped)
            line += QStringLiteral(" stop=") + d(e.stoppedAt);
        line += QStringLiteral(" test=%1").arg(e.test);
        if (layout != Layout::ZL)
            line += QStringLiteral(" source=%1 system=%2 ext=%3 int=%4 channel=%5 lower=%6 "
                                   "lowervalue=%7 upper=%8 uppervalue=%9")
                        .arg(e.source)
                        .arg(e.systemNumber)
                        .arg(e.externalAddress)
                        .arg(e.internalAddress)
                        .arg(e.channel)
                        .arg(q(e.lowerLabel))
                        .arg(e.lowerValue)
                        .arg(q(e.upperLabel))
                        .arg(e.upperValue)
                    + QStringLiteral(" type=") + q(e.deviceType);
        if (e.hasAnalog)
            line += QStringLiteral(" analog=")
                    + q(QStringList{e.analogLowerName, e.analogLowerUnit,
                                    QString::number(e.analogLower), e.analogUpperName,
                                    e.analogUpperUnit, QString::number(e.analogUpper)}
                            .join(QLatin1Char(',')));
        out << line;
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace qvr
