// The row operations a grid over a large record set needs: select row ids, read rows by
// row id, and order rows by keys computed from their fields, all done by the database.

#include "store/BackgroundReader.h"
#include "store/Connection.h"
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/SqlTranslator.h"
#include "store/SqlValue.h"

#include <sqlite3.h>

#include <QHash>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qvr {

namespace {

// Field types of a table by lower-case name.
bool fieldTypes(Connection &connection, const QString &table, QHash<QString, FieldType> *types,
                QString *error)
{
    sqlite3_stmt *st =
        connection.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?1)"), error);
    if (!st)
        return false;
    const QByteArray tableUtf8 = table.toUtf8();
    sqlite3_bind_text(st, 1, tableUtf8.constData(), int(tableUtf8.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) {
        // As a record set reads them: the history tables' fields keep this program's types.
        const QString name = SqlValue::columnText(st, 0);
        const FieldType own = HistorySchema::fieldType(table, name);
        const FieldType declared = FieldDef::typeFromDeclaration(SqlValue::columnText(st, 1));
        types->insert(name.toLower(), own != FieldType::Unknown ? own : declared);
    }
    sqlite3_finalize(st);
    if (types->isEmpty()) {
        if (error)
            *error = QStringLiteral("there is no table %1").arg(table);
        return false;
    }
    return true;
}

struct OrderState
{
    const QList<OrderKey> *keys = nullptr;
    QList<QVector<FieldType>> types; // per key, per field
    std::vector<int> rank;           // place of each position in the order before; empty: itself
    // Row id to position: a table by row id where the ids are dense, else sorted pairs.
    qint64 base = 0;
    std::vector<int> dense;
    std::vector<std::pair<qint64, int>> sparse;

    explicit OrderState(const std::vector<qint64> &ids)
    {
        if (ids.empty())
            return;
        const auto [lo, hi] = std::minmax_element(ids.cbegin(), ids.cend());
        const quint64 span = quint64(*hi) - quint64(*lo) + 1;
        if (span <= 4 * quint64(ids.size()) + 1024) {
            base = *lo;
            dense.assign(size_t(span), -1);
            for (size_t i = 0; i < ids.size(); ++i)
                dense[size_t(ids[i] - base)] = int(i);
        } else {
            sparse.reserve(ids.size());
            for (size_t i = 0; i < ids.size(); ++i)
                sparse.emplace_back(ids[i], int(i));
            std::sort(sparse.begin(), sparse.end());
        }
    }
    int position(qint64 rowid) const
    {
        if (!dense.empty()) {
            const quint64 i = quint64(rowid) - quint64(base);
            return i < dense.size() ? dense[size_t(i)] : -1;
        }
        const auto it = std::lower_bound(sparse.cbegin(), sparse.cend(), std::make_pair(rowid, -1));
        return it != sparse.cend() && it->first == rowid ? it->second : -1;
    }
};

const OrderState *stateOf(sqlite3_context *ctx)
{
    return static_cast<const OrderState *>(
        static_cast<Connection *>(sqlite3_user_data(ctx))->orderState);
}

// qvr_order_pos(rowid): the row's position in the record set, null when it is not in it.
void orderPosition(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const OrderState *state = stateOf(ctx);
    const int p = state ? state->position(sqlite3_value_int64(argv[0])) : -1;
    if (p < 0)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int(ctx, p);
}

// The sort key of a row is one text whose bytes, compared one by one (the database's plain
// text order, its quickest compare), give the whole order: each key in turn, then the
// row's place in the order before. Text keys are their case-folded UTF-16 code units u,
// each written as the UTF-8 form of u + 1 (1 to 4 bytes, never 0, in the order of u), and
// a 0 after the last; so byte order is code unit order, the order of QString, and a
// shorter text comes before a longer one it begins. A number is 1 followed by its 8 bytes
// turned into an unsigned number of the same order; an empty value is a 0 alone, before
// every number. A descending key has its bytes inverted. The place comes last, 4 bytes.
class KeyBytes
{
public:
    void text(const QString &text, bool descending)
    {
        const qsizetype start = m_bytes.size();
        // Plain ASCII (but DEL, whose u + 1 takes two bytes), the common case, folds by
        // lowering A to Z.
        if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x7F; })) {
            for (const QChar c : text) {
                const char16_t u = c.unicode();
                m_bytes.append(char((u >= 'A' && u <= 'Z' ? u + 32 : u) + 1));
            }
        } else {
            for (const QChar c : text.toCaseFolded()) {
                const char32_t v = char32_t(c.unicode()) + 1;
                if (v < 0x80) {
                    m_bytes.append(char(v));
                } else if (v < 0x800) {
                    m_bytes.append(char(0xC0 | (v >> 6)));
                    m_bytes.append(char(0x80 | (v & 0x3F)));
                } else if (v < 0x10000) {
                    m_bytes.append(char(0xE0 | (v >> 12)));
                    m_bytes.append(char(0x80 | ((v >> 6) & 0x3F)));
                    m_bytes.append(char(0x80 | (v & 0x3F)));
                } else {
                    m_bytes.append(char(0xF0 | (v >> 18)));
                    m_bytes.append(char(0x80 | ((v >> 12) & 0x3F)));
                    m_bytes.append(char(0x80 | ((v >> 6) & 0x3F)));
                    m_bytes.append(char(0x80 | (v & 0x3F)));
                }
            }
        }
        m_bytes.append('\0');
        if (descending)
            invert(start);
    }
    void number(std::optional<double> value, bool descending)
    {
        const qsizetype start = m_bytes.size();
        if (!value) {
            m_bytes.append('\0');
        } else {
            double v = *value;
            if (v == 0)
                v = 0; // -0 equals 0
            quint64 bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            bits = (bits >> 63) ? ~bits : bits | (quint64(1) << 63);
            m_bytes.append('\1');
            for (int shift = 56; shift >= 0; shift -= 8)
                m_bytes.append(char(bits >> shift));
        }
        if (descending)
            invert(start);
    }
    void place(int rank)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            m_bytes.append(char(quint32(rank) >> shift));
    }
    const char *data() const { return m_bytes.constData(); }
    qsizetype size() const { return m_bytes.size(); }

private:
    void invert(qsizetype from)
    {
        for (qsizetype i = from; i < m_bytes.size(); ++i)
            m_bytes[i] = char(~m_bytes[i]);
    }
    QVarLengthArray<char, 96> m_bytes; // most keys fit: no allocation per row
};

// qvr_order_key(rowid, field...): the sort key of the row, the fields of every key in turn.
void orderKey(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    const OrderState *state = stateOf(ctx);
    if (!state) {
        sqlite3_result_error(ctx, "qvr_order_key outside an order", -1);
        return;
    }
    const int position = state->position(sqlite3_value_int64(argv[0]));
    KeyBytes key;
    QVarLengthArray<QVariant, 8> values;
    int arg = 1;
    for (int k = 0; k < state->keys->size(); ++k) {
        const QVector<FieldType> &types = state->types.at(k);
        if (arg + types.size() > argc) {
            sqlite3_result_error(ctx, "qvr_order_key with the wrong fields", -1);
            return;
        }
        values.resize(types.size());
        for (int i = 0; i < types.size(); ++i)
            values[i] = SqlValue::read(argv[arg++], types.at(i));
        const OrderKey &orderKey = state->keys->at(k);
        const QVariant v = orderKey.value(values.constData(), position);
        if (v.typeId() == QMetaType::QString)
            key.text(v.toString(), orderKey.descending);
        else if (!v.isValid() || v.isNull())
            key.number(std::nullopt, orderKey.descending);
        else
            key.number(v.toDouble(), orderKey.descending);
    }
    key.place(position >= 0 && size_t(position) < state->rank.size() ? state->rank[size_t(position)]
                                                                     : position);
    sqlite3_result_text64(ctx, key.data(), quint64(key.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
}

} // namespace

void registerOrderFunctions(sqlite3 *db, Connection *connection)
{
    // Only for the program's own statements, never from a file's schema.
    const int flags = SQLITE_UTF8 | SQLITE_DIRECTONLY;
    sqlite3_create_function_v2(db, "qvr_order_pos", 1, flags, connection, orderPosition, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "qvr_order_key", -1, flags, connection, orderKey, nullptr,
                               nullptr, nullptr);
}

std::unique_ptr<Recordset> Database::openRecordset(const QString &sql,
                                                   std::shared_ptr<std::vector<qint64>> ids,
                                                   QString *error)
{
    if (!isOpen()) {
        fail(QStringLiteral("no database is open"), error);
        return nullptr;
    }
    std::unique_ptr<Recordset> rs(new Recordset);
    QString why;
    if (!rs->open(m_connection, sql, &why, std::move(ids))) {
        fail(why, error);
        return nullptr;
    }
    return rs;
}

bool Database::selectRowIds(const QString &sql, int limit, std::vector<qint64> *ids, QString *error)
{
    if (!isOpen())
        return fail(QStringLiteral("no database is open"), error);
    Recordset::Plan plan;
    QString why;
    if (!Recordset::plan(*m_connection, sql, &plan, &why) ||
        !Recordset::selectRowIds(*m_connection, plan.rowIdSql, limit, ids, &why))
        return fail(why, error);
    return true;
}

bool Database::readRows(const QString &table, const QStringList &fields, const qint64 *ids,
                        int count, const std::function<void(int, const QVariant *)> &row,
                        QString *error)
{
    if (!isOpen())
        return fail(QStringLiteral("no database is open"), error);
    QHash<QString, FieldType> types;
    QString why;
    if (!fieldTypes(*m_connection, table, &types, &why))
        return fail(why, error);
    QStringList columns;
    QVector<FieldType> columnTypes;
    for (const QString &f : fields) {
        const auto it = types.constFind(f.toLower());
        if (it == types.cend())
            return fail(QStringLiteral("the table %1 has no field %2").arg(table, f), error);
        columns << SqlTranslator::quoteIdentifier(f);
        columnTypes << it.value();
    }
    sqlite3_stmt *st = m_connection->statement(
        QStringLiteral("SELECT ") + columns.join(QLatin1Char(',')) + QStringLiteral(" FROM ") +
            SqlTranslator::quoteIdentifier(table) + QStringLiteral(" WHERE rowid=?1"),
        &why, true);
    if (!st)
        return fail(why, error);
    QVector<QVariant> values(fields.size());
    for (int i = 0; i < count; ++i) {
        sqlite3_bind_int64(st, 1, ids[i]);
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            for (int c = 0; c < columnTypes.size(); ++c)
                values[c] = SqlValue::read(st, c, columnTypes.at(c));
            row(i, values.constData());
        } else if (rc != SQLITE_DONE) {
            why = m_connection->errorText();
            sqlite3_reset(st);
            return fail(why, error);
        }
        sqlite3_reset(st);
    }
    return true;
}

bool Database::orderRows(const QString &table, const std::vector<qint64> &ids,
                         const QList<OrderKey> &keys, const std::vector<int> *previous,
                         std::vector<int> *order, QString *error)
{
    if (!isOpen())
        return fail(QStringLiteral("no database is open"), error);
    QHash<QString, FieldType> types;
    QString why;
    if (!fieldTypes(*m_connection, table, &types, &why))
        return fail(why, error);
    OrderState state(ids);
    state.keys = &keys;
    if (previous) {
        state.rank.assign(ids.size(), -1);
        for (size_t i = 0; i < previous->size(); ++i)
            if ((*previous)[i] >= 0 && size_t((*previous)[i]) < ids.size())
                state.rank[size_t((*previous)[i])] = int(i);
    }
    QString arguments;
    for (int k = 0; k < keys.size(); ++k) {
        QVector<FieldType> keyTypes;
        for (const QString &f : keys.at(k).fields) {
            const auto it = types.constFind(f.toLower());
            if (it == types.cend())
                return fail(QStringLiteral("the table %1 has no field %2").arg(table, f), error);
            keyTypes << it.value();
            arguments += QLatin1Char(',') + SqlTranslator::quoteIdentifier(f);
        }
        state.types << keyTypes;
    }
    // One key per row, unique (it ends in the row's place before): a stable sort.
    const QString orderBy = QStringLiteral("qvr_order_key(rowid") + arguments + QLatin1Char(')');
    sqlite3_stmt *st = m_connection->prepare(
        QStringLiteral("SELECT qvr_order_pos(rowid) FROM ") +
            SqlTranslator::quoteIdentifier(table) +
            QStringLiteral(" NOT INDEXED WHERE qvr_order_pos(rowid) IS NOT NULL ORDER BY ") +
            orderBy,
        &why, true);
    if (!st)
        return fail(why, error);
    m_connection->orderState = &state;
    order->clear();
    order->reserve(ids.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        order->push_back(sqlite3_column_int(st, 0));
    if (rc != SQLITE_DONE)
        why = m_connection->errorText();
    sqlite3_finalize(st);
    m_connection->orderState = nullptr;
    if (rc != SQLITE_DONE)
        return fail(why, error);
    return true;
}

qint64 Database::rowIdSpan(const QString &table)
{
    if (!isOpen())
        return 0;
    const QString t = SqlTranslator::quoteIdentifier(table);
    QString why;
    // Two lookups at the ends of the table, not a scan.
    sqlite3_stmt *st = m_connection->prepare(
        QStringLiteral("SELECT (SELECT max(rowid) FROM %1) - (SELECT min(rowid) FROM %1) + 1")
            .arg(t),
        &why, true);
    if (!st)
        return 0;
    const qint64 span = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    sqlite3_finalize(st);
    return std::max<qint64>(span, 0);
}

BackgroundReader &Database::background()
{
    if (!m_background)
        m_background = std::make_unique<BackgroundReader>(m_path);
    return *m_background;
}

} // namespace qvr
