#pragma once

#include "GridCellFormatter.h"
#include "GridRecord.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qvr {

class StoreState;

// The rows of the history grid as shown — the record set's rows (its row ids), in the order
// of the last sort, with the grid's cell texts — read from the open database as they are
// asked for, in blocks of neighbouring rows, with a bounded cache: a million rows never
// sit in memory. The grid draws through it; a printout or an export takes a copy (same
// rows, same order, its own cache) and walks it from row 0 to rowCount() - 1:
//
//     for (int row = 0; row < rows.rowCount(); ++row)
//         for (int column : columns)
//             out << rows.cellText(row, column);
//
// No widgets: the command line can use it too. Rows that no longer exist show as an empty
// event.
class GridRowSource
{
public:
    GridRowSource() = default;
    // `ids`: the record set's row ids in its order; `order`: the record set positions in the
    // order shown (null: the record set's order). Rows are read from `store.gDatabase`.
    GridRowSource(StoreState &store, std::shared_ptr<const std::vector<qint64>> ids,
                  std::shared_ptr<const std::vector<int>> order, const GridCellFormatter &formatter,
                  const QString &table = QStringLiteral("HISTORY"));
    // A copy has the same rows and order and an empty cache of its own.
    GridRowSource(const GridRowSource &other);
    GridRowSource &operator=(const GridRowSource &other);

    int rowCount() const;
    // The 0-based position in the record set of the event on row `row` ("Nr." - 1).
    qsizetype recordPosition(int row) const;
    // The event on row `row` (an empty one outside the rows).
    const GridRecord &record(int row) const;
    QString cellText(int row, int column) const;
    const GridCellFormatter *formatter() const { return m_formatter ? &*m_formatter : nullptr; }
    // Other texts for the same rows (another language); the rows read so far stay.
    void setFormatter(const GridCellFormatter &formatter) { m_formatter = formatter; }

    std::shared_ptr<const std::vector<qint64>> rowIds() const { return m_ids; }
    std::shared_ptr<const std::vector<int>> order() const { return m_order; }
    // The last read that failed, empty when none did.
    QString lastError() const { return m_lastError; }

    static constexpr int kBlockRows = 128;
    static constexpr int kCachedBlocks = 32;

private:
    struct Block
    {
        int first = -1;
        quint64 used = 0;
        std::vector<GridRecord> records;
    };
    const Block &block(int first) const;

    StoreState *m_store = nullptr;
    QString m_table;
    std::shared_ptr<const std::vector<qint64>> m_ids;
    std::shared_ptr<const std::vector<int>> m_order;
    std::optional<GridCellFormatter> m_formatter;
    mutable std::vector<Block> m_blocks;
    mutable quint64 m_clock = 0;
    mutable QString m_lastError;
};

} // namespace qvr
