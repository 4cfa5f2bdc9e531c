#pragma once

#include <QDialog>
#include <functional>

class QRadioButton;

namespace qvr {

class SettingsStore;
class Texts;

// The language window: two option buttons, no OK or Cancel. A press on a language
// chooses it and closes the window; however it is closed, the current language is stored
// and the main window's texts are refreshed through `onClosed`.
class frm_Sprache : public QDialog
{
    Q_OBJECT

public:
    frm_Sprache(Texts &texts, SettingsStore &settings, std::function<void()> onClosed,
                QWidget *mainWindow);

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void choose(int languageOffset);

    Texts &m_texts;
    SettingsStore &m_settings;
    std::function<void()> m_onClosed;
    QRadioButton *m_sprache0;
    QRadioButton *m_sprache1;
    bool m_closed = false;
};

} // namespace qvr
