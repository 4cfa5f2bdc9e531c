#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QProgressBar;
class QTableView;
class QTimer;

namespace qvr {

class Asker;
class HistoryGridModel;
class StoreState;
class Texts;
struct ReadoutState;
struct ViewState;

// The history window: one grid listing every event of gHistoryRecordset. A header click
// sorts by that column (the date columns by their hidden key), a double click (or Enter)
// on an event row asks for the detail view of that event.
//
// A large file never blocks the window: its record set is selected by the database in the
// background. The first screen of rows shows as soon as it is known, the rest, the row
// count and gHistoryRecordset follow; clicks meanwhile wait for them and run then. Work
// that takes longer than half a second shows a progress bar.
class frm_Historiendaten : public QWidget
{
    Q_OBJECT

public:
    enum class DetailWindow {
        ZL, // frm_Warn_StormeldungZL
        PV, // frm_Warn_StormeldungPV, for classes "PV" and "RQ"
    };
    Q_ENUM(DetailWindow)

    // Loads the window at once: reads the file's device class and message text language
    // into `readout`, opens gHistoryRecordset over HISTORY, fills the grid and reports a
    // read-out that had record errors. `mainWindow` gives the size to take.
    frm_Historiendaten(StoreState &store, ReadoutState &readout, ViewState &view,
                       const Texts &texts, Asker &asker, QWidget *mainWindow,
                       QWidget *parent = nullptr);
    ~frm_Historiendaten() override;

    // Shows every row of gHistoryRecordset in its order (at once: rows are read as they are
    // drawn). On failure the grid shows nothing and `error` says why.
    bool FillHistoryGrid(QString *error = nullptr);
    // Header row only.
    void ClearHistoryGrid();
    // The language changed: caption, headers, cell texts and the row count in the new one;
    // the rows, their order and the selection stay.
    void RefreshLanguage();

    // Why records are shown: loading the file (a failure leaves the grid empty and is
    // reported as unreadable data) or the filter (a failure is an SQL error and leaves
    // gHistoryRecordset and the grid as they were).
    enum class Purpose { Load, Filter };
    // Opens gHistoryRecordset with `sql` (the whole table, or the filter's query) and shows
    // it. A large file is selected in the background: until then gHistoryRecordset stays as
    // it was, the first screen of rows shows as soon as it is known, then all of them with
    // the new gHistoryRecordset. A failure is reported by the window. False when it failed
    // at once.
    bool ShowRecords(const QString &sql, Purpose purpose);
    // Whether rows are being selected or sorted in the background.
    bool isBusy() const;
    // Waits for the background work (the window is blocked meanwhile), for a caller that
    // needs every row now.
    void finishBackgroundWork();

    // The grid's click handler: row 0 is the header row (sorts), rows 1 to n the events
    // (opens the detail view of the event whose "Nr." the row shows).
    void GridClick(int row, int column);

    // The window takes the main window's size; the grid that size less 1000 twips wide
    // and 2000 twips high.
    void resizeToMainWindow(const QSize &mainSize);

    // Shows the detail view of the current record of gHistoryRecordset modally.
    void showDetailWindow(DetailWindow window);

    QTableView *grid() const { return m_grid; }
    // The rows as shown, in the order on screen (for printing).
    HistoryGridModel *gridModel() const { return m_model; }
    // Why the window could not show the file, empty when it could.
    QString loadError() const { return m_loadError; }
    // The row count, or that rows are still being read.
    QString statusText() const { return m_statusText; }

signals:
    // gHistoryRecordset stands on the clicked event; the receiver shows the detail window
    // modally. While nothing is connected, the grid shows it itself (showDetailWindow).
    void detailViewRequested(qvr::frm_Historiendaten::DetailWindow window);
    // Background work began or ended.
    void busyChanged(bool busy);
    // The row count, or that rows are being read (for the main window's status bar).
    void statusTextChanged(const QString &text);

protected:
    bool event(QEvent *e) override;

private:
    void Form_Load();
    void sortByHeader(int column);
    void openRowDetail(int row);
    // The first screen of a record set being selected, then all of it.
    void showFirstRows(std::vector<qint64> ids);
    void recordsSelected(const QString &sql, std::shared_ptr<std::vector<qint64>> ids,
                         Purpose purpose);
    bool fill(bool extending, QString *error);
    void selectionFailed(Purpose purpose, const QString &error);
    void runDeferred();
    void updateBusy();
    void sizeColumns();
    void setStatusText(const QString &text);

    StoreState &m_store;
    ReadoutState &m_readout;
    ViewState &m_view;
    const Texts &m_texts;
    Asker &m_asker;
    QWidget *m_mainWindow;
    QTableView *m_grid;
    HistoryGridModel *m_model;
    QProgressBar *m_progress;
    QTimer *m_progressDelay;
    QString m_loadError;
    QString m_statusText;

    quint64 m_loadGeneration = 0; // of the selection in the background, 0 when none
    quint64 m_loadTicket = 0;
    quint64 m_generations = 0;
    bool m_firstRowsShown = false; // the grid shows the first screen of a pending selection
    bool m_busy = false;
    QList<std::function<void()>> m_deferred; // clicks waiting for the pending selection
};

} // namespace qvr
