#include "frm_Historiendaten.h"

#include "GridCellFormatter.h"
#include "GridRecordReader.h"
#include "HistoryGridModel.h"
#include "ViewPointer.h"
#include "ViewState.h"
#include "frm_Warn_StormeldungPV.h"
#include "frm_Warn_StormeldungZL.h"
#include "core/Asker.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"

#include <QEvent>
#include <QHeaderView>
#include <QMetaMethod>
#include <QTableView>

#include <memory>

namespace qvr {

namespace {
constexpr int kCaptionId = 5000;
constexpr int kUnreadableId = 5230;
constexpr int kNoProgrammingId = 30130;
constexpr int kTitleId = 1000;

int twipsToPixels(const QWidget &w, int twips)
{
    const int dpi = w.logicalDpiX() > 0 ? w.logicalDpiX() : 96;
    return int(qint64(twips) * dpi / 1440);
}
} // namespace

frm_Historiendaten::frm_Historiendaten(StoreState &store, ReadoutState &readout,
                                       ViewState &view, const Texts &texts, Asker &asker,
                                       QWidget *mainWindow, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_readout(readout)
    , m_view(view)
    , m_texts(texts)
    , m_asker(asker)
    , m_mainWindow(mainWindow)
    , m_grid(new QTableView(this))
    , m_model(new HistoryGridModel(this))
{
    setObjectName(QStringLiteral("frm_Historiendaten"));
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setModel(m_model);
    m_grid->setSortingEnabled(false);
    m_grid->setWordWrap(false);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_grid->horizontalHeader()->setSortIndicatorShown(false);
    m_grid->horizontalHeader()->setHighlightSections(false);

    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { GridClick(0, column); });
    connect(m_grid, &QAbstractItemView::activated, this,
            [this](const QModelIndex &index) { GridClick(index.row() + 1, index.column()); });

    Form_Load();
}

frm_Historiendaten::~frm_Historiendaten() = default;

void frm_Historiendaten::resizeToMainWindow(const QSize &mainSize)
{
    QWidget *frame = parentWidget() && parentWidget()->inherits("QMdiSubWindow") ? parentWidget()
                                                                                  : this;
    frame->setGeometry(0, 0, mainSize.width(), mainSize.height());
    m_grid->setGeometry(0, 0,
                        std::max(0, mainSize.width() - twipsToPixels(*this, 1000)),
                        std::max(0, mainSize.height() - twipsToPixels(*this, 2000)));
}

void frm_Historiendaten::Form_Load()
{
    if (m_mainWindow)
        resizeToMainWindow(m_mainWindow->size());
    setWindowTitle(m_texts.ResText(kCaptionId));

    QString error;
    bool ok = m_store.gDatabase != nullptr;
    if (!ok)
        error = QStringLiteral("No history file is open.");

    if (ok) {
        const auto lumo = m_store.gDatabase->openRecordset(QStringLiteral("Select * From LumoHistory"),
                                                           &error);
        ok = lumo != nullptr;
        if (ok) {
            QString language;
            QString deviceClass;
            if (lumo->recordCount() > 0 && lumo->moveFirst()) {
                language = lumo->field(QString::fromLatin1(HistorySchema::Meldetextsprache)).toString();
                deviceClass = lumo->field(QString::fromLatin1(HistorySchema::Geraet)).toString();
            }
            m_readout.gTextLanguage = language;
            m_readout.gDeviceClass = deviceClass.isEmpty() ? QStringLiteral("ZL") : deviceClass;
        }
    }
    if (ok)
        ok = HistorySchema::OpenTable(m_store, QString::fromLatin1(HistorySchema::HISTORY), &error);
    if (ok)
        ok = FillHistoryGrid(&error);

    if (!ok) {
        m_loadError = error;
        m_asker.message(m_texts.ResText(kUnreadableId) + QLatin1Char('\n') + error,
                        m_texts.ResText(kTitleId), Asker::Icon::Critical, Asker::Buttons::Ok);
    }

    if (m_readout.gReadoutErrors) {
        // A fixed text, the same in both languages.
        m_asker.message(QStringLiteral("Errors!"), m_texts.ResText(kTitleId), Asker::Icon::None,
                        Asker::Buttons::Ok);
    }
    m_readout.gReadoutErrors = false;
}

bool frm_Historiendaten::FillHistoryGrid(QString *error)
{
    std::vector<GridRecord> records;
    const Recordset *rs = m_store.gHistoryRecordset.get();
    bool ok = true;
    if (rs)
        ok = GridRecordReader::readAll(*rs, &records, error);
    if (!ok)
        records.clear();
    const bool empty = records.empty();

    m_model->setRecords(std::move(records),
                        GridCellFormatter(m_texts, m_readout.gDeviceClass, m_readout.gTextLanguage));
    m_grid->horizontalHeader()->setSortIndicatorShown(false);
    for (int c = 0; c < GridCellFormatter::ColumnCount; ++c)
        m_grid->setColumnHidden(c, false);
    if (!empty)
        m_grid->resizeColumnsToContents();
    for (int c : {GridCellFormatter::StartSortColumn, GridCellFormatter::QuitSortColumn,
                  GridCellFormatter::StopSortColumn})
        m_grid->setColumnHidden(c, true);
    return ok;
}

void frm_Historiendaten::ClearHistoryGrid()
{
    m_model->clear();
}

void frm_Historiendaten::GridClick(int row, int column)
{
    if (column < 0 || column >= GridCellFormatter::ColumnCount || row < 0
        || row > m_model->rowCount())
        return;

    if (row == 0) {
        // The date columns sort by their hidden key; one direction for every column.
        int sortColumn = column;
        if (column == 2 || column == 4 || column == 6)
            sortColumn = column + 1;
        HistoryGridModel::SortCode code;
        if (m_view.gGridSortOrder != 3) {
            code = column <= 7 ? HistoryGridModel::NumericAscending : HistoryGridModel::TextAscending;
            m_view.gGridSortOrder = 3;
        } else {
            code = column <= 7 ? HistoryGridModel::NumericDescending : HistoryGridModel::TextDescending;
            m_view.gGridSortOrder = 4;
        }
        m_model->sortRows(sortColumn, code);
        QHeaderView *header = m_grid->horizontalHeader();
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, m_view.gGridSortOrder == 3 ? Qt::AscendingOrder
                                                                     : Qt::DescendingOrder);
        const QModelIndex current = m_grid->currentIndex();
        if (current.isValid())
            m_grid->setCurrentIndex(m_model->index(current.row(), 0));
        return;
    }

    m_grid->setCurrentIndex(m_model->index(row - 1, 0));
    // The "Nr." cell names the record, whatever order the rows are shown in.
    bool numberOk = false;
    const int number = m_model->cellText(row - 1, 0).toInt(&numberOk);
    Recordset *rs = m_store.gHistoryRecordset.get();
    if (!numberOk || !rs || !rs->setAbsolutePosition(number - 1))
        return;

    const int lamp = rs->field(QString::fromLatin1(HistorySchema::Meldeleuchte)).toInt();
    if (lamp == 1 || lamp == 2) {
        ViewPointer::showHourglass();
        const bool pvWindow = m_readout.gDeviceClass == QLatin1String("RQ")
                              || m_readout.gDeviceClass == QLatin1String("PV");
        const DetailWindow window = pvWindow ? DetailWindow::PV : DetailWindow::ZL;
        emit detailViewRequested(window);
        // A receiver shows the window itself; without one the grid does.
        if (!isSignalConnected(QMetaMethod::fromSignal(&frm_Historiendaten::detailViewRequested)))
            showDetailWindow(window);
        // Nothing may be listening yet; the pointer must not stay an hourglass.
        ViewPointer::restoreDefault();
    } else {
        m_asker.message(m_texts.ResText(kNoProgrammingId), m_texts.ResText(kTitleId),
                        Asker::Icon::Critical, Asker::Buttons::Ok, true);
    }
    m_grid->setCurrentIndex(m_model->index(row - 1, 0));
}

void frm_Historiendaten::showDetailWindow(DetailWindow window)
{
    std::unique_ptr<frm_Warn_StormeldungBase> detail;
    if (window == DetailWindow::PV)
        detail = std::make_unique<frm_Warn_StormeldungPV>(m_store, m_readout, m_texts, this);
    else
        detail = std::make_unique<frm_Warn_StormeldungZL>(m_store, m_readout, m_texts, this);
    detail->exec();
}

bool frm_Historiendaten::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show)
        ViewPointer::restoreDefault();
    return QWidget::event(e);
}

} // namespace qvr
