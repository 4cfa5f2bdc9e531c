#pragma once

#include "store/FieldDef.h"

#include <QList>
#include <QString>

namespace qvr {

// A table definition: a name and its fields in creation order. Database::appendTable
// creates it in the file; Database::tableDef reads one back.
class TableDef
{
public:
    explicit TableDef(const QString &name = QString());

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    void appendField(const FieldDef &field) { m_fields.append(field); }
    const QList<FieldDef> &fields() const { return m_fields; }
    // Index of a field by name (case-insensitive), -1 when there is none.
    int indexOf(const QString &fieldName) const;

    QString createSql() const;

private:
    QString m_name;
    QList<FieldDef> m_fields;
};

} // namespace qvr
