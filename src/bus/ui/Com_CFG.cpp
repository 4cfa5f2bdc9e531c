#include "bus/ui/Com_CFG.h"

#include "bus/PortNames.h"
#include "bus/SerialPort.h"
#include "bus/ui/BusConnection.h"
#include "bus/ui/SerialDevices.h"
#include "core/Asker.h"
#include "core/Clock.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace qvr {

const char *const Com_CFG::kNoPortsMessage = "Fehler! Es konnten keine COM-Ports ermittelt werden!";

namespace {
const QString kSection = QStringLiteral("Schnittstelle");
const QStringList kConnections{QStringLiteral("RS232"), QStringLiteral("USB"),
                               QStringLiteral("int."), QStringLiteral("ext.")};
const QStringList kBauds{QStringLiteral("1200"), QStringLiteral("2400"),  QStringLiteral("4800"),
                         QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                         QStringLiteral("57600")};
constexpr int kBaud9600 = 3;
constexpr int kBaud57600 = 6;
constexpr int kPauseMs = 20;
constexpr int kAttempts = 3;

QString arrayName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

bool showsDevices()
{
#ifdef Q_OS_WIN
    return false;
#else
    return true;
#endif
}
} // namespace

Com_CFG::Com_CFG(BusConnection &bus, const Texts &texts, Asker &asker,
                 std::function<void()> defaultPointer, QWidget *parent)
    : QDialog(parent), m_bus(bus), m_texts(texts), m_asker(asker),
      m_defaultPointer(std::move(defaultPointer)), m_canAssign(showsDevices())
{
    setObjectName(QStringLiteral("Com_CFG"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildControls();

    SettingsStore &settings = m_bus.settings();
    // Loading.
    const int com = int(
        LeadingNumber(settings.ReadSetting(kSection, QStringLiteral("Com"), QStringLiteral("2"))));
    fillPortList(com);
    if (m_noPorts) {
        m_asker.message(QString::fromUtf8(kNoPortsMessage), QString(), Asker::Icon::None,
                        Asker::Buttons::Ok);
        applyTexts();
        return;
    }
    const bool comListed = listedPorts().contains(com);

    const long long dtr =
        LeadingNumber(settings.ReadSetting(kSection, QStringLiteral("DTR"), QStringLiteral("2")));
    if (dtr == 1)
        m_option1->setChecked(true);
    else if (dtr == 2)
        m_option2->setChecked(true);

    applyTexts();

    const QString connType =
        settings.ReadSetting(kSection, QStringLiteral("ConnType"), QStringLiteral("int."));
    chooseConnection(int(kConnections.indexOf(connType)));
    if (!comListed)
        chooseConnection(-1);

    const QString baud =
        settings.ReadSetting(kSection, QStringLiteral("Baud"), QStringLiteral("9600"));
    const int baudIndex = int(kBauds.indexOf(baud));
    chooseBaud(baudIndex < 0 ? kBaud9600 : baudIndex);
}

Com_CFG::~Com_CFG() = default;

void Com_CFG::buildControls()
{
    auto *grid = new QGridLayout;
    auto label = [this](int index) {
        auto *l = new QLabel(this);
        l->setObjectName(arrayName("Label1", index));
        return l;
    };

    m_ports = new QComboBox(this);
    m_ports->setObjectName(QStringLiteral("cboComPorts"));
    m_ports->setMinimumContentsLength(12);
    m_ports->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_connection = new QComboBox(this);
    m_connection->setObjectName(QStringLiteral("cboVerbindung"));
    m_connection->addItems(kConnections);
    m_connection->setCurrentIndex(-1);
    m_baud = new QComboBox(this);
    m_baud->setObjectName(arrayName("Combo1", 0));
    m_baud->addItems(kBauds);
    m_baud->setCurrentIndex(-1);

    grid->addWidget(label(0), 0, 0);
    grid->addWidget(m_ports, 0, 1);
    grid->addWidget(label(1), 1, 0);
    grid->addWidget(m_connection, 1, 1);
    grid->addWidget(label(5), 2, 0);
    grid->addWidget(m_baud, 2, 1);

    m_dtrFrame = new QGroupBox(this);
    m_dtrFrame->setObjectName(QStringLiteral("Frame1"));
    m_option1 = new QRadioButton(m_dtrFrame);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(m_dtrFrame);
    m_option2->setObjectName(QStringLiteral("Option2"));
    // Neither option is checked until the settings say which.
    m_dtrGroup = new QButtonGroup(this);
    m_dtrGroup->setExclusive(false);
    m_dtrGroup->addButton(m_option1);
    m_dtrGroup->addButton(m_option2);
    connect(m_option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_option2->setChecked(false);
    });
    connect(m_option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_option1->setChecked(false);
    });
    auto *dtrLayout = new QVBoxLayout(m_dtrFrame);
    dtrLayout->addWidget(m_option1);
    dtrLayout->addWidget(m_option2);
    grid->addWidget(m_dtrFrame, 0, 2, 3, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);

    if (m_canAssign) {
        m_assignFrame = new QGroupBox(this);
        m_assignFrame->setObjectName(QStringLiteral("fraGeraete"));
        auto *row = new QHBoxLayout(m_assignFrame);
        auto *deviceLabel = new QLabel(m_assignFrame);
        deviceLabel->setObjectName(QStringLiteral("lblGeraet"));
        m_devices = new QComboBox(m_assignFrame);
        m_devices->setObjectName(QStringLiteral("cboGeraete"));
        m_devices->setEditable(true); // a pseudo-terminal or another path may be typed
        m_devices->addItems(SerialDevices::list());
        m_devices->setMinimumContentsLength(24);
        m_assignCom = new QComboBox(m_assignFrame);
        m_assignCom->setObjectName(QStringLiteral("cboZuordnung"));
        for (int n = PortNames::kFirstPort; n <= PortNames::kLastPort; ++n)
            m_assignCom->addItem(QStringLiteral("COM%1").arg(n), n);
        m_assign = new QPushButton(m_assignFrame);
        m_assign->setObjectName(QStringLiteral("cmdZuordnen"));
        row->addWidget(deviceLabel);
        row->addWidget(m_devices, 1);
        row->addWidget(m_assignCom);
        row->addWidget(m_assign);
        layout->addWidget(m_assignFrame);
        connect(m_assign, &QPushButton::clicked, this, [this] {
            assignDevice(m_assignCom->currentData().toInt(), m_devices->currentText().trimmed());
        });
    }

    m_ok = new QPushButton(this);
    m_ok->setObjectName(arrayName("Command1", 0));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(arrayName("Command1", 1));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    connect(m_ports, &QComboBox::activated, this, &Com_CFG::choosePort);
    connect(m_connection, &QComboBox::activated, this, &Com_CFG::chooseConnection);
    connect(m_baud, &QComboBox::activated, this, &Com_CFG::chooseBaud);
    connect(m_ok, &QPushButton::clicked, this, &Com_CFG::okClicked);
    connect(m_cancel, &QPushButton::clicked, this, &Com_CFG::reject);
}

void Com_CFG::applyTexts()
{
    setWindowTitle(m_texts.ResText(3000));
    findChild<QLabel *>(arrayName("Label1", 0))->setText(m_texts.ResText(3000));
    findChild<QLabel *>(arrayName("Label1", 1))->setText(m_texts.ResText(13830));
    findChild<QLabel *>(arrayName("Label1", 5))->setText(m_texts.ResText(3060));
    m_dtrFrame->setTitle(m_texts.ResText(3030));
    m_option1->setText(m_texts.ResText(3040));
    m_option2->setText(m_texts.ResText(3050));
    m_ok->setText(m_texts.ResText(3070));
    m_cancel->setText(m_texts.ResText(3080));
    if (m_assignFrame) {
        m_assignFrame->setTitle(m_texts.ResText(3110));
        findChild<QLabel *>(QStringLiteral("lblGeraet"))->setText(m_texts.ResText(3090));
        m_assign->setText(m_texts.ResText(3100));
    }
}

bool Com_CFG::PortTest(SerialPort &port, int &COMPortNummer, const QString &device)
{
    port.clearError();
    port.setCommPort(COMPortNummer);
    if (!device.isEmpty())
        port.setDevice(device);
    const bool opened = port.open() && !port.hasError();
    if (port.isOpen())
        port.close();
    port.clearError();
    return opened;
}

void Com_CFG::fillPortList(int wantedPort)
{
    m_ports->clear();
    int wantedIndex = -1;
    for (int n = PortNames::kFirstPort; n <= PortNames::kLastPort; ++n) {
        int number = n;
        if (!PortTest(m_bus.port(), number, assignedDevice(n)))
            continue;
        QString text = QStringLiteral("COM%1").arg(n);
        // Outside Windows the device behind the number is shown beside it; the number
        // still starts at the fourth character.
        if (showsDevices())
            text += QStringLiteral("   ") + deviceOf(n);
        m_ports->addItem(text, n);
        if (n == wantedPort)
            wantedIndex = m_ports->count() - 1;
    }
    m_noPorts = m_ports->count() == 0;
    if (m_noPorts)
        return;
    choosePort(wantedIndex >= 0 ? wantedIndex : 0);
}

QList<int> Com_CFG::listedPorts() const
{
    QList<int> out;
    for (int i = 0; i < m_ports->count(); ++i)
        out << m_ports->itemData(i).toInt();
    return out;
}

void Com_CFG::choosePort(int listIndex)
{
    m_ports->setCurrentIndex(listIndex);
    // A different port may reach a different panel: the connection is chosen again.
    m_connection->setCurrentIndex(-1);
}

void Com_CFG::chooseConnection(int listIndex)
{
    m_connection->setCurrentIndex(listIndex);
    switch (listIndex) {
    case 0: // RS232
    case 2: // int.
        m_baud->setCurrentIndex(kBaud9600);
        break;
    case 1: // USB
    case 3: // ext.
        m_baud->setCurrentIndex(kBaud57600);
        break;
    default:
        break;
    }
}

void Com_CFG::chooseBaud(int listIndex)
{
    m_baud->setCurrentIndex(listIndex);
    switch (m_connection->currentIndex()) {
    case 0:
    case 2:
        m_baud->setCurrentIndex(kBaud9600);
        break;
    case 1:
        m_baud->setCurrentIndex(kBaud57600);
        break;
    case 3:
        if (listIndex == kBaud9600)
            m_baud->setCurrentIndex(kBaud57600);
        break;
    default:
        break;
    }
}

void Com_CFG::showPortProblem(int number)
{
    m_asker.message(m_texts.ResText(kMsgPortUnavailable), QString(), Asker::Icon::None,
                    Asker::Buttons::Ok);
    const QString device = deviceOf(number);
    const int hint = SerialDevices::hintText(SerialDevices::diagnose(device));
    if (hint != 0)
        m_asker.message(m_texts.ResText(hint).arg(device), QString(), Asker::Icon::Information,
                        Asker::Buttons::Ok);
}

void Com_CFG::okClicked()
{
    if (m_ports->currentIndex() < 0)
        return; // nothing to test or store
    SerialPort &port = m_bus.port();
    Clock &clock = m_bus.clock();
    const int number = int(LeadingNumber(m_ports->currentText().mid(3)));

    port.clearError();
    port.setCommPort(number);
    if (!assignedDevice(number).isEmpty())
        port.setDevice(assignedDevice(number));
    clock.sleepMs(kPauseMs);
    bool opened = false;
    for (int i = 0; i < kAttempts && !opened; ++i) {
        port.clearError();
        opened = port.open() && !port.hasError();
        clock.sleepMs(kPauseMs);
    }
    if (!opened) {
        if (port.isOpen())
            port.close();
        port.clearError();
        showPortProblem(number);
        return;
    }
    clock.sleepMs(kPauseMs);
    for (int i = 0; i < kAttempts && port.isOpen(); ++i) {
        port.clearError();
        port.close();
        clock.sleepMs(kPauseMs);
    }
    port.clearError();

    SettingsStore &settings = m_bus.settings();
    for (auto it = m_assigned.cbegin(); it != m_assigned.cend(); ++it)
        settings.WriteSetting(kSection, QStringLiteral("Device%1").arg(it.key()), it.value());
    m_assigned.clear();
    settings.WriteSetting(kSection, QStringLiteral("Com"), QString::number(number));
    if (m_option1->isChecked())
        settings.WriteSetting(kSection, QStringLiteral("DTR"), QStringLiteral("1"));
    else if (m_option2->isChecked())
        settings.WriteSetting(kSection, QStringLiteral("DTR"), QStringLiteral("2"));
    const int baud = m_baud->currentIndex();
    settings.WriteSetting(kSection, QStringLiteral("Baud"),
                          baud >= 0 ? kBauds.at(baud) : kBauds.at(kBaud9600));

    if (m_connection->currentIndex() < 0) {
        m_connection->setFocus();
        return;
    }
    settings.WriteSetting(kSection, QStringLiteral("ConnType"), m_connection->currentText());
    accept();
}

void Com_CFG::assignDevice(int number, const QString &device)
{
    if (number < PortNames::kFirstPort || number > PortNames::kLastPort)
        return;
    m_assigned.insert(number, device);
    const bool hadPorts = !m_noPorts;
    fillPortList(number);
    if (!listedPorts().contains(number)) {
        showPortProblem(number);
    } else if (!hadPorts) {
        // The first port that opens: the rest of the dialog becomes usable.
        m_option2->setChecked(!m_option1->isChecked());
        chooseBaud(kBaud9600);
    }
}

QString Com_CFG::deviceOf(int number) const
{
    const QString assigned = assignedDevice(number);
    return assigned.isEmpty() ? PortNames::deviceForCom(number, &m_bus.settings()) : assigned;
}

QString Com_CFG::assignedDevice(int number) const
{
    const auto it = m_assigned.constFind(number);
    if (it == m_assigned.constEnd())
        return QString();
    // An empty assignment stands for the platform's default device.
    return it->isEmpty() ? PortNames::defaultDevice(number) : *it;
}

bool Com_CFG::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate) {
        if (m_defaultPointer)
            m_defaultPointer();
        closeIfEmpty();
    }
    return QDialog::event(e);
}

void Com_CFG::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    // Without a window manager the dialog may never become active; it must close anyway.
    QTimer::singleShot(0, this, &Com_CFG::closeIfEmpty);
}

void Com_CFG::closeIfEmpty()
{
    // Where devices can be assigned to COM numbers the dialog stays: assigning one is the
    // way to a port that opens.
    if (m_noPorts && isVisible() && !m_assignFrame)
        reject();
}

} // namespace qvr
