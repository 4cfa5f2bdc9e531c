#pragma once

#include "store/TableDef.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct sqlite3;

namespace qvr {

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
    QString m_path;
    QString m_descriptor;
    mutable QString m_lastError;
};

} // namespace qvr
