#pragma once

#include <QDialog>

class QPushButton;

namespace qvr {

class Texts;

// The about window: the program's name, version and purpose, centred over the main
// window; `Command1` closes it. (No Q_OBJECT: moc cannot read the umlaut in the name.)
class frm_über : public QDialog
{
public:
    frm_über(const Texts &texts, const QString &version, QWidget *mainWindow);

    QPushButton *command1() const { return m_command1; }

protected:
    void showEvent(QShowEvent *e) override;

private:
    QPushButton *m_command1;
};

} // namespace qvr
