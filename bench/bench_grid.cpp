// The history grid on a site's archive: open, sort, filter, Reset Filter and scrolling at
// 100,000 and 1,000,000 events (or the counts given), each printed against a reference
// measured in the same run: a plain SQLite read of the same rows (the grid's fields of
// every event, in the grid's order). Times are the process's CPU seconds (the window's
// thread and the background reader together; the machine is shared) and wall seconds;
// "longest block" is the longest stretch the window's thread worked without returning to
// its event loop. By default the file has none of the program's indexes (a file of
// another tool, or one whose indexes were left out); --indexed keeps them.
//
//     bench_grid [--indexed] [events ...]

#include "core/Asker.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"
#include "view/HistoryGridModel.h"
#include "view/ViewState.h"
#include "view/frm_Historiendaten.h"
#include "view/frm_filter.h"

#include "ProcessStats.h"

#include <sqlite3.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

using namespace qvr;

namespace {

class SilentAsker : public Asker
{
public:
    int messages = 0;
    Answer message(const QString &, const QString &, Icon, Buttons, bool) override
    {
        ++messages;
        return Answer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return {};
    }
};

bool fillHistory(StoreState &store, int events)
{
    // Events of 99 panels over about three years, with acknowledge and stop times, text
    // lines and analogue values, as a busy site collects them.
    const QString sql =
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Start_Datum, Start_Datum_Sort,"
            " Start_Datum_Filter, Start_Uhrzeit_Filter, Quittiert_JN, Quittiert_Datum,"
            " Quittiert_Datum_Sort, Stop_JN, Stop_Datum, Stop_Datum_Sort, Test_JN, geraetetyp,"
            " Kanal, GeraeteAdresse1, GeraeteAdresse2, Eingang, Meldeleuchte, Text1, Text2, Text3,"
            " EIBEingang, AnalogWertMin, AnalogWertMax) "
            "SELECT i % 99 + 1, i % 650, 45000 + (i * 7919 % 100000) / 100.0,"
            " 45000 + (i * 7919 % 100000) / 100.0, 45000 + (i * 7919 % 100000) / 100,"
            " ((i * 7919 % 100000) % 100) / 100.0, i % 2, 45000.01 + (i * 7919 % 100000) / 100.0,"
            " 45000.01 + (i * 7919 % 100000) / 100.0, i % 3 = 0, 45000.02 + (i * 7919 % 100000) / "
            "100.0,"
            " 45000.02 + (i * 7919 % 100000) / 100.0, i % 5 = 0, 'Typ ' || (i % 40),"
            " i % 12, i % 100, i % 256, i % 4, i % 3, 'Melder Halle ' || (i % 500),"
            " 'Gebaeude ' || (i % 37), 'Etage ' || (i % 9), i % 64, ' ' || (i % 1000) || ' mA',"
            " ' ' || (i % 2000) || ' mA' FROM n")
            .arg(events);
    return store.gDatabase->execute(sql);
}

// The reference: every event's grid fields read with plain SQLite, in the grid's order.
double plainRead(const QString &path, int *rows)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(
        db,
        "SELECT TableauAdresse, Start_Datum, Start_Datum_Sort, Quittiert_JN,"
        " Quittiert_Datum, Quittiert_Datum_Sort, Stop_JN, Stop_Datum, Stop_Datum_Sort,"
        " Meldeleuchte, Test_JN, GeraeteAdresse1, GeraeteAdresse2, Kanal, Eingang,"
        " EIBEingang, Text1, Text2, Text3, AnalogWertMin, AnalogWertMax, geraetetyp"
        " FROM HISTORY NOT INDEXED ORDER BY TableauAdresse, Start_Datum, Stop_Datum",
        -1, &st, nullptr);
    const double start = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    qint64 sink = 0;
    *rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 22; ++c)
            sink += sqlite3_column_type(st, c) == SQLITE_TEXT ? sqlite3_column_bytes(st, c)
                                                              : sqlite3_column_int64(st, c);
        ++*rows;
    }
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return sink == 42 ? cpu + 1e-9 : cpu;
}

// The longest stretch the window's thread spends between two waits of its event loop.
class BlockProbe
{
public:
    BlockProbe()
    {
        auto *dispatcher = QAbstractEventDispatcher::instance();
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [this] { begin(); });
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] { end(); });
    }
    void begin()
    {
        if (m_open)
            return;
        m_open = true;
        m_wall.start();
        m_cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    }
    void end()
    {
        if (!m_open)
            return;
        m_open = false;
        maxWall = std::max(maxWall, m_wall.nsecsElapsed() / 1e9);
        maxCpu = std::max(maxCpu, cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - m_cpu);
        if (onBlock)
            onBlock();
    }
    void reset() { maxWall = maxCpu = 0; }
    double maxWall = 0;
    double maxCpu = 0;
    std::function<void()> onBlock;

private:
    bool m_open = false;
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

struct Step
{
    const char *name;
    double cpu = 0;
    double wall = 0;
    double blockWall = 0;
    double blockCpu = 0;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool indexed = false;
    QList<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--indexed") == 0)
            indexed = true;
        else
            sizes << atoi(argv[i]);
    }
    if (sizes.isEmpty())
        sizes = {100000, 1000000};

    for (const int events : sizes) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bench.tmp"));
        StoreState store;
        ReadoutState readout;
        ViewState view;
        Texts texts;
        SilentAsker asker;
        QString error;
        if (!HistorySchema::CreateHistoryDatabase(store, path, &error) ||
            !fillHistory(store, events) ||
            (!indexed && !store.gDatabase->execute(QStringLiteral(
                             "DROP INDEX HISTORY_Order; DROP INDEX HISTORY_Key;")))) {
            std::fprintf(stderr, "cannot build the history file: %s\n", qPrintable(error));
            return 1;
        }
        // The working copy as the program opens it.
        store.closeDatabase();
        store.gDatabase =
            store.gWorkspace.OpenDatabase(path, QString(), Database::Access::ReadWrite, &error);

        int referenceRows = 0;
        const double reference = plainRead(path, &referenceRows);

        BlockProbe probe;
        std::unique_ptr<frm_Historiendaten> window;
        QList<Step> steps;
        // Runs `action` on the window's thread, then its event loop until the window has
        // no background work left and has drawn.
        auto measure = [&](const char *name, const std::function<void()> &action) {
            Step step{name};
            probe.reset();
            QElapsedTimer wall;
            wall.start();
            const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            const double threadCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            action();
            const double direct = wall.nsecsElapsed() / 1e9;
            const double directCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadCpu;
            if (window && window->isBusy()) {
                QEventLoop loop;
                QObject::connect(window.get(), &frm_Historiendaten::busyChanged, &loop,
                                 [&loop](bool busy) {
                                     if (!busy)
                                         loop.quit();
                                 });
                loop.exec();
            }
            QCoreApplication::processEvents();
            step.cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
            step.wall = wall.nsecsElapsed() / 1e9;
            step.blockWall = std::max(direct, probe.maxWall);
            step.blockCpu = std::max(directCpu, probe.maxCpu);
            steps << step;
        };

        resetPeak();
        const long rssBefore = statusKiB("VmRSS:");
        // First rows visible: the first time the loop waits after the grid has rows.
        Step first{"first rows visible"};
        QElapsedTimer openWall;
        double openCpu = 0;
        probe.onBlock = [&] {
            if (window && first.wall == 0 && window->gridModel()->rowCount() > 0) {
                first.wall = openWall.nsecsElapsed() / 1e9;
                first.cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - openCpu;
            }
        };
        openWall.start();
        openCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        measure("full row count known", [&] {
            window =
                std::make_unique<frm_Historiendaten>(store, readout, view, texts, asker, nullptr);
            window->resize(1200, 800);
            window->grid()->resize(1150, 700);
            window->show();
        });
        if (first.wall == 0) {
            first.wall = steps.last().wall;
            first.cpu = steps.last().cpu;
        }
        first.blockWall = steps.last().blockWall;
        first.blockCpu = steps.last().blockCpu;
        steps.prepend(first);
        probe.onBlock = {};
        if (window->gridModel()->rowCount() != events || asker.messages != 0) {
            std::fprintf(stderr, "the grid did not load all events\n");
            return 1;
        }

        measure("sort by date", [&] { window->GridClick(0, 2); });
        measure("sort by text", [&] { window->GridClick(0, 12); });
        int filtered = 0;
        {
            frm_filter filter(store, readout, *window, texts, asker, nullptr);
            filter.findChild<QPlainTextEdit *>(QStringLiteral("txt_filter"))
                ->setPlainText(QStringLiteral("Meldeleuchte=2"));
            measure("filter (a third)", [&] { filter.cmd_1_Click(1); });
            filtered = window->gridModel()->rowCount();
        }
        {
            frm_filter filter(store, readout, *window, texts, asker, nullptr);
            measure("Reset Filter", [&] { filter.cmd_1_Click(2); });
        }
        if (window->gridModel()->rowCount() != events || filtered != events / 3 ||
            asker.messages != 0) {
            std::fprintf(stderr, "filter or Reset Filter did not show the right events\n");
            return 1;
        }
        measure("scroll to the end", [&] {
            window->grid()->scrollToBottom();
            QCoreApplication::processEvents();
        });
        const long peak = statusKiB("VmHWM:");
        const long rss = statusKiB("VmRSS:");

        std::printf("\nhistory grid, %d events%s; reference: plain SQLite read of the same rows"
                    " %.3f s CPU (%d rows)\n",
                    events, indexed ? ", with the program's indexes" : ", no indexes", reference,
                    referenceRows);
        std::printf("%-22s %9s %9s %8s %14s %14s\n", "step", "CPU s", "wall s", "ratio",
                    "longest block", "(CPU)");
        for (const Step &s : std::as_const(steps))
            std::printf("%-22s %9.3f %9.3f %8.2f %12.1f ms %11.1f ms\n", s.name, s.cpu, s.wall,
                        s.cpu / reference, s.blockWall * 1e3, s.blockCpu * 1e3);
        std::printf("memory: peak %.1f MB, now %.1f MB (%.1f MB before the window)\n",
                    peak / 1024.0, rss / 1024.0, rssBefore / 1024.0);
    }
    return 0;
}
