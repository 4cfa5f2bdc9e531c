#include "decode/HistoryDecoder.h"

#include "core/TextTable.h"
#include "decode/AnswerFields.h"
#include "decode/DecodeContext.h"
#include "decode/FieldHelpers.h"
#include "decode/ReadoutState.h"
#include "decode/TempRowWriter.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StandardTexts.h"

#include <QLocale>

#include <cmath>

namespace qvr {

namespace {

using S = HistorySchema;

constexpr int kLineWidth = 20;

QString blankLine()
{
    return QString(kLineWidth, QLatin1Char(' '));
}

// Leading and trailing blanks only: the panel's national letters sit on control codes
// that a general whitespace trim would eat.
QString trimBlanks(const QString &s)
{
    qsizetype from = 0, to = s.size();
    while (from < to && s.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && s.at(to - 1) == QLatin1Char(' '))
        --to;
    return s.mid(from, to - from);
}

// A number as the user's system writes it (decimal comma in German), without grouping.
QString systemNumberText(double v)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(v, 'g', 15);
}

QString deviceName(const ReadoutState &r)
{
    // Class and model are both from the fixed list of supported panels, so this always
    // fits the 10-character field; the cut only guards against a state set by hand.
    return (r.gDeviceClass + r.gDeviceModel).left(10);
}

// One point in time and the three values it is stored as.
struct TimeGroup
{
    double value = 0.0;
    double datePart = 0.0;
    double timePart = 0.0;
};

// Start, acknowledge and stop group of an entry; a group whose flag is 0 stays zero.
struct TimeGroups
{
    TimeGroup start, ack, stop;

    bool parse(const AnswerFields &f, int startPos, int ackFlag, int ackPos, int stopFlag,
               int stopPos)
    {
        bool err = false;
        start.value = ParseDeviceDateTime(f.text(startPos, startPos + 10), err, start.datePart,
                                          start.timePart);
        if (err)
            return false;
        if (ackFlag == 1) {
            ack.value =
                ParseDeviceDateTime(f.text(ackPos, ackPos + 10), err, ack.datePart, ack.timePart);
            if (err)
                return false;
        }
        if (stopFlag == 1) {
            stop.value = ParseDeviceDateTime(f.text(stopPos, stopPos + 10), err, stop.datePart,
                                             stop.timePart);
            if (err)
                return false;
        }
        return true;
    }

    void write(TempRowWriter &row, int ackFlag, int stopFlag, int testFlag) const
    {
        row.set(S::Start_Datum, start.value);
        row.set(S::Start_Datum_Sort, start.value);
        row.set(S::Start_Datum_Filter, start.datePart);
        row.set(S::Start_Uhrzeit_Filter, start.timePart);
        row.set(S::Quittiert_JN, ackFlag);
        row.set(S::Quittiert_Datum, ack.value);
        row.set(S::Quittiert_Datum_Sort, ack.value);
        row.set(S::Quittiert_Datum_Filter, ack.datePart);
        row.set(S::Quittiert_Uhrzeit_Filter, ack.timePart);
        row.set(S::Stop_JN, stopFlag);
        row.set(S::Stop_Datum, stop.value);
        row.set(S::Stop_Datum_Sort, stop.value);
        row.set(S::Stop_Datum_Filter, stop.datePart);
        row.set(S::Stop_Uhrzeit_Filter, stop.timePart);
        row.set(S::Test_JN, testFlag == 0 ? 0 : 1);
    }
};

void setTextLines(TempRowWriter &row, const QString &t1, const QString &t2,
                  const QString &t3 = QString(), const QString &t4 = QString(),
                  const QString &t5 = QString(), const QString &t6 = QString())
{
    // Empty lines are stored as the empty text, not as "no value".
    const auto v = [](const QString &s) { return QVariant(s.isNull() ? QStringLiteral("") : s); };
    row.set(S::Text1, v(t1));
    row.set(S::Text2, v(t2));
    row.set(S::Text3, v(t3));
    row.set(S::Text4, v(t4));
    row.set(S::Text5, v(t5));
    row.set(S::Text6, v(t6));
}

// Opens the standard texts for the panel's language unless they are open already.
void openStandardTexts(DecodeContext &ctx)
{
    const QString &language = ctx.readout.gTextLanguage;
    const Recordset *rs = ctx.standardTexts.gStandardTextRecordset.get();
    if (rs && rs->isOpen() && ctx.standardTextsLanguage == language)
        return;
    ctx.standardTextsLanguage.clear();
    if (ctx.standardTexts.OpenStandardTexts(language))
        ctx.standardTextsLanguage = language;
}

// A standard text looked up by number; `available` is false when the file or the
// language's table could not be read (the entry then gets empty lines, as for a number
// the table lacks, and the read-out reports the missing texts once at its end).
struct StandardText
{
    bool available = false;
    bool found = false;
    QString lines[3];
};

StandardText lookupStandardText(DecodeContext &ctx, int number)
{
    StandardText t;
    const Recordset *rs = ctx.standardTexts.gStandardTextRecordset.get();
    QStringList lines;
    if (!rs || !rs->isOpen() || ctx.standardTextsLanguage != ctx.readout.gTextLanguage ||
        !ctx.standardTexts.lookup(number, &t.found, &lines)) {
        ctx.readout.standardTextsMissing = true;
        t.found = false;
        return t;
    }
    t.available = true;
    for (int i = 0; i < 3 && i < lines.size(); ++i)
        t.lines[i] = lines.at(i).left(kLineWidth); // a display line holds 20 characters
    return t;
}

// Standard text lines 1 to 6 for number n; `line1FromTable` supplies line 1 when the
// standard text leaves it empty (class RQ: the alarm address table).
template <typename Line1>
void writeStandardText(DecodeContext &ctx, TempRowWriter &row, int number, Line1 line1FromTable)
{
    const StandardText t = lookupStandardText(ctx, number);
    if (!t.found) {
        setTextLines(row, QString(), QString());
        return;
    }
    const auto orBlank = [](const QString &s) { return s.isEmpty() ? blankLine() : s; };
    const QString line1 = t.lines[0].isEmpty() ? line1FromTable() : t.lines[0];
    setTextLines(row, line1, orBlank(t.lines[1]), orBlank(t.lines[2]),
                 QStringLiteral("Standardtext Zeile 4"), QStringLiteral("Standardtext Zeile 5"),
                 QStringLiteral("Standardtext Zeile 6"));
}

// The identity fields of an RQ or PV entry, written alike by both layouts.
void writeIdentity(TempRowWriter &row, const ReadoutState &r, qint16 lfd, qint16 source,
                   qint16 parameter, qint16 system, qint16 adresseExt, qint16 adresseInt,
                   qint16 channel)
{
    row.set(S::lfd_Nummer_data, lfd);
    row.set(S::Datenquelle, source);
    row.set(S::TableauAdresse, r.gDeviceAddress);
    row.set(S::ParameterNummer, parameter);
    row.set(S::Systemnummer, system);
    row.set(S::AdresseExt, adresseExt);
    row.set(S::GeraeteAdresse1, adresseExt);
    row.set(S::AdresseInt, adresseInt);
    row.set(S::GeraeteAdresse2, adresseInt);
    row.set(S::Kanalnummer, channel);
    row.set(S::Kanal, channel);
}

// Line 1 of a standard text from the alarm address table of a class RQ panel: the first
// row with the entry's external and internal address gives its own text (kind 99) or its
// text kind. A row that cannot be read ends the search.
QString alarmTableLine1(const ReadoutState &r, int adresseExt, int adresseInt)
{
    for (const AlarmAddressRow &row : r.gAlarmAddressTable) {
        bool okExt = false, okInt = false;
        const int ext = TextToInt(row[0], okExt);
        const int in = TextToInt(row[1], okInt);
        if (!okExt || !okInt)
            break;
        if (ext != adresseExt || in != adresseInt)
            continue;
        bool okKind = false;
        const int kind = TextToInt(row[2], okKind);
        return okKind && kind == 99 ? row[3] : row[2];
    }
    return blankLine();
}

constexpr int kFaultCodeFirst = 201;
constexpr int kFaultCodeLast = 210;

const char *const kFaultTexts[] = {
    "(Display Error)", "(I2C Error)",      "(Clock Error)",        "(Flash Error)",
    "(AdrInt Error)",  "(Overflow Error)", "(int.Checksum Error)", "(AdrExt Error)",
    "(I2CInt0 Error)", "(I2CInt1 Error)",
};

} // namespace

bool DecodeHistoryZL(DecodeContext &ctx, const QString &rxParam, bool &error)
{
    error = false;
    if (rxParam.isEmpty())
        return true;
    ReadoutState &r = ctx.readout;
    AnswerFields f(rxParam);
    const qint16 entry = f.number(1, 3);
    const qint16 parameter = f.number(5, 7);
    const qint16 ackFlag = f.number(21, 21);
    const qint16 stopFlag = f.number(35, 35);
    const qint16 testFlag = f.number(49, 49);
    if (!f.allConverted() || entry < 0 || entry > 650 || parameter < 0 || parameter > 999 ||
        (ackFlag != 0 && ackFlag != 1) || (stopFlag != 0 && stopFlag != 1)) {
        error = true;
        return true;
    }
    TimeGroups times;
    if (!times.parse(f, 9, ackFlag, 23, stopFlag, 37)) {
        error = true;
        return true;
    }

    TempRowWriter row;
    row.set(S::TableauAdresse, r.gDeviceAddress);
    row.set(S::ParameterNummer, parameter);
    times.write(row, ackFlag, stopFlag, testFlag);
    if (parameter == 0) {
        // An event of the panel itself.
        setTextLines(row, ctx.texts.ResText(31000), ctx.texts.ResText(31010));
        row.set(S::geraetetyp, deviceName(r));
    } else {
        row.set(S::geraetetyp, QStringLiteral(""));
    }
    row.set(S::AnalogWertMin, QStringLiteral(""));
    row.set(S::AnalogWertMax, QStringLiteral(""));
    return row.addRow(ctx);
}

bool DecodeHistoryRQ(DecodeContext &ctx, const QString &rxParam, bool &error)
{
    error = false;
    if (rxParam.isEmpty())
        return true;
    ReadoutState &r = ctx.readout;
    AnswerFields f(rxParam);
    const qint16 lfd = f.number(1, 3);
    const qint16 source = f.number(5, 5);
    const qint16 parameter = f.number(7, 10);
    const qint16 system = f.number(12, 13);
    const qint16 adresseExt = f.number(15, 17);
    const qint16 adresseInt = f.number(19, 21);
    const qint16 channel = f.number(23, 24);
    const qint16 ackFlag = f.number(38, 38);
    const qint16 stopFlag = f.number(52, 52);
    const qint16 testFlag = f.number(66, 66);
    const QString lowLabel = f.text(68, 71);
    const double low = f.decimal(73, 77);
    const QString highLabel = f.text(79, 82);
    const double high = f.decimal(84, 88);
    const QString deviceType = f.text(90, 99);
    if (!f.allConverted()) {
        error = true;
        return true;
    }

    const bool parameterOk = source == 1 ? (parameter >= 0 && parameter <= 999)
                                         : (parameter == 5 || parameter == 8 ||
                                            (parameter >= 1000 && parameter <= 9999));
    if (lfd < 0 || lfd > 250 || (source != 1 && source != 2) || !parameterOk ||
        (source == 1 && system != 0)) {
        error = true;
        return true;
    }
    openStandardTexts(ctx);
    if (adresseExt != 0 || adresseInt < 1 || adresseInt > 150 || channel < 0 || channel > 32 ||
        (ackFlag != 0 && ackFlag != 1) || (stopFlag != 0 && stopFlag != 1) || low < 0 ||
        low > 65536 || high < 0 || high > 65536) {
        error = true;
        return true;
    }
    TimeGroups times;
    if (!times.parse(f, 26, ackFlag, 40, stopFlag, 54)) {
        error = true;
        return true;
    }

    TempRowWriter row;
    writeIdentity(row, r, lfd, source, parameter, system, adresseExt, adresseInt, channel);
    times.write(row, ackFlag, stopFlag, testFlag);

    QString type = deviceType;
    if (parameter < 6) {
        setTextLines(row, ctx.texts.ResText(31000), ctx.texts.ResText(31010));
        if (deviceType.trimmed().isEmpty())
            type = deviceName(r);
    } else if (parameter == 8) {
        setTextLines(row, ctx.texts.ResText(31000), ctx.texts.ResText(31020));
    } else if (parameter >= 1001) {
        writeStandardText(ctx, row, parameter,
                          [&] { return alarmTableLine1(r, adresseExt, adresseInt); });
    }
    row.set(S::geraetetyp, type);
    const QString language = r.gTextLanguage;
    row.set(S::AnalogWertMin,
            ConvertDeviceText(lowLabel, language) + QStringLiteral("= ") + systemNumberText(low));
    row.set(S::AnalogWertMax,
            ConvertDeviceText(highLabel, language) + QStringLiteral("= ") + systemNumberText(high));
    return row.addRow(ctx);
}

bool DecodeHistoryPV(DecodeContext &ctx, const QString &rxParam, bool &error)
{
    error = false;
    if (rxParam.isEmpty())
        return true;
    ReadoutState &r = ctx.readout;
    AnswerFields f(rxParam);
    const qint16 lfd = f.number(1, 3);
    const qint16 source = f.number(5, 5);
    const qint16 parameter = f.number(7, 10);
    const qint16 system = f.number(12, 13);
    const qint16 adresseExt = f.number(15, 17);
    const qint16 adresseInt = f.number(19, 21);
    const qint16 channel = f.number(23, 25);
    const qint16 ackFlag = f.number(39, 39);
    const qint16 stopFlag = f.number(53, 53);
    const qint16 testFlag = f.number(67, 67);
    const QString lowLabel = f.text(69, 72);
    const double low = f.decimal(74, 78);
    const QString highLabel = f.text(80, 83);
    const double high = f.decimal(85, 89);
    const QString deviceType = f.text(91, 100);
    if (!f.allConverted()) {
        error = true;
        return true;
    }

    if (lfd < 0 || lfd > 1000 || (source != 1 && source != 2) ||
        (source == 1 && (parameter < 0 || parameter > 999)) || (source == 1 && system != 0)) {
        error = true;
        return true;
    }
    openStandardTexts(ctx);
    const bool faultCode = channel >= kFaultCodeFirst && channel <= kFaultCodeLast;
    if (adresseInt < 0 || adresseInt > 150 || ((channel < 0 || channel > 192) && !faultCode) ||
        (ackFlag != 0 && ackFlag != 1) || (stopFlag != 0 && stopFlag != 1) || low < 0 ||
        low > 65536 || high < 0 || high > 65536) {
        error = true;
        return true;
    }
    TimeGroups times;
    if (!times.parse(f, 27, ackFlag, 41, stopFlag, 55)) {
        error = true;
        return true;
    }

    TempRowWriter row;
    writeIdentity(row, r, lfd, source, parameter, system, adresseExt, adresseInt,
                  faultCode ? 0 : channel);
    times.write(row, ackFlag, stopFlag, testFlag);

    const QString code = faultCode ? QString::number(channel - 200) : QStringLiteral("");
    const QString faultText = faultCode
                                  ? QString::fromLatin1(kFaultTexts[channel - kFaultCodeFirst])
                                  : QStringLiteral("");
    QString type = deviceType;
    if (source == 2 && parameter < 6) {
        setTextLines(row, ctx.texts.ResText(31000), ctx.texts.ResText(31010), code);
        if (deviceType.trimmed().isEmpty())
            type = deviceName(r);
    } else if (source == 2 && parameter == 8) {
        setTextLines(row, ctx.texts.ResText(31000), ctx.texts.ResText(31030), code, faultText);
    } else if (parameter > 1000) {
        writeStandardText(ctx, row, parameter, [] { return blankLine(); });
    } else {
        setTextLines(row,
                     ctx.texts.ResText(31000) + QStringLiteral(" :") + QString::number(parameter),
                     QStringLiteral("Errorcode"), code);
    }
    row.set(S::geraetetyp, type);
    if (low != 0 || high != 0) {
        const QString language = r.gTextLanguage;
        row.set(S::AnalogWertMin, ConvertDeviceText(lowLabel, language) + QStringLiteral("= ") +
                                      systemNumberText(low));
        row.set(S::AnalogWertMax, ConvertDeviceText(highLabel, language) + QStringLiteral("= ") +
                                      systemNumberText(high));
    } else {
        row.set(S::AnalogWertMin, QStringLiteral("-"));
        row.set(S::AnalogWertMax, QStringLiteral("-"));
    }
    return row.addRow(ctx);
}

namespace {

// The panel writes Ohm as O and micro as u in a unit: u before a unit letter is the prefix
// micro ("uA"), O as the unit itself is Ohm ("O", "kO"). The name before the equals sign
// is not a unit: the voltage "U" stays U.
QString deviceUnit(QString unit)
{
    for (qsizetype i = 0; i < unit.size(); ++i) {
        const QChar c = unit.at(i);
        const bool beforeLetter = i + 1 < unit.size() && unit.at(i + 1).isLetter();
        if ((c == QLatin1Char('O') || c == QLatin1Char('o')) && !beforeLetter)
            unit[i] = QChar(0x03A9);
        else if ((c == QLatin1Char('u') || c == QLatin1Char('U')) && beforeLetter)
            unit[i] = QChar(0x00B5);
    }
    return unit;
}

bool decodeTextLines(DecodeContext &ctx, const QString &rxParam, int shift, bool &error)
{
    error = false;
    AnswerFields f(rxParam);
    const qint16 number = f.number(1 + shift, 3 + shift);
    if (!f.allConverted() || number != ctx.readout.gTextNumber ||
        !TempRowWriter::hasCurrentRow(ctx)) {
        error = true;
        return true;
    }
    static const char *const fields[] = {S::Text1, S::Text2, S::Text3,
                                         S::Text4, S::Text5, S::Text6};
    TempRowWriter row;
    for (int i = 0; i < 6; ++i) {
        const int from = 5 + shift + i * (kLineWidth + 1);
        row.set(fields[i], trimBlanks(f.text(from, from + kLineWidth - 1)));
    }
    return row.editCurrentRow(ctx);
}

} // namespace

bool DecodeTextLinesZL(DecodeContext &ctx, const QString &rxParam, bool &error)
{
    return decodeTextLines(ctx, rxParam, 0, error);
}

bool DecodeTextLines(DecodeContext &ctx, const QString &rxParam, bool &error)
{
    return decodeTextLines(ctx, rxParam, 1, error);
}

bool DecodeAnalogZL(DecodeContext &ctx, const QString &rxCommand, const QString &rxParam,
                    bool &error)
{
    error = false;
    ReadoutState &r = ctx.readout;
    if (r.gAnalogProbe)
        return true; // the probe only tells whether the panel has analogue records
    AnswerFields entryField(rxParam);
    const qint16 entry = entryField.number(1, 3);
    if (!entryField.allConverted() || entry != r.gHistoryIndex ||
        !rxCommand.contains(QLatin1String("AX="))) {
        error = true;
        return true;
    }
    // Blank (or missing) name: the entry has no analogue values.
    if (Chars(rxParam, 5, 8).trimmed().isEmpty())
        return true;

    AnswerFields f(rxParam);
    const double low = f.decimal(10, 14);
    const double high = f.decimal(21, 25);
    if (!f.allConverted() || !TempRowWriter::hasCurrentRow(ctx)) {
        error = true;
        return true;
    }
    const auto whole = [](double v) { return QString::number(static_cast<qint64>(std::round(v))); };
    TempRowWriter row;
    row.set(S::AnalogWertMin,
            f.text(5, 6) + QStringLiteral("= ") + whole(low) + deviceUnit(f.text(7, 8)));
    row.set(S::AnalogWertMax,
            f.text(16, 17) + QStringLiteral("= ") + whole(high) + deviceUnit(f.text(18, 19)));
    return row.editCurrentRow(ctx);
}

} // namespace qvr
