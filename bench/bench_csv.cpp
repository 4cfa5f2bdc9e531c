// The CSV export (the grid's rows in its order, read block by block and written as the
// grid shows them) at 100,000 events (or the counts given), against a reference measured
// in the same run: the same fields read with plain SQLite in the grid's order and written
// as text with a plain loop. Printed: CPU seconds of both, their ratio, and the peak
// resident size while each ran (the export must not grow with the file).
//
//     bench_csv [events ...]

#include "core/TextTable.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"
#include "view/CsvExport.h"
#include "view/GridRowSource.h"

#include "ProcessStats.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <memory>

using namespace qvr;

namespace {

bool fillHistory(StoreState &store, int events)
{
    const QString sql =
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Start_Datum, Start_Datum_Sort,"
            " Quittiert_JN, Quittiert_Datum, Quittiert_Datum_Sort, Stop_JN, Stop_Datum,"
            " Stop_Datum_Sort, Test_JN, geraetetyp, Kanal, GeraeteAdresse1, GeraeteAdresse2,"
            " Eingang, Meldeleuchte, Text1, Text2, Text3, EIBEingang, AnalogWertMin, "
            "AnalogWertMax) "
            "SELECT i % 99 + 1, i % 650, 45000 + (i * 7919 % 100000) / 100.0,"
            " 45000 + (i * 7919 % 100000) / 100.0, i % 2, 45000.01 + (i * 7919 % 100000) / 100.0,"
            " 45000.01 + (i * 7919 % 100000) / 100.0, i % 3 = 0,"
            " 45000.02 + (i * 7919 % 100000) / 100.0, 45000.02 + (i * 7919 % 100000) / 100.0,"
            " i % 5 = 0, 'Typ ' || (i % 40), i % 12, i % 100, i % 256, i % 4, i % 3,"
            " 'Melder Halle ' || (i % 500), 'Gebaeude; ' || (i % 37), 'Etage \"' || (i % 9),"
            " i % 64, ' ' || (i % 1000) || ' mA', ' ' || (i % 2000) || ' mA' FROM n")
            .arg(events);
    return store.gDatabase->execute(sql);
}

// The reference: the grid's fields of every event with plain SQLite, in the grid's order,
// each written as its text with a plain loop.
double plainWrite(const QString &path, const QString &out)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT rowid, TableauAdresse, Start_Datum, Quittiert_JN, Quittiert_Datum,"
                       " Stop_JN, Stop_Datum, Meldeleuchte, Test_JN, GeraeteAdresse1,"
                       " GeraeteAdresse2, Kanal, Eingang, EIBEingang, Text1, Text2, Text3,"
                       " AnalogWertMin, AnalogWertMax, geraetetyp FROM HISTORY"
                       " ORDER BY TableauAdresse, Start_Datum, Stop_Datum, rowid",
                       -1, &st, nullptr);
    const double start = cpuSeconds();
    FILE *f = std::fopen(out.toUtf8().constData(), "wb");
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 20; ++c) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            std::fputs(text ? text : "", f);
            std::fputc(c == 19 ? '\n' : ';', f);
        }
    }
    std::fclose(f);
    const double cpu = cpuSeconds() - start;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return cpu;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << atoi(argv[i]);
    if (sizes.isEmpty())
        sizes = {100000};

    std::printf("%10s %12s %12s %8s %14s %14s\n", "events", "plain s", "export s", "ratio",
                "plain peak MiB", "export peak MiB");
    for (const int events : sizes) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bench.his"));
        StoreState store;
        Texts texts;
        QString error;
        if (!HistorySchema::CreateHistoryDatabase(store, path, &error) ||
            !fillHistory(store, events)) {
            std::fprintf(stderr, "cannot build the history file: %s\n", qPrintable(error));
            return 1;
        }
        store.closeDatabase();

        resetPeak();
        const double plain = plainWrite(path, dir.filePath(QStringLiteral("plain.csv")));
        const long plainPeak = statusKiB("VmHWM:");

        // The export as the command line runs it: the file opened read-only, the row ids
        // selected in the grid's order, the rows read and written block by block.
        resetPeak();
        const long before = statusKiB("VmRSS:");
        const double start = cpuSeconds();
        store.gDatabase =
            store.gWorkspace.OpenDatabase(path, QString(), Database::Access::ReadOnly, &error);
        auto ids = std::make_shared<std::vector<qint64>>();
        if (!store.gDatabase ||
            !store.gDatabase->selectRowIds(QString::fromLatin1(HistorySchema::HistorySql), -1,
                                           ids.get(), &error)) {
            std::fprintf(stderr, "cannot select: %s\n", qPrintable(error));
            return 1;
        }
        const auto rows = std::make_shared<const GridRowSource>(
            store, std::move(ids), nullptr, GridCellFormatter(texts, QStringLiteral("ZL"), {}));
        if (!CsvExport::writeFile(dir.filePath(QStringLiteral("export.csv")),
                                  CsvExport::fromRows(rows, CsvExport::shownColumns()),
                                  CsvExport::separator(0), &error)) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
            return 1;
        }
        const double exported = cpuSeconds() - start;
        const long exportPeak = statusKiB("VmHWM:");
        store.closeDatabase();
        std::printf("%10d %12.3f %12.3f %8.2f %14.1f %14.1f (rise %.1f MiB)\n", events, plain,
                    exported, exported / std::max(plain, 1e-9), plainPeak / 1024.0,
                    exportPeak / 1024.0, (exportPeak - before) / 1024.0);
    }
    return 0;
}
