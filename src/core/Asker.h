#pragma once

#include <QString>
#include <QStringList>

namespace qvr {

// Modal questions go through this seam, so tests and the command-line program answer
// them without windows. The window program implements it with message boxes and file
// dialogs.
class Asker
{
public:
    enum class Icon { None, Information, Question, Exclamation, Critical };
    enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~Asker() = default;

    // A message box; `systemModal` asks the window program to keep it above every window.
    virtual Answer message(const QString &text, const QString &title, Icon icon,
                           Buttons buttons, bool systemModal = false) = 0;

    // File dialogs. `filter` is a Qt name filter ("History files (*.his)"). An empty result
    // means the user cancelled.
    virtual QString openFileName(const QString &title, const QString &dir,
                                 const QString &filter) = 0;
    virtual QString saveFileName(const QString &title, const QString &dir,
                                 const QString &filter, const QString &suggestedName) = 0;
};

} // namespace qvr
