#pragma once

#include "view/PrintTableFormat.h"

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;
class QPrinter;

namespace qvr {

// A paginated document of tables, built once and then previewed or printed page by page.
// Body rows may come from a source that is read twice, once to lay the pages out and again
// for the pages drawn, so a document of a million rows keeps only where its pages begin.
// Every length is in twips (1/1440 inch) with the origin at the paper's top left corner;
// fonts made by makeFont() carry their size in twips as pixel size, so measuring and
// drawing need no device. The document is independent of any printer: a page is drawn
// onto whatever painter is handed to renderPage(), scaled to twips.
class PrintDocument
{
public:
    struct Margins
    {
        double top = 1440;
        double left = 1440;
        double right = 1440;
        double bottom = 1440;
    };

    // Where a table row went: `row` is -1 for the table's header row (repeated on every
    // page the table continues on).
    struct Placed
    {
        int table = 0;
        int row = -1;
        double y = 0;
        double height = 0;
    };

    // Space between a cell's border and its text.
    static constexpr double kCellPadX = 20;
    static constexpr double kCellPadY = 20;

    PrintDocument();

    // A font sized in twips. A family that is not installed is replaced by its metric
    // twin where one is known ("Courier New" by "Liberation Mono"), so column widths laid
    // out for the original font still hold.
    static QFont makeFont(const QString &family, double points, bool bold);
    static QString resolvedFamily(const QString &family);

    void setPageSize(const QSizeF &twips) { m_pageSize = twips; }
    QSizeF pageSize() const { return m_pageSize; }
    // The margins used by the next layout step; changing them later does not move what is
    // already laid out.
    void setMargins(const Margins &m) { m_margins = m; }
    const Margins &margins() const { return m_margins; }
    void setBodyFont(const QFont &f) { m_bodyFont = f; }
    QFont bodyFont() const { return m_bodyFont; }
    void setHeaderFont(const QFont &f) { m_headerFont = f; }
    QFont headerFont() const { return m_headerFont; }
    // Drawn centred in the top and bottom margin of every page.
    void setPageHeader(const QString &text) { m_pageHeader = text; }
    QString pageHeader() const { return m_pageHeader; }
    void setPageFooter(const QString &text) { m_pageFooter = text; }

    // Starts an empty document of one page; drops what was there.
    void startDoc();
    // Starts a table below what is already on the page: "format;header row" (see
    // PrintTableFormat). False, with the reason in `error`, for a malformed format.
    bool addTable(const QString &formatAndHeader, QString *error = nullptr);
    // One body row of the current table, one text per column (kept by the document). A row
    // with more cells than columns keeps the surplus in its last cell, so nothing is lost;
    // missing cells are empty.
    void addTableRow(const QStringList &cells);
    // Body rows in row syntax ("a|b|c;d|e|f;").
    void addTableRows(const QString &rowsText);
    // `count` body rows of the current table from a source: `cells(row)` must give the
    // same texts every time it is asked, as long as the document lives; it is read in row
    // order while laying out and again for each page drawn. Nothing of the rows is kept.
    using RowCells = std::function<QStringList(int row)>;
    void addTableRows(int count, const RowCells &cells);
    // Columns of the current table (0-based) whose cells always stay on one line: a text
    // wider than its column is drawn narrower instead (a date is read at a glance).
    void setOneLineColumns(const QList<int> &columns);
    void endDoc();
    bool isFinished() const { return m_finished; }

    int pageCount() const { return int(m_pages.size()); }
    // Text drawn with the body font at a position of a finished page, on top of the page's
    // content. A positive `maxWidth` shortens a longer text in its middle ("…").
    void addOverlayText(int page, const QPointF &topLeft, const QString &text,
                        double maxWidth = -1);
    QStringList overlayTexts(int page) const;

    // Draws page `page` (1-based); the painter's coordinates must be twips.
    void renderPage(QPainter *painter, int page) const;
    // Prints pages from..to (1-based, inclusive) on a printer set up by the caller.
    // False when the range is not within the document or the printer fails.
    bool print(QPrinter *printer, int fromPage, int toPage) const;

    // Layout, for whoever needs to know what went where.
    QList<Placed> placedOnPage(int page) const;
    int tableCount() const { return int(m_tables.size()); }
    int rowCount(int table) const;
    QStringList headerCells(int table) const;
    QStringList rowCells(int table, int row) const;
    // The lines a cell is printed in (more than one when the text is wider than its column).
    QStringList cellLines(int table, int row, int column) const;

private:
    struct Row
    {
        QStringList cells;
        QList<QStringList> wrapped; // empty when every cell fits on one line
        double height = 0;
    };
    struct Table
    {
        PrintTableFormat format;
        double left = 0;
        Row header;
        int rowCount = 0;
        RowCells source;         // rows from a source, or
        QList<QStringList> kept; // rows handed over one by one
        QList<int> oneLine;      // columns that never wrap
    };
    struct Overlay
    {
        QPointF pos;
        QString text;
    };
    // Rows first .. first + count - 1 of a table, below the table's header at y.
    struct Run
    {
        int table = 0;
        double y = 0;
        int first = 0;
        int count = 0;
    };
    struct Page
    {
        QList<Run> runs;
        QList<Overlay> overlays;
    };

    Row makeRow(const Table &table, QStringList cells) const;
    Row bodyRow(int table, int row) const;
    void newPage();
    // Starts a run of `table` with its header at the current height.
    void placeHeader(int table);
    void placeRow(int table, double height);
    void drawRow(QPainter *painter, const Table &table, const Row &row, double y,
                 bool isHeader) const;
    double contentTop() const { return m_layoutMargins.top; }
    double contentBottom() const { return m_pageSize.height() - m_layoutMargins.bottom; }

    QSizeF m_pageSize;
    Margins m_margins;
    Margins m_layoutMargins;
    QFont m_bodyFont;
    QFont m_headerFont;
    QFontMetricsF m_metrics{QFont()};
    QString m_pageHeader;
    QString m_pageFooter;
    QList<Table> m_tables;
    QList<Page> m_pages;
    double m_y = 0;
    bool m_finished = false;
};

} // namespace qvr
