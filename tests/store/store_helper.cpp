#include "store_helper.h"

#include "store/Recordset.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <sqlite3.h>

namespace qvr::storetest {

bool HistoryFileFixture::create(const QString &name)
{
    path = dir.filePath(name);
    QString error;
    const bool ok = HistorySchema::CreateHistoryDatabase(store, path, &error);
    if (!ok)
        qWarning("CreateHistoryDatabase: %s", qPrintable(error));
    return ok;
}

bool HistoryFileFixture::addRow(const QString &table, const Values &values)
{
    return storetest::addRow(store, table, values);
}

bool addRow(StoreState &store, const QString &table, const Values &values)
{
    QString error;
    std::unique_ptr<Recordset> rs =
        store.gDatabase->openRecordset(QStringLiteral("Select * From ") + table, &error);
    if (!rs || !rs->addNew())
        return false;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!rs->setField(it.key(), it.value()))
            return false;
    }
    const bool ok = rs->update();
    if (!ok)
        qWarning("addRow: %s", qPrintable(rs->lastError()));
    return ok;
}

Values HistoryFileFixture::event(int tableau, int parameter, const QDateTime &start,
                                 const Values &more)
{
    Values v{{QStringLiteral("TableauAdresse"), tableau},
             {QStringLiteral("ParameterNummer"), parameter},
             {QStringLiteral("Start_Datum"), start},
             {QStringLiteral("Start_Datum_Sort"), OleDate::fromDateTime(start)},
             {QStringLiteral("Start_Datum_Filter"), start.date()},
             {QStringLiteral("Start_Uhrzeit_Filter"), start.time()}};
    v.insert(more);
    return v;
}

QList<Values> HistoryFileFixture::rows(const QString &table, const QString &order)
{
    QList<Values> out;
    std::unique_ptr<Recordset> rs = store.gDatabase->openRecordset(
        QStringLiteral("Select * From ") + table + QStringLiteral(" order by ") + order);
    for (; rs && !rs->eof(); rs->moveNext()) {
        Values v;
        for (int i = 0; i < rs->fieldCount(); ++i)
            v.insert(rs->fieldName(i), rs->field(i));
        out << v;
    }
    return out;
}

bool MemorySettings::read(const QString &section, const QString &name, QString *value) const
{
    const auto it = values.find(section + QLatin1Char('/') + name);
    if (it != values.end())
        *value = *it;
    return it != values.end();
}

void MemorySettings::write(const QString &section, const QString &name, const QString &value)
{
    values.insert(section + QLatin1Char('/') + name, value);
}

FileFixture::FileFixture(const QString &installDir) : settings(std::make_unique<MemorySettings>())
{
    settings.WriteSetting(QStringLiteral("Installation"), QStringLiteral("CurDir"), installDir);
    texts.gLanguageOffset = 1;
}

QStringList FileFixture::messages() const
{
    QStringList out;
    for (const test::FakeAsker::Call &c : asker.messages())
        out << c.text;
    return out;
}

bool makeHistoryFile(const QString &path, int rows, int panel)
{
    StoreState s;
    return HistorySchema::CreateHistoryDatabase(s, path) &&
           s.gDatabase->execute(
               QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                              "WHERE i + 1 < %1) "
                              "INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Text1) "
                              "SELECT %2, i, 'Event ' || i FROM n WHERE i < %1")
                   .arg(rows)
                   .arg(panel));
}

int rowCount(const QString &path, const QString &where)
{
    const QStringList r = query(path, QStringLiteral("SELECT count(*) FROM HISTORY") + where);
    return r.size() == 1 ? r.first().toInt() : -1;
}

bool addEvent(FileFixture &f, int panel)
{
    return f.store.gDatabase &&
           f.store.gDatabase->execute(
               QStringLiteral("INSERT INTO HISTORY (TableauAdresse) VALUES (%1)").arg(panel));
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                               QDir::Name);
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result();
}

QStringList query(const QString &path, const QString &sql, bool readOnly)
{
    QStringList out;
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        out << (t ? QString::fromUtf8(t) : QStringLiteral("<null>"));
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE)
        out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

bool execOn(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    const bool ok =
        sqlite3_open_v2(path.toUtf8().constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace qvr::storetest
