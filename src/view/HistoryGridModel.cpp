#include "HistoryGridModel.h"

#include <algorithm>
#include <numeric>

namespace qvr {

HistoryGridModel::HistoryGridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void HistoryGridModel::setRecords(std::vector<GridRecord> records,
                                  const GridCellFormatter &formatter)
{
    beginResetModel();
    m_records = std::move(records);
    m_order.resize(m_records.size());
    std::iota(m_order.begin(), m_order.end(), qsizetype(0));
    m_formatter = formatter;
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, GridCellFormatter::ColumnCount - 1);
}

void HistoryGridModel::clear()
{
    beginResetModel();
    m_records.clear();
    m_records.shrink_to_fit();
    m_order.clear();
    m_order.shrink_to_fit();
    endResetModel();
}

int HistoryGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
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
        return m_formatter ? m_formatter->headerText(section) : QString();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

QString HistoryGridModel::cellText(int row, int column) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_order.size() || !m_formatter)
        return {};
    const qsizetype pos = m_order[static_cast<std::size_t>(row)];
    return m_formatter->cellText(m_records[static_cast<std::size_t>(pos)], pos, column);
}

qsizetype HistoryGridModel::recordPosition(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_order.size())
        return -1;
    return m_order[static_cast<std::size_t>(row)];
}

void HistoryGridModel::sortRows(int column, SortCode code)
{
    if (!m_formatter || column < 0 || column >= GridCellFormatter::ColumnCount
        || m_order.size() < 2)
        return;
    const GridCellFormatter &fmt = *m_formatter;
    const std::size_t n = m_records.size();
    std::vector<qsizetype> order = m_order;

    if (code == NumericAscending || code == NumericDescending) {
        // Empty cells sort below every number.
        std::vector<std::pair<bool, double>> keys(n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto k = fmt.numericKey(m_records[i], qsizetype(i), column);
            keys[i] = {k.has_value(), k.value_or(0.0)};
        }
        if (code == NumericAscending)
            std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
                return keys[std::size_t(a)] < keys[std::size_t(b)];
            });
        else
            std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
                return keys[std::size_t(b)] < keys[std::size_t(a)];
            });
    } else {
        std::vector<QString> keys(n);
        for (std::size_t i = 0; i < n; ++i)
            keys[i] = fmt.cellText(m_records[i], qsizetype(i), column).toCaseFolded();
        if (code == TextAscending)
            std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
                return keys[std::size_t(a)] < keys[std::size_t(b)];
            });
        else
            std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
                return keys[std::size_t(b)] < keys[std::size_t(a)];
            });
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Selections and the current cell follow their event to its new row.
    std::vector<int> newRowOf(n);
    for (std::size_t row = 0; row < n; ++row)
        newRowOf[std::size_t(order[row])] = int(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &idx : before) {
        const qsizetype pos = m_order[std::size_t(idx.row())];
        after.append(index(newRowOf[std::size_t(pos)], idx.column()));
    }
    m_order = std::move(order);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace qvr
