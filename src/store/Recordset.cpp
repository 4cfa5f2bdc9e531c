#include "store/Recordset.h"

#include "store/Connection.h"
#include "store/HistorySchema.h"
#include "store/OleDate.h"
#include "store/SqlTranslator.h"
#include "store/SqlValue.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qvr {

namespace {

using SqlValue::columnText;

QVariant parseDefault(const QString &d)
{
    if (d.size() >= 2 && d.startsWith(QLatin1Char('\'')) && d.endsWith(QLatin1Char('\'')))
        return d.mid(1, d.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    bool ok = false;
    const qlonglong i = d.toLongLong(&ok);
    if (ok)
        return i;
    const double x = d.toDouble(&ok);
    if (ok)
        return x;
    return QVariant();
}

} // namespace

Recordset::~Recordset() = default;

QVariant Recordset::normalizeForField(const QVariant &v, FieldType type)
{
    if (v.isNull() || !v.isValid())
        return QVariant();
    const int id = v.typeId();
    const bool numeric =
        id == QMetaType::Int || id == QMetaType::UInt || id == QMetaType::LongLong ||
        id == QMetaType::ULongLong || id == QMetaType::Double || id == QMetaType::Float ||
        id == QMetaType::Short || id == QMetaType::UShort || id == QMetaType::Long ||
        id == QMetaType::ULong || id == QMetaType::UChar || id == QMetaType::SChar;
    switch (type) {
    case FieldType::Text:
        if (numeric)
            return id == QMetaType::Double || id == QMetaType::Float
                       ? QString::number(v.toDouble(), 'g', 15)
                       : v.toString();
        return v;
    case FieldType::Byte:
    case FieldType::Integer:
    case FieldType::Long:
        if (id == QMetaType::QString) {
            bool ok = false;
            const qlonglong n = v.toString().trimmed().toLongLong(&ok);
            if (ok)
                return n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max()
                           ? QVariant(int(n))
                           : QVariant(n);
        }
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double d = v.toDouble();
            if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9e15)
                return qlonglong(d);
        }
        if (id == QMetaType::Bool)
            return v.toBool() ? -1 : 0;
        return v;
    case FieldType::Double:
        if (id == QMetaType::QString) {
            bool ok = false;
            const double d = v.toString().trimmed().toDouble(&ok);
            if (ok)
                return d;
            return v;
        }
        {
            double ole = 0;
            if (OleDate::fromVariant(v, &ole))
                return ole;
        }
        return v;
    case FieldType::DateTime: {
        double ole = 0;
        if (id != QMetaType::QString && OleDate::fromVariant(v, &ole))
            return OleDate::toDateTime(ole);
        return v;
    }
    case FieldType::Unknown:
        break;
    }
    return v;
}

bool Recordset::fail(const QString &message) const
{
    m_lastError = message;
    return false;
}

bool Recordset::checkOpen() const
{
    if (!m_connection)
        return fail(QStringLiteral("the record set is closed"));
    if (!m_connection->isOpen())
        return fail(QStringLiteral("the database of the record set is closed"));
    return true;
}

bool Recordset::isOpen() const
{
    return m_connection && m_connection->isOpen();
}

void Recordset::close()
{
    m_connection.reset();
    m_tableVersion = nullptr;
    m_ids = std::make_shared<std::vector<qint64>>();
    m_positionOf.clear();
    m_positionsValid = false;
    m_pos = -1;
    m_afterLast = true;
    m_editMode = EditMode::None;
    m_current = RowCache();
}

namespace {

// Whether an index of `table` answers a selection alone: its leading key columns are the
// order fields, ascending and in the plain collation, and every field the condition names
// is one of its columns, so the row ids come from the index in order without a table row
// being read.
bool indexServes(Connection &connection, const QString &table, const QStringList &order,
                 const QStringList &conditionFields)
{
    QString why;
    sqlite3_stmt *st = connection.statement(
        QStringLiteral("SELECT il.name, x.name, x.desc, x.coll FROM pragma_index_list(?1) il,"
                       " pragma_index_xinfo(il.name) x WHERE il.partial = 0 AND x.key = 1"
                       " ORDER BY il.name, x.seqno"),
        &why);
    if (!st)
        return false;
    const QByteArray tableUtf8 = table.toUtf8();
    sqlite3_bind_text(st, 1, tableUtf8.constData(), int(tableUtf8.size()), SQLITE_TRANSIENT);
    struct Column
    {
        QString name;
        bool plain = false;
    };
    QHash<QString, QList<Column>> indexes;
    while (sqlite3_step(st) == SQLITE_ROW) {
        indexes[columnText(st, 0)].append(
            {columnText(st, 1),
             sqlite3_column_int(st, 2) == 0 &&
                 columnText(st, 3).compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0});
    }
    sqlite3_reset(st);
    for (const QList<Column> &columns : std::as_const(indexes)) {
        bool serves = columns.size() >= order.size();
        for (int i = 0; serves && i < order.size(); ++i)
            serves = columns.at(i).plain &&
                     columns.at(i).name.compare(order.at(i), Qt::CaseInsensitive) == 0;
        for (const QString &field : conditionFields) {
            serves = serves && std::any_of(columns.cbegin(), columns.cend(), [&](const Column &c) {
                         return c.name.compare(field, Qt::CaseInsensitive) == 0;
                     });
        }
        if (serves)
            return true;
    }
    return false;
}

} // namespace

bool Recordset::plan(Connection &connection, const QString &sql, Plan *out, QString *error)
{
    auto failPlan = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    QString why;
    if (!SqlTranslator::translateSelect(sql, &out->select, &why))
        return failPlan(why);
    const SqlTranslator::Select &select = out->select;

    // The table's fields, their declared types and defaults.
    QVector<FieldInfo> &tableFields = out->tableFields;
    tableFields.clear();
    // Cached: preparing these costs more than running them.
    sqlite3_stmt *info = connection.statement(
        QStringLiteral("SELECT name, type, dflt_value FROM pragma_table_info(?1)"), &why);
    if (!info)
        return failPlan(why);
    const QByteArray tableUtf8 = select.table.toUtf8();
    sqlite3_bind_text(info, 1, tableUtf8.constData(), int(tableUtf8.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(info) == SQLITE_ROW) {
        FieldInfo f;
        f.name = columnText(info, 0);
        // The history tables' fields keep this program's types, whatever an older or a
        // foreign file declares (older layouts declare dates as INTEGER).
        const FieldType own = HistorySchema::fieldType(select.table, f.name);
        f.type =
            own != FieldType::Unknown ? own : FieldDef::typeFromDeclaration(columnText(info, 1));
        if (sqlite3_column_type(info, 2) != SQLITE_NULL)
            f.defaultValue = normalizeForField(parseDefault(columnText(info, 2)), f.type);
        tableFields << f;
    }
    sqlite3_reset(info);
    if (tableFields.isEmpty())
        return failPlan(QStringLiteral("there is no table %1").arg(select.table));

    auto findField = [&](const QString &name) -> int {
        for (int i = 0; i < tableFields.size(); ++i) {
            if (tableFields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    };
    out->fields.clear();
    if (select.columns.isEmpty()) {
        out->fields = tableFields;
    } else {
        for (const QString &c : std::as_const(select.columns)) {
            const int i = findField(c);
            if (i < 0)
                return failPlan(
                    QStringLiteral("the table %1 has no field %2").arg(select.table, c));
            out->fields << tableFields.at(i);
        }
    }

    QString order;
    QStringList plainOrder; // fields an index can deliver the order of
    bool indexable = true;
    for (const SqlTranslator::OrderItem &item : std::as_const(select.orderBy)) {
        const int i = findField(item.column);
        if (i < 0)
            return failPlan(
                QStringLiteral("the table %1 has no field %2").arg(select.table, item.column));
        order += SqlTranslator::quoteIdentifier(tableFields.at(i).name);
        if (tableFields.at(i).type == FieldType::Text ||
            tableFields.at(i).type == FieldType::Unknown) {
            order += QStringLiteral(" COLLATE QVR_NOCASE");
            indexable = false;
        }
        if (item.descending) {
            order += QStringLiteral(" DESC");
            indexable = false;
        }
        order += QLatin1Char(',');
        plainOrder << tableFields.at(i).name;
    }
    order += QStringLiteral("rowid");

    // Walking an index in order and reading every row from the table costs several times
    // a sort of the rows: an ordered selection uses an index only where it needs nothing else.
    const QString table = SqlTranslator::quoteIdentifier(select.table);
    QString rowsSql = QStringLiteral("SELECT rowid FROM ") + table;
    if (!select.orderBy.isEmpty() &&
        !(indexable && indexServes(connection, select.table, plainOrder, select.whereFields)))
        rowsSql += QStringLiteral(" NOT INDEXED");
    if (!select.where.isEmpty())
        rowsSql += QStringLiteral(" WHERE ") + select.where;
    rowsSql += QStringLiteral(" ORDER BY ") + order;
    out->rowIdSql = rowsSql;
    return true;
}

bool Recordset::open(const std::shared_ptr<Connection> &connection, const QString &sql,
                     QString *error, std::shared_ptr<std::vector<qint64>> ids)
{
    auto failOpen = [&](const QString &message) {
        m_lastError = message;
        if (error)
            *error = message;
        return false;
    };
    Plan plan;
    QString why;
    if (!Recordset::plan(*connection, sql, &plan, &why))
        return failOpen(why);

    m_connection = connection;
    m_tableVersion = &connection->tableVersion(plan.select.table);
    m_sql = sql;
    m_table = plan.select.table;
    m_tableQuoted = SqlTranslator::quoteIdentifier(plan.select.table);
    m_fields = plan.fields;

    QStringList columns;
    m_fieldKeys.clear();
    m_writeStatements.clear();
    m_rowStatement = nullptr;
    for (int i = 0; i < m_fields.size(); ++i) {
        columns << SqlTranslator::quoteIdentifier(m_fields.at(i).name);
        m_fieldKeys << nameKey(m_fields.at(i).name);
    }
    m_selectColumns = columns.join(QLatin1Char(','));

    if (ids) {
        m_ids = std::move(ids);
    } else {
        m_ids = std::make_shared<std::vector<qint64>>();
        if (!selectRowIds(*connection, plan.rowIdSql, -1, m_ids.get(), &why))
            return failOpen(why);
    }

    m_positionsValid = false;
    m_pos = m_ids->empty() ? -1 : 0;
    m_afterLast = m_ids->empty();
    m_currentDeleted = false;
    m_noMatch = false;
    m_lastModified = NoBookmark;
    m_editMode = EditMode::None;
    return true;
}

bool Recordset::selectRowIds(Connection &connection, const QString &rowIdSql, int limit,
                             std::vector<qint64> *ids, QString *error)
{
    QString sql = rowIdSql;
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT ") + QString::number(limit);
    sqlite3_stmt *rows = connection.prepare(sql, error, true);
    if (!rows)
        return false;
    ids->clear();
    int rc;
    while ((rc = sqlite3_step(rows)) == SQLITE_ROW)
        ids->push_back(sqlite3_column_int64(rows, 0));
    sqlite3_finalize(rows);
    if (rc != SQLITE_DONE) {
        if (error)
            *error = connection.errorText();
        return false;
    }
    return true;
}

bool Recordset::onRecord() const
{
    return !m_afterLast && !m_currentDeleted && m_pos >= 0 && m_pos < int(m_ids->size());
}

bool Recordset::eof() const
{
    return m_afterLast || m_ids->empty();
}

bool Recordset::bof() const
{
    return (m_pos < 0 && !m_afterLast) || m_ids->empty();
}

int Recordset::absolutePosition() const
{
    return onRecord() ? m_pos : -1;
}

void Recordset::leaveEdit()
{
    m_editMode = EditMode::None;
    m_editRowid = -1;
    m_buffer.clear();
    m_bufferSet.clear();
}

bool Recordset::setAbsolutePosition(int position)
{
    if (!checkOpen())
        return false;
    if (position < 0 || position >= int(m_ids->size()))
        return fail(QStringLiteral("position %1 is outside the record set").arg(position));
    leaveEdit();
    m_pos = position;
    m_afterLast = false;
    m_currentDeleted = false;
    return true;
}

bool Recordset::moveFirst()
{
    return moveToEnd(false);
}

bool Recordset::moveLast()
{
    return moveToEnd(true);
}

bool Recordset::moveToEnd(bool last)
{
    if (!checkOpen())
        return false;
    leaveEdit();
    m_currentDeleted = false;
    if (m_ids->empty()) {
        m_pos = -1;
        m_afterLast = true;
        return fail(QStringLiteral("no current record"));
    }
    m_pos = last ? int(m_ids->size()) - 1 : 0;
    m_afterLast = false;
    return true;
}

bool Recordset::moveNext()
{
    if (!checkOpen())
        return false;
    if (eof())
        return fail(QStringLiteral("no current record"));
    leaveEdit();
    if (m_currentDeleted)
        m_currentDeleted = false; // the next record has moved up into this position
    else
        ++m_pos;
    if (m_pos >= int(m_ids->size())) {
        m_pos = int(m_ids->size());
        m_afterLast = true;
    }
    return true;
}

bool Recordset::movePrevious()
{
    if (!checkOpen())
        return false;
    if (bof())
        return fail(QStringLiteral("no current record"));
    leaveEdit();
    m_currentDeleted = false;
    m_afterLast = false;
    --m_pos;
    if (m_pos < 0)
        m_pos = -1;
    return true;
}

void Recordset::ensurePositionIndex() const
{
    if (m_positionsValid)
        return;
    m_positionOf.clear();
    m_positionOf.reserve(qsizetype(m_ids->size()));
    for (int i = 0; i < int(m_ids->size()); ++i)
        m_positionOf.insert((*m_ids)[size_t(i)], i);
    m_positionsValid = true;
}

bool Recordset::find(const QString &criteria, int from, int direction)
{
    if (!checkOpen())
        return false;
    leaveEdit();
    QString condition;
    QString why;
    if (!SqlTranslator::translateCondition(criteria, &condition, &why))
        return fail(why);
    sqlite3_stmt *st = m_connection->prepare(QStringLiteral("SELECT rowid FROM ") + m_tableQuoted +
                                                 QStringLiteral(" WHERE ") + condition,
                                             &why, true);
    if (!st)
        return fail(why);
    ensurePositionIndex();
    int best = -1;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const auto it = m_positionOf.constFind(sqlite3_column_int64(st, 0));
        if (it == m_positionOf.cend())
            continue;
        const int p = it.value();
        if (direction > 0) {
            if (p > from && (best < 0 || p < best))
                best = p;
        } else if (p < from && p > best) {
            best = p;
        }
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        return fail(m_connection->errorText());
    m_noMatch = best < 0;
    if (!m_noMatch) {
        m_pos = best;
        m_afterLast = false;
        m_currentDeleted = false;
    }
    return true;
}

bool Recordset::findFirst(const QString &criteria)
{
    return find(criteria, -1, 1);
}

bool Recordset::findNext(const QString &criteria)
{
    int from = m_pos;
    if (m_afterLast)
        from = int(m_ids->size());
    else if (m_currentDeleted)
        from = m_pos - 1;
    return find(criteria, from, 1);
}

bool Recordset::findPrevious(const QString &criteria)
{
    int from = m_pos;
    if (m_afterLast)
        from = int(m_ids->size());
    if (from < 0)
        from = -1;
    return find(criteria, from, -1);
}

bool Recordset::addNew()
{
    if (!checkOpen())
        return false;
    leaveEdit();
    m_editMode = EditMode::Add;
    m_buffer.resize(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        m_buffer[i] = m_fields.at(i).defaultValue;
    m_bufferSet = QVector<bool>(m_fields.size(), false);
    return true;
}

bool Recordset::edit()
{
    if (!checkOpen())
        return false;
    if (!onRecord())
        return fail(QStringLiteral("no current record"));
    const QVector<QVariant> *row = cachedRow(m_current, (*m_ids)[size_t(m_pos)]);
    if (!row)
        return false;
    leaveEdit();
    m_editMode = EditMode::Edit;
    m_editRowid = (*m_ids)[size_t(m_pos)];
    m_buffer = *row;
    m_bufferSet = QVector<bool>(m_fields.size(), false);
    return true;
}

quint32 Recordset::nameKey(QStringView name)
{
    if (name.isEmpty())
        return 0;
    return (quint32(name.size()) << 20) ^ (quint32(name.front().toCaseFolded().unicode()) << 10) ^
           quint32(name.back().toCaseFolded().unicode());
}

int Recordset::fieldIndex(const QString &name) const
{
    const quint32 key = nameKey(name);
    for (int i = 0; i < m_fieldKeys.size(); ++i) {
        if (m_fieldKeys.at(i) == key && m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString Recordset::fieldName(int index) const
{
    return index >= 0 && index < m_fields.size() ? m_fields.at(index).name : QString();
}

FieldType Recordset::fieldType(int index) const
{
    return index >= 0 && index < m_fields.size() ? m_fields.at(index).type : FieldType::Unknown;
}

bool Recordset::setField(const QString &name, const QVariant &value)
{
    const int i = fieldIndex(name);
    if (i < 0)
        return fail(QStringLiteral("the record set has no field %1").arg(name));
    return setField(i, value);
}

bool Recordset::setField(int index, const QVariant &value)
{
    if (!checkOpen())
        return false;
    if (m_editMode == EditMode::None)
        return fail(QStringLiteral("a field is set without addNew or edit"));
    if (index < 0 || index >= m_fields.size())
        return fail(QStringLiteral("there is no field %1").arg(index));
    m_buffer[index] = normalizeForField(value, m_fields.at(index).type);
    m_bufferSet[index] = true;
    return true;
}

void Recordset::cancelUpdate()
{
    leaveEdit();
}

bool Recordset::update()
{
    if (!checkOpen())
        return false;
    if (m_editMode == EditMode::None)
        return fail(QStringLiteral("update without addNew or edit"));

    QList<int> set;
    QByteArray mask(m_fields.size() + 1, '0');
    mask[0] = m_editMode == EditMode::Edit ? 'E' : 'A';
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_bufferSet.at(i)) {
            set << i;
            mask[i + 1] = '1';
        }
    }
    if (m_editMode == EditMode::Edit && set.isEmpty()) {
        m_lastModified = m_editRowid;
        leaveEdit();
        return true;
    }
    auto *st = static_cast<sqlite3_stmt *>(m_writeStatements.value(mask));
    if (st) {
        sqlite3_reset(st);
    } else {
        QString sql;
        QStringList names;
        for (int i : std::as_const(set))
            names << SqlTranslator::quoteIdentifier(m_fields.at(i).name);
        if (m_editMode == EditMode::Edit) {
            QStringList assignments;
            for (int k = 0; k < names.size(); ++k)
                assignments << names.at(k) + QStringLiteral("=?") + QString::number(k + 1);
            sql = QStringLiteral("UPDATE ") + m_tableQuoted + QStringLiteral(" SET ") +
                  assignments.join(QLatin1Char(',')) + QStringLiteral(" WHERE rowid=?") +
                  QString::number(set.size() + 1);
        } else if (set.isEmpty()) {
            sql =
                QStringLiteral("INSERT INTO ") + m_tableQuoted + QStringLiteral(" DEFAULT VALUES");
        } else {
            QStringList params;
            for (int k = 0; k < names.size(); ++k)
                params << QLatin1Char('?') + QString::number(k + 1);
            sql = QStringLiteral("INSERT INTO ") + m_tableQuoted + QStringLiteral(" (") +
                  names.join(QLatin1Char(',')) + QStringLiteral(") VALUES (") +
                  params.join(QLatin1Char(',')) + QLatin1Char(')');
        }
        QString why;
        st = m_connection->statement(sql, &why);
        if (!st)
            return fail(why);
        m_writeStatements.insert(mask, st);
    }
    for (int k = 0; k < set.size(); ++k)
        SqlValue::bind(st, k + 1, m_buffer.at(set.at(k)), m_fields.at(set.at(k)).type);
    if (m_editMode == EditMode::Edit)
        sqlite3_bind_int64(st, int(set.size()) + 1, m_editRowid);
    ++*m_tableVersion;
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE) {
        const QString text = m_connection->errorText();
        sqlite3_reset(st);
        return fail(text); // the edit stays pending, as it did in the old engine
    }
    sqlite3_reset(st);
    sqlite3 *db = m_connection->handle();
    if (m_editMode == EditMode::Edit) {
        if (sqlite3_changes(db) != 1) {
            leaveEdit();
            return fail(QStringLiteral("the record no longer exists"));
        }
        m_lastModified = m_editRowid;
    } else {
        const qint64 rowid = sqlite3_last_insert_rowid(db);
        mutableIds().push_back(rowid);
        if (m_positionsValid)
            m_positionOf.insert(rowid, int(m_ids->size()) - 1);
        if (m_afterLast)
            m_pos = int(m_ids->size());
        m_lastModified = rowid;
    }
    leaveEdit();
    return true;
}

bool Recordset::deleteCurrent()
{
    if (!checkOpen())
        return false;
    if (!onRecord())
        return fail(QStringLiteral("no current record"));
    leaveEdit();
    QString why;
    sqlite3_stmt *st = m_connection->statement(
        QStringLiteral("DELETE FROM ") + m_tableQuoted + QStringLiteral(" WHERE rowid=?1"), &why);
    if (!st)
        return fail(why);
    sqlite3_bind_int64(st, 1, (*m_ids)[size_t(m_pos)]);
    ++*m_tableVersion;
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
        return fail(m_connection->errorText());
    std::vector<qint64> &ids = mutableIds();
    ids.erase(ids.begin() + m_pos);
    m_positionsValid = false;
    m_currentDeleted = true;
    return true;
}

Recordset::Bookmark Recordset::bookmark() const
{
    if (!onRecord()) {
        m_lastError = QStringLiteral("no current record");
        return NoBookmark;
    }
    return (*m_ids)[size_t(m_pos)];
}

bool Recordset::setBookmark(Bookmark b)
{
    if (!checkOpen())
        return false;
    ensurePositionIndex();
    const auto it = m_positionOf.constFind(b);
    if (it == m_positionOf.cend())
        return fail(QStringLiteral("the bookmark is not valid"));
    leaveEdit();
    m_pos = it.value();
    m_afterLast = false;
    m_currentDeleted = false;
    return true;
}

bool Recordset::loadRow(qint64 rowid, QVector<QVariant> *values) const
{
    auto *st = static_cast<sqlite3_stmt *>(m_rowStatement);
    if (st) {
        sqlite3_reset(st);
    } else {
        QString why;
        st = m_connection->statement(QStringLiteral("SELECT ") + m_selectColumns +
                                         QStringLiteral(" FROM ") + m_tableQuoted +
                                         QStringLiteral(" WHERE rowid=?1"),
                                     &why);
        if (!st)
            return fail(why);
        m_rowStatement = st;
    }
    sqlite3_bind_int64(st, 1, rowid);
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
        const QString text = rc == SQLITE_DONE ? QStringLiteral("the record no longer exists")
                                               : m_connection->errorText();
        sqlite3_reset(st);
        return fail(text);
    }
    values->resize(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        (*values)[i] = SqlValue::read(st, i, m_fields.at(i).type);
    sqlite3_reset(st);
    return true;
}

const QVector<QVariant> *Recordset::cachedRow(RowCache &cache, qint64 rowid) const
{
    if (cache.rowid == rowid && cache.version == m_connection->writeVersion &&
        cache.tableVersion == *m_tableVersion)
        return &cache.values;
    if (!loadRow(rowid, &cache.values)) {
        cache.rowid = -1;
        return nullptr;
    }
    cache.rowid = rowid;
    cache.version = m_connection->writeVersion;
    cache.tableVersion = *m_tableVersion;
    return &cache.values;
}

QVariant Recordset::field(int index) const
{
    if (index < 0 || index >= m_fields.size()) {
        fail(QStringLiteral("there is no field %1").arg(index));
        return QVariant();
    }
    if (m_editMode != EditMode::None)
        return m_buffer.at(index);
    if (!checkOpen())
        return QVariant();
    if (!onRecord()) {
        fail(QStringLiteral("no current record"));
        return QVariant();
    }
    const QVector<QVariant> *row = cachedRow(m_current, (*m_ids)[size_t(m_pos)]);
    return row ? row->at(index) : QVariant();
}

QVariant Recordset::field(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0) {
        fail(QStringLiteral("the record set has no field %1").arg(name));
        return QVariant();
    }
    return field(i);
}

} // namespace qvr
