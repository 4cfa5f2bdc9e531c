#pragma once

#include "core/Asker.h"
#include "shell/frm_Hauptfenster.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

namespace qvr::test {

// Answers the program's questions from a script and records every question asked.
class ScriptedAsker : public Asker
{
public:
    struct Call
    {
        QString kind; // "message", "open", "save"
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        bool systemModal = false;
    };

    QList<Call> calls;
    QList<Answer> answers; // taken from the front; when empty: Ok, or No for questions
    QStringList openNames; // taken from the front; when empty the dialog is cancelled
    QStringList saveNames;

    Answer message(const QString &text, const QString &title, Icon icon, Buttons buttons,
                   bool systemModal = false) override;
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &dir, const QString &filter,
                         const QString &suggestedName) override;

    QStringList messageTexts() const;
};

// Handles the next modal window that appears (the language or about window) with `handler`,
// polling the event loop while the code under test runs its own modal loop.
class ModalHandler
{
public:
    explicit ModalHandler(std::function<void(QWidget *)> handler);
    ~ModalHandler();
    bool handled() const { return m_handled; }
    QString title() const { return m_title; }

private:
    std::function<void(QWidget *)> m_handler;
    QTimer m_timer;
    bool m_handled = false;
    QString m_title;
};

// A main window over its own settings file, installation directory and lock.
class ShellFixture
{
public:
    ShellFixture();
    ~ShellFixture();

    QString dir() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Writes the settings file; the installation directory is always this fixture's folder.
    void writeSettings(const QString &extraIni);
    QString readSetting(const QString &section, const QString &name) const;
    // A new, empty history file in the fixture's folder.
    QString makeHistoryFile(const QString &name) const;
    // The number of HISTORY rows of a history file, or -1 when it does not open.
    static int historyRows(const QString &file);

    frm_Hauptfenster &window();
    ScriptedAsker &asker() { return *m_asker; }
    // Starts the window with the given command-line arguments (after the program name).
    bool start(const QStringList &arguments = {});
    // Shows the window and waits until it is the active window.
    bool showActive();
    QString lockPath() const { return path(QStringLiteral("qvr.lock")); }
    void destroyWindow();

private:
    QTemporaryDir m_dir;
    ScriptedAsker *m_asker = nullptr;
    std::unique_ptr<frm_Hauptfenster> m_window;
};

} // namespace qvr::test
