#include "PrintTableFormat.h"

namespace qvr {

PrintTableFormat PrintTableFormat::parse(const QString &formatAndHeader, QString *header,
                                         QString *error)
{
    PrintTableFormat result;
    const qsizetype end = formatAndHeader.indexOf(QLatin1Char(';'));
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        if (header)
            header->clear();
        return PrintTableFormat();
    };
    if (end < 0)
        return fail(QStringLiteral("the format does not end with ';'"));
    if (header)
        *header = formatAndHeader.mid(end + 1);

    const QStringList entries = formatAndHeader.left(end).split(QLatin1Char('|'));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString entry = entries.at(i).trimmed();
        const QString where = QStringLiteral("column %1 (\"%2\")").arg(i + 1).arg(entry);
        if (entry.size() < 3)
            return fail(where + QStringLiteral(": too short"));
        Column col;
        switch (entry.at(0).unicode()) {
        case '<': col.align = Align::Left; break;
        case '^': col.align = Align::Centre; break;
        case '>': col.align = Align::Right; break;
        default: return fail(where + QStringLiteral(": unknown alignment"));
        }
        if (entry.at(1) != QLatin1Char('+'))
            return fail(where + QStringLiteral(": '+' missing"));
        bool ok = false;
        col.widthTwips = entry.mid(2).toInt(&ok);
        if (!ok || col.widthTwips <= 0)
            return fail(where + QStringLiteral(": width is not a positive number"));
        result.m_columns.append(col);
    }
    if (error)
        error->clear();
    return result;
}

QStringList PrintTableFormat::splitRow(const QString &rowText)
{
    const qsizetype end = rowText.indexOf(QLatin1Char(';'));
    return (end < 0 ? rowText : rowText.left(end)).split(QLatin1Char('|'));
}

QList<QStringList> PrintTableFormat::splitRows(const QString &rowsText)
{
    QList<QStringList> rows;
    QStringList parts = rowsText.split(QLatin1Char(';'));
    // "a|b;" leaves an empty tail after the last ";", which is no row.
    if (parts.size() > 1 && parts.constLast().isEmpty())
        parts.removeLast();
    for (const QString &part : parts)
        rows.append(part.split(QLatin1Char('|')));
    return rows;
}

int PrintTableFormat::totalWidthTwips() const
{
    int sum = 0;
    for (const Column &c : m_columns)
        sum += c.widthTwips;
    return sum;
}

} // namespace qvr
