#include "GridCellFormatter.h"

#include "core/TextTable.h"
#include "decode/FieldHelpers.h"

#include <QDateTime>

#include <array>

namespace qvr {

namespace {

constexpr std::array<int, GridCellFormatter::ColumnCount> kAlignmentCodes = {
    7, 4, 2, 2, 2, 2, 2, 2, 4, 4, 4, 4, 0, 0, 0, 0, 0, 0};

constexpr int kHeaderBaseId = 5050;
constexpr int kPreAlarmHeaderId = 13840;
constexpr int kYesId = 5010;
constexpr int kNoId = 5020;
constexpr int kWarnId = 5030;
constexpr int kAlarmId = 5040;

QString trimmedLeft(const QString &s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i) == QLatin1Char(' '))
        ++i;
    return i == 0 ? s : s.mid(i);
}

} // namespace

GridCellFormatter::GridCellFormatter(const Texts &texts, const QString &deviceClass,
                                     const QString &textLanguage, const QLocale &locale)
    : m_texts(&texts), m_languageOffset(texts.gLanguageOffset),
      m_warn(texts.ResText(kWarnId, m_languageOffset)),
      m_alarm(texts.ResText(kAlarmId, m_languageOffset)),
      m_yes(texts.ResText(kYesId, m_languageOffset)), m_no(texts.ResText(kNoId, m_languageOffset)),
      m_deviceClass(deviceClass), m_textLanguage(textLanguage), m_dates(m_languageOffset, locale)
{
}

QString GridCellFormatter::headerText(int column) const
{
    if (column < 0 || column >= ColumnCount)
        return {};
    if (column == 11 && m_deviceClass == QLatin1String("PV"))
        return m_texts->ResText(kPreAlarmHeaderId, m_languageOffset);
    return m_texts->ResText(kHeaderBaseId + 10 * column, m_languageOffset);
}

QString GridCellFormatter::cellText(const GridRecord &r, qsizetype position, int column) const
{
    switch (column) {
    case 0:
        return QString::number(position + 1);
    case 1:
        return (r.nulls & GridRecord::NullTableauAdresse) ? QString()
                                                          : QString::number(r.tableauAdresse);
    case 2:
        return dateCell(r.startDatum);
    case 3:
        return (r.nulls & GridRecord::NullStartSort) ? QString() : sortKeyText(r.startDatumSort);
    case 4:
        return r.quittiertJN != 1 ? QString() : dateCell(r.quittiertDatum);
    case 5:
        return (r.quittiertJN != 1 || (r.nulls & GridRecord::NullQuittiertSort))
                   ? QString() : sortKeyText(r.quittiertDatumSort);
    case 6:
        return r.stopJN != 1 ? QString() : dateCell(r.stopDatum);
    case 7:
        return (r.stopJN != 1 || (r.nulls & GridRecord::NullStopSort))
                   ? QString() : sortKeyText(r.stopDatumSort);
    case 8:
        if (r.meldeleuchte == 2)
            return m_warn;
        if (r.meldeleuchte == 1)
            return m_alarm;
        return {};
    case 9:
        return r.testJN == 1 ? m_yes : m_no;
    case 10:
        return addressCell(r);
    case 11:
        return channelCell(r);
    case 12:
        return textCell(r.text1);
    case 13:
        return textCell(r.text2);
    case 14:
        return textCell(r.text3);
    case 15:
        return trimmedLeft(r.analogWertMin);
    case 16:
        return trimmedLeft(r.analogWertMax);
    case 17:
        return (r.nulls & GridRecord::NullGeraetetyp) ? QString() : trimmedLeft(r.geraetetyp);
    default:
        return {};
    }
}

std::optional<double> GridCellFormatter::numericKey(const GridRecord &r, qsizetype position,
                                                    int column) const
{
    switch (column) {
    case 0:
        return static_cast<double>(position + 1);
    case 1:
        if (r.nulls & GridRecord::NullTableauAdresse)
            return std::nullopt;
        return r.tableauAdresse;
    case 3:
        if (r.nulls & GridRecord::NullStartSort)
            return std::nullopt;
        return r.startDatumSort;
    case 5:
        if (r.quittiertJN != 1 || (r.nulls & GridRecord::NullQuittiertSort))
            return std::nullopt;
        return r.quittiertDatumSort;
    case 7:
        if (r.stopJN != 1 || (r.nulls & GridRecord::NullStopSort))
            return std::nullopt;
        return r.stopDatumSort;
    default: {
        // Columns without a number of their own compare by their text read as a number.
        bool ok = false;
        const double v = cellText(r, position, column).trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
        return v;
    }
    }
}

QList<GridRecord::Field> GridCellFormatter::sourceFields(int column)
{
    using R = GridRecord;
    switch (column) {
    case 1:
        return {R::FTableauAdresse};
    case 2:
        return {R::FStartDatum};
    case 3:
        return {R::FStartSort};
    case 4:
        return {R::FQuittiertJN, R::FQuittiertDatum};
    case 5:
        return {R::FQuittiertJN, R::FQuittiertSort};
    case 6:
        return {R::FStopJN, R::FStopDatum};
    case 7:
        return {R::FStopJN, R::FStopSort};
    case 8:
        return {R::FMeldeleuchte};
    case 9:
        return {R::FTestJN};
    case 10:
        return {R::FEingang, R::FGeraeteAdresse1, R::FGeraeteAdresse2, R::FKanal};
    case 11:
        return {R::FEingang, R::FEibEingang, R::FText1};
    case 12:
        return {R::FText1};
    case 13:
        return {R::FText2};
    case 14:
        return {R::FText3};
    case 15:
        return {R::FAnalogWertMin};
    case 16:
        return {R::FAnalogWertMax};
    case 17:
        return {R::FGeraetetyp};
    default:
        return {};
    }
}

int GridCellFormatter::alignmentCode(int column)
{
    if (column < 0 || column >= ColumnCount)
        return 0;
    return kAlignmentCodes[static_cast<std::size_t>(column)];
}

Qt::Alignment GridCellFormatter::alignmentFromCode(int code)
{
    switch (code) {
    case 2:
        return Qt::AlignLeft | Qt::AlignBottom;
    case 4:
        return Qt::AlignCenter;
    case 7:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignTop;
    }
}

QString GridCellFormatter::sortKeyText(double value)
{
    // Fifteen significant digits, as the old engine wrote a double as text.
    return QString::number(value, 'g', 15);
}

QString GridCellFormatter::dateCell(const QDateTime &dt) const
{
    return m_dates.dateTime(dt);
}

QString GridCellFormatter::addressCell(const GridRecord &r) const
{
    if (r.eingang == 3)
        return {};
    const int channel = (r.eingang == 2) ? r.kanal + 1 : r.kanal;
    return PadTo3(qint64(r.geraeteAdresse1)) + QLatin1String(" / ")
           + PadTo3(qint64(r.geraeteAdresse2)) + QLatin1String(" / ") + PadTo3(qint64(channel));
}

QString GridCellFormatter::channelCell(const GridRecord &r) const
{
    if (r.eingang == 3)
        return PadTo2(qint64(r.eibEingang));
    if (m_deviceClass == QLatin1String("PV") && r.eingang < 2) {
        // Fixed words, the same in both languages.
        if (r.text1.contains(QLatin1String("Vorwarnung")))
            return QStringLiteral("pre-Alarm");
        return r.eibEingang == 0 ? QStringLiteral("Alarm") : QStringLiteral("pre-Alarm");
    }
    return {};
}

QString GridCellFormatter::textCell(const QString &field) const
{
    if (trimmedLeft(field).isEmpty())
        return {};
    return trimmedLeft(ConvertDeviceText(field, m_textLanguage));
}

} // namespace qvr
