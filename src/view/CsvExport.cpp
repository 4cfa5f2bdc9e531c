#include "CsvExport.h"

#include "GridRowSource.h"

#include <QIODevice>
#include <QSaveFile>

namespace qvr {

namespace {
constexpr int kRowsPerWrite = 256;
}

CsvExport::Table CsvExport::fromRows(std::shared_ptr<const GridRowSource> rows,
                                     const QList<int> &columns)
{
    Table table;
    table.rowCount = rows ? rows->rowCount() : 0;
    table.columns = columns;
    for (int c : columns)
        table.headers << (rows && rows->formatter() ? rows->formatter()->headerText(c) : QString());
    table.cell = [rows](int row, int column) { return rows->cellText(row, column); };
    return table;
}

QList<int> CsvExport::shownColumns()
{
    QList<int> columns;
    for (int c = 0; c < GridCellFormatter::ColumnCount; ++c)
        if (c != GridCellFormatter::StartSortColumn && c != GridCellFormatter::QuitSortColumn &&
            c != GridCellFormatter::StopSortColumn)
            columns << c;
    return columns;
}

QChar CsvExport::separator(int languageOffset)
{
    return languageOffset == 0 ? QLatin1Char(';') : QLatin1Char(',');
}

QString CsvExport::field(const QString &text, QChar separator)
{
    QString out = text;
    // "=", "+", "-" or "@" at the start would make a spreadsheet compute the text (a message
    // text comes from the panel, not from the user). Numbers such as "-5" stay numbers.
    if (!out.isEmpty() &&
        (out.front() == QLatin1Char('=') || out.front() == QLatin1Char('+') ||
         out.front() == QLatin1Char('@') || (out.front() == QLatin1Char('-') && !([&] {
                                                 bool number = false;
                                                 out.toDouble(&number);
                                                 return number;
                                             })())))
        out.prepend(QLatin1Char('\''));
    if (out.contains(separator) || out.contains(QLatin1Char('"')) ||
        out.contains(QLatin1Char('\n')) || out.contains(QLatin1Char('\r'))) {
        out.replace(QLatin1String("\""), QLatin1String("\"\""));
        out = QLatin1Char('"') + out + QLatin1Char('"');
    }
    return out;
}

bool CsvExport::write(QIODevice &out, const Table &table, QChar separator, QString *error)
{
    QString chunk;
    auto flush = [&] {
        const QByteArray bytes = chunk.toUtf8();
        chunk.clear();
        if (out.write(bytes) == bytes.size())
            return true;
        if (error)
            *error = out.errorString();
        return false;
    };
    auto line = [&](const std::function<QString(int)> &cellOf) {
        for (qsizetype i = 0; i < table.columns.size(); ++i) {
            if (i > 0)
                chunk += separator;
            chunk += field(cellOf(int(i)), separator);
        }
        chunk += QLatin1String("\r\n");
    };

    chunk = QChar(0xFEFF);
    line([&](int i) { return table.headers.value(i); });
    for (int row = 0; row < table.rowCount; ++row) {
        line([&](int i) { return table.cell(row, table.columns.at(i)); });
        if ((row + 1) % kRowsPerWrite == 0 && !flush())
            return false;
    }
    return flush();
}

bool CsvExport::writeFile(const QString &path, const Table &table, QChar separator, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!write(file, table, separator, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace qvr
