// Random SQL and criteria texts through the old-dialect translator (date literals too) and
// the read-only record set: no crash, no undefined behaviour, and the file never changes.
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StoreState.h"

#include <sqlite3.h>

#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

using namespace qvr;

namespace {
struct Fixture
{
    QTemporaryDir dir;
    StoreState store;
    std::unique_ptr<Database> watcher; // a second connection to the file
    sqlite3_stmt *version = nullptr;
    std::pair<qint64, qint64> unchanged;

    Fixture()
    {
        const QString path = dir.filePath(QStringLiteral("f.his"));
        if (!HistorySchema::CreateHistoryDatabase(store, path) ||
            !HistorySchema::OpenTable(store, QStringLiteral("HISTORY")))
            std::abort();
        for (int i = 0; i < 3; ++i)
            if (!HistorySchema::AppendEmptyHistoryRow(store))
                std::abort();
        watcher = Database::open(path, {}, Database::Access::ReadOnly);
        if (!watcher || sqlite3_prepare_v2(watcher->nativeHandle(), "PRAGMA data_version", -1,
                                           &version, nullptr) != SQLITE_OK)
            std::abort();
        unchanged = changes();
    }

    // The watcher's data_version moves with every commit of the other connection (schema and
    // settings too); total_changes counts the rows that one changed, even uncommitted. Both
    // cost next to nothing per input, unlike reading the file.
    std::pair<qint64, qint64> changes()
    {
        if (sqlite3_step(version) != SQLITE_ROW)
            std::abort();
        const qint64 v = sqlite3_column_int64(version, 0);
        sqlite3_reset(version);
        return {v, sqlite3_total_changes64(store.gDatabase->nativeHandle())};
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Fixture *fixture = new Fixture; // one file for the whole run
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    // As a whole statement typed by a user, as a filter clause on HISTORY, as find criteria.
    Database &db = *fixture->store.gDatabase;
    db.openRecordset(text);
    db.openRecordset(QStringLiteral("Select * From HISTORY Where ") + text);
    fixture->store.gHistoryRecordset->findFirst(text);

    if (fixture->changes() != fixture->unchanged)
        std::abort(); // user SQL changed the file
    return 0;
}
