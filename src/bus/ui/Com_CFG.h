#pragma once

#include <QDialog>
#include <QHash>
#include <functional>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace qvr {

class Asker;
class BusConnection;
class SerialPort;
class Texts;

// The interface dialog: which COM port, the kind of connection to the panel (direct cable,
// USB adapter, internal or external bus), the baud rate and the DTR option. Offers only
// the ports that open at the moment it is shown, tests the chosen one on OK and stores the
// choice in section `Schnittstelle` of the settings.
//
// Outside Windows a COM number stands for a device (`Device<n>`); the dialog shows the
// device beside each port and lets the user assign the system's serial devices to COM
// numbers. An assignment is stored with the rest of the choice on OK; Cancel stores nothing.
class Com_CFG : public QDialog
{
    Q_OBJECT

public:
    // The fixed message when no port opens (German in every language).
    static const char *const kNoPortsMessage;
    static constexpr int kMsgPortUnavailable = 30010;
    static constexpr int kPortCount = 16;

    // `defaultPointer` restores the main window's normal pointer when the dialog is active.
    Com_CFG(BusConnection &bus, const Texts &texts, Asker &asker,
            std::function<void()> defaultPointer, QWidget *parent = nullptr);
    ~Com_CFG() override;

    // Sets the port number on the serial port, opens it and closes it again; true when the
    // open raised no error. Errors are not reported. A `device` that is not empty is opened
    // for the number (an assignment not stored yet).
    static bool PortTest(SerialPort &port, int &COMPortNummer, const QString &device = QString());

    // The port numbers in the list, in order.
    QList<int> listedPorts() const;
    // True when loading found no port; the dialog then closes when it becomes active
    // (unless devices can be assigned here).
    bool noPorts() const { return m_noPorts; }

    // The user's choices, as the controls' handlers see them (also used by tests).
    void choosePort(int listIndex);
    void chooseConnection(int listIndex);
    void chooseBaud(int listIndex);
    void okClicked();
    // Assigns `device` (empty: the platform's default) to port `number` and lists the
    // ports again. Stored on OK.
    void assignDevice(int number, const QString &device);

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void buildControls();
    void applyTexts();
    void fillPortList(int wantedPort);
    void closeIfEmpty();
    void showPortProblem(int number);
    // The device behind port `number`: the assignment made here, else the stored one.
    QString deviceOf(int number) const;
    // The device to open for `number` in place of the stored one; empty when none.
    QString assignedDevice(int number) const;

    BusConnection &m_bus;
    const Texts &m_texts;
    Asker &m_asker;
    std::function<void()> m_defaultPointer;
    bool m_noPorts = false;
    bool m_canAssign = false;

    QComboBox *m_ports = nullptr;
    QComboBox *m_connection = nullptr;
    QComboBox *m_baud = nullptr;
    QRadioButton *m_option1 = nullptr;
    QRadioButton *m_option2 = nullptr;
    QButtonGroup *m_dtrGroup = nullptr;
    QGroupBox *m_dtrFrame = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QGroupBox *m_assignFrame = nullptr;
    QComboBox *m_devices = nullptr;
    QComboBox *m_assignCom = nullptr;
    QPushButton *m_assign = nullptr;
    // Device assignments made in the dialog and not stored yet, by port number.
    QHash<int, QString> m_assigned;
};

} // namespace qvr
