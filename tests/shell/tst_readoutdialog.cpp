// The read-out from the main window's menu over the in-memory line to the simulated panel
// on virtual time: what the window and the dialog decide at its end, on a cancel and when
// the port does not open. The read-out's own sequence belongs to the engine's tests.
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

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace qvr;
using qvr::test::ShellFixture;

namespace {

const QString kSave = QStringLiteral("Save changes?");

// A main window with the in-memory line to a simulated panel, and the user in front of its
// modal dialogs while virtual time runs: the user waits for the port, picks the address,
// starts, lets time pass and ends with OK; `step` may act first and return true.
struct Rig
{
    explicit Rig(const PanelScenario &scenario, const QString &connType = "RS232")
        : f("[Sprache]\nSprache=1\n[Schnittstelle]\nCom=1\nBaud=9600\nConnType=" + connType + "\n")
    {
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
        user.setInterval(0);
        QObject::connect(&user, &QTimer::timeout, [this] { play(); });
        user.start();
    }
    // The window lends the line's port: it goes first.
    ~Rig() { f.destroyWindow(); }

    void play()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && (seen.isEmpty() || seen.last() != modal->objectName()))
            seen << modal->objectName();
        if (auto *cfg = qobject_cast<Com_CFG *>(modal))
            cfg->reject();
        auto *dlg = qobject_cast<frm_Daten_empfangen *>(modal);
        if (dlg && firstLook.isEmpty()) {
            auto *list = dlg->findChild<QComboBox *>("Combo1");
            firstLook = QStringList{dlg->findChild<QLabel *>("lblAdresse")->text(),
                                    QString::number(list->count()), list->itemText(98),
                                    QString::number(list->currentIndex())};
            firstLook << (dlg->findChild<QPushButton *>("Command1(0)")->isEnabled() ? "on" : "off");
        }
        if (!dlg || (!line.host().isOpen() && !started) || (step && step(*dlg)))
            return;
        auto *second = dlg->findChild<QPushButton *>("Command1(1)");
        if (!started) {
            dlg->addressChosen(address - 1);
            started = true;
            dlg->startClicked();
        } else if (second->isEnabled() && second->text() == QLatin1String("OK")) {
            second->click();
        } else {
            clock.advance(25);
        }
    }
    frm_Hauptfenster &w() { return f.window(); }
    QStringList asked() { return f.asker().messageTexts(); }

    ShellFixture f;
    VirtualClock clock;
    MemorySerialLine line{clock};
    std::unique_ptr<PanelSimulator> sim;
    std::unique_ptr<PanelSimDriver> driver;
    QTimer user;
    int address = 17;
    bool started = false;
    QStringList seen; // the modal windows, in order
    // The read-out dialog as it showed: address label, list length, its last entry, the
    // entry chosen, Start.
    QStringList firstLook;
    std::function<bool(frm_Daten_empfangen &)> step;
};

PanelScenario zl(int entries)
{
    return PanelScenario::generate(PanelScenario::Layout::ZL, entries, 5, 17);
}

} // namespace

class TestReadoutDialog : public QObject
{
    Q_OBJECT

private slots:
    void readoutSaved();
    void cancelDuringReadout_data();
    void cancelDuringReadout();
    void closeDuringEnd();
    void portDoesNotOpen();
    void sitePanels();
};

void TestReadoutDialog::readoutSaved()
{
    Rig r(zl(30));
    r.f.asker().answers << Asker::Answer::Yes;
    r.f.asker().saveNames << r.f.path("plant.his");
    r.w().runFileCommand(1);

    QCOMPARE(r.firstLook, (QStringList{"Address int.", "99", "99", "-1", "off"}));
    QCOMPARE(r.asked(), (QStringList{kSave, "save"}));
    QCOMPARE(ShellFixture::historyRows(r.f.path("plant.his")), 30);
    QVERIFY(!r.line.host().isOpen());
    QVERIFY(r.w().historyWindow());
    QVERIFY(r.w().menuBar()->isEnabled());
    QVERIFY(!r.w().fileState().gNewData);
}

void TestReadoutDialog::cancelDuringReadout_data()
{
    QTest::addColumn<int>("afterEntries"); // 0: before the panel was identified
    QTest::addColumn<QStringList>("asked");

    QTest::newRow("identified: No keeps the data unsaved") << 20 << QStringList{kSave};
    QTest::newRow("not yet identified: nothing to save") << 0 << QStringList{};
}

void TestReadoutDialog::cancelDuringReadout()
{
    QFETCH(int, afterEntries);
    QFETCH(QStringList, asked);

    // On the bus with no master: three seconds of listening first, then five of quiet.
    Rig r(zl(200), "int.");
    const qint64 start = r.clock.nowMs();
    ReadoutState &readout = r.w().readoutState();
    r.step = [&](frm_Daten_empfangen &dlg) {
        if (!r.started || (afterEntries == 0 ? r.clock.nowMs() - start <= 1000
                                             : readout.gHistoryIndex <= afterEntries))
            return false;
        r.step = nullptr;
        dlg.reject();
        return true;
    };
    r.w().runFileCommand(1);

    QCOMPARE(r.firstLook.value(0), QString("Address int."));
    QVERIFY(!r.line.host().isOpen());
    // A running transfer is ended before the dialog goes.
    QCOMPARE(r.sim->panelRequests().value(r.sim->panelRequests().size() - 1) == ":;017:LCDST",
             afterEntries > 0);
    QCOMPARE(r.asked(), asked);
    QCOMPARE(r.w().fileState().gNewData, afterEntries > 0);
    QVERIFY(!readout.gReadoutActive);
    QVERIFY(r.w().historyWindow());
}

// Closed while the read-out's end closes the port: the save question waits for the merge.
void TestReadoutDialog::closeDuringEnd()
{
    Rig r(zl(30));
    r.f.asker().answers << Asker::Answer::Yes;
    r.f.asker().saveNames << r.f.path("plant.his");
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

    QCOMPARE(r.asked(), (QStringList{kSave, "save"}));
    QCOMPARE(ShellFixture::historyRows(r.f.path("plant.his")), 30);
}

// The interface dialog follows, and finds no port either (the line refuses every open).
void TestReadoutDialog::portDoesNotOpen()
{
    Rig r(zl(5));
    r.line.host().failNextOpens(1000);
    r.w().runFileCommand(1);

    QCOMPARE(r.asked(),
             (QStringList{"The selected interface is not valid or has already been assigned!",
                          QString::fromUtf8(Com_CFG::kNoPortsMessage)}));
    QVERIFY(r.seen.contains("Com_CFG"));
    QVERIFY(r.sim->framesFromPc().isEmpty());
    QVERIFY(r.w().historyWindow());
    QVERIFY(r.w().menuBar()->isEnabled());
}

// Several panels: the bus searched, its panels put in the list and read one after the other
// into the file, one summary, the save question.
void TestReadoutDialog::sitePanels()
{
    Rig r(zl(20));
    r.sim->addPanel(PanelScenario::generate(PanelScenario::Layout::PV, 12, 5, 5));
    r.f.asker().answers << Asker::Answer::Ok << Asker::Answer::Ok << Asker::Answer::Yes;
    r.f.asker().saveNames << r.f.path("site.his");
    int stage = 0;
    QString list;
    r.step = [&](frm_Daten_empfangen &dlg) {
        auto *start = dlg.findChild<QPushButton *>("Command1(0)");
        if (stage == 0) {
            dlg.findChild<QRadioButton *>("optMehrereGeraete")->click();
            dlg.findChild<QPushButton *>("cmdBusSuchen")->click();
            r.started = true;
            stage = 1;
        } else if (stage == 1 && start->isEnabled()) {
            list = dlg.findChild<QLineEdit *>("txtAdressliste")->text();
            start->click();
            stage = 2;
        } else {
            return false;
        }
        return true;
    };
    r.w().runFileCommand(1);

    QCOMPARE(list, QString("5,17"));
    QCOMPARE(
        r.asked(),
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
