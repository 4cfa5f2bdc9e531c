#pragma once

// Shared by the read-out tests: the engine on the virtual clock, wired through the
// in-memory serial line to the simulated panel, over a fresh history file.
#include "PanelScenario.h"
#include "PanelSimDriver.h"
#include "PanelSimulator.h"
#include "bus/BusLink.h"
#include "bus/BusTimers.h"
#include "bus/LinkState.h"
#include "bus/MemorySerialLine.h"
#include "bus/ReadoutEngine.h"
#include "bus/ReadoutPresenter.h"
#include "core/TextTable.h"
#include "core/VirtualClock.h"
#include "decode/ReadoutState.h"
#include "link_helper.h"
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StoreState.h"

#include <QTemporaryDir>
#include <memory>

namespace qvr {

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
        ready = dir.isValid()
                && HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("r.his")),
                                                        &error);
        line.device().setSettings(
            connType == QLatin1String("USB")     ? QStringLiteral("57600,E,7,1")
            : connType == QLatin1String("RS232") ? QStringLiteral("9600,E,7,1")
                                                 : baud + QStringLiteral(",E,7,1"));
        sim = std::make_unique<PanelSimulator>(scenario);
        link = std::make_unique<BusLink>(line.host(), clock, timers, linkState, settings.store(),
                                         texts, asker);
        link->setAppPath(settings.folder());
        engine = std::make_unique<ReadoutEngine>(*link, readout, store, texts, clock, presenter);
        engine->setAppPath(dir.path());
        presenter.onClose = [this] { engine->StopReadout(); };
    }

    // Opens the port, starts the panel, reads panel `address` and runs until the read-out
    // is over (or maxMs of virtual time have passed).
    bool run(int address, qint64 maxMs = 600000)
    {
        bool failed = false;
        link->OpenBusPort(failed);
        if (failed)
            return false;
        driver = std::make_unique<PanelSimDriver>(*sim, line.device(), clock);
        readout.gDeviceAddress = qint16(address);
        startedAt = clock.nowMs();
        if (!engine->StartReadout())
            return false;
        return clock.runUntil([this] { return presenter.over(); }, maxMs);
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
    LinkTestAsker asker;
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

// A scenario from its text form; an empty scenario (and a test failure) when it is wrong.
inline PanelScenario scenarioFrom(const QString &text, QString *error)
{
    return PanelScenario::parse(text, error);
}

} // namespace qvr
