#include "store/Connection.h"

#include <sqlite3.h>

#include <QString>

namespace qvr {

namespace {

// Case-insensitive order for every letter (ä equals Ä), by Unicode case folding; plain
// ASCII, the common case, never leaves the byte loop.
int compareNoCase(void *, int n1, const void *p1, int n2, const void *p2)
{
    const auto *a = static_cast<const unsigned char *>(p1);
    const auto *b = static_cast<const unsigned char *>(p2);
    const int n = n1 < n2 ? n1 : n2;
    for (int i = 0; i < n; ++i) {
        unsigned char ca = a[i];
        unsigned char cb = b[i];
        if ((ca | cb) & 0x80) {
            const QString sa = QString::fromUtf8(reinterpret_cast<const char *>(a), n1);
            const QString sb = QString::fromUtf8(reinterpret_cast<const char *>(b), n2);
            const int r = sa.compare(sb, Qt::CaseInsensitive);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        if (ca >= 'A' && ca <= 'Z')
            ca = static_cast<unsigned char>(ca + 32);
        if (cb >= 'A' && cb <= 'Z')
            cb = static_cast<unsigned char>(cb + 32);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return n1 == n2 ? 0 : (n1 < n2 ? -1 : 1);
}

bool likeMatch(const QString &p, const QString &s, QChar escape, bool hasEscape)
{
    qsizetype pi = 0;
    qsizetype si = 0;
    qsizetype starP = -1;
    qsizetype starS = 0;
    while (si < s.size()) {
        if (pi < p.size()) {
            const QChar c = p.at(pi);
            if (hasEscape && c == escape && pi + 1 < p.size()) {
                if (p.at(pi + 1) == s.at(si)) {
                    pi += 2;
                    ++si;
                    continue;
                }
            } else if (c == QLatin1Char('%')) {
                starP = pi++;
                starS = si;
                continue;
            } else if (c == QLatin1Char('_') || c == s.at(si)) {
                ++pi;
                ++si;
                continue;
            }
        }
        if (starP < 0)
            return false;
        pi = starP + 1;
        si = ++starS;
    }
    while (pi < p.size() && p.at(pi) == QLatin1Char('%'))
        ++pi;
    return pi == p.size();
}

QString argText(sqlite3_value *v)
{
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return QString::fromUtf8(t, sqlite3_value_bytes(v));
}

// qvr_like(pattern, value [, escape]) ignoring case for every letter.
void likeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QChar escape;
    bool hasEscape = false;
    if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        const QString e = argText(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e.at(0).toCaseFolded();
        hasEscape = true;
    }
    const QString pattern = argText(argv[0]).toCaseFolded();
    const QString value = argText(argv[1]).toCaseFolded();
    sqlite3_result_int(ctx, likeMatch(pattern, value, escape, hasEscape) ? 1 : 0);
}

// While a read-only statement is prepared, refuses everything a SELECT does not need.
// Installed once: setting an authorizer expires every prepared statement of the connection.
int readOnlyAuthorizer(void *guard, int action, const char *, const char *, const char *, const char *)
{
    if (!*static_cast<bool *>(guard))
        return SQLITE_OK;
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

} // namespace

// In RowOrder.cpp, beside the order they serve.
void registerOrderFunctions(sqlite3 *db, Connection *connection);

Connection::Connection(sqlite3 *db) : m_db(db)
{
    if (m_db) {
        sqlite3_set_authorizer(m_db, readOnlyAuthorizer, &m_readOnlyGuard);
        registerOrderFunctions(m_db, this);
    }
}

Connection::~Connection()
{
    close();
}

void Connection::registerFunctions(sqlite3 *db)
{
    // A collation carries no innocuous or direct-only mark. The schema names none of the
    // program's; an index of the user's that did would be kept in this very order.
    sqlite3_create_collation_v2(db, "QVR_NOCASE", SQLITE_UTF8, nullptr, compareNoCase, nullptr);
    // Our own name, not SQLite's "like": a partial index, CHECK or view of the user's that
    // uses LIKE was built by other tools with SQLite's rule and must be evaluated with it,
    // or the index would no longer match its table. Direct-only: the program's own
    // queries call it, nothing stored in a file ever does.
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
    sqlite3_create_function_v2(db, "qvr_like", 2, flags, nullptr, likeFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "qvr_like", 3, flags, nullptr, likeFunction, nullptr, nullptr,
                               nullptr);
}

bool Connection::harden(sqlite3 *db)
{
    if (!db)
        return false;
    struct Setting
    {
        int option;
        int value;
    };
    // Triggers, views and foreign key actions off: the program uses none of them, so a
    // user's trigger or ON DELETE CASCADE never acts during a read-out, merge or save, and
    // a view named like one of the program's tables is an error, never read in its place.
    // All of them stay in the file as they are.
    const Setting settings[] = {
        {SQLITE_DBCONFIG_DEFENSIVE, 1},      {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0}, {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
        {SQLITE_DBCONFIG_ENABLE_FKEY, 0},    {SQLITE_DBCONFIG_DQS_DML, 0},
        {SQLITE_DBCONFIG_DQS_DDL, 0},
    };
    for (const Setting &s : settings) {
        int now = -1;
        if (sqlite3_db_config(db, s.option, s.value, &now) != SQLITE_OK || now != s.value)
            return false;
    }
    return true;
}

void Connection::clearCache()
{
    for (sqlite3_stmt *s : std::as_const(m_cache))
        sqlite3_finalize(s);
    m_cache.clear();
}

void Connection::close()
{
    if (!m_db)
        return;
    clearCache();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

QString Connection::errorText() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("database is closed");
}

sqlite3_stmt *Connection::prepare(const QString &sql, QString *error, bool readOnly)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("database is closed");
        return nullptr;
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    m_readOnlyGuard = readOnly;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail);
    m_readOnlyGuard = false;
    if (rc != SQLITE_OK || !stmt) {
        if (error)
            *error = rc == SQLITE_OK ? QStringLiteral("empty statement") : errorText();
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (tail && QByteArray(tail).trimmed().size() > 0) {
        sqlite3_finalize(stmt);
        if (error)
            *error = QStringLiteral("only one statement is allowed");
        return nullptr;
    }
    if (readOnly && !sqlite3_stmt_readonly(stmt)) {
        sqlite3_finalize(stmt);
        if (error)
            *error = QStringLiteral("the statement would change the file");
        return nullptr;
    }
    return stmt;
}

sqlite3_stmt *Connection::statement(const QString &sql, QString *error, bool readOnly)
{
    QByteArray key = sql.toUtf8();
    if (readOnly)
        key.append('\x01');
    if (sqlite3_stmt *cached = m_cache.value(key)) {
        sqlite3_reset(cached);
        sqlite3_clear_bindings(cached);
        return cached;
    }
    sqlite3_stmt *stmt = prepare(sql, error, readOnly);
    if (stmt)
        m_cache.insert(key, stmt);
    return stmt;
}

} // namespace qvr
