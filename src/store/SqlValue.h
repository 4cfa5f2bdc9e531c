#pragma once

#include "store/FieldDef.h"

#include <QString>
#include <QVariant>

struct sqlite3_stmt;
struct sqlite3_value;

namespace qvr {

// Values between SQLite and the record sets' QVariants, for the store's own use. A field
// without value reads as a null QVariant; numbers come as int (qlonglong beyond), Double
// as double, DateTime as QDateTime (Qt::UTC, see OleDate), Text as QString.
namespace SqlValue {

QString columnText(sqlite3_stmt *st, int col);
QVariant read(sqlite3_stmt *st, int col, FieldType type);
// The same for a function argument.
QVariant read(sqlite3_value *value, FieldType type);
// Binds a value for a field; what the field cannot hold is bound as it is, so the file's
// own rules refuse it with an error instead of the layer quietly changing it.
void bind(sqlite3_stmt *st, int index, const QVariant &v, FieldType type);

} // namespace SqlValue

} // namespace qvr
