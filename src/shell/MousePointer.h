#pragma once

namespace qvr {

// The frame's mouse pointer: a command that opens a window shows the hourglass, the window
// that becomes active restores the default. Both are idempotent, so an hourglass set twice
// is still removed by one restore.
class MousePointer
{
public:
    static void showHourglass();
    static void restoreDefault();
    static bool isHourglass();
};

} // namespace qvr
