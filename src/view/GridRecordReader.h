#pragma once

#include "GridRecord.h"

#include <QString>

#include <vector>

namespace qvr {

class Recordset;

// Reads the grid's fields of every record of a HISTORY record set, in the record set's
// order, without moving its current record.
class GridRecordReader
{
public:
    // False with an error text when a field is missing or a record cannot be read.
    static bool readAll(const Recordset &records, std::vector<GridRecord> *out,
                        QString *error = nullptr);
};

} // namespace qvr
