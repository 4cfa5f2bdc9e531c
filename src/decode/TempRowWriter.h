#pragma once

#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

namespace qvr {

struct DecodeContext;
class Recordset;

// The values one answer writes into a TEMP row, in the order they are written.
class TempRowWriter
{
public:
    void set(const char *field, const QVariant &value) { m_values.emplace_back(field, value); }
    bool isEmpty() const { return m_values.empty(); }

    // Adds a row with these values (every other field keeps its default) and makes it the
    // current record of the TEMP record set.
    bool addRow(DecodeContext &ctx) const;
    // Writes the values into the current record.
    bool editCurrentRow(DecodeContext &ctx) const;

    // The TEMP record set; fails (with ctx.engineError) when it is not open.
    static Recordset *temp(DecodeContext &ctx);
    // Whether the TEMP record set has a current record to complete.
    static bool hasCurrentRow(DecodeContext &ctx);

private:
    bool write(DecodeContext &ctx, Recordset &rs) const;

    std::vector<std::pair<const char *, QVariant>> m_values;
};

} // namespace qvr
