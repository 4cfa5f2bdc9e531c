// Random SQL and criteria texts through the old-dialect translator and the read-only
// record set: no crash, no undefined behaviour, and the file never changes.
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/SqlTranslator.h"
#include "store/StoreState.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace qvr;

namespace {
struct Fixture
{
    QTemporaryDir dir;
    StoreState store;
    qint64 rows = 0;

    Fixture()
    {
        QString error;
        if (!HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("f.his")), &error))
            std::abort();
        if (!HistorySchema::OpenTable(store, QStringLiteral("HISTORY"), &error))
            std::abort();
        for (int i = 0; i < 3; ++i)
            if (!HistorySchema::AppendEmptyHistoryRow(store, &error))
                std::abort();
        rows = count();
    }

    qint64 count()
    {
        auto rs = store.gDatabase->openRecordset(QStringLiteral("Select * From HISTORY"));
        return rs ? rs->recordCount() : -1;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Fixture *fixture = new Fixture; // one file for the whole run
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    QString condition;
    SqlTranslator::translateCondition(text, &condition);
    SqlTranslator::Select select;
    SqlTranslator::translateSelect(text, &select);
    double ole = 0;
    SqlTranslator::parseDateLiteral(text, &ole);

    // As a whole statement typed by a user, and as a filter clause on HISTORY.
    fixture->store.gDatabase->openRecordset(text);
    fixture->store.gDatabase->openRecordset(QStringLiteral("Select * From HISTORY Where ") + text);
    if (auto rs = fixture->store.gDatabase->openRecordset(QStringLiteral("Select * From HISTORY")))
        rs->findFirst(text);

    if (fixture->count() != fixture->rows)
        std::abort(); // user SQL changed the file
    return 0;
}
