// qvr-history-cli: reads a panel's history memory into a history file without windows,
// through the same read-out engine as the window program.
//
//   qvr-history-cli readout --port DEVICE --connection RS232|USB|int.|ext.
//                   --address N|LIST|all --file FILE.his [--baud N] [--settings FILE]
//                   [--lang de|en]
//
// A list ("3,5,10-14") or "all" (the panels a search of the bus finds) reads a site: one
// panel after the other into the one file, a summary line per panel at the end.
//
//   qvr-history-cli export --file FILE.his --csv OUT.csv [--where CLAUSE] [--lang de|en]
//                   [--settings FILE]
//
// writes the history grid as the window shows it (the filter clause CLAUSE in the filter
// window's dialect, the grid's order and columns) to a CSV file; the history file is only
// read.
//
// Exit status: 0 success (also when the panel's ISX scan ended the read-out; on a site:
// every panel read), 3 a read-out that ended with an error message (on a site: any panel),
// 1 usage or file errors, 128 + the signal's number when SIGINT or SIGTERM stopped it (the
// panel and the bus were handed back; the file is as it was, or on a site holds what the
// panels before the stopped one delivered).

#include "app/StopSignals.h"
#include "bus/BusLink.h"
#include "bus/BusSearch.h"
#include "bus/BusTimers.h"
#include "bus/LinkState.h"
#include "bus/PortNames.h"
#include "bus/QtSerialPortAdapter.h"
#include "bus/ReadoutEngine.h"
#include "bus/ReadoutPresenter.h"
#include "bus/SiteReadout.h"
#include "core/Asker.h"
#include "core/Folders.h"
#include "core/QtClock.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "store/FileState.h"
#include "store/HistoryFile.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"
#include "view/CsvExport.h"
#include "view/GridRecordReader.h"
#include "view/GridRowSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cstdio>
#include <unistd.h>

namespace qvr {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitReadout = 3;
constexpr int kTextUsage = 31120;
constexpr int kTextProgress = 31110;
constexpr int kTextStopped = 31200;
constexpr int kExitSignal = 128;
constexpr int kTextBadList = 31420;
constexpr int kTextSearching = 31350;
constexpr int kTextFound = 31360;
constexpr int kTextNoneFound = 31370;
constexpr int kTextFoundHeading = 31380;
constexpr int kTextResults = 31430;
constexpr int kTextStoppedSaved = 31440;
constexpr int kTextExportUsage = 31460;
constexpr int kTextRefused = 31470;
constexpr int kTextExportFailed = 31480;
constexpr int kTextExported = 31490;

void print(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

// The program's settings with the interface values of the command line laid over them;
// nothing of the command line is written back.
class OverlaySettingsBackend : public SettingsBackend
{
public:
    OverlaySettingsBackend(SettingsBackend &base, QHash<QString, QString> values)
        : m_base(base), m_values(std::move(values))
    {
    }
    static QString key(const QString &section, const QString &name)
    {
        return section.toLower() + QLatin1Char('/') + name.toLower();
    }
    bool read(const QString &section, const QString &name, QString *value) const override
    {
        const auto it = m_values.constFind(key(section, name));
        if (it == m_values.constEnd())
            return m_base.read(section, name, value);
        *value = it.value();
        return true;
    }
    void write(const QString &section, const QString &name, const QString &value) override
    {
        m_base.write(section, name, value);
    }

private:
    SettingsBackend &m_base;
    QHash<QString, QString> m_values;
};

// Message boxes become lines on standard output; the save dialog answers with the file
// named on the command line.
class ConsoleAsker : public Asker
{
public:
    explicit ConsoleAsker(QString saveTarget) : m_saveTarget(std::move(saveTarget)) {}
    Answer message(const QString &text, const QString &, Icon, Buttons buttons, bool) override
    {
        print(stdout, text + QLatin1Char('\n'));
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    }
    QString openFileName(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString saveFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return m_saveTarget;
    }

private:
    QString m_saveTarget;
};

// The read-out on a console: a progress line on a terminal, messages as lines.
class ConsolePresenter : public ReadoutPresenter
{
public:
    ConsolePresenter(const Texts &texts, bool terminal) : m_texts(texts), m_terminal(terminal) {}

    bool done = false;
    std::function<void()> onClose;

    void setStatus(int textId) override { m_status = textId; }
    void setProgress(int) override {}
    void entryProgress(int index, int count) override
    {
        progressLine(m_texts.ResText(kTextProgress).arg(index).arg(count));
    }
    // A line that the next one overwrites, on a terminal only.
    void progressLine(const QString &text)
    {
        if (!m_terminal)
            return;
        print(stdout, QLatin1Char('\r') + text);
        m_progressShown = true;
    }
    void startAnimation() override { m_animation = true; }
    void stopAnimation() override { m_animation = false; }
    bool animationRunning() const override { return m_animation; }
    void showMessage(int textId, Asker::Icon, bool) override
    {
        endProgressLine();
        print(stdout, m_texts.ResText(textId) + QLatin1Char('\n'));
    }
    void setBusyPointer(bool) override {}
    void readoutSucceeded() override
    {
        endProgressLine();
        print(stdout, m_texts.ResText(m_status) + QLatin1Char('\n'));
    }
    void enableMainWindow() override { done = true; }
    void closeDialog() override
    {
        done = true;
        if (onClose)
            onClose();
    }
    void storeFailure(const QString &detail) override
    {
        endProgressLine();
        print(stderr, detail + QLatin1Char('\n'));
    }
    void endProgressLine()
    {
        if (m_progressShown)
            print(stdout, QStringLiteral("\n"));
        m_progressShown = false;
    }

private:
    const Texts &m_texts;
    bool m_terminal;
    bool m_animation = false;
    bool m_progressShown = false;
    int m_status = 0;
};

// A site on the console: the panel being read as a line, one line per panel at the end.
class ConsoleSite : public SiteObserver
{
public:
    ConsoleSite(const Texts &texts, ConsolePresenter &presenter)
        : m_texts(texts), m_presenter(presenter)
    {
    }
    const SiteReadout *site = nullptr;
    bool over = false;

    void panelStarted(int number, int count, int address) override
    {
        m_presenter.endProgressLine();
        print(stdout, m_texts.ResText(SiteReadout::kMsgPanel).arg(number).arg(count).arg(address) +
                          QLatin1Char('\n'));
    }
    void siteFinished() override
    {
        m_presenter.endProgressLine();
        print(stdout, m_texts.ResText(kTextResults) + QLatin1Char('\n'));
        for (const QString &line : site->summary())
            print(stdout, line + QLatin1Char('\n'));
        over = true;
    }

private:
    const Texts &m_texts;
    ConsolePresenter &m_presenter;
};

struct Options
{
    QString port;
    QString connection;
    int address = 0;
    QList<int> addresses; // a site: a list, a range or all
    bool all = false;
    bool badList = false;
    QString file;
    QString baud;
    QString language;
};

// Parses "readout --name value ..."; false for anything else.
bool parseOptions(const QStringList &args, Options *o)
{
    if (args.size() < 2 || args[1] != QLatin1String("readout"))
        return false;
    QHash<QString, QString> values;
    for (qsizetype i = 2; i < args.size(); i += 2) {
        const QString &name = args[i];
        static const QStringList known{"--port", "--connection", "--address", "--file",
                                       "--baud", "--settings",   "--lang"};
        if (!known.contains(name) || i + 1 >= args.size() || values.contains(name))
            return false;
        values.insert(name, args[i + 1]);
    }
    o->port = values.value(QStringLiteral("--port")).trimmed();
    o->connection = values.value(QStringLiteral("--connection"));
    o->file = values.value(QStringLiteral("--file"));
    o->baud = values.value(QStringLiteral("--baud"));
    o->language = values.value(QStringLiteral("--lang"));
    bool ok = SiteReadout::ParseAddressList(values.value(QStringLiteral("--address")),
                                            &o->addresses, &o->all);
    o->badList = !ok && values.contains(QStringLiteral("--address"));
    o->address = o->addresses.size() == 1 ? o->addresses.first() : 0;
    static const QStringList connections{"RS232", "USB", "int.", "ext."};
    if (!ok || o->port.isEmpty() || o->file.isEmpty() || !connections.contains(o->connection))
        return false;
    if (!o->baud.isEmpty()) {
        const int baud = o->baud.toInt(&ok);
        if (!ok || baud <= 0)
            return false;
    }
    return o->language.isEmpty() || o->language == QLatin1String("de")
           || o->language == QLatin1String("en");
}

// What a site read-out on the command line works with.
struct SiteRun
{
    const Options &o;
    BusLink &link;
    ReadoutState &readout;
    StoreState &store;
    const Texts &texts;
    Clock &clock;
    ConsolePresenter &presenter;
    HistoryFile &history;
    bool existed;
    QString target;
    QString appPath;
    std::function<void()> &stopReading;
    const StopSignals &stopSignals;
};

// The panels of a list, or those a search finds, one after the other into the file.
int readSite(SiteRun &r)
{
    const Texts &texts = r.texts;
    const auto stopped = [&r] { return r.stopSignals.received() != 0; };
    bool failed = false;
    r.link.OpenBusPort(failed);
    if (failed)
        return kExitUsage;
    r.clock.processEvents(); // a stop that came while the file and the port were opened
    QList<int> addresses = r.o.addresses;
    int master = -1;
    if (r.o.all && !stopped()) {
        BusSearch search(r.link, r.clock);
        bool over = false;
        search.asking = [&](int number, int count, int address) {
            r.presenter.progressLine(
                texts.ResText(kTextSearching).arg(address).arg(number).arg(count));
        };
        search.finished = [&over] { over = true; };
        r.stopReading = [&search] { search.requestStop(); };
        search.start(addresses);
        r.clock.waitWhile([&over] { return !over; });
        r.stopReading = nullptr;
        r.presenter.endProgressLine();
        if (search.endMessage() != 0)
            print(stdout, texts.ResText(search.endMessage()) + QLatin1Char('\n'));
        print(stdout,
              texts.ResText(search.panels().isEmpty() ? kTextNoneFound : kTextFoundHeading) +
                  QLatin1Char('\n'));
        addresses.clear();
        for (const BusSearch::Panel &p : search.panels()) {
            print(stdout,
                  texts.ResText(kTextFound).arg(p.address).arg(p.type, p.model, p.deviceClass) +
                      QLatin1Char('\n'));
            addresses << p.address;
        }
        master = search.masterAddress();
        r.link.setLogAppend(true); // the search's traffic stays in the bus log
        if (!stopped() && (search.endMessage() != 0 || addresses.isEmpty()))
            return kExitReadout;
    }
    if (stopped()) {
        print(stderr, texts.ResText(kTextStopped).arg(r.target) + QLatin1Char('\n'));
        return kExitSignal + r.stopSignals.received();
    }

    ConsoleSite observer(texts, r.presenter);
    SiteReadout site(r.link, r.readout, r.store, texts, r.clock, r.presenter, observer);
    observer.site = &site;
    site.setAppPath(r.appPath);
    r.stopReading = [&site] { site.requestStop(); };
    site.start(addresses, master);
    r.clock.waitWhile([&observer] { return !observer.over; });
    r.stopReading = nullptr;

    int status = kExitOk;
    for (const SiteReadout::PanelResult &p : site.results()) {
        using State = SiteReadout::PanelResult::State;
        if (p.state == State::StoreFailed)
            status = kExitUsage;
        else if (status == kExitOk &&
                 (p.state != State::Read || p.message == ReadoutEngine::kMsgReturnFailed))
            status = kExitReadout;
    }
    // What the panels before a stop delivered is kept.
    bool saved = false;
    if (site.delivered()) {
        saved = r.existed ? r.history.SaveHistoryFile() : r.history.SaveHistoryFileAs();
        if (!saved) {
            // The message named the working copy: it stays, as the only copy of the data.
            r.history.KeepWorkingCopy();
            status = kExitUsage;
        }
    }
    if (stopped()) {
        print(stderr, texts.ResText(saved ? kTextStoppedSaved : kTextStopped).arg(r.target) +
                          QLatin1Char('\n'));
        return kExitSignal + r.stopSignals.received();
    }
    return status;
}

// "export --file FILE.his --csv OUT.csv [--where CLAUSE] [--lang de|en] [--settings FILE]".
int runExport(const QStringList &args, Texts &texts)
{
    QHash<QString, QString> values;
    bool valid = true;
    for (qsizetype i = 2; i < args.size(); i += 2) {
        static const QStringList known{"--file", "--csv", "--where", "--lang", "--settings"};
        if (!known.contains(args[i]) || i + 1 >= args.size() || values.contains(args[i])) {
            valid = false;
            break;
        }
        values.insert(args[i], args[i + 1]);
    }
    const QString language = values.value(QStringLiteral("--lang"));
    if (language == QLatin1String("de"))
        texts.gLanguageOffset = 0;
    else if (language == QLatin1String("en"))
        texts.gLanguageOffset = 1;
    else if (!language.isEmpty())
        valid = false;
    const QString file = values.value(QStringLiteral("--file"));
    const QString csv = values.value(QStringLiteral("--csv"));
    if (!valid || file.isEmpty() || csv.isEmpty()) {
        print(stderr, texts.ResText(kTextExportUsage) + QLatin1Char('\n'));
        return kExitUsage;
    }
    auto fail = [&](int id, const QString &path, const QString &why) {
        print(stderr, texts.ResText(id).arg(QDir::toNativeSeparators(path), why.trimmed()) +
                          QLatin1Char('\n'));
        return kExitUsage;
    };

    // The file is only read: no working copy, nothing written to it.
    StoreState store;
    QString error;
    store.gDatabase =
        store.gWorkspace.OpenDatabase(file, QString(), Database::Access::ReadOnly, &error);
    if (!store.gDatabase)
        return fail(kTextExportFailed, file, error);
    QString deviceClass;
    QString textLanguage;
    if (auto lumo =
            store.gDatabase->openRecordset(QStringLiteral("Select * From LumoHistory"), &error)) {
        if (lumo->recordCount() > 0 && lumo->moveFirst()) {
            textLanguage =
                lumo->field(QString::fromLatin1(HistorySchema::Meldetextsprache)).toString();
            deviceClass = lumo->field(QString::fromLatin1(HistorySchema::Geraet)).toString();
        }
    } else {
        return fail(kTextExportFailed, file, error);
    }
    if (deviceClass.isEmpty())
        deviceClass = QStringLiteral("ZL");

    // The query the filter window runs; without a clause, the grid's own.
    const QString where = values.value(QStringLiteral("--where"));
    const QString sql =
        where.trimmed().isEmpty()
            ? QString::fromLatin1(HistorySchema::HistorySql)
            : QStringLiteral("Select * From HISTORY WHERE ") + where +
                  QStringLiteral(" order by TableauAdresse, Start_Datum, Stop_Datum");
    auto ids = std::make_shared<std::vector<qint64>>();
    if (!store.gDatabase->selectRowIds(sql, -1, ids.get(), &error)) {
        print(stderr, texts.ResText(kTextRefused).arg(where.trimmed(), error.trimmed()) +
                          QLatin1Char('\n'));
        return kExitUsage;
    }
    // Every field a cell is made of must be there (an old layout the program upgrades
    // on opening is not read here).
    if (auto rs = store.gDatabase->openRecordset(sql, ids, &error)) {
        for (const QString &name : GridRecordReader::fieldNames())
            if (rs->fieldIndex(name) < 0)
                return fail(kTextExportFailed, file,
                            QStringLiteral("Field %1 is missing.").arg(name));
    } else {
        return fail(kTextExportFailed, file, error);
    }

    const auto rows = std::make_shared<const GridRowSource>(
        store, std::move(ids), nullptr, GridCellFormatter(texts, deviceClass, textLanguage));
    const CsvExport::Table table = CsvExport::fromRows(rows, CsvExport::shownColumns());
    if (!CsvExport::writeFile(csv, table, CsvExport::separator(texts.gLanguageOffset), &error))
        return fail(kTextExportFailed, csv, error);
    if (!rows->lastError().isEmpty()) {
        QFile::remove(csv);
        return fail(kTextExportFailed, file, rows->lastError());
    }
    print(stdout, texts.ResText(kTextExported)
                          .arg(rows->rowCount())
                          .arg(QDir::toNativeSeparators(QFileInfo(csv).absoluteFilePath())) +
                      QLatin1Char('\n'));
    return kExitOk;
}

int run(const QStringList &args)
{
    std::unique_ptr<SettingsStore> programSettings = SettingsStore::forProgram(args);
    Texts texts;
    const long long savedLanguage = LeadingNumber(programSettings->ReadSetting(
        QStringLiteral("Sprache"), QStringLiteral("Sprache"), QStringLiteral("1")));
    texts.gLanguageOffset = savedLanguage == 0 ? 0 : 1;

    if (args.value(1) == QLatin1String("export"))
        return runExport(args, texts);

    Options o;
    const bool valid = parseOptions(args, &o);
    if (o.language == QLatin1String("de"))
        texts.gLanguageOffset = 0;
    else if (o.language == QLatin1String("en"))
        texts.gLanguageOffset = 1;
    if (!valid) {
        if (o.badList)
            print(stderr,
                  texts.ResText(kTextBadList).arg(args.value(args.indexOf("--address") + 1)) +
                      QLatin1Char('\n'));
        print(stderr, texts.ResText(kTextUsage) + QLatin1Char('\n') +
                          texts.ResText(kTextExportUsage) + QLatin1Char('\n'));
        return kExitUsage;
    }

    // The interface of the command line: COMn as the settings resolve it, a device path
    // as the device of port 1.
    const QString section = QStringLiteral("Schnittstelle");
    QHash<QString, QString> overlay;
    int com = PortNames::comNumber(o.port);
    if (com <= 0) {
        com = 1;
        overlay.insert(OverlaySettingsBackend::key(section, QStringLiteral("Device1")), o.port);
    }
    overlay.insert(OverlaySettingsBackend::key(section, QStringLiteral("Com")), QString::number(com));
    overlay.insert(OverlaySettingsBackend::key(section, QStringLiteral("ConnType")), o.connection);
    if (!o.baud.isEmpty())
        overlay.insert(OverlaySettingsBackend::key(section, QStringLiteral("Baud")), o.baud);
    SettingsStore settings(
        std::make_unique<OverlaySettingsBackend>(programSettings->backend(), overlay));

    QString appPath = InstallationFolder(settings);
    while (appPath.size() > 1 && (appPath.endsWith(QLatin1Char('/')) || appPath.endsWith(QLatin1Char('\\'))))
        appPath.chop(1);

    // Ctrl-C or SIGTERM: the read-out hands the panel and the bus back, and the user's
    // file stays as it was.
    std::function<void()> stopReading;
    bool stopDone = false;
    StopSignals stopSignals([&](int) {
        if (stopReading)
            stopReading();
    });

    const QString target = QFileInfo(o.file).absoluteFilePath();
    ConsoleAsker asker(target);
    FileState file;
    StoreState store;
    HistoryFile history(file, store, settings, texts, asker);
    // A target that cannot be saved is reported before the panel is read, not after.
    if (!history.CheckSaveTarget(target))
        return kExitUsage;
    const bool existed = QFileInfo::exists(target);
    if (existed) {
        QString path = target;
        if (!history.OpenHistoryFile(path))
            return kExitUsage;
    } else if (!history.NewHistoryFile()) {
        return kExitUsage;
    }

    QtClock clock;
    QtSerialPortAdapter port(&settings);
    BusTimers timers(clock);
    LinkState linkState;
    ReadoutState readout;
    BusLink link(port, clock, timers, linkState, settings, texts, asker);
    link.setAppPath(appPath);
    ConsolePresenter presenter(texts, isatty(fileno(stdout)) != 0);
    if (o.all || o.addresses.size() > 1) {
        SiteRun siteRun{o,       link,    readout, store,   texts,       clock,      presenter,
                        history, existed, target,  appPath, stopReading, stopSignals};
        const int status = readSite(siteRun);
        history.CloseHistoryFile();
        return status;
    }
    ReadoutEngine engine(link, readout, store, texts, clock, presenter);
    engine.setAppPath(appPath);
    presenter.onClose = [&engine] { engine.StopReadout(); };
    stopReading = [&engine, &stopDone] { engine.requestStop([&stopDone] { stopDone = true; }); };

    bool failed = false;
    link.OpenBusPort(failed);
    if (failed) {
        history.CloseHistoryFile();
        return kExitUsage;
    }
    readout.gDeviceAddress = qint16(o.address);
    clock.processEvents(); // a stop that came while the file and the port were opened
    if (stopSignals.received() == 0 && engine.StartReadout())
        clock.waitWhile([&] { return !presenter.done && !stopDone; });
    clock.processEvents(); // a stop that came as the read-out ended: nothing is saved
    engine.StopReadout();
    stopReading = nullptr;
    if (stopSignals.received() != 0) {
        history.CloseHistoryFile();
        presenter.endProgressLine();
        print(stderr, texts.ResText(kTextStopped).arg(target) + QLatin1Char('\n'));
        return kExitSignal + stopSignals.received();
    }

    int status = kExitUsage;
    switch (engine.outcome()) {
    case ReadoutEngine::Outcome::Success: {
        const bool saved = existed ? history.SaveHistoryFile() : history.SaveHistoryFileAs();
        if (!saved) {
            // The message named the working copy: it stays, as the only copy of the data.
            history.KeepWorkingCopy();
            return kExitUsage;
        }
        status = engine.returnFailed() ? kExitReadout : kExitOk;
        break;
    }
    case ReadoutEngine::Outcome::EndMessage:
        status = kExitReadout;
        break;
    default:
        status = kExitUsage;
        break;
    }
    history.CloseHistoryFile();
    return status;
}

} // namespace
} // namespace qvr

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return qvr::run(app.arguments());
}
