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
//
// A history file is data, never code: whatever its schema holds beyond this program's own
// tables is never run on a connection of this program (harden()).
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

    // Installs collation and LIKE on a fresh handle. The LIKE is the function "qvr_like"
    // (the translator writes it); the file's own schema keeps SQLite's LIKE.
    static void registerFunctions(sqlite3 *db);

    // Applied to every connection this program opens, right after sqlite3_open_v2: no
    // trigger of the file fires, no foreign key action runs and no view of the file is
    // read (an error instead), only
    // innocuous functions run inside the schema (trusted_schema off), defensive mode keeps
    // any SQL from corrupting the file, and a name in double quotes is never a text. False
    // when the SQLite library cannot do all of it (the handle must not be used then).
    static bool harden(sqlite3 *db);

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
