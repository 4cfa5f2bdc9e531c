// The read-out from the main window's menu: the dialog over the in-memory line to the
// simulated panel on virtual time, its end in success or in each error, cancelling, and a
// port that does not open.
#include "PanelScenario.h"
#include "PanelSimDriver.h"
#include "PanelSimulator.h"
#include "bus/BusTimers.h"
#include "bus/MemorySerialLine.h"
#include "bus/ui/BusConnection.h"
#include "bus/ui/Com_CFG.h"
#include "bus/ui/frm_Daten_empfangen.h"
#include "core/VirtualClock.h"
#include "decode/ReadoutState.h"
#include "shell_helper.h"
#include "view/frm_Historiendaten.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace qvr;
using qvr::test::ShellFixture;

namespace {

const QString kSave = QStringLiteral("Save changes?");

// Plays the user in front of the modal dialogs while virtual time runs: picks the
// address, starts, lets time pass, and ends with OK or a cancel.
class User : public QObject
{
public:
    // `clock` is advanced while the read-out runs; none: real time passes by itself.
    User(VirtualClock *clock, int address) : m_clock(clock), m_address(address)
    {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] { step(); });
        m_timer.start();
    }

    // Cancel once this is true (checked while the read-out runs).
    std::function<bool(frm_Daten_empfangen &)> cancelWhen;
    // Seen on the way.
    QStringList dialogsSeen;
    QStringList statuses;
    QList<int> frames;
    std::function<bool()> portOpen;

private:
    void step()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto *cfg = qobject_cast<Com_CFG *>(modal)) {
            dialogsSeen << cfg->objectName();
            cfg->reject();
            return;
        }
        auto *dlg = qobject_cast<frm_Daten_empfangen *>(modal);
        if (!dlg)
            return;
        if (dialogsSeen.isEmpty() || dialogsSeen.last() != dlg->objectName())
            dialogsSeen << dlg->objectName();
        auto *status = dlg->findChild<QLabel *>("lblStatus");
        if (statuses.isEmpty() || statuses.last() != status->text())
            statuses << status->text();
        if (dlg->shownFrame() >= 0 && (frames.isEmpty() || frames.last() != dlg->shownFrame()))
            frames << dlg->shownFrame();
        auto *start = dlg->findChild<QPushButton *>("Command1(0)");
        auto *second = dlg->findChild<QPushButton *>("Command1(1)");
        if (!m_started) {
            // The port opens when the dialog becomes active.
            if (portOpen && !portOpen())
                return;
            if (start->isEnabled())
                return; // must stay disabled until an address is chosen
            dlg->addressChosen(m_address - 1);
            if (!start->isEnabled())
                return;
            m_started = true;
            dlg->startClicked();
            return;
        }
        if (cancelWhen && cancelWhen(*dlg)) {
            cancelWhen = nullptr;
            dlg->reject();
            return;
        }
        if (second->isEnabled() && second->text() == QLatin1String("OK")) {
            second->click();
            return;
        }
        if (m_clock)
            m_clock->advance(25);
    }

    VirtualClock *m_clock;
    int m_address;
    bool m_started = false;
    QTimer m_timer;
};

// A main window with the in-memory line to one simulated panel, on a direct cable.
struct Rig
{
    explicit Rig(const PanelScenario &scenario, const QString &connType = "RS232")
    {
        f.writeSettings(
            "[Sprache]\nSprache=1\n[Schnittstelle]\nCom=1\nBaud=9600\nConnType=" + connType + "\n");
        // The sample standard texts beside the program, so no entry lacks its text.
        QFile::copy(QStringLiteral(QVR_BINARY_DIR "/bin/Standardtexte.bdb"),
                    f.path("Standardtexte.bdb"));
        // A PC that becomes master of a silent bus talks at 57600 baud.
        line.device().setSettings(connType == "RS232" ? "9600,E,7,1" : "57600,E,7,1");
        sim = std::make_unique<PanelSimulator>(scenario);
        driver = std::make_unique<PanelSimDriver>(*sim, line.device(), clock);
        if (!f.start())
            qFatal("start-up failed");
        f.window().setBusHardware(line.host(), clock);
    }

    // The window lends the line's port: it goes first.
    ~Rig() { f.destroyWindow(); }

    frm_Hauptfenster &w() { return f.window(); }
    User &user(int address)
    {
        u = std::make_unique<User>(&clock, address);
        u->portOpen = [this] { return line.host().isOpen(); };
        return *u;
    }

    ShellFixture f;
    VirtualClock clock;
    MemorySerialLine line{clock};
    std::unique_ptr<PanelSimulator> sim;
    std::unique_ptr<PanelSimDriver> driver;
    std::unique_ptr<User> u;
};

PanelScenario zl(int entries, int address = 17)
{
    return PanelScenario::generate(PanelScenario::Layout::ZL, entries, 5, address);
}

} // namespace

class TestReadoutDialog : public QObject
{
    Q_OBJECT

private slots:
    void wholeReadoutFromMenu();
    void endsInError_data();
    void endsInError();
    void cancelDuringReadout_data();
    void cancelDuringReadout();
    void closeDuringEnd();
    void portDoesNotOpen();
    void demoOverPseudoTerminal();
    void addressLabelAndList_data();
    void addressLabelAndList();
    void sitePanels();
};

void TestReadoutDialog::wholeReadoutFromMenu()
{
    Rig r(zl(240));
    r.f.asker().answers << Asker::Answer::Yes; // save changes
    r.f.asker().saveNames << r.f.path("plant.his");
    User &u = r.user(17);

    r.w().runFileCommand(1);

    QCOMPARE(u.dialogsSeen, QStringList{"frm_Daten_empfangen"});
    QCOMPARE(r.f.asker().messageTexts(), (QStringList{kSave, "save"}));
    QCOMPARE(ShellFixture::historyRows(r.f.path("plant.his")), 240);
    QVERIFY(r.sim->readoutOver());
    QVERIFY(!r.line.host().isOpen());
    // The status line went through the read-out's stages in order.
    const QStringList expected{"Receiving data from device", "check Interface",
                               "receiving data from device", "Data transmission successful"};
    QStringList seen;
    for (const QString &s : u.statuses)
        if (expected.contains(s) && (seen.isEmpty() || seen.last() != s))
            seen << s;
    QCOMPARE(seen, expected);
    // The animation runs 0, 8, 7, ..., 1, 0.
    QVERIFY2(u.frames.size() >= 10, "the animation ran");
    for (int i = 0; i + 1 < u.frames.size(); ++i)
        QCOMPARE(u.frames[i + 1], (u.frames[i] + 8) % 9);
    QCOMPARE(u.frames.first(), 0);
    // Back in the main window: the history window shows the file, input is allowed.
    QVERIFY(r.w().historyWindow());
    QVERIFY(r.w().menuBar()->isEnabled());
    QVERIFY(!r.w().fileState().gNewData);
}

void TestReadoutDialog::endsInError_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("message");

    QTest::newRow("no history") << "empty" << 17 << "No history data available!";
    QTest::newRow("record error") << "failcheck" << 17 << "Record error during data transmission!";
    QTest::newRow("panel silent") << "silent" << 17
                                  << "The device is not responding! Please try again.";
    QTest::newRow("nobody at the address")
        << "" << 18 << "The device is not responding! Please try again.";
    QTest::newRow("unsuitable panel")
        << "unsuitable" << 17 << "Error: The component with this address is not a valid device !";
}

void TestReadoutDialog::endsInError()
{
    QFETCH(QString, fault);
    QFETCH(int, address);
    QFETCH(QString, message);

    PanelScenario s = zl(fault == "empty" ? 0 : 30);
    if (fault == "failcheck")
        s.faults.rules << PanelScenario::FaultRule{PanelScenario::FaultRule::Kind::FailCheck,
                                                   "LCDRP", s.events[0].alarmAddress, 5};
    if (fault == "silent")
        s.faults.silentFromEntry = 2;
    if (fault == "unsuitable")
        s.model = "9999";
    Rig r(s);
    const QString plant = r.f.makeHistoryFile("plant.his");
    User &u = r.user(address);

    r.w().runFileCommand(1);

    // The history window may add its own note about refused entries afterwards.
    QCOMPARE(r.f.asker().messageTexts().value(0), message);
    QVERIFY(!r.f.asker().messageTexts().contains(kSave));
    QCOMPARE(r.f.asker().calls.first().icon, Asker::Icon::Critical);
    QVERIFY(r.f.asker().calls.first().systemModal);
    QCOMPARE(u.dialogsSeen, QStringList{"frm_Daten_empfangen"});
    QVERIFY(!r.line.host().isOpen());
    QVERIFY(!r.w().fileState().gNewData);
    QVERIFY(r.w().historyWindow());
    QVERIFY(r.w().menuBar()->isEnabled());
    QCOMPARE(r.w().readoutState().gBusStage, quint8(0));
}

void TestReadoutDialog::cancelDuringReadout_data()
{
    QTest::addColumn<int>("afterEntries"); // 0: before the panel was identified
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("unsaved");

    QTest::newRow("identified, No keeps the data unsaved")
        << 20 << int(Asker::Answer::No) << QStringList{kSave} << true;
    QTest::newRow("identified, Yes saves")
        << 20 << int(Asker::Answer::Yes) << QStringList{kSave, "save"} << true;
    QTest::newRow("not yet identified: nothing to save")
        << 0 << int(Asker::Answer::No) << QStringList{} << false;
}

void TestReadoutDialog::cancelDuringReadout()
{
    QFETCH(int, afterEntries);
    QFETCH(int, answer);
    QFETCH(QStringList, asked);
    QFETCH(bool, unsaved);

    // On the bus with no master: three seconds of listening first, then five of quiet.
    Rig r(zl(200), "int.");
    r.f.asker().answers << Asker::Answer(answer);
    User &u = r.user(17);
    const qint64 start = r.clock.nowMs();
    ReadoutState &readout = r.w().readoutState();
    u.cancelWhen = [&](frm_Daten_empfangen &) {
        return afterEntries == 0 ? r.clock.nowMs() - start > 1000
                                 : readout.gHistoryIndex > afterEntries;
    };

    r.w().runFileCommand(1);

    BusTimers &t = r.w().busConnection().timers();
    QVERIFY(!t.Timer_Timeout->isEnabled() && !t.Timer_Busaktivität->isEnabled() &&
            !t.Timer_Masterübernahme->isEnabled());
    QVERIFY(!r.line.host().isOpen());
    // A running transfer is ended before the dialog goes.
    QCOMPARE(r.sim->panelRequests().value(r.sim->panelRequests().size() - 1) == ":;017:LCDST",
             afterEntries > 0);
    QCOMPARE(r.f.asker().messageTexts(), asked);
    // Saving an untitled file asks for a name; the cancelled save leaves the data unsaved.
    QCOMPARE(r.w().fileState().gNewData, unsaved);
    QCOMPARE(readout.gBusStage, quint8(0));
    QVERIFY(!readout.gReadoutActive);
    QVERIFY(r.w().historyWindow());
}

// Closed while the read-out's end closes the port: the save question waits for the merge.
void TestReadoutDialog::closeDuringEnd()
{
    Rig r(zl(30));
    r.f.asker().answers << Asker::Answer::Yes;
    r.f.asker().saveNames << r.f.path("plant.his");
    r.user(17);
    BusTimers &t = r.w().busConnection().timers();
    std::function<void()> probe = [&] {
        auto *dlg = qobject_cast<frm_Daten_empfangen *>(QApplication::activeModalWidget());
        if (dlg && r.w().readoutState().gReadoutActive && t.Timer_Delay->isEnabled())
            dlg->reject();
        else
            r.clock.callLater(5, probe);
    };
    probe();

    r.w().runFileCommand(1);

    QCOMPARE(r.f.asker().messageTexts(), (QStringList{kSave, "save"}));
    QCOMPARE(ShellFixture::historyRows(r.f.path("plant.his")), 30);
    QVERIFY(!r.w().fileState().gNewData);
}

void TestReadoutDialog::portDoesNotOpen()
{
    Rig r(zl(5));
    r.line.host().failNextOpens(1000);
    User &u = r.user(17);

    r.w().runFileCommand(1);

    // The interface dialog finds no port either (the line refuses every open).
    QCOMPARE(r.f.asker().messageTexts(),
             (QStringList{"The selected interface is not valid or has already been assigned!",
                          QString::fromUtf8(Com_CFG::kNoPortsMessage)}));
    QCOMPARE(u.dialogsSeen.value(u.dialogsSeen.size() - 1), QString("Com_CFG"));
    QVERIFY(r.sim->framesFromPc().isEmpty());
    QVERIFY(r.w().historyWindow());
    QVERIFY(r.w().menuBar()->isEnabled());
}

void TestReadoutDialog::demoOverPseudoTerminal()
{
#ifndef Q_OS_LINUX
    QSKIP("the demo runs on a pseudo-terminal (POSIX)");
#else
    const QString simProgram = QStringLiteral(QVR_BINARY_DIR "/bin/qvr-panel-sim");
    if (!QFileInfo::exists(simProgram))
        QSKIP("qvr-panel-sim is not built");
    // What the demo sets up: the simulated panel behind a bus master on a pseudo-terminal,
    // COM1 mapped to it, the internal bus, the real port and clock.
    QProcess sim;
    sim.start(simProgram, {"--class", "ZL", "--address", "17", "--entries", "12", "--seed", "7",
                           "--master", "100"});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY(sim.canReadLine());
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY(pty.startsWith("/dev/"));

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=1\n[Schnittstelle]\nCom=1\nDevice1=" + pty +
                    "\nConnType=int.\nBaud=9600\nDTR=2\n");
    QFile::copy(QStringLiteral(QVR_BINARY_DIR "/bin/Standardtexte.bdb"),
                f.path("Standardtexte.bdb"));
    QVERIFY(f.start());
    f.asker().answers << Asker::Answer::Yes;
    f.asker().saveNames << f.path("demo.his");
    User u(nullptr, 17);
    f.window().runFileCommand(1);

    QCOMPARE(f.asker().messageTexts(), (QStringList{kSave, "save"}));
    QCOMPARE(ShellFixture::historyRows(f.path("demo.his")), 12);
    f.destroyWindow();
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
#endif
}

void TestReadoutDialog::addressLabelAndList_data()
{
    QTest::addColumn<QString>("connType");
    QTest::addColumn<QString>("label");

    QTest::newRow("external bus") << "ext."
                                  << "Address ext.";
    QTest::newRow("internal bus") << "int."
                                  << "Address int.";
    QTest::newRow("cable") << "RS232"
                           << "Address int.";
}

void TestReadoutDialog::addressLabelAndList()
{
    QFETCH(QString, connType);
    QFETCH(QString, label);

    Rig r(zl(1), connType);
    BusConnection &bus = r.w().busConnection();
    frm_Daten_empfangen dialog({bus,
                                r.w().readoutState(),
                                r.w().storeState(),
                                r.w().texts(),
                                r.f.asker(),
                                r.f.dir(),
                                {},
                                {},
                                {},
                                {},
                                {}},
                               &r.w());
    dialog.show();
    QTRY_VERIFY(r.line.host().isOpen());
    QCOMPARE(dialog.findChild<QLabel *>("lblAdresse")->text(), label);
    auto *list = dialog.findChild<QComboBox *>("Combo1");
    QCOMPARE(list->count(), 99);
    QCOMPARE(list->itemText(0), QString("1"));
    QCOMPARE(list->itemText(98), QString("99"));
    QCOMPARE(list->currentIndex(), -1);
    // Activated again while the port is open: not opened a second time.
    const int opens = r.line.host().openCount();
    dialog.onActivated();
    QCOMPARE(r.line.host().openCount(), opens);
    dialog.reject();
    QVERIFY(!r.line.host().isOpen());
}

// Several panels: the bus searched, the panels found read one after the other into the
// file, one summary, the save question.
void TestReadoutDialog::sitePanels()
{
    Rig r(zl(20));
    r.sim->addPanel(PanelScenario::generate(PanelScenario::Layout::PV, 12, 5, 5));
    r.f.asker().answers << Asker::Answer::Ok << Asker::Answer::Ok << Asker::Answer::Yes;
    r.f.asker().saveNames << r.f.path("site.his");
    QString list;
    int step = 0;
    QTimer user;
    connect(&user, &QTimer::timeout, [&] {
        auto *dlg = qobject_cast<frm_Daten_empfangen *>(QApplication::activeModalWidget());
        if (!dlg || (step == 0 && !r.line.host().isOpen()))
            return;
        auto *start = dlg->findChild<QPushButton *>("Command1(0)");
        auto *second = dlg->findChild<QPushButton *>("Command1(1)");
        if (step == 0) {
            dlg->findChild<QRadioButton *>("optMehrereGeraete")->click();
            dlg->findChild<QPushButton *>("cmdBusSuchen")->click();
            step = 1;
        } else if (step == 1 && start->isEnabled()) {
            list = dlg->findChild<QLineEdit *>("txtAdressliste")->text();
            start->click();
            step = 2;
        } else if (step == 2 && second->text() == QLatin1String("OK")) {
            second->click();
        } else {
            r.clock.advance(25);
        }
    });
    user.start(0);

    r.w().runFileCommand(1);

    QCOMPARE(list, QString("5,17"));
    QCOMPARE(
        r.f.asker().messageTexts(),
        (QStringList{"Panels found:\nAddress 5: PV 370, class PV\nAddress 17: ZL 2900, class ZL",
                     "Read-out results:\nAddress 5 (PV 370): 12 entries read\n"
                     "Address 17 (ZL 2900): 20 entries read",
                     kSave, "save"}));
    QCOMPARE(ShellFixture::historyRows(r.f.path("site.his")), 32);
    QVERIFY(!r.line.host().isOpen());
    QVERIFY(r.w().menuBar()->isEnabled());
}

QTEST_MAIN(TestReadoutDialog)
#include "tst_readoutdialog.moc"
