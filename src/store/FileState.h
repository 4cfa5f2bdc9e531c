#pragma once

#include <QString>

namespace qvr {

// Which history file the user works on. Owned by the main window, handed to the file
// operations (HistoryFile) and to whoever needs to know the open file.
struct FileState
{
    // Full path of the user's history file; empty while no file is open. For a new file
    // that was never saved it is the installation directory followed by "Untitled.his".
    QString gFileName;
    // Full path of the working copy that is open as the store's database; never the user's
    // file itself. Empty while no file is open.
    QString gWorkFile;
    // The open file has changes that are not saved yet.
    bool gNewData = false;
    // The last open, save or save-as was cancelled by the user or failed.
    bool gFileCancelled = false;
};

} // namespace qvr
