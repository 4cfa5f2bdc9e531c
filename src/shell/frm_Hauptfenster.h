#pragma once

#include "HelpViewer.h"
#include "QtTranslations.h"
#include "ShellState.h"
#include "core/TextTable.h"
#include "store/FileState.h"
#include "store/HistoryFileDisplay.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace qvr {

class Asker;
class BusConnection;
class Clock;
class Com_CFG;
class HistoryFile;
class SerialPort;
class SettingsStore;
class SingleInstance;
class StoreState;
struct ReadoutState;
struct ViewState;
class frm_Historiendaten;
class frm_Startbild;

// The main window: a multi-document frame with the File, Settings and "?" menus, the
// toolbar, the status bar, the background picture window and the history window. It owns
// the program's state objects and hands them to the windows it opens.
class frm_Hauptfenster : public QMainWindow, public HistoryFileDisplay
{
    Q_OBJECT

public:
    static constexpr const char *kVersion = "3.4";

    frm_Hauptfenster(std::unique_ptr<SettingsStore> settings, std::unique_ptr<Asker> asker,
                     QWidget *parent = nullptr);
    ~frm_Hauptfenster() override;

    // Start-up. `arguments` are the program's arguments (the first is the program);
    // `lockPath` names the single-instance lock. False when another instance already
    // runs: the caller then ends the program without showing anything.
    bool startUp(const QStringList &arguments, const QString &lockPath);

    // The commands by menu index: File 1 to 7 and 8 (export, shown after Print), Settings 1
    // and 2, "?" 1 and 2.
    void runFileCommand(int index);
    void runSettingsCommand(int index);
    void runHelpCommand(int index);
    // A toolbar click by the button's key; unknown keys do nothing.
    void toolbarButtonClick(const QString &key);

    // Sets the main window's texts for the current language (caption, menus, tool tips).
    void ApplyLanguageTexts();
    void RefreshFileDisplay() override;
    void setBusy(bool busy) override;

    // What the main window does each time it becomes active: opens the command-line file
    // once and restores the default pointer.
    void onActivated();

    // The installed help file of a language, looked for in the installation directory,
    // then beside the program; the copy built into the program when neither has it.
    QString helpFileFor(int languageOffset) const;

    // The program's command line from its arguments: the program's own options are left
    // out and a leading double quote is dropped together with the last character.
    static QString commandLineFrom(const QStringList &arguments);

    SettingsStore &settings() { return *m_settings; }
    Texts &texts() { return m_texts; }
    FileState &fileState() { return m_file; }
    StoreState &storeState() { return *m_store; }
    ShellState &shellState() { return m_shell; }
    HistoryFile &historyFile() { return *m_files; }
    HelpViewer *helpViewer() const { return m_help; }
    frm_Startbild *backgroundWindow() const { return m_startbild; }
    QMdiSubWindow *backgroundSubWindow() const { return m_startbildWindow; }
    frm_Historiendaten *historyWindow() const;
    ReadoutState &readoutState() { return *m_readout; }
    // The serial port, clock, timers and link of the read-out: the real ones, unless
    // setBusHardware handed in others (tests: the in-memory line and the virtual clock;
    // `owner`, when given, keeps them alive as long as the window uses them).
    BusConnection &busConnection();
    void setBusHardware(SerialPort &port, Clock &clock, std::shared_ptr<void> owner = {});
    bool isShutDown() const { return m_shutDown; }

protected:
    bool event(QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void setFileCommandsEnabled(bool enabled);
    void applyLayoutRules();
    void showLanguageWindow();
    void languageWindowClosed();

    void readOut();
    void showInterfaceDialog(bool modal);
    void setInputEnabled(bool enabled);
    void openFile();
    void printFile();
    void exportFile();
    void filterData();
    void shutDown();

    bool isHistoryWindowOpen() const;
    void showHistoryWindow();
    void closeHistoryWindow();

    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<Asker> m_asker;
    Texts m_texts;
    FileState m_file;
    std::unique_ptr<StoreState> m_store;
    std::unique_ptr<ReadoutState> m_readout;
    std::unique_ptr<ViewState> m_view;
    ShellState m_shell;
    std::unique_ptr<HistoryFile> m_files;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<BusConnection> m_bus;
    QPointer<Com_CFG> m_interfaceDialog;

    QMdiArea *m_mdi = nullptr;
    frm_Startbild *m_startbild = nullptr;
    QMdiSubWindow *m_startbildWindow = nullptr;
    QPointer<QMdiSubWindow> m_historyWindow;
    QPointer<HelpViewer> m_help;

    QMenu *m_dateimenu = nullptr;
    QMenu *m_einstellungenmenu = nullptr;
    QMenu *m_hilfemenu = nullptr;
    std::array<QAction *, 9> m_dateiMenu{};         // indexes 1 to 8
    std::array<QAction *, 3> m_einstellungenMenu{}; // indexes 1 and 2
    std::array<QAction *, 3> m_hilfeMenu{};         // indexes 1 and 2
    QToolBar *m_toolbar = nullptr;
    std::array<QAction *, 6> m_buttons{}; // indexes 1 to 5
    std::array<QLabel *, 4> m_panels{};   // indexes 1 to 3

    QtTranslations m_qtTranslations;
    bool m_started = false;
    bool m_shutDown = false;
};

} // namespace qvr
