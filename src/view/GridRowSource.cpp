#include "GridRowSource.h"

#include "GridRecordReader.h"
#include "store/StoreState.h"

namespace qvr {

GridRowSource::GridRowSource(StoreState &store, std::shared_ptr<const std::vector<qint64>> ids,
                             std::shared_ptr<const std::vector<int>> order,
                             const GridCellFormatter &formatter, const QString &table)
    : m_store(&store), m_table(table), m_ids(std::move(ids)), m_order(std::move(order)),
      m_formatter(formatter)
{
}

GridRowSource::GridRowSource(const GridRowSource &other)
    : m_store(other.m_store), m_table(other.m_table), m_ids(other.m_ids), m_order(other.m_order),
      m_formatter(other.m_formatter)
{
}

GridRowSource &GridRowSource::operator=(const GridRowSource &other)
{
    if (this != &other) {
        m_store = other.m_store;
        m_table = other.m_table;
        m_ids = other.m_ids;
        m_order = other.m_order;
        m_formatter = other.m_formatter;
        m_blocks.clear();
        m_lastError.clear();
    }
    return *this;
}

int GridRowSource::rowCount() const
{
    return m_ids ? int(m_ids->size()) : 0;
}

qsizetype GridRowSource::recordPosition(int row) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    return m_order ? (*m_order)[size_t(row)] : row;
}

QString GridRowSource::cellText(int row, int column) const
{
    if (row < 0 || row >= rowCount() || !m_formatter)
        return {};
    return m_formatter->cellText(record(row), recordPosition(row), column);
}

const GridRecord &GridRowSource::record(int row) const
{
    static const GridRecord empty;
    if (row < 0 || row >= rowCount())
        return empty;
    const int first = row - row % kBlockRows;
    return block(first).records[size_t(row - first)];
}

const GridRowSource::Block &GridRowSource::block(int first) const
{
    for (Block &b : m_blocks) {
        if (b.first == first) {
            b.used = ++m_clock;
            return b;
        }
    }
    // The least recently used block makes room.
    Block *slot = nullptr;
    if (int(m_blocks.size()) < kCachedBlocks) {
        slot = &m_blocks.emplace_back();
    } else {
        slot = &m_blocks.front();
        for (Block &b : m_blocks)
            if (b.used < slot->used)
                slot = &b;
    }
    const int count = std::min(kBlockRows, rowCount() - first);
    slot->first = first;
    slot->used = ++m_clock;
    slot->records.assign(size_t(count), GridRecord());
    std::vector<qint64> ids(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        ids[size_t(i)] = (*m_ids)[size_t(recordPosition(first + i))];
    Database *db = m_store ? m_store->gDatabase.get() : nullptr;
    QString error;
    if (!db) {
        m_lastError = QStringLiteral("No history file is open.");
    } else if (!db->readRows(
                   m_table, GridRecordReader::fieldNames(), ids.data(), count,
                   [slot](int i, const QVariant *values) {
                       slot->records[size_t(i)] = GridRecordReader::fromValues(values);
                   },
                   &error)) {
        m_lastError = error;
    }
    return *slot;
}

} // namespace qvr
