#pragma once

namespace qvr {

// What the file operations need from the window that shows the open file. The main window
// implements it; the command-line program and tests may pass none.
class HistoryFileDisplay
{
public:
    virtual ~HistoryFileDisplay() = default;

    // Show the open file (FileState::gFileName) in the status bar and the caption and
    // enable the file commands; with FileState::gWorkFile empty (no file open any more)
    // show the plain title and disable them. HistoryFile::FileCaption builds the caption.
    virtual void RefreshFileDisplay() = 0;

    // Hourglass (true) or default (false) pointer while a file is copied.
    virtual void setBusy(bool busy) { (void)busy; }
};

} // namespace qvr
