#pragma once

#include "core/asker_helper.h"
#include "shell/frm_Hauptfenster.h"

#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

namespace qvr::test {

// Handles the next modal window that appears with `handler`, polling the event loop while
// the code under test runs its own modal loop.
class ModalHandler
{
public:
    explicit ModalHandler(std::function<void(QWidget *)> handler);
    bool handled() const { return m_handled; }
    QString title() const { return m_title; }

private:
    std::function<void(QWidget *)> m_handler;
    QTimer m_timer;
    bool m_handled = false;
    QString m_title;
};

// A main window over its own settings file (`ini`), installation directory and lock.
class ShellFixture
{
public:
    explicit ShellFixture(const QString &ini = QStringLiteral("[Sprache]\nSprache=1\n"));
    ~ShellFixture() { destroyWindow(); }
    // Writes the settings file anew: the installation directory, then `ini`.

    QString dir() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString readSetting(const QString &section, const QString &name) const;
    // A new, empty history file in the fixture's folder.
    QString makeHistoryFile(const QString &name) const;
    // The number of HISTORY rows of a history file, or -1 when it does not open.
    static int historyRows(const QString &file);
    static QByteArray contents(const QString &file);

    frm_Hauptfenster &window();
    FakeAsker &asker() { return *m_asker; }
    // Starts the window with the given command-line arguments (after the program name).
    bool start(const QStringList &arguments = {});
    // Shows the window and waits until it is the active window.
    bool showActive();
    QString lockPath() const { return path(QStringLiteral("qvr.lock")); }
    void destroyWindow();

private:
    QTemporaryDir m_dir;
    FakeAsker *m_asker = nullptr;
    std::unique_ptr<frm_Hauptfenster> m_window;
};

} // namespace qvr::test
