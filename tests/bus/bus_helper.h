#pragma once

// Shared by the bus tests: a settings store in a temporary folder, and the read-out engine
// on the virtual clock, wired through the in-memory serial line to the simulated panel, over
// a fresh history file.
#include "PanelScenario.h"
#include "PanelSimDriver.h"
#include "PanelSimulator.h"
#include "bus/BusLink.h"
#include "bus/BusTimers.h"
#include "bus/Frame.h"
#include "bus/LinkState.h"
#include "bus/MemorySerialLine.h"
#include "bus/ReadoutEngine.h"
#include "bus/ReadoutPresenter.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "core/VirtualClock.h"
#include "core/asker_helper.h"
#include "decode/ReadoutState.h"
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StoreState.h"

#include <QTemporaryDir>
#include <memory>

namespace qvr {

// A settings store over "settings.ini" in its own temporary folder, which also serves as
// the installation folder.
class LinkTestSettings
{
public:
    QString folder() const { return m_dir.path(); }
    SettingsStore &store() { return *m_store; }
    void set(const QString &section, const QString &name, const QString &value)
    {
        m_store->WriteSetting(section, name, value);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_store = std::make_unique<SettingsStore>(
        std::make_unique<IniSettingsBackend>(m_dir.filePath(QStringLiteral("settings.ini"))));
};

// A scenario from its text form; a text the simulated panel does not take is a fault of
// the test.
inline PanelScenario scenarioOf(const QString &text)
{
    QString error;
    PanelScenario s = PanelScenario::parse(text, &error);
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    return s;
}

// Records what a read-out shows; closing the dialog stops the read-out as the dialog does.
class RecordingPresenter : public ReadoutPresenter
{
public:
    explicit RecordingPresenter(const Clock &clock) : m_clock(clock) {}

    QList<int> statuses;
    QList<int> messages;
    QList<qint64> messageTimes;
    int progress = -1;
    bool animation = false;
    bool succeeded = false;
    bool closed = false;
    bool mainEnabled = false;
    QStringList storeFailures;
    std::function<void()> onClose;

    bool over() const { return closed || succeeded; }

    void setStatus(int textId) override { statuses << textId; }
    void setProgress(int percent) override { progress = percent; }
    void startAnimation() override { animation = true; }
    void stopAnimation() override { animation = false; }
    bool animationRunning() const override { return animation; }
    void showMessage(int textId, Asker::Icon, bool) override
    {
        messages << textId;
        messageTimes << m_clock.nowMs();
    }
    void setBusyPointer(bool) override {}
    void readoutSucceeded() override { succeeded = true; }
    void enableMainWindow() override { mainEnabled = true; }
    void closeDialog() override
    {
        closed = true;
        if (onClose)
            onClose();
    }
    void storeFailure(const QString &detail) override { storeFailures << detail; }

private:
    const Clock &m_clock;
};

// One panel on one line and the program's read-out engine on the other end.
class ReadoutRig
{
public:
    // `connType` as the interface settings hold it; `baud` is the configured rate and the
    // rate the panel's end listens at (a direct or self-made master switches the PC's end
    // to 57600 or 9600, so those tests pass the rate the panel is at).
    ReadoutRig(const PanelScenario &scenario, const QString &connType, const QString &baud,
               bool lineTiming = false)
    {
        line.setLineTiming(lineTiming);
        settings.set(QStringLiteral("Schnittstelle"), QStringLiteral("ConnType"), connType);
        settings.set(QStringLiteral("Schnittstelle"), QStringLiteral("Baud"), baud);
        settings.set(QStringLiteral("Installation"), QStringLiteral("CurDir"), settings.folder());
        ready = dir.isValid() && HistorySchema::CreateHistoryDatabase(
                                     store, dir.filePath(QStringLiteral("r.his")), &error);
        line.device().setSettings(connType == QLatin1String("USB") ? QStringLiteral("57600,E,7,1")
                                  : connType == QLatin1String("RS232")
                                      ? QStringLiteral("9600,E,7,1")
                                      : baud + QStringLiteral(",E,7,1"));
        sim = std::make_unique<PanelSimulator>(scenario);
        link = std::make_unique<BusLink>(line.host(), clock, timers, linkState, settings.store(),
                                         texts, asker);
        link->setAppPath(settings.folder());
        engine = std::make_unique<ReadoutEngine>(*link, readout, store, texts, clock, presenter);
        engine->setAppPath(dir.path());
        presenter.onClose = [this] { engine->StopReadout(); };
    }

    // Opens the port, starts the panel and starts reading panel `address`.
    bool start(int address)
    {
        bool failed = false;
        link->OpenBusPort(failed);
        if (failed)
            return false;
        driver = std::make_unique<PanelSimDriver>(*sim, line.device(), clock);
        readout.gDeviceAddress = qint16(address);
        startedAt = clock.nowMs();
        return engine->StartReadout();
    }
    // start(), then runs until the read-out is over (or maxMs of virtual time have passed).
    bool run(int address, qint64 maxMs = 600000)
    {
        return start(address) && clock.runUntil([this] { return presenter.over(); }, maxMs);
    }

    // Requests the panel received, without the frame's "&", checksum and CR LF.
    QStringList requests() const { return sim->panelRequests(); }

    // ParameterNummer of every row of a table in the table's standard order.
    QList<int> addresses(const char *table)
    {
        QList<int> out;
        const QString sql = QStringLiteral("Select * From %1 order by TableauAdresse, Start_Datum")
                                .arg(QLatin1String(table));
        std::unique_ptr<Recordset> rs = store.gDatabase->openRecordset(sql, &error);
        if (!rs || rs->recordCount() == 0 || !rs->moveFirst())
            return out;
        while (!rs->eof()) {
            out << rs->field(QStringLiteral("ParameterNummer")).toInt();
            rs->moveNext();
        }
        return out;
    }

    VirtualClock clock;
    MemorySerialLine line{clock};
    LinkTestSettings settings;
    test::FakeAsker asker;
    Texts texts;
    BusTimers timers{clock};
    LinkState linkState;
    ReadoutState readout;
    StoreState store;
    QTemporaryDir dir;
    RecordingPresenter presenter{clock};
    std::unique_ptr<PanelSimulator> sim;
    std::unique_ptr<BusLink> link;
    std::unique_ptr<ReadoutEngine> engine;
    std::unique_ptr<PanelSimDriver> driver;
    qint64 startedAt = 0;
    QString error;
    bool ready = false;
};

} // namespace qvr
