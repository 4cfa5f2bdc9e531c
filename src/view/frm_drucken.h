#pragma once

#include "view/GridRowSource.h"
#include "view/PrintDocument.h"
#include "view/PrinterCatalog.h"

#include <QDialog>
#include <QPageSize>
#include <QPointer>

#include <array>
#include <memory>

class QAbstractItemModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace qvr {

class Asker;
class PrintPreview;
class Texts;

// The print window: lays the grid's rows out as a landscape table once, when it loads,
// shows the pages in a preview with zoom and page navigation, and prints all pages, the
// shown page or a range of pages on the chosen printer or into a PDF file, without a
// printer dialog.
class frm_drucken : public QDialog
{
    Q_OBJECT

public:
    // What is printed: `rows`, the history grid's rows as shown when the window opens, or
    // else `grid`, a model of the event rows in the order shown, with the grid's 18
    // columns (the header row is not part of it). Either is read again for every page
    // drawn, never copied whole.
    struct Source
    {
        QPointer<const QAbstractItemModel> grid;
        QString gFileName;   // full path of the user's history file
        QString versionText; // the main window's version text ("3.4")
        QString programTitle;
        std::shared_ptr<const GridRowSource> rows = nullptr;
    };

    // The table layout of the printout: 15 columns, 15577 twips.
    static const QString kTableFormat;
    // The grid columns printed, in print order (the hidden sort columns are left out).
    static constexpr std::array<int, 15> kPrintedGridColumns = {0,  1,  2,  4,  6,  8,  9, 10,
                                                                11, 12, 13, 14, 15, 16, 17};
    // Until the window knows its size; it then opens at the zoom that fits the page's width.
    static constexpr int kZoomAtStart = 30;

    frm_drucken(const Texts &texts, Asker &asker, Source source,
                PrinterCatalog printers = PrinterCatalog::installed(), QWidget *parent = nullptr);
    ~frm_drucken() override;

    // Builds the document and fills the window. Runs once; showing the window runs it
    // when nobody did before (connect the signals first).
    void load();
    bool isLoaded() const { return m_loaded; }

    const PrintDocument &document() const { return m_document; }
    int previewPage() const;
    int zoom() const;

    // The table's header row in row syntax, in the current language.
    static QString headerRowText(const Texts &texts);
    // The printed cells of one grid row; ";" in the three text lines becomes ",".
    static QStringList bodyRowCells(const QAbstractItemModel &grid, int row);
    static QStringList bodyRowCells(const GridRowSource &rows, int row);
    static int ZoomOut(int zoom);
    static int ZoomIn(int zoom);
    // Checks a typed page range. 0 and the pages when usable, else the id of the text
    // that explains what is wrong.
    static int checkPageRange(const QString &first, const QString &last, int pageCount,
                              int *from, int *to);

signals:
    // The main window shows its print button pressed while this window is open.
    void printToolButtonPressed(bool pressed);
    // Loading is done; the main window shows the normal mouse pointer again.
    void defaultPointerRequested();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void done(int result) override;

private:
    void buildControls();
    void setCaptions();
    void fillPrinterList();
    void applyPageSettings();
    void buildDocument();
    void showPreviewPage(int page);
    void updatePageLabel();
    void setZoom(int zoom);
    void showZoom();

    void cmb_drucker_Click(int index);
    void Cmdprev_Click(int index);
    void CmdZoomMinus_Click();
    void CmdZoomPlus_Click();
    void Command1_Click();

    bool preparePrinter();
    QString title() const;

    const Texts &m_texts;
    Asker &m_asker;
    Source m_source;
    PrinterCatalog m_printers;
    std::unique_ptr<QPrinter> m_printer;
    QPageSize m_pageSize;
    PrintDocument m_document;
    bool m_loaded = false;
    bool m_unloaded = false;

    PrintPreview *m_preview = nullptr;
    QScrollArea *m_scroll = nullptr;
    QComboBox *cmb_drucker = nullptr;
    QLabel *m_printerLabel = nullptr;
    std::array<QRadioButton *, 3> Option1{};
    QWidget *m_rangeFrame = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLabel *m_toLabel = nullptr;
    std::array<QPushButton *, 5> Cmdprev{}; // indexes 1 to 4
    QLabel *LblPrev = nullptr;
    QPushButton *CmdZoomMinus = nullptr;
    QPushButton *CmdZoomPlus = nullptr;
    QLabel *LblZoom = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
};

} // namespace qvr
