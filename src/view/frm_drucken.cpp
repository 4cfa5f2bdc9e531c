#include "frm_drucken.h"

#include "DateStyle.h"
#include "core/Asker.h"
#include "core/TextTable.h"
#include "view/PrintPreview.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace qvr {

namespace {

// Page settings of the printout, in twips.
constexpr double kTopMargin = 1300;
constexpr double kLeftMargin = 200;
constexpr double kRightMargin = 150;
constexpr double kBottomMargin = 1000;
// Where the footer texts stand once the table is laid out.
constexpr double kFooterBottomMargin = 500;
constexpr double kFooterAbove = 300;
constexpr double kPageNumberLeftOfCentre = 500;
constexpr double kDateFromRight = 1200;
constexpr double kFooterGap = 100;

constexpr int kZoomStep = 20;
constexpr int kZoomMin = 10;
constexpr int kZoomMax = 400;

const QString kVersionPrefix = QStringLiteral("QVR-History Version ");

} // namespace

const QString frm_drucken::kTableFormat = QStringLiteral(
    ">+450|^+900|^+1400|^+1400|^+1400|^+602|^+500|^+1400|^+425|<+1600|<+1600|<+1600|<+850|<+850|^+600;");

frm_drucken::frm_drucken(const Texts &texts, Asker &asker, Source source,
                         PrinterCatalog printers, QWidget *parent)
    : QDialog(parent)
    , m_texts(texts)
    , m_asker(asker)
    , m_source(std::move(source))
    , m_printers(std::move(printers))
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
    , m_pageSize(m_printer->pageLayout().pageSize())
{
    setObjectName(QStringLiteral("frm_drucken"));
    buildControls();
}

frm_drucken::~frm_drucken() = default;

void frm_drucken::buildControls()
{
    auto *top = new QHBoxLayout;
    m_printerLabel = new QLabel(this);
    cmb_drucker = new QComboBox(this);
    cmb_drucker->setObjectName(QStringLiteral("cmb_drucker"));
    cmb_drucker->setMinimumContentsLength(24);
    cmb_drucker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_printerLabel->setBuddy(cmb_drucker);
    top->addWidget(m_printerLabel);
    top->addWidget(cmb_drucker);
    top->addStretch(1);

    Command1 = new QPushButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(this);
    Command2->setObjectName(QStringLiteral("Command2"));
    top->addWidget(Command1);
    top->addWidget(Command2);

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_rangeFrame = frame;
    auto *range = new QHBoxLayout(frame);
    for (int i = 0; i < 3; ++i) {
        Option1[i] = new QRadioButton(frame);
        Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        range->addWidget(Option1[i]);
    }
    Text1 = new QLineEdit(frame);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2 = new QLineEdit(frame);
    Text2->setObjectName(QStringLiteral("Text2"));
    m_toLabel = new QLabel(frame);
    for (QLineEdit *e : {Text1, Text2})
        e->setMaximumWidth(60);
    range->addWidget(Text1);
    range->addWidget(m_toLabel);
    range->addWidget(Text2);
    range->addStretch(1);

    m_preview = new PrintPreview;
    m_preview->setObjectName(QStringLiteral("vsPrinter"));
    m_preview->setDocument(&m_document);
    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setWidget(m_preview);

    auto *nav = new QHBoxLayout;
    const char *arrows[] = {"", "<<", "<", ">", ">>"};
    for (int i = 1; i <= 4; ++i) {
        Cmdprev[i] = new QPushButton(QString::fromLatin1(arrows[i]), this);
        Cmdprev[i]->setObjectName(QStringLiteral("Cmdprev(%1)").arg(i));
        connect(Cmdprev[i], &QPushButton::clicked, this, [this, i] { Cmdprev_Click(i); });
    }
    LblPrev = new QLabel(this);
    LblPrev->setObjectName(QStringLiteral("LblPrev"));
    LblPrev->setMinimumWidth(120);
    LblPrev->setAlignment(Qt::AlignCenter);
    nav->addWidget(Cmdprev[1]);
    nav->addWidget(Cmdprev[2]);
    nav->addWidget(LblPrev);
    nav->addWidget(Cmdprev[3]);
    nav->addWidget(Cmdprev[4]);
    nav->addStretch(1);
    CmdZoomMinus = new QPushButton(QStringLiteral("-"), this);
    CmdZoomMinus->setObjectName(QStringLiteral("CmdZoomMinus"));
    CmdZoomPlus = new QPushButton(QStringLiteral("+"), this);
    CmdZoomPlus->setObjectName(QStringLiteral("CmdZoomPlus"));
    LblZoom = new QLabel(this);
    LblZoom->setObjectName(QStringLiteral("LblZoom"));
    LblZoom->setMinimumWidth(120);
    nav->addWidget(CmdZoomMinus);
    nav->addWidget(LblZoom);
    nav->addWidget(CmdZoomPlus);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(frame);
    layout->addWidget(m_scroll, 1);
    layout->addLayout(nav);

    connect(cmb_drucker, &QComboBox::activated, this, &frm_drucken::cmb_drucker_Click);
    connect(CmdZoomMinus, &QPushButton::clicked, this, &frm_drucken::CmdZoomMinus_Click);
    connect(CmdZoomPlus, &QPushButton::clicked, this, &frm_drucken::CmdZoomPlus_Click);
    connect(Command1, &QPushButton::clicked, this, &frm_drucken::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::close);

    // Page Up and Page Down turn the pages wherever the focus is.
    const std::pair<int, int> keys[] = {{Qt::Key_PageUp, 2}, {Qt::Key_PageDown, 3}};
    for (const auto &[key, index] : keys)
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this,
                [this, index = index] { Cmdprev_Click(index); });
    m_scroll->viewport()->installEventFilter(this);
}

QString frm_drucken::title() const
{
    return m_source.programTitle.isEmpty() ? QGuiApplication::applicationDisplayName()
                                           : m_source.programTitle;
}

void frm_drucken::showEvent(QShowEvent *event)
{
    if (!m_loaded)
        load();
    QDialog::showEvent(event);
}

void frm_drucken::load()
{
    if (m_loaded)
        return;
    m_loaded = true;

    if (QWidget *main = parentWidget()) {
        resize(std::min(1100, main->width()), std::min(780, main->height()));
        const QPoint origin = main->window()->geometry().topLeft();
        move(origin + QPoint((main->width() - width()) / 2, (main->height() - height()) / 2));
    } else {
        resize(1100, 780);
    }

    setCaptions();

    // A PDF file is printing too: only with neither is there nothing to print to.
    if (m_printers.names.isEmpty() && !m_printers.pdf) {
        m_asker.message(m_texts.ResText(30080) + QLatin1Char('\n') + m_texts.ResText(30090),
                        title(), Asker::Icon::Critical, Asker::Buttons::Ok, true);
    }

    fillPrinterList();
    // A printer that is listed but reports an error gets the same warning, with a beep.
    if (!m_printers.names.isEmpty() && m_printer->printerState() == QPrinter::Error) {
        QApplication::beep();
        m_asker.message(m_texts.ResText(30080) + QLatin1Char('\n') + m_texts.ResText(30090),
                        title(), Asker::Icon::Critical, Asker::Buttons::Ok, true);
    }

    Option1[0]->setChecked(true);
    emit printToolButtonPressed(true);

    applyPageSettings();
    buildDocument();
    showPreviewPage(1);
    // Loading may run from showEvent, after the layout was sized for empty captions.
    layout()->activate();
    // The page opens as wide as the preview (30 % would be too small to read), and the
    // zoom shows its value from the start.
    const int scrollBar = m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    setZoom(std::clamp(m_preview->zoomToFitWidth(m_scroll->viewport()->width() - scrollBar),
                       kZoomMin, kZoomMax));
    showZoom();
    emit defaultPointerRequested();
}

void frm_drucken::setCaptions()
{
    setWindowTitle(m_texts.ResText(6000));
    LblZoom->setText(m_texts.ResText(6010));
    m_printerLabel->setText(m_texts.ResText(6040));
    static_cast<QGroupBox *>(m_rangeFrame)->setTitle(m_texts.ResText(6050));
    Option1[0]->setText(m_texts.ResText(6060));
    Option1[1]->setText(m_texts.ResText(6070));
    Option1[2]->setText(m_texts.ResText(6080));
    m_toLabel->setText(m_texts.ResText(6090));
    Command1->setText(m_texts.ResText(6100));
    Command2->setText(m_texts.ResText(6110));
}

void frm_drucken::fillPrinterList()
{
    const QSignalBlocker block(cmb_drucker);
    cmb_drucker->clear();
    for (const QString &name : m_printers.names)
        cmb_drucker->addItem(name);
    // Printing need not end at "no printer": a PDF file can be written. The entry comes
    // after the printers and is told apart by its place, so a printer that happens to be
    // called like it is not mistaken for it.
    if (m_printers.pdf)
        cmb_drucker->addItem(m_texts.ResText(6270));
    Command1->setEnabled(cmb_drucker->count() > 0);
    // Without a current printer the first one stands in, so the list never shows nothing.
    const int current = std::max(0, int(m_printers.names.indexOf(m_printers.current)));
    cmb_drucker->setCurrentIndex(current);
    if (current < m_printers.names.size())
        m_printer->setPrinterName(m_printers.names.at(current));
}

void frm_drucken::applyPageSettings()
{
    m_printer->setPageOrientation(QPageLayout::Landscape);
    m_printer->setPageMargins(QMarginsF(kLeftMargin / 20, kTopMargin / 20, kRightMargin / 20,
                                        kBottomMargin / 20),
                              QPageLayout::Point);
    m_document.setBodyFont(PrintDocument::makeFont(QStringLiteral("Courier New"), 6, false));
    m_document.setHeaderFont(PrintDocument::makeFont(QStringLiteral("Courier New"), 12, true));
    m_document.setMargins({kTopMargin, kLeftMargin, kRightMargin, kBottomMargin});
    setZoom(kZoomAtStart);
}

QString frm_drucken::headerRowText(const Texts &texts)
{
    const QStringList header = {
        texts.ResText(6120), texts.ResText(6130), texts.ResText(6140), texts.ResText(6150),
        texts.ResText(6160), texts.ResText(6170), texts.ResText(6180), texts.ResText(6190),
        QStringLiteral("EIB"), texts.ResText(6200), texts.ResText(6210), texts.ResText(6220),
        texts.ResText(6240), texts.ResText(6250), texts.ResText(6260)};
    return header.join(QLatin1Char('|'));
}

namespace {

template <typename Cell> QStringList printedCells(const Cell &cell)
{
    QStringList cells;
    cells.reserve(int(frm_drucken::kPrintedGridColumns.size()));
    for (const int column : frm_drucken::kPrintedGridColumns) {
        QString text = cell(column);
        // ";" ends a row in the table syntax; the text lines may contain one.
        if (column >= 12 && column <= 14)
            text.replace(QLatin1Char(';'), QLatin1Char(','));
        cells << text;
    }
    return cells;
}

} // namespace

QStringList frm_drucken::bodyRowCells(const QAbstractItemModel &grid, int row)
{
    return printedCells(
        [&](int column) { return grid.index(row, column).data(Qt::DisplayRole).toString(); });
}

QStringList frm_drucken::bodyRowCells(const GridRowSource &rows, int row)
{
    return printedCells([&](int column) { return rows.cellText(row, column); });
}

void frm_drucken::buildDocument()
{
    QPageLayout layout = m_printer->pageLayout();
    m_pageSize = layout.pageSize();
    const QSizeF page = layout.fullRectPoints().size() * 20.0;
    m_document.setPageSize(page);
    m_document.setPageHeader(kVersionPrefix + m_source.versionText);
    m_document.setPageFooter(QStringLiteral(" "));

    m_document.startDoc();
    m_document.addTable(kTableFormat + headerRowText(m_texts));
    // Start, Quit and Stop: a date and its time stay on one line.
    m_document.setOneLineColumns({2, 3, 4});
    // The rows are read again for each page drawn: the document keeps none of them.
    if (const std::shared_ptr<const GridRowSource> rows = m_source.rows) {
        m_document.addTableRows(rows->rowCount(), [rows](int r) { return bodyRowCells(*rows, r); });
    } else if (const QAbstractItemModel *grid = m_source.grid.data()) {
        m_document.addTableRows(grid->rowCount(), [model = m_source.grid](int r) {
            return model ? bodyRowCells(*model, r) : QStringList();
        });
    }
    m_document.endDoc();

    PrintDocument::Margins margins = m_document.margins();
    margins.bottom = kFooterBottomMargin;
    m_document.setMargins(margins);
    const int pages = m_document.pageCount();
    const double y = page.height() - margins.bottom - kFooterAbove;
    const double pageNumberX = page.width() / 2 - kPageNumberLeftOfCentre;
    const QString today = DateStyle(m_texts.gLanguageOffset).date(QDate::currentDate());
    for (int p = 1; p <= pages; ++p) {
        // A long path is shortened in its middle rather than run into the page number.
        m_document.addOverlayText(p, {margins.left, y}, m_source.gFileName,
                                  pageNumberX - kFooterGap - margins.left);
        m_document.addOverlayText(p, {pageNumberX, y},
                                  m_texts.ResText(6020) + QString::number(p)
                                      + m_texts.ResText(6030) + QString::number(pages));
        m_document.addOverlayText(p, {page.width() - margins.right - kDateFromRight, y}, today);
    }
}

int frm_drucken::previewPage() const
{
    return m_preview->page();
}

int frm_drucken::zoom() const
{
    return m_preview->zoom();
}

void frm_drucken::showPreviewPage(int page)
{
    m_preview->setPage(page);
    updatePageLabel();
}

void frm_drucken::updatePageLabel()
{
    LblPrev->setText(m_texts.ResText(6020) + QString::number(m_preview->page())
                     + m_texts.ResText(6030) + QString::number(m_document.pageCount()));
}

void frm_drucken::setZoom(int zoom)
{
    m_preview->setZoom(zoom);
}

int frm_drucken::ZoomOut(int zoom)
{
    return std::max(kZoomMin, zoom - kZoomStep);
}

int frm_drucken::ZoomIn(int zoom)
{
    return std::min(kZoomMax, zoom + kZoomStep);
}

void frm_drucken::showZoom()
{
    LblZoom->setText(m_texts.ResText(6010) + QString::number(zoom()) + QStringLiteral(" %"));
}

void frm_drucken::CmdZoomMinus_Click()
{
    setZoom(ZoomOut(zoom()));
    showZoom();
}

void frm_drucken::CmdZoomPlus_Click()
{
    setZoom(ZoomIn(zoom()));
    showZoom();
}

bool frm_drucken::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_scroll->viewport() || event->type() != QEvent::Wheel)
        return QDialog::eventFilter(watched, event);
    const auto *wheel = static_cast<QWheelEvent *>(event);
    const int delta = wheel->angleDelta().y();
    if (delta == 0)
        return false;
    if (wheel->modifiers() & Qt::ControlModifier) {
        delta > 0 ? CmdZoomPlus_Click() : CmdZoomMinus_Click();
        return true;
    }
    // The wheel scrolls through a page and, at its end, on to the next one.
    QScrollBar *bar = m_scroll->verticalScrollBar();
    const int page = previewPage();
    if (delta < 0 && bar->value() >= bar->maximum() && page < m_document.pageCount()) {
        Cmdprev_Click(3);
        bar->setValue(bar->minimum());
        return true;
    }
    if (delta > 0 && bar->value() <= bar->minimum() && page > 1) {
        Cmdprev_Click(2);
        bar->setValue(bar->maximum());
        return true;
    }
    return false;
}

void frm_drucken::Cmdprev_Click(int index)
{
    const int pages = std::max(1, m_document.pageCount());
    int page = previewPage();
    switch (index) {
    case 1: page = 1; break;
    case 2: page = std::max(1, page - 1); break;
    case 3: page = std::min(pages, page + 1); break;
    case 4: page = pages; break;
    default: return;
    }
    showPreviewPage(page);
}

void frm_drucken::cmb_drucker_Click(int index)
{
    if (index < 0)
        return;
    // The PDF entry (after the printers) is set up when printing, with its file name.
    if (index < m_printers.names.size())
        m_printer->setPrinterName(m_printers.names.at(index));
    m_printer->setPageOrientation(QPageLayout::Landscape);
    m_printer->setPageMargins(QMarginsF(kLeftMargin / 20, kTopMargin / 20, kRightMargin / 20,
                                        kBottomMargin / 20),
                              QPageLayout::Point);
}

int frm_drucken::checkPageRange(const QString &first, const QString &last, int pageCount,
                                int *from, int *to)
{
    bool okFirst = false;
    bool okLast = false;
    const int f = first.trimmed().toInt(&okFirst);
    const int l = last.trimmed().toInt(&okLast);
    if (!okFirst || !okLast)
        return 6300;
    if (f > l)
        return 6310;
    if (f < 1 || l > pageCount)
        return 6320;
    *from = f;
    *to = l;
    return 0;
}

bool frm_drucken::preparePrinter()
{
    const int index = cmb_drucker->currentIndex();
    if (index < 0)
        return false;
    const bool pdf = index >= int(m_printers.names.size());
    if (pdf) {
        const QFileInfo his(m_source.gFileName);
        const QString dir = m_source.gFileName.isEmpty() ? QDir::homePath() : his.absolutePath();
        const QString suggested =
            (m_source.gFileName.isEmpty() ? QStringLiteral("QVR-History") : his.completeBaseName())
            + QStringLiteral(".pdf");
        QString file = m_asker.saveFileName(m_texts.ResText(6280), dir, m_texts.ResText(6290),
                                            suggested);
        if (file.isEmpty())
            return false;
        if (QFileInfo(file).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
            file += QStringLiteral(".pdf");
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(file);
    } else {
        m_printer->setOutputFormat(QPrinter::NativeFormat);
        m_printer->setPrinterName(m_printers.names.at(index));
        m_printer->setOutputFileName(QString());
    }
    // The pages were laid out for this paper; the printer takes the same.
    m_printer->setPageSize(m_pageSize);
    m_printer->setPageOrientation(QPageLayout::Landscape);
    return true;
}

void frm_drucken::Command1_Click()
{
    const int pages = m_document.pageCount();
    int from = 1;
    int to = pages;
    if (Option1[1]->isChecked()) {
        from = to = previewPage();
    } else if (Option1[2]->isChecked()) {
        switch (checkPageRange(Text1->text(), Text2->text(), pages, &from, &to)) {
        case 0:
            break;
        case 6300:
            m_asker.message(m_texts.ResText(6300), title(), Asker::Icon::Exclamation,
                            Asker::Buttons::Ok);
            return;
        case 6310:
            m_asker.message(m_texts.ResText(6310), title(), Asker::Icon::Exclamation,
                            Asker::Buttons::Ok);
            return;
        default:
            m_asker.message(m_texts.ResText(6320) + QString::number(pages) + QLatin1Char('.'),
                            title(), Asker::Icon::Exclamation, Asker::Buttons::Ok);
            return;
        }
    }
    if (!preparePrinter())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = m_document.print(m_printer.get(), from, to);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        m_asker.message(m_texts.ResText(6330), title(), Asker::Icon::Critical, Asker::Buttons::Ok);
        return;
    }
    Command2->setText(m_texts.ResText(6230));
}

void frm_drucken::done(int result)
{
    if (m_loaded && !m_unloaded) {
        m_unloaded = true;
        emit printToolButtonPressed(false);
    }
    QDialog::done(result);
}

} // namespace qvr
