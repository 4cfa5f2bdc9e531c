// Merge of one read-out (650 TEMP rows, half of them events HISTORY already holds) into a
// HISTORY of 0, 10,000 and 100,000 rows, against a plain SQLite upsert of the same rows
// (prepared INSERT ... ON CONFLICT DO UPDATE on a unique key index) measured in the same
// run on a copy of the same file. Prints times and the ratio merge / upsert.

#include "store/HistoryMerge.h"
#include "store/HistorySchema.h"
#include "store/OleDate.h"
#include "store/StoreState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "CpuTimer.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <cstdio>

using namespace qvr;

namespace {

constexpr int TempRows = 650;

QDateTime startOf(int i)
{
    return QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64(i) * 97);
}

bool addEvent(Recordset &rs, int i, int tag)
{
    const QDateTime start = startOf(i);
    return rs.addNew() && rs.setField("TableauAdresse", 1 + i % 7) && rs.setField("ParameterNummer", i % 500)
        && rs.setField("Start_Datum", start) && rs.setField("Start_Datum_Sort", OleDate::fromDateTime(start))
        && rs.setField("Start_Datum_Filter", start.date()) && rs.setField("Start_Uhrzeit_Filter", start.time())
        && rs.setField("Quittiert_JN", tag % 2) && rs.setField("Kanal", tag % 30)
        && rs.setField("Text1", QStringLiteral("Meldung %1").arg(i)) && rs.setField("Text2", "Zeile zwei")
        && rs.setField("AnalogWertMin", "-") && rs.update();
}

bool prepare(const QString &path, int historyRows)
{
    StoreState store;
    QString error;
    if (!HistorySchema::CreateHistoryDatabase(store, path, &error))
        return false;
    Database &db = *store.gDatabase;
    db.beginTransaction();
    std::unique_ptr<Recordset> h = db.openRecordset("Select * From HISTORY", &error);
    for (int i = 0; i < historyRows; ++i) {
        if (!addEvent(*h, i, 0))
            return false;
    }
    // The read-out: the newest 325 events again (now acknowledged) and 325 new ones.
    std::unique_ptr<Recordset> t = db.openRecordset("Select * From TEMP", &error);
    for (int k = 0; k < TempRows; ++k) {
        if (!addEvent(*t, historyRows - TempRows / 2 + k, 1))
            return false;
    }
    db.commit();
    store.closeDatabase();
    return true;
}

// CPU ms of the merge; its wall-clock ms go to *wall.
double timeMerge(const QString &path, double *wall)
{
    StoreState store;
    QString error;
    store.gDatabase = Database::open(path, QString(), Database::Access::ReadWrite, &error);
    HistorySchema::ensureIndexes(store);
    CpuTimer timer;
    QElapsedTimer clock;
    clock.start();
    if (!HistoryMerge::MergeTempIntoHistory(store, &error)) {
        std::fprintf(stderr, "merge failed: %s\n", qPrintable(error));
        return -1;
    }
    *wall = clock.nsecsElapsed() / 1e6;
    return timer.ms();
}

double timeUpsert(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                     "CREATE UNIQUE INDEX bench_key ON HISTORY (TableauAdresse, ParameterNummer, Start_Datum)",
                 nullptr, nullptr, nullptr);
    const QStringList fields = HistoryMerge::copiedFields();
    QStringList params;
    QStringList sets;
    for (int i = 0; i < fields.size(); ++i) {
        params << QStringLiteral("?%1").arg(i + 1);
        sets << fields.at(i) + QStringLiteral("=excluded.") + fields.at(i);
    }
    const QByteArray upsertSql = (QStringLiteral("INSERT INTO HISTORY (") + fields.join(',') + ") VALUES ("
                                  + params.join(',') + ") ON CONFLICT (TableauAdresse, ParameterNummer, Start_Datum)"
                                  " DO UPDATE SET " + sets.join(','))
                                     .toUtf8();
    const QByteArray readSql = ("SELECT " + fields.join(',') + " FROM TEMP").toUtf8();

    CpuTimer timer;
    sqlite3_stmt *read = nullptr;
    sqlite3_stmt *upsert = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, readSql.constData(), -1, &read, nullptr);
    sqlite3_prepare_v2(db, upsertSql.constData(), -1, &upsert, nullptr);
    while (sqlite3_step(read) == SQLITE_ROW) {
        for (int i = 0; i < fields.size(); ++i)
            sqlite3_bind_value(upsert, i + 1, sqlite3_column_value(read, i));
        if (sqlite3_step(upsert) != SQLITE_DONE)
            std::fprintf(stderr, "upsert failed: %s\n", sqlite3_errmsg(db));
        sqlite3_reset(upsert);
    }
    sqlite3_finalize(read);
    sqlite3_finalize(upsert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = timer.ms();
    sqlite3_close(db);
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::printf("merge of %d TEMP rows (half already in HISTORY) vs plain SQLite upsert\n", TempRows);
    std::printf("%12s %14s %14s %8s %15s\n", "HISTORY rows", "merge cpu ms", "upsert cpu ms", "ratio",
                "merge wall ms");
    // Optional arguments: the HISTORY sizes to run (default 0 10000 100000).
    QList<int> sizes{0, 10000, 100000};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i)
            sizes << QByteArray(argv[i]).toInt();
    }
    for (int rows : sizes) {
        const QString base = dir.filePath(QStringLiteral("base%1.his").arg(rows));
        if (!prepare(base, rows)) {
            std::fprintf(stderr, "cannot prepare %d rows\n", rows);
            return 1;
        }
        double best = 1e9;
        double bestRef = 1e9;
        double bestWall = 1e9;
        for (int run = 0; run < 5; ++run) {
            const QString a = dir.filePath(QStringLiteral("merge%1_%2.his").arg(rows).arg(run));
            const QString b = dir.filePath(QStringLiteral("upsert%1_%2.his").arg(rows).arg(run));
            QFile::copy(base, a);
            QFile::copy(base, b);
            double wall = 0;
            best = std::min(best, timeMerge(a, &wall));
            bestWall = std::min(bestWall, wall);
            bestRef = std::min(bestRef, timeUpsert(b));
        }
        std::printf("%12d %14.1f %14.1f %8.2f %15.1f\n", rows, best, bestRef, best / bestRef, bestWall);
    }
    return 0;
}
