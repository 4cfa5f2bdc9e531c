#pragma once

#include "GridCellFormatter.h"
#include "GridRecord.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace qvr {

// The history grid as a table model: one row per record of the history record set, 18
// text columns. Rows are kept as raw fields and turned into text only when a cell is
// drawn, printed or sorted; sorting permutes an index vector, never the records. Row r
// of the model is event row r + 1 of the grid (the header row is the view's header).
class HistoryGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The grid control's sort codes.
    enum SortCode {
        NumericAscending = 3,
        NumericDescending = 4,
        TextAscending = 5,
        TextDescending = 6,
    };

    explicit HistoryGridModel(QObject *parent = nullptr);

    // Shows `records` in record-set order; `formatter` fixes the cell texts.
    void setRecords(std::vector<GridRecord> records, const GridCellFormatter &formatter);
    // Header row only.
    void clear();

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
    // their previous order.
    void sortRows(int column, SortCode code);

    bool hasFormatter() const { return m_formatter.has_value(); }

private:
    std::vector<GridRecord> m_records;
    std::vector<qsizetype> m_order; // displayed row -> record position
    std::optional<GridCellFormatter> m_formatter;
};

} // namespace qvr
