#pragma once

#include "GridRecord.h"

#include <QStringList>
#include <QVariant>

namespace qvr {

// Makes grid records from HISTORY values as a record set reads them.
class GridRecordReader
{
public:
    // The names of the fields of GridRecord::Field, in that order.
    static const QStringList &fieldNames();
    // Sets one field of a record (a value without value marks the cells that stay empty).
    static void setField(GridRecord &record, GridRecord::Field field, const QVariant &value);
    // A record from the values of every field, in fieldNames() order.
    static GridRecord fromValues(const QVariant *values);
};

} // namespace qvr
