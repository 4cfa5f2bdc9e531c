#pragma once

#include "DateStyle.h"
#include "GridRecord.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <Qt>

#include <optional>

namespace qvr {

class Texts;

// The texts and alignments of the history grid's 18 columns. A formatter is made when
// the grid is filled and keeps that moment's language, device class and message text
// language, so every cell of one fill speaks the same language. Cell texts and keys only
// read the formatter's own copies, so a copy may make them on another thread.
class GridCellFormatter
{
public:
    static constexpr int ColumnCount = 18;
    // Hidden sort key columns behind the three date columns.
    static constexpr int StartSortColumn = 3;
    static constexpr int QuitSortColumn = 5;
    static constexpr int StopSortColumn = 7;

    // Dates follow DateStyle for the language of `texts` and the system locale `locale`.
    GridCellFormatter(const Texts &texts, const QString &deviceClass,
                      const QString &textLanguage, const QLocale &locale = QLocale());

    QString headerText(int column) const;

    // `position` is the record's 0-based place in the record set; column 0 shows it
    // 1-based, and a row click finds the record through it.
    QString cellText(const GridRecord &record, qsizetype position, int column) const;

    // The value a numeric sort compares; empty cells have none and sort before numbers.
    std::optional<double> numericKey(const GridRecord &record, qsizetype position,
                                     int column) const;

    // The record fields the text and key of `column` are made of (column 0 is made of the
    // position alone).
    static QList<GridRecord::Field> sourceFields(int column);

    // The grid control's alignment codes: 0 left/top, 2 left/bottom, 4 centred,
    // 7 right/vertically centred.
    static int alignmentCode(int column);
    static Qt::Alignment alignmentFromCode(int code);

    // A _Sort value as the hidden columns show it.
    static QString sortKeyText(double value);

    const QString &deviceClass() const { return m_deviceClass; }
    const DateStyle &dates() const { return m_dates; }

private:
    QString dateCell(const QDateTime &dateTime) const;
    QString addressCell(const GridRecord &record) const;
    QString channelCell(const GridRecord &record) const;
    QString textCell(const QString &field) const;

    const Texts *m_texts;
    int m_languageOffset;
    // The words of the type and test cells, in the formatter's language.
    QString m_warn;
    QString m_alarm;
    QString m_yes;
    QString m_no;
    QString m_deviceClass;
    QString m_textLanguage;
    DateStyle m_dates;
};

} // namespace qvr
