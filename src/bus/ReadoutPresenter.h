#pragma once

#include "core/Asker.h"

#include <QString>

namespace qvr {

// What a read-out shows while it runs. The engine owns no widgets: the read-out dialog,
// the command-line program and the tests each implement this and see the same calls.
class ReadoutPresenter
{
public:
    virtual ~ReadoutPresenter() = default;

    // The status line, by text id (4070 "check Interface", 4080, 4090, 4100).
    virtual void setStatus(int textId) = 0;
    // The progress bar, 0 to 100.
    virtual void setProgress(int percent) = 0;
    // Entry `index` of `count` has been read (or given up): for a plain text progress.
    virtual void entryProgress(int index, int count)
    {
        Q_UNUSED(index);
        Q_UNUSED(count);
    }

    // The animation that shows the panel is talking.
    virtual void startAnimation() = 0;
    virtual void stopAnimation() = 0;
    virtual bool animationRunning() const = 0;

    // A message box with a text of the text table; returns when the user has seen it.
    virtual void showMessage(int textId, Asker::Icon icon, bool systemModal) = 0;

    // Busy pointer while the history file is updated.
    virtual void setBusyPointer(bool busy) = 0;
    // The read-out succeeded: the dialog's second button becomes "OK" (text 4060).
    virtual void readoutSucceeded() = 0;
    // The main window takes input again.
    virtual void enableMainWindow() = 0;
    // The read-out ended with an error: the dialog closes (and calls StopReadout).
    virtual void closeDialog() = 0;

    // Why the history file refused the read-out's data (for a log or the console).
    virtual void storeFailure(const QString &detail) { Q_UNUSED(detail); }
};

} // namespace qvr
