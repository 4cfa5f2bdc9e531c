#pragma once

namespace qvr {

// The program's mouse pointer as the view windows set it: a window that closes over the
// grid shows the hourglass, the grid becoming active restores the default. The same
// idempotent rules as the main window's, which lives above this layer.
class ViewPointer
{
public:
    static void showHourglass();
    static void restoreDefault();
};

} // namespace qvr
