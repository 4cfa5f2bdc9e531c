// 650 decoded rows written into TEMP through the record-set layer against a plain loop of
// one prepared INSERT per row, measured in the same run on the same kind of file. Both
// autocommit (as the read-out writes row by row) and inside one transaction.
// Prints times and the ratio record set / plain insert.

#include "store/HistorySchema.h"
#include "store/OleDate.h"
#include "store/StoreState.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include "CpuTimer.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <cstdio>

using namespace qvr;

namespace {

constexpr int Rows = 650;

struct Decoded
{
    QList<QPair<QString, QVariant>> fields;
};

QList<Decoded> decodedRows()
{
    QList<Decoded> out;
    for (int i = 0; i < Rows; ++i) {
        const QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).addSecs(qint64(i) * 3600);
        Decoded d;
        d.fields = {{"lfd_Nummer_data", i},
                    {"TableauAdresse", 3},
                    {"ParameterNummer", i % 250},
                    {"Start_Datum", start},
                    {"Start_Datum_Sort", OleDate::fromDateTime(start)},
                    {"Start_Datum_Filter", start.date()},
                    {"Start_Uhrzeit_Filter", start.time()},
                    {"Quittiert_JN", 1},
                    {"Quittiert_Datum", start.addSecs(60)},
                    {"Stop_JN", 0},
                    {"Test_JN", 0},
                    {"geraetetyp", ""},
                    {"Kanal", i % 32},
                    {"GeraeteAdresse1", 5},
                    {"GeraeteAdresse2", 7},
                    {"Eingang", 1},
                    {"Meldeleuchte", 2},
                    {"Text1", QStringLiteral("Meldung %1").arg(i)},
                    {"Text2", "Zeile zwei"},
                    {"Text3", "Zeile drei"},
                    {"AnalogWertMin", "-"},
                    {"AnalogWertMax", "-"}};
        out << d;
    }
    return out;
}

double viaRecordset(const QString &path, const QList<Decoded> &rows, bool transaction)
{
    StoreState store;
    QString error;
    HistorySchema::CreateHistoryDatabase(store, path, &error);
    HistorySchema::OpenTable(store, "TEMP");
    Recordset &rs = *store.gTempRecordset;
    CpuTimer timer;
    if (transaction)
        store.gDatabase->beginTransaction();
    for (const Decoded &d : rows) {
        rs.addNew();
        for (const auto &f : d.fields)
            rs.setField(f.first, f.second);
        if (!rs.update())
            std::fprintf(stderr, "update failed: %s\n", qPrintable(rs.lastError()));
    }
    if (transaction)
        store.gDatabase->commit();
    return timer.ms();
}

double plainInsert(const QString &path, const QList<Decoded> &rows, bool transaction)
{
    StoreState store;
    QString error;
    HistorySchema::CreateHistoryDatabase(store, path, &error);
    sqlite3 *db = store.gDatabase->nativeHandle();
    QStringList names;
    QStringList params;
    for (int i = 0; i < rows.first().fields.size(); ++i) {
        names << rows.first().fields.at(i).first;
        params << QStringLiteral("?%1").arg(i + 1);
    }
    const QByteArray sql = ("INSERT INTO TEMP (" + names.join(',') + ") VALUES (" + params.join(',') + ")").toUtf8();
    CpuTimer timer;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    if (transaction)
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const Decoded &d : rows) {
        for (int i = 0; i < d.fields.size(); ++i) {
            const QVariant &v = d.fields.at(i).second;
            switch (v.typeId()) {
            case QMetaType::Int: sqlite3_bind_int(st, i + 1, v.toInt()); break;
            case QMetaType::Double: sqlite3_bind_double(st, i + 1, v.toDouble()); break;
            case QMetaType::QDateTime: sqlite3_bind_double(st, i + 1, OleDate::fromDateTime(v.toDateTime())); break;
            case QMetaType::QDate: sqlite3_bind_double(st, i + 1, OleDate::fromDate(v.toDate())); break;
            case QMetaType::QTime: sqlite3_bind_double(st, i + 1, OleDate::fromTime(v.toTime())); break;
            default: {
                const QByteArray t = v.toString().toUtf8();
                sqlite3_bind_text(st, i + 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            }
            }
        }
        if (sqlite3_step(st) != SQLITE_DONE)
            std::fprintf(stderr, "insert failed: %s\n", sqlite3_errmsg(db));
        sqlite3_reset(st);
    }
    if (transaction)
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(st);
    return timer.ms();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QList<Decoded> rows = decodedRows();
    std::printf("%d decoded rows into TEMP: record set vs plain prepared INSERT\n", Rows);
    std::printf("%14s %18s %14s %8s\n", "mode", "record set cpu ms", "insert cpu ms", "ratio");
    int n = 0;
    for (bool transaction : {false, true}) {
        double a = 1e9;
        double b = 1e9;
        for (int run = 0; run < 5; ++run) {
            a = std::min(a, viaRecordset(dir.filePath(QStringLiteral("rs%1.his").arg(n)), rows, transaction));
            b = std::min(b, plainInsert(dir.filePath(QStringLiteral("plain%1.his").arg(n)), rows, transaction));
            ++n;
        }
        std::printf("%14s %18.1f %14.1f %8.2f\n", transaction ? "transaction" : "autocommit", a, b, a / b);
    }
    return 0;
}
