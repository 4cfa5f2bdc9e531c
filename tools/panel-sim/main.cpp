// qvr-panel-sim: a simulated alarm indicator panel on a pseudo-terminal or serial device,
// for tests, benchmarks and a demonstration without hardware.

#include "PanelScenario.h"
#include "PanelSimulator.h"
#ifdef Q_OS_UNIX
#include "PanelSimHost.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace qvr;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "qvr-panel-sim: %s\n", qPrintable(message));
    return 2;
}

// "COMMAND[:INDEX[:TIMES]]" of the fault options.
bool parseRule(const QString &text, PanelScenario::FaultRule::Kind kind,
               PanelScenario::FaultRule *rule)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 3)
        return false;
    rule->kind = kind;
    rule->command = parts[0].toUpper();
    rule->index = -1;
    rule->times = -1;
    bool ok = true;
    if (parts.size() > 1 && !parts[1].isEmpty())
        rule->index = parts[1].toInt(&ok);
    if (ok && parts.size() > 2)
        rule->times = parts[2].toInt(&ok);
    return ok;
}

// "ADDRESS:CLASS[:ENTRIES]" or "ADDRESS:FILE", separated by commas; every address once.
bool parseSite(const QString &text, int entries, int seed, QList<PanelScenario> *panels,
               QString *error)
{
    QList<int> seen;
    for (const QString &item : text.split(QLatin1Char(','))) {
        const qsizetype colon = item.indexOf(QLatin1Char(':'));
        bool ok = false;
        const int address = colon > 0 ? item.left(colon).trimmed().toInt(&ok) : 0;
        const QString what = item.mid(colon + 1).trimmed();
        const QStringList parts = what.split(QLatin1Char(':'));
        const QString name = parts.first().toUpper();
        const bool generated = name == QLatin1String("ZL") || name == QLatin1String("PV") ||
                               name == QLatin1String("RQ");
        int count = entries;
        if (generated && parts.size() == 2)
            count = parts[1].toInt(&ok);
        if (!ok || address < 1 || address > 99 || what.isEmpty() || seen.contains(address) ||
            count < 0 || count > 9999 || (generated && parts.size() > 2)) {
            *error = QStringLiteral("--site takes ADDRESS:CLASS[:ENTRIES] or ADDRESS:FILE "
                                    "items, addresses 1 to 99 once each: %1")
                         .arg(item);
            return false;
        }
        seen << address;
        PanelScenario panel;
        if (generated) {
            const PanelScenario::Layout layout =
                name == QLatin1String("PV")   ? PanelScenario::Layout::PV
                : name == QLatin1String("RQ") ? PanelScenario::Layout::RQ
                                              : PanelScenario::Layout::ZL;
            panel = PanelScenario::generate(layout, count, quint32(seed + address), address);
        } else {
            panel = PanelScenario::load(what, error);
            if (!error->isEmpty())
                return false;
            panel.address = address;
        }
        *panels << panel;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef Q_OS_UNIX
    PanelSimHost::blockStopSignals();
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvr-panel-sim"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A simulated alarm indicator panel. Opens a pseudo-terminal and prints its path "
        "(or serves the given serial device) and answers read-out requests until stopped."));
    p.addHelpOption();
    const QCommandLineOption device(QStringLiteral("device"),
                                    QStringLiteral("Serve this serial device instead of a new "
                                                   "pseudo-terminal."),
                                    QStringLiteral("path"));
    const QCommandLineOption scenario(QStringLiteral("scenario"),
                                      QStringLiteral("Read the panel from a scenario file."),
                                      QStringLiteral("file"));
    const QCommandLineOption writeScenario(
        QStringLiteral("write-scenario"),
        QStringLiteral("Write the resulting scenario to a file and exit."),
        QStringLiteral("file"));
    const QCommandLineOption klass(QStringLiteral("class"),
                                   QStringLiteral("Answer layout ZL, PV or RQ (default ZL)."),
                                   QStringLiteral("class"));
    const QCommandLineOption type(QStringLiteral("type"),
                                  QStringLiteral("Device type in the identification answer."),
                                  QStringLiteral("text"));
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("Model number in the identification answer "
                                                  "(a pair not in the supported table makes an "
                                                  "unsuitable panel)."),
                                   QStringLiteral("text"));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Bus address 1 to 99 (default 1)."),
                                     QStringLiteral("n"));
    const QCommandLineOption entries(QStringLiteral("entries"),
                                     QStringLiteral("History entries to generate (default 20)."),
                                     QStringLiteral("n"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the generated history (default 1)."),
                                  QStringLiteral("n"));
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("Message text language code (default 01)."),
                                      QStringLiteral("code"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Line timing at this baud rate, 10 bits a "
                                                 "character (on a device: its speed)."),
                                  QStringLiteral("n"));
    const QCommandLineOption turnaround(QStringLiteral("turnaround"),
                                        QStringLiteral("Milliseconds from a request to its "
                                                       "answer (default 0)."),
                                        QStringLiteral("ms"));
    const QCommandLineOption master(QStringLiteral("master"),
                                    QStringLiteral("A bus master station at this address "
                                                   "holds the bus and polls station 101."),
                                    QStringLiteral("n"));
    const QCommandLineOption masterQueries(
        QStringLiteral("master-queries"),
        QStringLiteral("Frames the master sends in turn, separated by | "
                       "(default \":;101:MAST?\")."),
        QStringLiteral("frames"));
    const QCommandLineOption masterPoll(QStringLiteral("master-poll"),
                                        QStringLiteral("Milliseconds between the master's "
                                                       "queries (default 100)."),
                                        QStringLiteral("ms"));
    const QCommandLineOption masterKeeps(QStringLiteral("master-never-takes-back"),
                                         QStringLiteral("The master ignores \"MAST? 101\"."));
    const QCommandLineOption silentFrom(QStringLiteral("silent-from"),
                                        QStringLiteral("No answers from the request for entry "
                                                       "k on."),
                                        QStringLiteral("k"));
    const QCommandLineOption badEvery(QStringLiteral("bad-checksum-every"),
                                      QStringLiteral("Every n-th answer has a wrong checksum."),
                                      QStringLiteral("n"));
    const QCommandLineOption badChecksum(QStringLiteral("bad-checksum"),
                                         QStringLiteral("Wrong checksum on answers to "
                                                        "COMMAND[:INDEX[:TIMES]]."),
                                         QStringLiteral("rule"));
    const QCommandLineOption failCheck(QStringLiteral("fail"),
                                       QStringLiteral("Answers to COMMAND[:INDEX[:TIMES]] fail "
                                                      "the program's checks."),
                                       QStringLiteral("rule"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("No answer to COMMAND[:INDEX[:TIMES]]."),
                                    QStringLiteral("rule"));
    const QCommandLineOption noAnalog(QStringLiteral("no-analog"),
                                      QStringLiteral("The panel has no analogue records."));
    const QCommandLineOption isx(QStringLiteral("isx"),
                                 QStringLiteral("The insulation fault location is scanning."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Noise on the line before every frame."));
    const QCommandLineOption exitAfter(QStringLiteral("exit-after-readout"),
                                       QStringLiteral("Exit once a read-out is over (on a site: "
                                                      "once every panel has been read)."));
    const QCommandLineOption site(
        QStringLiteral("site"),
        QStringLiteral("Several panels on the line behind the one master station, e.g. "
                       "3:ZL,5:PV:200,17:RQ or 5:panel5.txt: ADDRESS:CLASS[:ENTRIES] "
                       "generates a panel (default --entries entries, seed --seed plus the "
                       "address), ADDRESS:FILE reads a scenario file. The fault and language "
                       "options apply to the first panel. Replaces --address, --class, "
                       "--type, --model and --scenario."),
        QStringLiteral("list"));
    p.addOptions({device,      scenario,      writeScenario, klass,       type,       model,
                  address,     entries,       seed,          language,    baud,       turnaround,
                  master,      masterQueries, masterPoll,    masterKeeps, silentFrom, badEvery,
                  badChecksum, failCheck,     silent,        noAnalog,    isx,        garbage,
                  exitAfter,   site});
    p.process(app);

    auto number = [&](const QCommandLineOption &o, int fallback, int lo, int hi, int *out) {
        if (!p.isSet(o)) {
            *out = fallback;
            return true;
        }
        bool ok = false;
        *out = p.value(o).toInt(&ok);
        return ok && *out >= lo && *out <= hi;
    };

    PanelScenario s;
    QString error;
    int addr = 1;
    if (!number(address, 1, 1, 99, &addr))
        return fail(QStringLiteral("--address must be 1 to 99"));
    QList<PanelScenario> sitePanels;
    if (p.isSet(site)) {
        for (const QCommandLineOption *o : {&address, &klass, &type, &model, &scenario})
            if (p.isSet(*o))
                return fail(QStringLiteral("--site names the panels; --%1 cannot go with it")
                                .arg(o->names().constFirst()));
        int count = 0, seedValue = 0;
        if (!number(entries, 20, 0, 9999, &count) || !number(seed, 1, 0, INT_MAX - 100, &seedValue))
            return fail(QStringLiteral("--entries must be 0 to 9999 and --seed a number"));
        if (!parseSite(p.value(site), count, seedValue, &sitePanels, &error))
            return fail(error);
        s = sitePanels.takeFirst();
    } else if (p.isSet(scenario)) {
        s = PanelScenario::load(p.value(scenario), &error);
        if (!error.isEmpty())
            return fail(error);
        if (p.isSet(address))
            s.address = addr;
    } else {
        PanelScenario::Layout layout = PanelScenario::Layout::ZL;
        const QString name = p.value(klass).toUpper();
        if (name == QLatin1String("PV"))
            layout = PanelScenario::Layout::PV;
        else if (name == QLatin1String("RQ"))
            layout = PanelScenario::Layout::RQ;
        else if (!name.isEmpty() && name != QLatin1String("ZL"))
            return fail(QStringLiteral("--class must be ZL, PV or RQ"));
        // A known type and model decide the layout, as they do in the program.
        if (name.isEmpty() && p.isSet(type) && p.isSet(model))
            PanelScenario::layoutOf(p.value(type), p.value(model), &layout);
        int count = 0, seedValue = 0;
        if (!number(entries, 20, 0, 9999, &count))
            return fail(QStringLiteral("--entries must be 0 to 9999"));
        if (!number(seed, 1, 0, INT_MAX, &seedValue))
            return fail(QStringLiteral("--seed must be a number"));
        s = PanelScenario::generate(layout, count, quint32(seedValue), addr);
    }
    if (p.isSet(type))
        s.deviceType = p.value(type);
    if (p.isSet(model))
        s.model = p.value(model);
    if (p.isSet(language))
        s.language = p.value(language);

    int value = 0;
    if (!number(baud, 0, 0, 115200, &value))
        return fail(QStringLiteral("--baud must be a baud rate"));
    if (p.isSet(baud))
        s.timing.baud = value;
    if (!number(turnaround, s.timing.turnaroundMs, 0, 10000, &s.timing.turnaroundMs))
        return fail(QStringLiteral("--turnaround must be 0 to 10000 ms"));
    if (p.isSet(master)) {
        s.master.present = true;
        if (!number(master, 100, 0, 299, &s.master.address))
            return fail(QStringLiteral("--master must be a station address 0 to 299"));
    }
    if (p.isSet(masterQueries))
        s.master.queries = p.value(masterQueries).split(QLatin1Char('|'));
    if (!number(masterPoll, s.master.pollIntervalMs, 1, 60000, &s.master.pollIntervalMs))
        return fail(QStringLiteral("--master-poll must be 1 to 60000 ms"));
    s.master.neverTakesBack = s.master.neverTakesBack || p.isSet(masterKeeps);
    if (!number(silentFrom, s.faults.silentFromEntry, 0, 9999, &s.faults.silentFromEntry))
        return fail(QStringLiteral("--silent-from must be an entry number"));
    if (!number(badEvery, s.faults.badChecksumEvery, 0, 9999, &s.faults.badChecksumEvery))
        return fail(QStringLiteral("--bad-checksum-every must be a number"));
    const struct {
        const QCommandLineOption &option;
        PanelScenario::FaultRule::Kind kind;
    } ruleOptions[] = {{badChecksum, PanelScenario::FaultRule::Kind::BadChecksum},
                       {failCheck, PanelScenario::FaultRule::Kind::FailCheck},
                       {silent, PanelScenario::FaultRule::Kind::Silent}};
    for (const auto &ro : ruleOptions) {
        for (const QString &v : p.values(ro.option)) {
            PanelScenario::FaultRule rule;
            if (!parseRule(v, ro.kind, &rule))
                return fail(QStringLiteral("a fault rule is COMMAND[:INDEX[:TIMES]]: %1").arg(v));
            s.faults.rules << rule;
        }
    }
    s.faults.noAnalog = s.faults.noAnalog || p.isSet(noAnalog);
    s.faults.isx = s.faults.isx || p.isSet(isx);
    s.faults.garbage = s.faults.garbage || p.isSet(garbage);

    if (p.isSet(writeScenario)) {
        QFile f(p.value(writeScenario));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(s.toText().toUtf8()) < 0 || !f.flush())
            return fail(QStringLiteral("cannot write %1: %2").arg(f.fileName(), f.errorString()));
        return 0;
    }

#ifdef Q_OS_UNIX
    // A real line has its own timing; the simulator then adds only the turnaround.
    const int deviceSpeed = s.timing.baud > 0 ? s.timing.baud : 9600;
    if (p.isSet(device))
        s.timing.baud = 0;
    PanelSimulator sim(s);
    for (PanelScenario &panel : sitePanels)
        sim.addPanel(std::move(panel));
    sim.setRecording(false);
    PanelSimHost host(sim);
    if (p.isSet(device) ? !host.openDevice(p.value(device), deviceSpeed, &error)
                        : !host.openPseudoTerminal(&error))
        return fail(error);
    std::printf("%s\n", qPrintable(host.path()));
    std::fflush(stdout);

    const bool ok = host.run(p.isSet(exitAfter), &error);
    const PanelSimulator::Stats st = sim.stats();
    std::fprintf(stderr,
                 "qvr-panel-sim: %lld characters received, %lld sent, %d frames received, "
                 "%d answers, %d turnarounds, %lld characters dropped, %lld of the master's "
                 "queries, master without the bus %lld ms\n",
                 static_cast<long long>(st.charsReceived), static_cast<long long>(st.charsSent),
                 st.framesReceived, st.answers, st.turnarounds,
                 static_cast<long long>(host.dropped()), static_cast<long long>(st.pollChars),
                 static_cast<long long>(st.masterReleasedMs));
    if (!ok)
        return fail(error);
    return 0;
#else
    return fail(QStringLiteral("serving a line needs pseudo-terminals or POSIX serial devices; "
                               "on Windows only --write-scenario works"));
#endif
}
