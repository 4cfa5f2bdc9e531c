// Building the printout of a large grid, against reading the same cells from the grid.
// Prints ratios; the budget line relates the build to its 3 s allowance.

#include "core/Asker.h"
#include "core/TextTable.h"
#include "view/frm_drucken.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace qvr;

namespace {

class Grid : public QAbstractTableModel
{
public:
    Grid(int rows, bool wide) : m_rows(rows), m_wide(wide) {}
    int rowCount(const QModelIndex & = QModelIndex()) const override { return m_rows; }
    int columnCount(const QModelIndex & = QModelIndex()) const override { return 18; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        const int r = index.row();
        switch (index.column()) {
        case 0: return QString::number(r + 1);
        case 1: return QString::number(r % 99 + 1);
        case 2: return QStringLiteral("05.12.2026 14:03");
        case 8: return r % 3 ? QStringLiteral("Alarm") : QStringLiteral("Warn");
        case 9: return QStringLiteral("nein");
        case 10: return QStringLiteral("001 / 002 / 003");
        case 12:
            // Text lines hold 20 characters; the wide case gives every row a wrapped cell.
            return m_wide ? QStringLiteral("Brandmelder Halle %1 Nordseite Rolltor Rampe").arg(r % 40)
                          : QStringLiteral("Melder %1;Halle Nord").arg(r % 40 + 10);
        case 13: return QStringLiteral("Rauchabzug Treppe");
        case 17: return QStringLiteral("ZL");
        default: return QString();
        }
    }

private:
    int m_rows;
    bool m_wide;
};

class SilentAsker : public Asker
{
public:
    QString file;
    Answer message(const QString &, const QString &, Icon, Buttons, bool) override
    {
        return Answer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return file;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRows = 10000;
    Grid grid(kRows, false);
    Texts texts;
    SilentAsker asker;

    // Reference: fetching the printed cells of every row, which any printout must do.
    QElapsedTimer t;
    t.start();
    qsizetype chars = 0;
    for (int r = 0; r < kRows; ++r)
        for (const QString &c : frm_drucken::bodyRowCells(grid, r))
            chars += c.size();
    const double readMs = std::max(0.001, t.nsecsElapsed() / 1e6);

    t.restart();
    frm_drucken form(texts, asker, {&grid, "/daten/anlage.his", "3.4", "QVR-HISTORY"},
                     PrinterCatalog{});
    form.load();
    const double buildMs = t.nsecsElapsed() / 1e6;
    const int pages = form.document().pageCount();

    Grid wide(kRows, true);
    t.restart();
    frm_drucken wideForm(texts, asker, {&wide, "/daten/anlage.his", "3.4", "QVR-HISTORY"},
                         PrinterCatalog{});
    wideForm.load();
    const double wideMs = t.nsecsElapsed() / 1e6;

    QTemporaryDir dir;
    asker.file = dir.filePath("bench.pdf");
    t.restart();
    QMetaObject::invokeMethod(form.findChild<QObject *>("Command1"), "click");
    const double pdfMs = t.nsecsElapsed() / 1e6;

    std::printf("rows %d, pages %d, cell characters %lld\n", kRows, pages,
                static_cast<long long>(chars));
    std::printf("reading the cells (reference): %.1f ms\n", readMs);
    std::printf("building the document: %.1f ms = %.1f x reference\n", buildMs, buildMs / readMs);
    std::printf("build against its 3 s budget: %.3f (below 1 is within)\n", buildMs / 3000.0);
    std::printf("building with a wrapped text line in every row: %.1f ms = %.1f x reference, "
                "%.3f of the budget\n",
                wideMs, wideMs / readMs, wideMs / 3000.0);
    std::printf("printing all pages to PDF: %.1f ms = %.1f x build, %.2f ms per page\n", pdfMs,
                pdfMs / buildMs, pdfMs / pages);
    return 0;
}
