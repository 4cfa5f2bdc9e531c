#pragma once

// The one Asker fake of the tests: answers from a script, records every question asked.

#include "core/Asker.h"

#include <QList>
#include <QStringList>

namespace qvr::test {

class FakeAsker : public Asker
{
public:
    struct Call
    {
        QString kind;  // "message", "open" or "save"
        QString text;  // the message; empty for a file dialog
        QString title; // the box's or the dialog's title
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        bool systemModal = false;
        QString filter; // file dialogs only
        QString dir;    // file dialogs only: the folder they start in
    };

    QList<Call> calls;     // every question, in the order asked
    QList<Answer> answers; // for message boxes, from the front; then Ok, or No for a question
    QStringList openNames; // for open dialogs, from the front; then cancelled (empty)
    QStringList saveNames; // for save dialogs, the same

    Answer message(const QString &text, const QString &title, Icon icon, Buttons buttons,
                   bool systemModal = false) override
    {
        calls.append({QStringLiteral("message"), text, title, icon, buttons, systemModal, {}, {}});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::No;
    }
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override
    {
        calls.append(
            {QStringLiteral("open"), {}, title, Icon::None, Buttons::Ok, false, filter, dir});
        return openNames.isEmpty() ? QString() : openNames.takeFirst();
    }
    QString saveFileName(const QString &title, const QString &dir, const QString &filter,
                         const QString &) override
    {
        calls.append(
            {QStringLiteral("save"), {}, title, Icon::None, Buttons::Ok, false, filter, dir});
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }

    // The message boxes alone.
    QList<Call> messages() const
    {
        QList<Call> out;
        for (const Call &c : calls)
            if (c.kind == QLatin1String("message"))
                out << c;
        return out;
    }
    // What was asked, in order: a message box's text, "open" or "save" for a file dialog.
    QStringList messageTexts() const
    {
        QStringList out;
        for (const Call &c : calls)
            out << (c.kind == QLatin1String("message") ? c.text : c.kind);
        return out;
    }
};

} // namespace qvr::test
