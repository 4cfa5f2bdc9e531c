#pragma once

#include "bus/ReadoutPresenter.h"
#include "bus/SiteReadout.h"

#include <QDialog>
#include <QPixmap>
#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qvr {

class Asker;
class BusConnection;
class BusSearch;
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
//
// A second mode reads several panels (a site): a list of addresses, or the panels a
// search of the bus finds, one after the other, with a summary at the end.
class frm_Daten_empfangen : public QDialog, public ReadoutPresenter, public SiteObserver
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

    // The site mode: one panel or several, the list edited, the bus searched.
    void severalChosen(bool several);
    void listEdited();
    void searchClicked();

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
    void entryProgress(int index, int count) override;

    // Observer of a site read-out.
    void panelStarted(int number, int count, int address) override;
    void siteFinished() override;

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
    void createEngine();

    // The site part (frm_Daten_empfangen_site.cpp).
    void buildSiteControls(QGridLayout *top);
    void setSiteTexts();
    void updateSiteControls();
    void startSite();
    void runSearch(bool thenRead);
    void searchFinished(bool thenRead);
    void startSiteReadout(const QList<int> &addresses, int masterBefore);
    bool siteRunning() const;
    // Hands the bus back and ends the site's work, then calls `stopped`.
    void stopSite(std::function<void()> stopped);
    // Ends the site's work at once (the dialog is going).
    void abortSite();

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

    // Site mode.
    QRadioButton *m_one = nullptr;
    QRadioButton *m_several = nullptr;
    QLineEdit *m_list = nullptr;
    QPushButton *m_searchButton = nullptr;
    QLabel *m_panelLabel = nullptr;
    QString m_panelText;
    std::unique_ptr<BusSearch> m_search;
    std::unique_ptr<SiteReadout> m_site;
    int m_searchMaster = -1; // the master that got the bus back from the last search
    bool m_siteStarted = false;
    std::function<void()> m_searchStopped;
};

} // namespace qvr
