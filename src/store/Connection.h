#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace qvr {

// The SQLite connection shared by a Database and its record sets: the handle, the cache of
// prepared statements, the case-insensitive collation and LIKE, and the read-only guard.
// Closing finalizes every cached statement, so the file is really closed afterwards.
class Connection
{
public:
    explicit Connection(sqlite3 *db);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    sqlite3 *handle() const { return m_db; }
    bool isOpen() const { return m_db != nullptr; }
    void close();

    // A prepared statement from the cache, reset and unbound; nullptr with an error text
    // on failure. `readOnly` prepares it under an authorizer that refuses every write and
    // rejects statements that are not read-only. Exactly one statement is accepted.
    sqlite3_stmt *statement(const QString &sql, QString *error, bool readOnly = false);
    // A statement prepared for one use; the caller finalizes it.
    sqlite3_stmt *prepare(const QString &sql, QString *error, bool readOnly = false);

    QString errorText() const;
    int transactionDepth = 0;
    // Counts writes, so record sets know when a cached row may be stale: writeVersion for
    // any statement, tableVersion for writes through record sets over one table.
    quint64 writeVersion = 0;
    // The reference stays valid as long as the connection object lives.
    quint64 &tableVersion(const QString &table) { return m_tableVersions[table.toLower()]; }

    // Installs collation and LIKE on a fresh handle.
    static void registerFunctions(sqlite3 *db);

    // What the functions of Database::orderRows read while an order runs on this
    // connection (they are installed on every connection, and are null outside an order).
    void *orderState = nullptr;

private:
    // Only on close: record sets keep the statements they got from the cache.
    void clearCache();

    sqlite3 *m_db = nullptr;
    bool m_readOnlyGuard = false;
    QHash<QByteArray, sqlite3_stmt *> m_cache;
    std::unordered_map<QString, quint64> m_tableVersions;  // node-based: stable references
};

} // namespace qvr
