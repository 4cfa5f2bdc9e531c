#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;

namespace qvr {

class GridRowSource;

// The grid as a CSV file a spreadsheet opens correctly: UTF-8 with a byte order mark, a
// header row, ";" between the cells for German (the separator German spreadsheets expect)
// and "," for English, CRLF line ends. A cell is quoted when it holds the separator, a
// quote or a line break (quotes doubled); a text that a spreadsheet would take for a
// formula gets a leading apostrophe. Rows are written as they are read, one at a time,
// so an export of a million events needs no more memory than one of ten.
class CsvExport
{
public:
    // What is exported: `rowCount` rows whose cells `cell(row, column)` gives, of the
    // `columns` in that order under their `headers`.
    struct Table
    {
        int rowCount = 0;
        std::function<QString(int row, int column)> cell;
        QList<int> columns;
        QStringList headers;
    };

    // The rows of a grid as shown, in their order, with the given columns under the
    // formatter's headers; rows are read from the file as they are written.
    static Table fromRows(std::shared_ptr<const GridRowSource> rows, const QList<int> &columns);
    // Every column the grid shows (all but the hidden sort keys).
    static QList<int> shownColumns();

    static QChar separator(int languageOffset);
    // One cell as it is written.
    static QString field(const QString &text, QChar separator);
    // False, with the reason in `error`, when the device refused to take the text.
    static bool write(QIODevice &out, const Table &table, QChar separator, QString *error);
    // The same into a file, which is replaced only once it is complete.
    static bool writeFile(const QString &path, const Table &table, QChar separator, QString *error);
};

} // namespace qvr
