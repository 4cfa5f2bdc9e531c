#pragma once

#include "store/FieldDef.h"
#include "store/SqlTranslator.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

namespace qvr {

class Connection;

// An updatable record set over one table, as the old engine's dynaset behaved:
// - the row ids of its SQL are taken once, in the SQL's order with the row id as the final
//   tiebreak; rows added later appear at its end until it is opened again;
// - a current record, before-first (BOF) and after-last (EOF); positions are 0-based and
//   -1 when there is no current record; record count is always complete;
// - find first/next/previous with a criteria text in the old dialect, NoMatch;
// - addNew/edit, setField, update (stores), cancelUpdate, deleteCurrent;
// - bookmarks are row ids; lastModified is the row last added or edited.
// After addNew + update the current record is the one current before addNew (go to
// lastModified() to reach the new row). Moving or finding while an edit is pending drops
// the edit, as the old engine did. On a failed find the current record stays where it was.
// Every operation returns false (or a null value) on failure and sets lastError().
class Recordset
{
public:
    using Bookmark = qint64;
    static constexpr Bookmark NoBookmark = -1;

    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    QString sql() const { return m_sql; }
    QString tableName() const { return m_table; }
    QString lastError() const { return m_lastError; }

    // Position.
    bool eof() const;
    bool bof() const;
    int absolutePosition() const;
    bool setAbsolutePosition(int position);
    int recordCount() const { return int(m_ids->size()); }
    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrevious();

    // Find with criteria in the old dialect ("ParameterNummer=12 and Start_Datum=#..#").
    // First: from the first record; next: after the current one; previous: before it.
    bool findFirst(const QString &criteria);
    bool findNext(const QString &criteria);
    bool findPrevious(const QString &criteria);
    bool noMatch() const { return m_noMatch; }

    // Changing rows.
    bool addNew();
    bool edit();
    bool setField(const QString &name, const QVariant &value);
    bool setField(int index, const QVariant &value);
    bool update();
    void cancelUpdate();
    bool deleteCurrent();
    bool isEditing() const { return m_editMode != EditMode::None; }

    // Bookmarks.
    Bookmark bookmark() const;
    bool setBookmark(Bookmark b);
    Bookmark lastModified() const { return m_lastModified; }

    // Fields of the current record (the edit buffer while editing). A field without value
    // reads as a null QVariant; so does a read without a current record (with an error).
    // Numbers come as int (qlonglong beyond), Double as double, DateTime as QDateTime
    // (Qt::UTC, see OleDate), Text as QString.
    QVariant field(const QString &name) const;
    QVariant field(int index) const;
    // The row ids of the records in record-set order. The list is shared, not copied: later
    // changes of the record set (add, delete) do not reach a list handed out before.
    std::shared_ptr<const std::vector<qint64>> rowIds() const { return m_ids; }

    int fieldCount() const { return int(m_fields.size()); }
    QString fieldName(int index) const;
    FieldType fieldType(int index) const;
    // -1 when there is no such field (names are case-insensitive).
    int fieldIndex(const QString &name) const;

    // Drops the record set's rows; later operations fail.
    void close();
    bool isOpen() const;

private:
    friend class Database;
    enum class EditMode { None, Edit, Add };
    struct FieldInfo
    {
        QString name;
        FieldType type = FieldType::Unknown;
        QVariant defaultValue;
    };

    // What an SQL selects: its parts, the table's fields, the fields selected and the SQLite
    // query of the row ids in the SQL's order (row id last).
    struct Plan
    {
        SqlTranslator::Select select;
        QVector<FieldInfo> tableFields;
        QVector<FieldInfo> fields;
        QString rowIdSql;
    };
    static bool plan(Connection &connection, const QString &sql, Plan *out, QString *error);
    // Runs a plan's row id query; `limit` < 0 for all rows.
    static bool selectRowIds(Connection &connection, const QString &rowIdSql, int limit,
                             std::vector<qint64> *ids, QString *error);

    // The first or the last record, for moveFirst and moveLast.
    bool moveToEnd(bool last);
    Recordset() = default;
    // `ids`, when given, are the SQL's row ids selected before: no query runs.
    bool open(const std::shared_ptr<Connection> &connection, const QString &sql, QString *error,
              std::shared_ptr<std::vector<qint64>> ids = nullptr);
    bool fail(const QString &message) const;
    bool checkOpen() const;
    bool loadRow(qint64 rowid, QVector<QVariant> *values) const;
    bool find(const QString &criteria, int from, int direction);
    void ensurePositionIndex() const;
    void leaveEdit();
    static QVariant normalizeForField(const QVariant &value, FieldType type);

    std::shared_ptr<Connection> m_connection;
    QString m_sql;
    QString m_table;        // as written in the SQL
    QString m_tableQuoted;  // for SQLite
    QString m_selectColumns;
    quint64 *m_tableVersion = nullptr;  // owned by the connection
    QVector<FieldInfo> m_fields;
    // Length and folded first and last letter of each field name: a name lookup compares
    // whole names only where these match (cheaper than hashing every name).
    QVector<quint32> m_fieldKeys;
    static quint32 nameKey(QStringView name);
    // Prepared statements of this set, owned by the connection's cache (which lives as long
    // as the connection is open): INSERT/UPDATE by the fields set, and the row read.
    QHash<QByteArray, void *> m_writeStatements;
    mutable void *m_rowStatement = nullptr;

    // Shared with the lists rowIds() handed out; copied before it changes.
    std::shared_ptr<std::vector<qint64>> m_ids = std::make_shared<std::vector<qint64>>();
    std::vector<qint64> &mutableIds()
    {
        if (m_ids.use_count() > 1)
            m_ids = std::make_shared<std::vector<qint64>>(*m_ids);
        return *m_ids;
    }
    mutable QHash<qint64, int> m_positionOf;
    mutable bool m_positionsValid = false;

    int m_pos = -1;          // index into m_ids when on a record
    bool m_afterLast = false;
    bool m_currentDeleted = false;
    bool m_noMatch = false;
    Bookmark m_lastModified = NoBookmark;

    EditMode m_editMode = EditMode::None;
    qint64 m_editRowid = -1;
    QVector<QVariant> m_buffer;
    QVector<bool> m_bufferSet;

    bool onRecord() const;
    struct RowCache
    {
        qint64 rowid = -1;
        quint64 version = 0;
        quint64 tableVersion = 0;
        QVector<QVariant> values;
    };
    const QVector<QVariant> *cachedRow(RowCache &cache, qint64 rowid) const;
    mutable RowCache m_current;
    mutable QString m_lastError;
};

} // namespace qvr
