#include "HistoryGridModel.h"

#include "store/BackgroundReader.h"
#include "store/StoreState.h"

#include <algorithm>

namespace qvr {

HistoryGridModel::HistoryGridModel(StoreState &store, QObject *parent)
    : QAbstractTableModel(parent), m_store(store)
{
}

HistoryGridModel::~HistoryGridModel()
{
    if (m_sortGeneration != 0 && m_store.gDatabase)
        m_store.gDatabase->background().cancel(m_sortTicket);
}

void HistoryGridModel::stopSort()
{
    m_waiting.clear();
    if (m_sortGeneration != 0) {
        if (m_store.gDatabase)
            m_store.gDatabase->background().cancel(m_sortTicket);
        m_sortGeneration = 0;
        emit sortingChanged(false);
    }
}

void HistoryGridModel::setRows(std::shared_ptr<const std::vector<qint64>> ids,
                               const GridCellFormatter &formatter, bool extending)
{
    stopSort();
    const std::shared_ptr<const std::vector<qint64>> shown = m_rows.rowIds();
    const size_t before = shown ? shown->size() : 0;
    const bool append = extending && !m_rows.order() && ids && ids->size() > before &&
                        std::equal(shown->cbegin(), shown->cend(), ids->cbegin());
    GridRowSource rows(m_store, std::move(ids), nullptr, formatter);
    if (append) {
        beginInsertRows(QModelIndex(), int(before), rows.rowCount() - 1);
        m_rows = rows;
        endInsertRows();
    } else if (extending && before == size_t(rows.rowCount()) && !m_rows.order()) {
        m_rows = rows; // the first screen was all of it
    } else {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }
    emit headerDataChanged(Qt::Horizontal, 0, GridCellFormatter::ColumnCount - 1);
}

void HistoryGridModel::setFormatter(const GridCellFormatter &formatter)
{
    m_rows.setFormatter(formatter);
    emit headerDataChanged(Qt::Horizontal, 0, GridCellFormatter::ColumnCount - 1);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, GridCellFormatter::ColumnCount - 1));
}

void HistoryGridModel::clear()
{
    stopSort();
    beginResetModel();
    const GridCellFormatter *formatter = m_rows.formatter();
    m_rows = formatter ? GridRowSource(m_store, nullptr, nullptr, *formatter) : GridRowSource();
    endResetModel();
}

int HistoryGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.rowCount();
}

int HistoryGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : GridCellFormatter::ColumnCount;
}

QVariant HistoryGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            GridCellFormatter::alignmentFromCode(GridCellFormatter::alignmentCode(index.column())));
    default:
        return {};
    }
}

QVariant HistoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= GridCellFormatter::ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return m_rows.formatter() ? m_rows.formatter()->headerText(section) : QString();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

QString HistoryGridModel::cellText(int row, int column) const
{
    return m_rows.cellText(row, column);
}

qsizetype HistoryGridModel::recordPosition(int row) const
{
    return m_rows.recordPosition(row);
}

void HistoryGridModel::sortRows(int column, SortCode code)
{
    if (!m_rows.formatter() || column < 0 || column >= GridCellFormatter::ColumnCount ||
        rowCount() < 2 || !m_store.gDatabase)
        return;
    m_waiting.add(column, code);
    // A sort still running goes first; this one then sorts its result.
    if (m_sortGeneration == 0)
        startSort();
}

void HistoryGridModel::startSort()
{
    Database *db = m_store.gDatabase.get();
    const QList<OrderKey> keys = m_waiting.keys(*m_rows.formatter());
    m_waiting.clear();
    const std::shared_ptr<const std::vector<qint64>> ids = m_rows.rowIds();
    const std::shared_ptr<const std::vector<int>> previous = m_rows.order();
    const QString table = QStringLiteral("HISTORY");
    if (!db)
        return;

    if (qint64(ids->size()) < m_backgroundFrom) {
        std::vector<int> order;
        QString error;
        if (db->orderRows(table, *ids, keys, previous.get(), &order, &error))
            applyOrder(std::move(order));
        else
            emit sortFailed(error);
        return;
    }

    const bool wasSorting = m_sortGeneration != 0;
    const quint64 generation = ++m_generations;
    m_sortGeneration = generation;
    auto result = std::make_shared<std::vector<int>>();
    m_sortTicket = db->background().run(
        this,
        [table, ids, keys, previous, result](Database &reader, BackgroundReader::Job &,
                                             QString *error) {
            return reader.orderRows(table, *ids, keys, previous.get(), result.get(), error);
        },
        [this, generation, ids, result](BackgroundReader::Outcome outcome, const QString &error) {
            if (generation != m_sortGeneration)
                return;
            m_sortGeneration = 0;
            if (outcome == BackgroundReader::Outcome::Done && m_rows.rowIds() == ids)
                applyOrder(std::move(*result));
            else if (outcome == BackgroundReader::Outcome::Failed)
                emit sortFailed(error);
            if (!m_waiting.isEmpty() && outcome == BackgroundReader::Outcome::Done)
                startSort();
            else
                m_waiting.clear();
            if (m_sortGeneration == 0)
                emit sortingChanged(false);
        });
    if (!wasSorting)
        emit sortingChanged(true);
}

void HistoryGridModel::applyOrder(std::vector<int> order)
{
    const size_t n = size_t(rowCount());
    // Rows that vanished from the table since keep their places at the end.
    if (order.size() != n) {
        std::vector<char> seen(n, 0);
        for (int p : order)
            if (p >= 0 && size_t(p) < n)
                seen[size_t(p)] = 1;
        for (int row = 0; row < int(n); ++row) {
            const qsizetype p = m_rows.recordPosition(row);
            if (!seen[size_t(p)])
                order.push_back(int(p));
        }
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Selections and the current cell follow their event to its new row.
    std::vector<int> newRowOf(n);
    for (size_t row = 0; row < n; ++row)
        newRowOf[size_t(order[row])] = int(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &idx : before)
        after.append(index(newRowOf[size_t(m_rows.recordPosition(idx.row()))], idx.column()));
    m_rows = GridRowSource(m_store, m_rows.rowIds(),
                           std::make_shared<const std::vector<int>>(std::move(order)),
                           *m_rows.formatter());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace qvr
