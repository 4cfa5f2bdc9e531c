#include "PrintDocument.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace qvr {

namespace {

struct MetricTwin
{
    const char *family;
    const char *twin;
    QFont::StyleHint hint;
};

// Families of the same advance widths: a layout made for one fits the other.
constexpr MetricTwin kTwins[] = {
    {"Courier New", "Liberation Mono", QFont::TypeWriter},
    {"Arial", "Liberation Sans", QFont::SansSerif},
    {"Times New Roman", "Liberation Serif", QFont::Serif},
};

const MetricTwin *twinOf(const QString &family)
{
    for (const MetricTwin &t : kTwins)
        if (family.compare(QLatin1String(t.family), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

// Breaks a text into lines no wider than `width`: at the last blank or after the last
// hyphen that fits, or inside a word that is wider than the column on its own. Explicit
// line breaks are kept. Widths are summed per character (one measurement each), which is
// exact for the monospaced table font and close enough for others.
QStringList wrapText(const QString &text, double width, const QFontMetricsF &fm)
{
    QStringList lines;
    for (const QString &para : text.split(QLatin1Char('\n'))) {
        if (para.isEmpty()) {
            lines << QString();
            continue;
        }
        qsizetype start = 0;
        while (start < para.size()) {
            double used = 0;
            qsizetype end = start;
            qsizetype lastBreak = -1; // where the next line may start
            while (end < para.size()) {
                const QChar c = para.at(end);
                const double w = fm.horizontalAdvance(c);
                if (end > start && used + w > width)
                    break;
                if (c == QLatin1Char(' '))
                    lastBreak = end;
                used += w;
                ++end;
                if (c == QLatin1Char('-') && end < para.size())
                    lastBreak = end;
            }
            if (end < para.size() && para.at(end) == QLatin1Char(' '))
                lastBreak = end;
            const qsizetype cut = (end < para.size() && lastBreak > start) ? lastBreak : end;
            lines << para.mid(start, cut - start);
            start = cut;
            while (start < para.size() && para.at(start) == QLatin1Char(' '))
                ++start;
        }
    }
    return lines;
}

} // namespace

PrintDocument::PrintDocument()
    // A4 landscape until told otherwise.
    : m_pageSize(16838, 11906)
    , m_bodyFont(makeFont(QStringLiteral("Courier New"), 10, false))
    , m_headerFont(makeFont(QStringLiteral("Courier New"), 12, true))
{
}

QString PrintDocument::resolvedFamily(const QString &family)
{
    if (QFontDatabase::hasFamily(family))
        return family;
    if (const MetricTwin *t = twinOf(family)) {
        const QString twin = QLatin1String(t->twin);
        if (QFontDatabase::hasFamily(twin))
            return twin;
    }
    return family;
}

QFont PrintDocument::makeFont(const QString &family, double points, bool bold)
{
    QFont f(resolvedFamily(family));
    if (const MetricTwin *t = twinOf(family))
        f.setStyleHint(t->hint);
    f.setPixelSize(std::max(1, int(std::lround(points * 20))));
    f.setBold(bold);
    f.setItalic(false);
    return f;
}

void PrintDocument::startDoc()
{
    m_tables.clear();
    m_pages.clear();
    m_finished = false;
    m_layoutMargins = m_margins;
    m_metrics = QFontMetricsF(m_bodyFont);
    newPage();
}

void PrintDocument::newPage()
{
    m_pages.append(Page());
    m_y = contentTop();
}

void PrintDocument::placeHeader(int table)
{
    m_pages.last().runs.append(Run{table, m_y, m_tables.at(table).rowCount, 0});
    m_y += m_tables.at(table).header.height;
}

void PrintDocument::placeRow(int table, double height)
{
    // A row taller than a whole page still gets a page of its own instead of looping.
    const QList<Run> &runs = m_pages.last().runs;
    const bool onlyHeaderHere = runs.size() == 1 && runs.constFirst().count == 0;
    if (m_y + height > contentBottom() && !onlyHeaderHere) {
        newPage();
        placeHeader(table);
    }
    ++m_pages.last().runs.last().count;
    ++m_tables[table].rowCount;
    m_y += height;
}

PrintDocument::Row PrintDocument::makeRow(const Table &table, QStringList cells) const
{
    const int columns = table.format.columnCount();
    if (cells.size() > columns && columns > 0) {
        const QStringList surplus = cells.mid(columns - 1);
        cells = cells.mid(0, columns - 1);
        cells << surplus.join(QLatin1Char('|'));
    }
    while (cells.size() < columns)
        cells << QString();

    Row row;
    int lines = 1;
    for (int c = 0; c < columns; ++c) {
        const QString &text = cells.at(c);
        if (table.oneLine.contains(c))
            continue;
        const double inner = table.format.columns().at(c).widthTwips - 2 * kCellPadX;
        // No glyph is wider than maxWidth(), so a short text fits without being measured.
        if (text.size() * m_metrics.maxWidth() <= inner && !text.contains(QLatin1Char('\n')))
            continue;
        if (text.contains(QLatin1Char('\n')) || m_metrics.horizontalAdvance(text) > inner) {
            if (row.wrapped.isEmpty()) {
                row.wrapped.resize(columns);
                for (int k = 0; k < columns; ++k)
                    row.wrapped[k] = QStringList{cells.at(k)};
            }
            row.wrapped[c] = wrapText(text, inner, m_metrics);
            lines = std::max(lines, int(row.wrapped.at(c).size()));
        }
    }
    row.cells = std::move(cells);
    row.height = lines * m_metrics.lineSpacing() + 2 * kCellPadY;
    return row;
}

void PrintDocument::setOneLineColumns(const QList<int> &columns)
{
    if (!m_tables.isEmpty())
        m_tables.last().oneLine = columns;
}

bool PrintDocument::addTable(const QString &formatAndHeader, QString *error)
{
    if (m_pages.isEmpty())
        startDoc();
    QString header;
    Table table;
    table.format = PrintTableFormat::parse(formatAndHeader, &header, error);
    if (!table.format.isValid())
        return false;
    m_metrics = QFontMetricsF(m_bodyFont);
    table.left = m_layoutMargins.left;
    table.header = makeRow(table, PrintTableFormat::splitRow(header));
    m_tables.append(table);

    // The header alone at the foot of a page would be orphaned: it goes to the next page
    // together with the first row (that row's height is not known yet, so ask for one line).
    const double needed = table.header.height + m_metrics.lineSpacing() + 2 * kCellPadY;
    if (m_y + needed > contentBottom() && !m_pages.last().runs.isEmpty())
        newPage();
    placeHeader(int(m_tables.size()) - 1);
    return true;
}

void PrintDocument::addTableRow(const QStringList &cells)
{
    if (m_tables.isEmpty() || m_tables.constLast().source)
        return;
    const int t = int(m_tables.size()) - 1;
    m_tables[t].kept.append(cells);
    placeRow(t, makeRow(m_tables.at(t), cells).height);
}

void PrintDocument::addTableRows(const QString &rowsText)
{
    for (const QStringList &cells : PrintTableFormat::splitRows(rowsText))
        addTableRow(cells);
}

void PrintDocument::addTableRows(int count, const RowCells &cells)
{
    if (m_tables.isEmpty() || m_tables.constLast().rowCount > 0 || !cells)
        return;
    const int t = int(m_tables.size()) - 1;
    m_tables[t].source = cells;
    for (int row = 0; row < count; ++row)
        placeRow(t, makeRow(m_tables.at(t), cells(row)).height);
}

PrintDocument::Row PrintDocument::bodyRow(int table, int row) const
{
    const Table &t = m_tables.at(table);
    return makeRow(t, t.source ? t.source(row) : t.kept.value(row));
}

void PrintDocument::endDoc()
{
    if (m_pages.isEmpty())
        startDoc();
    m_finished = true;
}

void PrintDocument::addOverlayText(int page, const QPointF &topLeft, const QString &text,
                                   double maxWidth)
{
    if (page < 1 || page > pageCount())
        return;
    QString shown = text;
    if (maxWidth > 0)
        shown = QFontMetricsF(m_bodyFont).elidedText(text, Qt::ElideMiddle, maxWidth);
    m_pages[page - 1].overlays.append(Overlay{topLeft, shown});
}

QStringList PrintDocument::overlayTexts(int page) const
{
    QStringList texts;
    if (page >= 1 && page <= pageCount())
        for (const Overlay &o : m_pages.at(page - 1).overlays)
            texts << o.text;
    return texts;
}

QList<PrintDocument::Placed> PrintDocument::placedOnPage(int page) const
{
    if (page < 1 || page > pageCount())
        return {};
    QList<Placed> placed;
    for (const Run &run : m_pages.at(page - 1).runs) {
        const Table &t = m_tables.at(run.table);
        placed.append(Placed{run.table, -1, run.y, t.header.height});
        double y = run.y + t.header.height;
        for (int row = run.first; row < run.first + run.count; ++row) {
            const double height = bodyRow(run.table, row).height;
            placed.append(Placed{run.table, row, y, height});
            y += height;
        }
    }
    return placed;
}

int PrintDocument::rowCount(int table) const
{
    return table >= 0 && table < tableCount() ? m_tables.at(table).rowCount : 0;
}

QStringList PrintDocument::headerCells(int table) const
{
    return table >= 0 && table < tableCount() ? m_tables.at(table).header.cells : QStringList();
}

QStringList PrintDocument::rowCells(int table, int row) const
{
    if (row < 0 || row >= rowCount(table))
        return {};
    return bodyRow(table, row).cells;
}

QStringList PrintDocument::cellLines(int table, int row, int column) const
{
    if (table < 0 || table >= tableCount())
        return {};
    const Table &t = m_tables.at(table);
    if (row < -1 || row >= t.rowCount || column < 0 || column >= t.format.columnCount())
        return {};
    const Row r = row < 0 ? t.header : bodyRow(table, row);
    return r.wrapped.isEmpty() ? QStringList{r.cells.at(column)} : r.wrapped.at(column);
}

void PrintDocument::drawRow(QPainter *painter, const Table &table, const Row &row, double y,
                            bool isHeader) const
{
    const QFontMetricsF fm(m_bodyFont);
    double x = table.left;
    const int columns = table.format.columnCount();
    for (int c = 0; c < columns; ++c) {
        const PrintTableFormat::Column &col = table.format.columns().at(c);
        const QRectF cell(x, y, col.widthTwips, row.height);
        if (isHeader)
            painter->fillRect(cell, QColor(225, 225, 225));
        painter->drawRect(cell);
        const QStringList lines = row.wrapped.isEmpty() ? QStringList{row.cells.at(c)}
                                                        : row.wrapped.at(c);
        double baseline = y + kCellPadY + fm.ascent();
        for (const QString &line : lines) {
            double tx = x + kCellPadX;
            if (col.align != PrintTableFormat::Align::Left) {
                const double free = col.widthTwips - 2 * kCellPadX - fm.horizontalAdvance(line);
                tx += col.align == PrintTableFormat::Align::Right ? free : free / 2;
            }
            const double inner = col.widthTwips - 2 * kCellPadX;
            const double advance = fm.horizontalAdvance(line);
            if (advance > inner && table.oneLine.contains(c)) {
                painter->save();
                painter->translate(x + kCellPadX, baseline);
                painter->scale(inner / advance, 1);
                painter->drawText(QPointF(0, 0), line);
                painter->restore();
            } else {
                painter->drawText(QPointF(tx, baseline), line);
            }
            baseline += fm.lineSpacing();
        }
        x += col.widthTwips;
    }
}

void PrintDocument::renderPage(QPainter *painter, int page) const
{
    if (page < 1 || page > pageCount())
        return;
    const Page &p = m_pages.at(page - 1);
    painter->save();
    const double innerLeft = m_layoutMargins.left;
    const double innerWidth = m_pageSize.width() - m_layoutMargins.left - m_layoutMargins.right;

    if (!m_pageHeader.trimmed().isEmpty()) {
        painter->setFont(m_headerFont);
        const QFontMetricsF hm(m_headerFont);
        const double top = std::max(0.0, (m_layoutMargins.top - hm.height()) / 2);
        painter->drawText(QRectF(innerLeft, top, innerWidth, hm.height()),
                          Qt::AlignHCenter | Qt::AlignTop, m_pageHeader);
    }

    painter->setFont(m_bodyFont);
    // Grid lines of 1/4 point, but never thinner than a device pixel (small preview zoom).
    QPen grid(Qt::black, 5);
    if (painter->transform().m11() * 5 < 1)
        grid.setWidth(0);
    painter->setPen(grid);
    painter->setBrush(Qt::NoBrush);
    for (const Run &run : p.runs) {
        const Table &t = m_tables.at(run.table);
        drawRow(painter, t, t.header, run.y, true);
        double y = run.y + t.header.height;
        for (int row = run.first; row < run.first + run.count; ++row) {
            const Row body = bodyRow(run.table, row);
            drawRow(painter, t, body, y, false);
            y += body.height;
        }
    }

    if (!m_pageFooter.trimmed().isEmpty()) {
        const QFontMetricsF fm(m_bodyFont);
        const double top = m_pageSize.height() - m_layoutMargins.bottom
                           + std::max(0.0, (m_layoutMargins.bottom - fm.height()) / 2);
        painter->drawText(QRectF(innerLeft, top, innerWidth, fm.height()),
                          Qt::AlignHCenter | Qt::AlignTop, m_pageFooter);
    }

    const QFontMetricsF fm(m_bodyFont);
    for (const Overlay &o : p.overlays)
        painter->drawText(QPointF(o.pos.x(), o.pos.y() + fm.ascent()), o.text);
    painter->restore();
}

bool PrintDocument::print(QPrinter *printer, int fromPage, int toPage) const
{
    if (!printer || fromPage < 1 || toPage > pageCount() || fromPage > toPage)
        return false;
    printer->setFullPage(true); // our margins are part of the page drawing
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    const double scale = printer->resolution() / 1440.0;
    for (int page = fromPage; page <= toPage; ++page) {
        if (page > fromPage && !printer->newPage()) {
            painter.end();
            return false;
        }
        painter.save();
        painter.scale(scale, scale);
        renderPage(&painter, page);
        painter.restore();
    }
    return painter.end();
}

} // namespace qvr
