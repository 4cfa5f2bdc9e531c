#pragma once

#include "bus/ReadoutPresenter.h"

#include <QDialog>
#include <QPixmap>
#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qvr {

class Asker;
class BusConnection;
class ReadoutEngine;
class StoreState;
class Texts;
class Timer;
struct ReadoutState;

// The read-out dialog: the user picks the panel's bus address, starts the read-out and
// watches it (status text, progress bar, animation); at the end it asks whether the
// changed history file is to be saved. It opens the port when it becomes active and
// closes it when it closes, whatever the cause; closed during a read-out, it closes once
// the read-out has handed the panel and the bus back (or its end has merged). The
// read-out itself is the engine's; the dialog is its presenter.
class frm_Daten_empfangen : public QDialog, public ReadoutPresenter
{
    Q_OBJECT

public:
    // What the dialog needs of the main window and the history file.
    struct Context
    {
        BusConnection &bus;
        ReadoutState &readout;
        StoreState &store;
        const Texts &texts;
        Asker &asker;
        QString appPath;
        // The read-out brought new data into the open file (before the save question).
        std::function<void()> newDataArrived;
        // The history file's save operation.
        std::function<void()> saveFile;
        // The interface dialog, modally.
        std::function<void()> showInterfaceDialog;
        // Disable or enable the main window.
        std::function<void(bool)> mainWindowEnabled;
        // The main window's hourglass (true) or normal pointer (false).
        std::function<void(bool)> busyPointer;
    };

    static constexpr int kFrames = 9;
    static constexpr int kAnimationMs = 150;
    static constexpr int kMsgSaveChanges = 30000;

    frm_Daten_empfangen(Context context, QWidget *parent = nullptr);
    ~frm_Daten_empfangen() override;

    // The user's actions (the controls' handlers).
    void addressChosen(int listIndex);
    void startClicked();

    // What becoming active does: the normal pointer, the port opened (once), the address
    // label. When the port cannot be opened, the interface dialog and then closing.
    void onActivated();

    // Presenter of the read-out.
    void setStatus(int textId) override;
    void setProgress(int percent) override;
    void startAnimation() override;
    void stopAnimation() override;
    bool animationRunning() const override;
    void showMessage(int textId, Asker::Icon icon, bool systemModal) override;
    void setBusyPointer(bool busy) override;
    void readoutSucceeded() override;
    void enableMainWindow() override;
    void closeDialog() override;
    void storeFailure(const QString &detail) override;

    // The animation picture shown now (an index of Image1), and the picture of an index.
    int shownFrame() const { return m_shownFrame; }
    static QPixmap animationFrame(int index);
    ReadoutEngine &engine() { return *m_engine; }
    // Why the history file refused the read-out, when it did.
    QString storeFailureDetail() const { return m_storeFailure; }

    void done(int result) override;

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void buildControls();
    void setAddressLabel();
    void animate();
    void placeOverParent();
    // Closing once the read-out has stopped: the save question, then the dialog goes.
    void closeNow(int result);

    Context m_ctx;
    std::unique_ptr<ReadoutEngine> m_engine;
    std::unique_ptr<Timer> m_timer1;
    std::array<QPixmap, kFrames> m_images;
    int m_frameCounter = 0;
    int m_shownFrame = -1;
    bool m_started = false;
    bool m_closing = false;
    bool m_stopAsked = false;
    bool m_activating = false;
    QString m_storeFailure;

    QComboBox *m_combo1 = nullptr;
    QLabel *m_addressLabel = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_progressLabel = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_picture1 = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace qvr
