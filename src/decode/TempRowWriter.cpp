#include "decode/TempRowWriter.h"

#include "decode/DecodeContext.h"
#include "store/Recordset.h"
#include "store/StoreState.h"

namespace qvr {

Recordset *TempRowWriter::temp(DecodeContext &ctx)
{
    Recordset *rs = ctx.store.gTempRecordset.get();
    if (!rs || !rs->isOpen()) {
        ctx.engineError = QStringLiteral("The TEMP table is not open.");
        return nullptr;
    }
    return rs;
}

bool TempRowWriter::hasCurrentRow(DecodeContext &ctx)
{
    const Recordset *rs = ctx.store.gTempRecordset.get();
    return rs && rs->isOpen() && rs->absolutePosition() >= 0;
}

bool TempRowWriter::write(DecodeContext &ctx, Recordset &rs) const
{
    for (const auto &[field, value] : m_values) {
        if (!rs.setField(QString::fromLatin1(field), value)) {
            ctx.engineError = rs.lastError();
            rs.cancelUpdate();
            return false;
        }
    }
    if (!rs.update()) {
        ctx.engineError = rs.lastError();
        rs.cancelUpdate();
        return false;
    }
    return true;
}

bool TempRowWriter::addRow(DecodeContext &ctx) const
{
    Recordset *rs = temp(ctx);
    if (!rs)
        return false;
    // One insert with every value: a failure leaves no half-filled row behind.
    if (!rs->addNew()) {
        ctx.engineError = rs->lastError();
        return false;
    }
    if (!write(ctx, *rs))
        return false;
    if (!rs->setBookmark(rs->lastModified())) {
        ctx.engineError = rs->lastError();
        return false;
    }
    return true;
}

bool TempRowWriter::editCurrentRow(DecodeContext &ctx) const
{
    Recordset *rs = temp(ctx);
    if (!rs)
        return false;
    if (!rs->edit()) {
        ctx.engineError = rs->lastError();
        return false;
    }
    return write(ctx, *rs);
}

} // namespace qvr
