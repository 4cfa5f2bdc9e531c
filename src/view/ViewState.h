#pragma once

#include <QtGlobal>

namespace qvr {

// State of the history views that outlives one history window: the main window owns it
// and hands it to every grid it opens, so the sort direction survives a reload.
struct ViewState
{
    // Sort order code of the last header click: 0 before the first click, then 3 or 4
    // (one direction for all columns; the next click reverses it).
    quint8 gGridSortOrder = 0;
    // Record sets from this many rows on (the span of HISTORY's row ids when opening) are
    // selected and sorted in the background; smaller ones at once, which is quicker than
    // a round trip through another thread.
    qint64 backgroundFrom = 20000;
};

} // namespace qvr
