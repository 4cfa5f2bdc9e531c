#include "store/TableDef.h"

namespace qvr {

TableDef::TableDef(const QString &name) : m_name(name) {}

int TableDef::indexOf(const QString &fieldName) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TableDef::createSql() const
{
    QStringList columns;
    for (const FieldDef &f : m_fields)
        columns << f.columnSql();
    return QStringLiteral("CREATE TABLE ") + FieldDef::quoteIdentifier(m_name) + QStringLiteral(" (")
        + columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

} // namespace qvr
