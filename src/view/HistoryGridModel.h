#pragma once

#include "GridCellFormatter.h"
#include "GridRowSource.h"
#include "GridSortOrder.h"

#include <QAbstractTableModel>

#include <memory>
#include <optional>
#include <vector>

namespace qvr {

class StoreState;

// The history grid as a table model: one row per record of the history record set, 18
// text columns. The model keeps the record set's row ids and the order shown, nothing
// more; rows are read from the database as they are drawn (GridRowSource) and turned into
// text then. Sorting is done by the database: at once for a small set, in the background
// reader for a large one, so the window never waits. Row r of the model is event row
// r + 1 of the grid (the header row is the view's header).
class HistoryGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using SortCode = GridSortOrder::SortCode;
    static constexpr SortCode NumericAscending = GridSortOrder::NumericAscending;
    static constexpr SortCode NumericDescending = GridSortOrder::NumericDescending;
    static constexpr SortCode TextAscending = GridSortOrder::TextAscending;
    static constexpr SortCode TextDescending = GridSortOrder::TextDescending;
    explicit HistoryGridModel(StoreState &store, QObject *parent = nullptr);
    ~HistoryGridModel() override;

    // Shows a record set's rows (`ids`, in its order) with the texts of `formatter`; the
    // sorts shown before are forgotten. With `extending`, `ids` continue the rows shown
    // (the first screen shown while the rest was selected): they are appended, and what
    // the view has selected and where it stands stay.
    void setRows(std::shared_ptr<const std::vector<qint64>> ids, const GridCellFormatter &formatter,
                 bool extending = false);
    // Header row only.
    void clear();
    // The same rows in the same order with the texts of `formatter` (the language changed).
    void setFormatter(const GridCellFormatter &formatter);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The text of displayed row `row` (0-based, in the order on screen) and column `column`.
    QString cellText(int row, int column) const;
    // The 0-based position in the record set of the event on displayed row `row`.
    qsizetype recordPosition(int row) const;

    // Reorders the rows by `column` with one of the sort codes. Rows with equal keys keep
    // their previous order. A large set is sorted in the background: the rows keep their
    // order until sortingChanged(false); clicks meanwhile are applied after it, in order.
    void sortRows(int column, SortCode code);
    bool isSorting() const { return m_sortGeneration != 0; }
    // Sets from this size on are sorted in the background (ViewState::backgroundFrom).
    void setBackgroundFrom(qint64 rows) { m_backgroundFrom = rows; }
    qint64 backgroundFrom() const { return m_backgroundFrom; }

    // The rows as shown, for a printout or an export: a copy with its own reads, which a
    // later sort or refill of the grid does not change.
    GridRowSource rows() const { return m_rows; }
    bool hasFormatter() const { return m_rows.formatter() != nullptr; }

signals:
    void sortingChanged(bool sorting);
    // A sort the database could not do; the rows stay as they were.
    void sortFailed(const QString &error);

private:
    // Sorts the rows by the clicks waiting, on top of the order shown.
    void startSort();
    void stopSort();
    void applyOrder(std::vector<int> order);

    StoreState &m_store;
    GridRowSource m_rows;
    GridSortOrder m_waiting; // clicks not yet applied
    qint64 m_backgroundFrom = 20000;
    quint64 m_sortGeneration = 0; // of the sort running in the background, 0 when none
    quint64 m_sortTicket = 0;
    quint64 m_generations = 0;
};

} // namespace qvr
