#pragma once

#include <QString>
#include <QWidget>

class QTableView;

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

    // Rebuilds every row from gHistoryRecordset in its order. On failure the grid shows
    // nothing and `error` says why.
    bool FillHistoryGrid(QString *error = nullptr);
    // Header row only.
    void ClearHistoryGrid();

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

signals:
    // gHistoryRecordset stands on the clicked event; the receiver shows the detail window
    // modally. While nothing is connected, the grid shows it itself (showDetailWindow).
    void detailViewRequested(qvr::frm_Historiendaten::DetailWindow window);

protected:
    bool event(QEvent *e) override;

private:
    void Form_Load();

    StoreState &m_store;
    ReadoutState &m_readout;
    ViewState &m_view;
    const Texts &m_texts;
    Asker &m_asker;
    QWidget *m_mainWindow;
    QTableView *m_grid;
    HistoryGridModel *m_model;
    QString m_loadError;
};

} // namespace qvr
