#pragma once

#include <QString>
#include <QVariant>

namespace qvr {

// The value kinds a history file knows, each stored with the old engine's rules:
// Byte 0..255, Integer 16-bit signed, Long 32-bit signed, Double 64-bit float,
// DateTime an OLE date (REAL), Text up to `size` characters (255 when no size is given).
enum class FieldType { Byte, Integer, Long, Double, DateTime, Text, Unknown };

// One field of a table definition. The rules live in the file itself as column type,
// DEFAULT and CHECK, so any SQLite tool that writes the file is held to them too.
class FieldDef
{
public:
    FieldDef() = default;
    FieldDef(const QString &name, FieldType type, int size = 0);

    QString name;
    FieldType type = FieldType::Text;
    // Text: maximum length in characters (0 or above 255 means 255). Ignored otherwise.
    int size = 0;
    // The value a new row gets. A null QVariant or an empty text means "no default" (the
    // field then starts without a value), as an empty default expression did before.
    QVariant defaultValue;
    // Whether a text field accepts the empty text. Off by default, as for new fields of
    // the old engine; a field that refuses it refuses '' in the database.
    bool allowZeroLength = false;

    int effectiveSize() const;
    // The column definition for CREATE TABLE / ALTER TABLE ADD COLUMN.
    QString columnSql() const;

    static QString typeName(FieldType type, int size);
    // Reads a declared column type back (as PRAGMA table_info reports it).
    static FieldType typeFromDeclaration(const QString &declared, int *size = nullptr);
    static QString quoteIdentifier(const QString &name);
    static QString quoteText(const QString &text);
};

} // namespace qvr
