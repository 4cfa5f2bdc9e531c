#pragma once

#include <QString>

namespace qvr {

// The shell's own program-wide values, owned by the main window.
class ShellState
{
public:
    // Installation directory from the settings, without a trailing separator.
    QString gAppPath;
    // The history file named on the command line; emptied once it has been opened.
    QString gCommandLine;
    // The help file of the current language (chosen again on every use of the help menu).
    QString helpFile;
};

} // namespace qvr
