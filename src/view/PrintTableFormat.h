#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qvr {

// The column layout of a printed table, written as a format string: one entry per column,
// separated by "|", each an alignment ("<" left, "^" centred, ">" right), "+" and the width
// in twips; ";" ends the format. Whatever follows the ";" is the table's header row.
class PrintTableFormat
{
public:
    enum class Align { Left, Centre, Right };
    struct Column
    {
        Align align = Align::Left;
        int widthTwips = 0;
    };

    // Parses "format;header". On a malformed format the result has no columns and `error`
    // says why; the header (row syntax, see splitRow) goes to `header` when given.
    static PrintTableFormat parse(const QString &formatAndHeader, QString *header = nullptr,
                                  QString *error = nullptr);

    // Row syntax: cells separated by "|"; a ";" ends the row. Text after the first ";" is
    // not part of this row.
    static QStringList splitRow(const QString &rowText);
    // Several rows, each ended by ";" (the last one may lack it).
    static QList<QStringList> splitRows(const QString &rowsText);

    bool isValid() const { return !m_columns.isEmpty(); }
    const QList<Column> &columns() const { return m_columns; }
    int columnCount() const { return int(m_columns.size()); }
    int totalWidthTwips() const;

private:
    QList<Column> m_columns;
};

} // namespace qvr
