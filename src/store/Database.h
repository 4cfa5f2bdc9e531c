#pragma once

#include "store/OrderKey.h"
#include "store/TableDef.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace qvr {

class BackgroundReader;
class Connection;
class Recordset;

// An open database file (a history file or the standard texts file). Errors are reported
// through the return values and an optional error text; nothing throws, nothing asks the
// user. Record sets opened from a database stay valid objects after close() but every
// operation on them then fails with an error.
class Database
{
public:
    enum class Access { ReadWrite, ReadOnly };
    // SQLite's application_id of the files this program creates ("QVRH").
    static constexpr int kApplicationId = 0x51565248;

    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Creates a new, empty database file. The file must not exist. `descriptor` is the
    // collation and code page text of the old engine (";LANGID=0x0409;CP=1252;COUNTRY=0");
    // it is accepted and kept (descriptor()): texts are Unicode and compare
    // case-insensitively for every letter whatever it says.
    static std::unique_ptr<Database> create(const QString &path, const QString &descriptor,
                                            QString *error = nullptr);
    // Opens an existing file; an error when it is missing or not a database. `connect` is
    // the old engine's connection text: empty, or "pwd=" with an empty password (files of
    // this program have none, so a password is an error).
    static std::unique_ptr<Database> open(const QString &path, const QString &connect = QString(),
                                          Access access = Access::ReadWrite,
                                          QString *error = nullptr);

    bool isOpen() const;
    // Closes the file so it can be copied or deleted. Safe to call twice.
    void close();
    QString path() const { return m_path; }
    QString descriptor() const { return m_descriptor; }
    QString lastError() const { return m_lastError; }

    // Runs SQLite SQL as it is (not the old dialect), one or more statements. For the
    // program's own maintenance statements (emptying TEMP, the layout upgrade).
    bool execute(const QString &sql, QString *error = nullptr);

    // Opens a record set from the old SQL dialect (SqlTranslator), for example
    // "Select * From HISTORY order by TableauAdresse, Start_Datum, Stop_Datum".
    // The selection runs read-only, so SQL typed by a user cannot change the file;
    // the record set itself is updatable through its own operations.
    std::unique_ptr<Recordset> openRecordset(const QString &sql, QString *error = nullptr);
    // The same record set from row ids selected before (selectRowIds on this file, here or
    // in the background): no query runs.
    std::unique_ptr<Recordset> openRecordset(const QString &sql,
                                             std::shared_ptr<std::vector<qint64>> ids,
                                             QString *error = nullptr);
    // The row ids of the records openRecordset(sql) would hold, in its order; the first
    // `limit` of them when `limit` is 0 or more (0 checks the SQL without reading a row).
    bool selectRowIds(const QString &sql, int limit, std::vector<qint64> *ids,
                      QString *error = nullptr);

    // Reads `fields` of the rows of `table` named by the row ids ids[0..count): `row` gets
    // the index into `ids` and the values in `fields` order (converted as a record set
    // converts them). Rows that no longer exist are left out.
    bool readRows(const QString &table, const QStringList &fields, const qint64 *ids, int count,
                  const std::function<void(int index, const QVariant *values)> &row,
                  QString *error = nullptr);
    // Orders the rows of `table` named by `ids` (a record set's row ids) by `keys`, rows
    // with equal keys in the order `previous` shows them (positions into `ids`; null: the
    // record set's order, so the sort is stable); `order` receives the positions. The
    // database sorts (for a large set, in the background reader). Rows that no longer exist
    // are left out.
    bool orderRows(const QString &table, const std::vector<qint64> &ids,
                   const QList<OrderKey> &keys, const std::vector<int> *previous,
                   std::vector<int> *order, QString *error = nullptr);
    // At once, an upper bound of the number of rows of `table` (the span of its row ids;
    // 0 when it is empty or missing).
    qint64 rowIdSpan(const QString &table);

    // Runs work on a thread of its own with its own read-only connection to this file, so
    // the caller's thread stays free; stopped (waiting for the work in hand) before the
    // file closes. Created on first use.
    BackgroundReader &background();

    // Table and field definitions.
    bool appendTable(const TableDef &table, QString *error = nullptr);
    bool appendField(const QString &table, const FieldDef &field, QString *error = nullptr);
    bool renameField(const QString &table, const QString &from, const QString &to,
                     QString *error = nullptr);
    bool hasTable(const QString &table) const;
    bool hasField(const QString &table, const QString &field) const;
    QStringList tableNames() const;
    std::optional<TableDef> tableDef(const QString &table, QString *error = nullptr) const;

    // Transactions nest (savepoints): rollback undoes only the innermost level.
    bool beginTransaction(QString *error = nullptr);
    bool commit(QString *error = nullptr);
    bool rollback(QString *error = nullptr);
    int transactionDepth() const;

    // For the file layer's backup and copy code inside store/ only.
    sqlite3 *nativeHandle() const;

private:
    Database() = default;
    bool fail(const QString &message, QString *error) const;

    std::shared_ptr<Connection> m_connection;
    std::unique_ptr<BackgroundReader> m_background;
    QString m_path;
    QString m_descriptor;
    mutable QString m_lastError;
};

} // namespace qvr
