#include "store/SqlValue.h"

#include "store/OleDate.h"

#include <sqlite3.h>

#include <limits>

namespace qvr::SqlValue {

namespace {

// One conversion for result columns and function arguments alike: `get` reads the value's
// type, integer, real, text and blob.
template <typename Get> QVariant convert(const Get &get, FieldType type)
{
    switch (get.type()) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qint64 v = get.int64();
        if (type == FieldType::DateTime)
            return OleDate::toDateTime(double(v));
        if (type == FieldType::Double)
            return double(v);
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return int(v);
        return qlonglong(v);
    }
    case SQLITE_FLOAT: {
        const double v = get.real();
        if (type == FieldType::DateTime)
            return OleDate::toDateTime(v);
        return v;
    }
    case SQLITE_TEXT:
        return get.text();
    default:
        return get.blob();
    }
}

struct FromColumn
{
    sqlite3_stmt *st;
    int col;
    int type() const { return sqlite3_column_type(st, col); }
    qint64 int64() const { return sqlite3_column_int64(st, col); }
    double real() const { return sqlite3_column_double(st, col); }
    QString text() const { return columnText(st, col); }
    QByteArray blob() const
    {
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(st, col)),
                          sqlite3_column_bytes(st, col));
    }
};

struct FromValue
{
    sqlite3_value *v;
    int type() const { return sqlite3_value_type(v); }
    qint64 int64() const { return sqlite3_value_int64(v); }
    double real() const { return sqlite3_value_double(v); }
    QString text() const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    }
    QByteArray blob() const
    {
        return QByteArray(static_cast<const char *>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    }
};

} // namespace

QString columnText(sqlite3_stmt *st, int col)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)),
                             sqlite3_column_bytes(st, col));
}

QVariant read(sqlite3_stmt *st, int col, FieldType type)
{
    return convert(FromColumn{st, col}, type);
}

QVariant read(sqlite3_value *value, FieldType type)
{
    return convert(FromValue{value}, type);
}

void bind(sqlite3_stmt *st, int index, const QVariant &v, FieldType type)
{
    if (v.isNull() || !v.isValid()) {
        sqlite3_bind_null(st, index);
        return;
    }
    if (type == FieldType::DateTime || type == FieldType::Double) {
        double ole = 0;
        if (v.typeId() != QMetaType::QString && OleDate::fromVariant(v, &ole)) {
            sqlite3_bind_double(st, index, ole);
            return;
        }
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(st, index, v.toBool() ? -1 : 0);
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
        sqlite3_bind_int64(st, index, v.toLongLong());
        return;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        if (v.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            sqlite3_bind_double(st, index, v.toDouble());
        else
            sqlite3_bind_int64(st, index, v.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(st, index, v.toDouble());
        return;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
    case QMetaType::QTime: {
        double ole = 0;
        if (OleDate::fromVariant(v, &ole)) {
            sqlite3_bind_double(st, index, ole);
            return;
        }
        break;
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(st, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        return;
    }
    default:
        break;
    }
    const QByteArray text = v.toString().toUtf8();
    sqlite3_bind_text(st, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

} // namespace qvr::SqlValue
