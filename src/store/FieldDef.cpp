#include "store/FieldDef.h"

#include "store/OleDate.h"

namespace qvr {

FieldDef::FieldDef(const QString &fieldName, FieldType fieldType, int fieldSize)
    : name(fieldName), type(fieldType), size(fieldSize)
{
}

int FieldDef::effectiveSize() const
{
    return (size <= 0 || size > 255) ? 255 : size;
}

QString FieldDef::quoteIdentifier(const QString &n)
{
    QString q = n;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString FieldDef::quoteText(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString FieldDef::typeName(FieldType t, int textSize)
{
    switch (t) {
    case FieldType::Byte: return QStringLiteral("TINYINT");
    case FieldType::Integer: return QStringLiteral("SMALLINT");
    case FieldType::Long: return QStringLiteral("INTEGER");
    case FieldType::Double: return QStringLiteral("DOUBLE");
    // REAL in the declared type gives the column REAL affinity in every SQLite tool.
    case FieldType::DateTime: return QStringLiteral("DATETIME REAL");
    case FieldType::Text: return QStringLiteral("VARCHAR(%1)").arg(textSize);
    case FieldType::Unknown: break;
    }
    return QString();
}

FieldType FieldDef::typeFromDeclaration(const QString &declared, int *textSize)
{
    const QString d = declared.trimmed().toUpper();
    if (textSize)
        *textSize = 0;
    if (d.startsWith(QLatin1String("DATETIME")) || d == QLatin1String("DATE"))
        return FieldType::DateTime;
    if (d == QLatin1String("TINYINT") || d == QLatin1String("BYTE"))
        return FieldType::Byte;
    if (d == QLatin1String("SMALLINT"))
        return FieldType::Integer;
    if (d == QLatin1String("INTEGER") || d == QLatin1String("INT") || d == QLatin1String("LONG"))
        return FieldType::Long;
    if (d == QLatin1String("DOUBLE") || d == QLatin1String("REAL") || d == QLatin1String("FLOAT"))
        return FieldType::Double;
    if (d.startsWith(QLatin1String("VARCHAR")) || d.startsWith(QLatin1String("TEXT"))
        || d.startsWith(QLatin1String("CHAR"))) {
        const qsizetype open = d.indexOf(QLatin1Char('('));
        const qsizetype close = d.indexOf(QLatin1Char(')'));
        if (textSize) {
            *textSize = 255;
            if (open > 0 && close > open)
                *textSize = d.mid(open + 1, close - open - 1).trimmed().toInt();
        }
        return FieldType::Text;
    }
    return FieldType::Unknown;
}

QString FieldDef::columnSql() const
{
    const QString q = quoteIdentifier(name);
    QString sql = q + QLatin1Char(' ') + typeName(type, effectiveSize());

    const bool hasDefault = !defaultValue.isNull()
        && !(defaultValue.typeId() == QMetaType::QString && defaultValue.toString().isEmpty());
    if (hasDefault) {
        switch (type) {
        case FieldType::Byte:
        case FieldType::Integer:
        case FieldType::Long:
            sql += QStringLiteral(" DEFAULT %1").arg(defaultValue.toLongLong());
            break;
        case FieldType::Double:
            sql += QStringLiteral(" DEFAULT %1").arg(QString::number(defaultValue.toDouble(), 'g', 17));
            break;
        case FieldType::DateTime: {
            double ole = 0;
            if (!OleDate::fromVariant(defaultValue, &ole))
                ole = defaultValue.toDouble();
            QString n = QString::number(ole, 'g', 17);
            if (!n.contains(QLatin1Char('.')) && !n.contains(QLatin1Char('e')))
                n += QLatin1String(".0");
            sql += QStringLiteral(" DEFAULT ") + n;
            break;
        }
        case FieldType::Text:
        case FieldType::Unknown:
            sql += QStringLiteral(" DEFAULT ") + quoteText(defaultValue.toString());
            break;
        }
    }

    QString rule;
    switch (type) {
    case FieldType::Byte:
        rule = QStringLiteral("typeof(%1)='integer' AND %1 BETWEEN 0 AND 255").arg(q);
        break;
    case FieldType::Integer:
        rule = QStringLiteral("typeof(%1)='integer' AND %1 BETWEEN -32768 AND 32767").arg(q);
        break;
    case FieldType::Long:
        rule = QStringLiteral("typeof(%1)='integer' AND %1 BETWEEN -2147483648 AND 2147483647").arg(q);
        break;
    case FieldType::Double:
        rule = QStringLiteral("typeof(%1)='real'").arg(q);
        break;
    case FieldType::DateTime:
        rule = QStringLiteral("typeof(%1)='real' AND %1 BETWEEN -657434.0 AND 2958465.99999").arg(q);
        break;
    case FieldType::Text:
        rule = QStringLiteral("typeof(%1)='text' AND length(%1)<=").arg(q) + QString::number(effectiveSize());
        if (!allowZeroLength)
            rule += QStringLiteral(" AND length(%1)>0").arg(q);
        break;
    case FieldType::Unknown:
        break;
    }
    if (!rule.isEmpty())
        sql += QStringLiteral(" CHECK (") + q + QStringLiteral(" IS NULL OR (") + rule + QStringLiteral("))");
    return sql;
}

} // namespace qvr
