#pragma once

#include <QDialog>
#include <QList>
#include <QLocale>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qvr {

class Asker;
class StoreState;
class Texts;
class frm_Historiendaten;
struct ReadoutState;

// The data filter: builds a WHERE clause one condition at a time from a field, an
// operator, a value and the next connector, then shows the matching events in the grid.
// The clause runs read-only; a clause the database refuses leaves the grid as it was.
class frm_filter : public QDialog
{
    Q_OBJECT

public:
    frm_filter(StoreState &store, const ReadoutState &readout, frm_Historiendaten &history,
               const Texts &texts, Asker &asker, QWidget *mainWindow, QWidget *parent = nullptr);
    ~frm_filter() override;

    // The handlers of the window's controls.
    void cmb_feld_Click();
    void cmd_hinzufuegen_Click();
    void cmd_1_Click(int index);

    // Dates and times are read and offered in this locale (the system's by default).
    void setLocale(const QLocale &locale);

protected:
    void done(int result) override;

private:
    // Filter (reset false) or Reset Filter (reset true); closes the window.
    void runQuery(bool reset);
    void setToolbarButtonPressed(bool pressed);
    QString messageTitle() const;

    StoreState &m_store;
    const ReadoutState &m_readout;
    frm_Historiendaten &m_history;
    const Texts &m_texts;
    Asker &m_asker;
    QWidget *m_mainWindow;
    QLocale m_locale;

    QComboBox *m_feld;
    QComboBox *m_operator1;
    QLineEdit *m_wert;
    QComboBox *m_operator2;
    QPlainTextEdit *m_filter;
    QPushButton *m_hinzufuegen;
    QList<QPushButton *> m_cmd1;
    QList<QLabel *> m_labels;
};

} // namespace qvr
