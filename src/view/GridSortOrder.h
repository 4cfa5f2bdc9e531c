#pragma once

#include "store/OrderKey.h"

#include <QList>

namespace qvr {

class GridCellFormatter;

// Header clicks not yet applied to the grid's rows, as keys the database sorts by. Each
// sort is stable (rows with equal keys keep the order shown before), so sorts by k1, then
// k2, ..., then kn put the rows in the order of kn, then k(n-1), ..., then k1, then the
// order shown before: the newest key first, the earlier ones breaking its ties.
class GridSortOrder
{
public:
    // The grid control's sort codes.
    enum SortCode {
        NumericAscending = 3,
        NumericDescending = 4,
        TextAscending = 5,
        TextDescending = 6,
    };

    // A sort by `column` with `code` after the sorts in effect. An earlier sort by the same
    // column and kind can no longer break a tie and is dropped.
    void add(int column, SortCode code);
    void clear() { m_steps.clear(); }
    bool isEmpty() const { return m_steps.isEmpty(); }

    // The keys, newest first: numeric codes compare the cell's number (GridCellFormatter::
    // numericKey, empty cells first), text codes the cell text without regard to case. They
    // read only `formatter`'s copy, so the database may run them on another thread.
    QList<OrderKey> keys(const GridCellFormatter &formatter) const;

private:
    struct Step
    {
        int column = 0;
        bool numeric = true;
        bool descending = false;
    };
    QList<Step> m_steps; // newest first
};

} // namespace qvr
