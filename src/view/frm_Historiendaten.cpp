#include "frm_Historiendaten.h"

#include "GridCellFormatter.h"
#include "GridRecordReader.h"
#include "HistoryGridModel.h"
#include "ViewPointer.h"
#include "ViewState.h"
#include "core/Asker.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "frm_Warn_StormeldungPV.h"
#include "frm_Warn_StormeldungZL.h"
#include "store/BackgroundReader.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"

#include <QEvent>
#include <QHeaderView>
#include <QLocale>
#include <QMetaMethod>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>

#include <memory>
#include <utility>

namespace qvr {

namespace {
constexpr int kCaptionId = 5000;
constexpr int kUnreadableId = 5230;
constexpr int kEventCountId = 5240;
constexpr int kReadingId = 5250;
constexpr int kNoProgrammingId = 30130;
constexpr int kSqlErrorId = 30110;
constexpr int kDatabaseAnswerId = 2310;
constexpr int kTitleId = 1000;
// While a large file is selected these rows come first: more than a screen, and the rows
// the columns are sized by.
constexpr int kFirstRows = 1000;
// Work that takes longer shows a progress bar.
constexpr int kProgressDelayMs = 500;

int twipsToPixels(const QWidget &w, int twips)
{
    const int dpi = w.logicalDpiX() > 0 ? w.logicalDpiX() : 96;
    return int(qint64(twips) * dpi / 1440);
}
} // namespace

frm_Historiendaten::frm_Historiendaten(StoreState &store, ReadoutState &readout, ViewState &view,
                                       const Texts &texts, Asker &asker, QWidget *mainWindow,
                                       QWidget *parent)
    : QWidget(parent), m_store(store), m_readout(readout), m_view(view), m_texts(texts),
      m_asker(asker), m_mainWindow(mainWindow), m_grid(new QTableView(this)),
      m_model(new HistoryGridModel(store, this)), m_progress(new QProgressBar(this)),
      m_progressDelay(new QTimer(this))
{
    setObjectName(QStringLiteral("frm_Historiendaten"));
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_model->setBackgroundFrom(view.backgroundFrom);
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

    // An indicator without steps: how long the database needs is not known beforehand.
    m_progress->setObjectName(QStringLiteral("GridProgress"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_progressDelay->setSingleShot(true);
    m_progressDelay->setInterval(kProgressDelayMs);
    connect(m_progressDelay, &QTimer::timeout, this, [this] {
        // Over the foot of the grid, where it hides none of the first rows.
        const QRect grid = m_grid->geometry();
        const int height = m_progress->sizeHint().height();
        m_progress->setGeometry(grid.left() + 8, std::max(grid.top(), grid.bottom() - height - 24),
                                std::min(240, std::max(0, grid.width() - 16)), height);
        m_progress->raise();
        m_progress->show();
    });

    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { GridClick(0, column); });
    connect(m_grid, &QAbstractItemView::activated, this,
            [this](const QModelIndex &index) { GridClick(index.row() + 1, index.column()); });
    connect(m_model, &HistoryGridModel::sortingChanged, this, &frm_Historiendaten::updateBusy);
    connect(m_model, &HistoryGridModel::sortFailed, this, [this](const QString &error) {
        m_asker.message(m_texts.ResText(kUnreadableId) + QLatin1Char('\n') + error,
                        m_texts.ResText(kTitleId), Asker::Icon::Critical, Asker::Buttons::Ok);
    });

    Form_Load();
}

frm_Historiendaten::~frm_Historiendaten()
{
    if (m_loadGeneration != 0 && m_store.gDatabase)
        m_store.gDatabase->background().cancel(m_loadTicket);
}

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
    // OpenTable("HISTORY") and FillHistoryGrid, in the background for a large file.
    if (ok)
        ShowRecords(QString::fromLatin1(HistorySchema::HistorySql), Purpose::Load);
    else
        selectionFailed(Purpose::Load, error);

    if (m_readout.gReadoutErrors) {
        // A fixed text, the same in both languages.
        m_asker.message(QStringLiteral("Errors!"), m_texts.ResText(kTitleId), Asker::Icon::None,
                        Asker::Buttons::Ok);
    }
    m_readout.gReadoutErrors = false;
}

bool frm_Historiendaten::ShowRecords(const QString &sql, Purpose purpose)
{
    Database *db = m_store.gDatabase.get();
    // A newer selection replaces one still running, and the clicks that waited for it.
    if (m_loadGeneration != 0) {
        if (db)
            db->background().cancel(m_loadTicket);
        m_loadGeneration = 0;
        m_deferred.clear();
    }
    if (!db) {
        selectionFailed(purpose, QStringLiteral("No history file is open."));
        return false;
    }

    if (db->rowIdSpan(QString::fromLatin1(HistorySchema::HISTORY)) < m_model->backgroundFrom()) {
        QString error;
        std::unique_ptr<Recordset> rs = db->openRecordset(sql, &error);
        if (!rs) {
            selectionFailed(purpose, error);
            return false;
        }
        if (rs->absolutePosition() >= 0)
            rs->moveFirst();
        std::unique_ptr<Recordset> previous = std::move(m_store.gHistoryRecordset);
        m_store.gHistoryRecordset = std::move(rs);
        ClearHistoryGrid();
        if (!FillHistoryGrid(&error)) {
            if (purpose == Purpose::Filter)
                m_store.gHistoryRecordset = std::move(previous);
            selectionFailed(purpose, error);
            return false;
        }
        return true;
    }

    // The headers show at once, before any row.
    if (!m_model->hasFormatter()) {
        m_model->setRows(
            std::make_shared<const std::vector<qint64>>(),
            GridCellFormatter(m_texts, m_readout.gDeviceClass, m_readout.gTextLanguage));
        sizeColumns();
    }
    const quint64 generation = ++m_generations;
    m_loadGeneration = generation;
    auto all = std::make_shared<std::vector<qint64>>();
    m_loadTicket = db->background().run(
        this,
        [this, sql, all, generation](Database &reader, BackgroundReader::Job &job, QString *error) {
            auto first = std::make_shared<std::vector<qint64>>();
            if (!reader.selectRowIds(sql, kFirstRows, first.get(), error) || job.cancelled())
                return false;
            // Runs on the window's thread, and only while the window exists.
            job.post([this, first, generation] {
                if (generation == m_loadGeneration)
                    showFirstRows(std::move(*first));
            });
            return reader.selectRowIds(sql, -1, all.get(), error);
        },
        [this, sql, all, generation, purpose, db](BackgroundReader::Outcome outcome,
                                                  const QString &error) {
            if (generation != m_loadGeneration)
                return;
            m_loadGeneration = 0;
            if (outcome == BackgroundReader::Outcome::Done)
                recordsSelected(sql, all, purpose);
            else if (outcome == BackgroundReader::Outcome::Cancelled &&
                     m_store.gDatabase.get() != db)
                ShowRecords(sql, purpose); // the file was reopened under another name meanwhile
            else
                selectionFailed(purpose, error);
            updateBusy();
            runDeferred();
        });
    updateBusy();
    return true;
}

void frm_Historiendaten::showFirstRows(std::vector<qint64> ids)
{
    m_firstRowsShown = true;
    m_model->setRows(std::make_shared<const std::vector<qint64>>(std::move(ids)),
                     GridCellFormatter(m_texts, m_readout.gDeviceClass, m_readout.gTextLanguage));
    sizeColumns();
}

void frm_Historiendaten::recordsSelected(const QString &sql,
                                         std::shared_ptr<std::vector<qint64>> ids, Purpose purpose)
{
    QString error;
    Database *db = m_store.gDatabase.get();
    std::unique_ptr<Recordset> rs = db ? db->openRecordset(sql, std::move(ids), &error) : nullptr;
    if (!rs) {
        selectionFailed(purpose, db ? error : QStringLiteral("No history file is open."));
        return;
    }
    if (rs->absolutePosition() >= 0)
        rs->moveFirst();
    std::unique_ptr<Recordset> previous = std::move(m_store.gHistoryRecordset);
    m_store.gHistoryRecordset = std::move(rs);
    const bool extending = m_firstRowsShown;
    m_firstRowsShown = false;
    if (!fill(extending, &error)) {
        if (purpose == Purpose::Filter)
            m_store.gHistoryRecordset = std::move(previous);
        selectionFailed(purpose, error);
    }
}

void frm_Historiendaten::selectionFailed(Purpose purpose, const QString &error)
{
    const bool firstRowsShown = m_firstRowsShown;
    m_firstRowsShown = false;
    m_deferred.clear();
    if (purpose == Purpose::Load) {
        m_model->setRows(
            std::make_shared<const std::vector<qint64>>(),
            GridCellFormatter(m_texts, m_readout.gDeviceClass, m_readout.gTextLanguage));
        sizeColumns();
        m_loadError = error;
        m_asker.message(m_texts.ResText(kUnreadableId) + QLatin1Char('\n') + error,
                        m_texts.ResText(kTitleId), Asker::Icon::Critical, Asker::Buttons::Ok);
        return;
    }
    // The grid shows gHistoryRecordset again.
    if (firstRowsShown || m_model->rowCount() == 0) {
        ClearHistoryGrid();
        FillHistoryGrid();
    }
    ViewPointer::restoreDefault();
    // A clause the database accepted can still fail while the rows are selected: the
    // database's reason stands under its caption, as for a refused clause.
    QString text = m_texts.ResText(kSqlErrorId);
    if (!error.trimmed().isEmpty())
        text += QStringLiteral("\n\n") + m_texts.ResText(kDatabaseAnswerId) + QLatin1Char('\n') +
                error.trimmed();
    m_asker.message(text, m_texts.ResText(kTitleId), Asker::Icon::Critical, Asker::Buttons::Ok,
                    true);
}

bool frm_Historiendaten::FillHistoryGrid(QString *error)
{
    return fill(false, error);
}

bool frm_Historiendaten::fill(bool extending, QString *error)
{
    const Recordset *rs = m_store.gHistoryRecordset.get();
    bool ok = true;
    // Every field a cell is made of must be there; rows are read later, as they are drawn.
    for (const QString &name : GridRecordReader::fieldNames()) {
        if (rs && rs->fieldIndex(name) < 0) {
            if (error)
                *error = QStringLiteral("Field %1 is missing.").arg(name);
            ok = false;
            break;
        }
    }
    std::shared_ptr<const std::vector<qint64>> ids = ok && rs ? rs->rowIds() : nullptr;
    m_model->setRows(ids ? ids : std::make_shared<const std::vector<qint64>>(),
                     GridCellFormatter(m_texts, m_readout.gDeviceClass, m_readout.gTextLanguage),
                     extending);
    if (!extending)
        sizeColumns();
    setStatusText(m_texts.ResText(kEventCountId).arg(QLocale().toString(m_model->rowCount())));
    return ok;
}

void frm_Historiendaten::sizeColumns()
{
    m_grid->horizontalHeader()->setSortIndicatorShown(false);
    for (int c = 0; c < GridCellFormatter::ColumnCount; ++c)
        m_grid->setColumnHidden(c, false);
    // Qt sizes by the rows around the visible ones (1000 at most), never by all of them.
    if (m_model->rowCount() > 0)
        m_grid->resizeColumnsToContents();
    for (int c : {GridCellFormatter::StartSortColumn, GridCellFormatter::QuitSortColumn,
                  GridCellFormatter::StopSortColumn})
        m_grid->setColumnHidden(c, true);
}

void frm_Historiendaten::RefreshLanguage()
{
    setWindowTitle(m_texts.ResText(kCaptionId));
    if (m_model->hasFormatter())
        m_model->setFormatter(
            GridCellFormatter(m_texts, m_readout.gDeviceClass, m_readout.gTextLanguage));
    setStatusText(
        isBusy() ? m_texts.ResText(kReadingId)
                 : m_texts.ResText(kEventCountId).arg(QLocale().toString(m_model->rowCount())));
}

void frm_Historiendaten::ClearHistoryGrid()
{
    m_model->clear();
}

bool frm_Historiendaten::isBusy() const
{
    return m_loadGeneration != 0 || m_model->isSorting() || !m_deferred.isEmpty();
}

void frm_Historiendaten::finishBackgroundWork()
{
    if (isBusy() && m_store.gDatabase)
        m_store.gDatabase->background().waitForIdle();
}

void frm_Historiendaten::updateBusy()
{
    const bool busy = isBusy();
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy) {
        m_progressDelay->start();
        setStatusText(m_texts.ResText(kReadingId));
    } else {
        m_progressDelay->stop();
        m_progress->hide();
        setStatusText(m_texts.ResText(kEventCountId).arg(QLocale().toString(m_model->rowCount())));
    }
    emit busyChanged(busy);
}

void frm_Historiendaten::setStatusText(const QString &text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged(text);
}

void frm_Historiendaten::runDeferred()
{
    if (m_deferred.isEmpty())
        return;
    // From a clean stack: a deferred row click may open a modal window.
    QTimer::singleShot(0, this, [this] {
        const QList<std::function<void()>> actions = std::exchange(m_deferred, {});
        for (const auto &action : actions)
            action();
        updateBusy();
    });
}

void frm_Historiendaten::GridClick(int row, int column)
{
    if (column < 0 || column >= GridCellFormatter::ColumnCount || row < 0
        || row > m_model->rowCount())
        return;
    // While a record set is selected a sort waits for it, and so does a click on a row of
    // its first screen (those rows keep their places); a row of the set shown before is
    // still gHistoryRecordset's.
    if ((row == 0 && m_loadGeneration != 0) || (row > 0 && m_firstRowsShown)) {
        m_deferred.append([this, row, column] { GridClick(row, column); });
        return;
    }
    if (row == 0)
        sortByHeader(column);
    else
        openRowDetail(row);
}

void frm_Historiendaten::sortByHeader(int column)
{
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
    header->setSortIndicator(column,
                             m_view.gGridSortOrder == 3 ? Qt::AscendingOrder : Qt::DescendingOrder);
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        m_grid->setCurrentIndex(m_model->index(current.row(), 0));
}

void frm_Historiendaten::openRowDetail(int row)
{
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
