#include "GridSortOrder.h"

#include "GridCellFormatter.h"
#include "GridRecordReader.h"

#include <memory>

namespace qvr {

void GridSortOrder::add(int column, SortCode code)
{
    const Step step{column, code == NumericAscending || code == NumericDescending,
                    code == NumericDescending || code == TextDescending};
    m_steps.removeIf(
        [&](const Step &s) { return s.column == step.column && s.numeric == step.numeric; });
    m_steps.prepend(step);
}

QList<OrderKey> GridSortOrder::keys(const GridCellFormatter &formatter) const
{
    const auto shared = std::make_shared<const GridCellFormatter>(formatter);
    QList<OrderKey> keys;
    for (const Step &step : m_steps) {
        const QList<GridRecord::Field> fields = GridCellFormatter::sourceFields(step.column);
        OrderKey key;
        for (GridRecord::Field f : fields)
            key.fields << GridRecordReader::fieldNames().at(f);
        key.descending = step.descending;
        key.value = [shared, fields, column = step.column, numeric = step.numeric](
                        const QVariant *values, qsizetype position) -> QVariant {
            GridRecord record;
            for (qsizetype i = 0; i < fields.size(); ++i)
                GridRecordReader::setField(record, fields.at(i), values[i]);
            if (!numeric)
                return shared->cellText(record, position, column);
            const std::optional<double> number = shared->numericKey(record, position, column);
            return number ? QVariant(*number) : QVariant();
        };
        keys << key;
    }
    return keys;
}

} // namespace qvr
