#include "store/Database.h"

#include "store/BackgroundReader.h"
#include "store/Connection.h"
#include "store/Recordset.h"

#include <sqlite3.h>

#include <QFileInfo>

namespace qvr {

namespace {

// The working copy is written row by row during a read-out: a write-ahead log with
// synchronous NORMAL is fast and cannot corrupt the file. On close the file goes back to
// a plain rollback journal, so a closed file is always one self-contained file.
void configure(sqlite3 *db, bool readOnly)
{
    Connection::registerFunctions(db);
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 1);
    if (!readOnly) {
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    }
}

// SQLITE_MISUSE here means: the handle opened but Connection::harden() failed.
QString sqliteError(sqlite3 *db, int rc)
{
    if (rc == SQLITE_MISUSE)
        return QStringLiteral("this SQLite library cannot keep a file's schema from running");
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
}

bool parseConnect(const QString &connect, QString *error)
{
    const QStringList parts = connect.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &raw : parts) {
        const QString part = raw.trimmed();
        if (part.isEmpty())
            continue;
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? part : part.left(eq).trimmed();
        const QString value = eq < 0 ? QString() : part.mid(eq + 1);
        if (key.compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0 && eq >= 0) {
            if (!value.isEmpty()) {
                *error = QStringLiteral("the file has no password; a password was given");
                return false;
            }
            continue;
        }
        *error = QStringLiteral("the connection text \"%1\" is not understood").arg(connect);
        return false;
    }
    return true;
}

} // namespace

Database::~Database()
{
    close();
}

bool Database::fail(const QString &message, QString *error) const
{
    m_lastError = message;
    if (error)
        *error = message;
    return false;
}

std::unique_ptr<Database> Database::create(const QString &path, const QString &descriptor,
                                           QString *error)
{
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("the file %1 already exists").arg(path);
        return nullptr;
    }
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK && !Connection::harden(db))
        rc = SQLITE_MISUSE;
    if (rc != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("cannot create %1: %2").arg(path, sqliteError(db, rc));
        sqlite3_close_v2(db);
        return nullptr;
    }
    configure(db, false);
    // Marks the file as written by this program and makes it exist on disk at once.
    char *msg = nullptr;
    const QByteArray mark = "PRAGMA application_id=" + QByteArray::number(kApplicationId);
    if (sqlite3_exec(db, mark.constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("cannot create %1: %2").arg(path, QString::fromUtf8(msg));
        sqlite3_free(msg);
        sqlite3_close_v2(db);
        return nullptr;
    }
    std::unique_ptr<Database> result(new Database);
    result->m_connection = std::make_shared<Connection>(db);
    result->m_path = path;
    result->m_descriptor = descriptor;
    return result;
}

std::unique_ptr<Database> Database::open(const QString &path, const QString &connect,
                                         Access access, QString *error)
{
    QString why;
    if (!parseConnect(connect, &why)) {
        if (error)
            *error = why;
        return nullptr;
    }
    if (!QFileInfo(path).isFile()) {
        if (error)
            *error = QStringLiteral("the file %1 does not exist").arg(path);
        return nullptr;
    }
    const bool readOnly = access == Access::ReadOnly;
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                             readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK && !Connection::harden(db))
        rc = SQLITE_MISUSE;
    if (rc == SQLITE_OK) {
        // Reading the schema tells a database from any other file.
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(path, sqliteError(db, rc));
        sqlite3_close_v2(db);
        return nullptr;
    }
    configure(db, readOnly);
    std::unique_ptr<Database> result(new Database);
    result->m_connection = std::make_shared<Connection>(db);
    result->m_path = path;
    return result;
}

bool Database::isOpen() const
{
    return m_connection && m_connection->isOpen();
}

void Database::close()
{
    // The background connection first: the journal mode changes only without it.
    if (m_background)
        m_background->stop();
    if (!isOpen())
        return;
    sqlite3 *db = m_connection->handle();
    if (!sqlite3_db_readonly(db, "main")) {
        while (m_connection->transactionDepth > 0) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            m_connection->transactionDepth = 0;
        }
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    }
    m_connection->close();
}

sqlite3 *Database::nativeHandle() const
{
    return isOpen() ? m_connection->handle() : nullptr;
}

bool Database::execute(const QString &sql, QString *error)
{
    if (!isOpen())
        return fail(QStringLiteral("no database is open"), error);
    char *msg = nullptr;
    ++m_connection->writeVersion;
    const int rc = sqlite3_exec(m_connection->handle(), sql.toUtf8().constData(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        const QString text = msg ? QString::fromUtf8(msg) : m_connection->errorText();
        sqlite3_free(msg);
        return fail(text, error);
    }
    return true;
}

std::unique_ptr<Recordset> Database::openRecordset(const QString &sql, QString *error)
{
    if (!isOpen()) {
        fail(QStringLiteral("no database is open"), error);
        return nullptr;
    }
    std::unique_ptr<Recordset> rs(new Recordset);
    QString why;
    if (!rs->open(m_connection, sql, &why)) {
        fail(why, error);
        return nullptr;
    }
    return rs;
}

bool Database::appendTable(const TableDef &table, QString *error)
{
    if (table.fields().isEmpty())
        return fail(QStringLiteral("the table %1 has no fields").arg(table.name()), error);
    return execute(table.createSql(), error);
}

bool Database::appendField(const QString &table, const FieldDef &field, QString *error)
{
    return execute(QStringLiteral("ALTER TABLE ") + FieldDef::quoteIdentifier(table)
                       + QStringLiteral(" ADD COLUMN ") + field.columnSql(),
                   error);
}

bool Database::renameField(const QString &table, const QString &from, const QString &to,
                           QString *error)
{
    if (!hasField(table, from))
        return fail(QStringLiteral("the table %1 has no field %2").arg(table, from), error);
    return execute(QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %3")
                       .arg(FieldDef::quoteIdentifier(table), FieldDef::quoteIdentifier(from),
                            FieldDef::quoteIdentifier(to)),
                   error);
}

bool Database::hasTable(const QString &table) const
{
    if (!isOpen())
        return false;
    QString why;
    sqlite3_stmt *st = m_connection->statement(
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"), &why);
    if (!st)
        return false;
    const QByteArray name = table.toUtf8();
    sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_reset(st);
    return found;
}

bool Database::hasField(const QString &table, const QString &field) const
{
    const std::optional<TableDef> def = tableDef(table);
    return def && def->indexOf(field) >= 0;
}

QStringList Database::tableNames() const
{
    QStringList names;
    if (!isOpen())
        return names;
    QString why;
    sqlite3_stmt *st = m_connection->statement(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"), &why);
    if (!st)
        return names;
    while (sqlite3_step(st) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_reset(st);
    return names;
}

std::optional<TableDef> Database::tableDef(const QString &table, QString *error) const
{
    if (!isOpen()) {
        fail(QStringLiteral("no database is open"), error);
        return std::nullopt;
    }
    QString why;
    sqlite3_stmt *st = m_connection->prepare(
        QStringLiteral("SELECT name, type, dflt_value FROM pragma_table_info(?1)"), &why);
    if (!st) {
        fail(why, error);
        return std::nullopt;
    }
    const QByteArray name = table.toUtf8();
    sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    TableDef def(table);
    while (sqlite3_step(st) == SQLITE_ROW) {
        FieldDef f;
        f.name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        int size = 0;
        f.type = FieldDef::typeFromDeclaration(
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))), &size);
        f.size = size;
        if (sqlite3_column_type(st, 2) != SQLITE_NULL) {
            const QString d = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 2)));
            if (d.startsWith(QLatin1Char('\'')) && d.endsWith(QLatin1Char('\'')) && d.size() >= 2)
                f.defaultValue = d.mid(1, d.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
            else if (d.contains(QLatin1Char('.')))
                f.defaultValue = d.toDouble();
            else
                f.defaultValue = d.toLongLong();
        }
        def.appendField(f);
    }
    sqlite3_finalize(st);
    if (def.fields().isEmpty()) {
        fail(QStringLiteral("there is no table %1").arg(table), error);
        return std::nullopt;
    }
    // The zero-length rule is part of the column's CHECK.
    sqlite3_stmt *sq = m_connection->prepare(
        QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"), &why);
    if (sq) {
        sqlite3_bind_text(sq, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(sq) == SQLITE_ROW) {
            const QString create = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(sq, 0)));
            TableDef withRules(def.name());
            for (FieldDef f : def.fields()) {
                f.allowZeroLength = f.type == FieldType::Text
                    && !create.contains(QStringLiteral("length(%1)>0").arg(FieldDef::quoteIdentifier(f.name)),
                                        Qt::CaseInsensitive);
                withRules.appendField(f);
            }
            def = withRules;
        }
        sqlite3_finalize(sq);
    }
    return def;
}

bool Database::beginTransaction(QString *error)
{
    if (!isOpen())
        return fail(QStringLiteral("no database is open"), error);
    if (!execute(QStringLiteral("SAVEPOINT qvr_%1").arg(m_connection->transactionDepth + 1), error))
        return false;
    ++m_connection->transactionDepth;
    return true;
}

bool Database::commit(QString *error)
{
    if (!isOpen() || m_connection->transactionDepth == 0)
        return fail(QStringLiteral("no transaction is open"), error);
    if (!execute(QStringLiteral("RELEASE qvr_%1").arg(m_connection->transactionDepth), error))
        return false;
    --m_connection->transactionDepth;
    return true;
}

bool Database::rollback(QString *error)
{
    if (!isOpen() || m_connection->transactionDepth == 0)
        return fail(QStringLiteral("no transaction is open"), error);
    const int depth = m_connection->transactionDepth;
    const bool ok = execute(QStringLiteral("ROLLBACK TO qvr_%1; RELEASE qvr_%1").arg(depth), error);
    --m_connection->transactionDepth;
    return ok;
}

int Database::transactionDepth() const
{
    return isOpen() ? m_connection->transactionDepth : 0;
}

} // namespace qvr
