#include "decode/AnswerDispatch.h"

#include "decode/AnswerFields.h"
#include "decode/DecodeContext.h"
#include "decode/FieldHelpers.h"
#include "decode/HistoryDecoder.h"
#include "decode/ProgrammingRecord.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StoreState.h"

namespace qvr {

namespace {

using S = HistorySchema;

// The file-level row: layout version, message text language and device class.
bool writeLumoHistory(DecodeContext &ctx, qint16 language)
{
    const ReadoutState &r = ctx.readout;
    Database *db = ctx.store.gDatabase.get();
    if (!db || !db->isOpen()) {
        ctx.engineError = QStringLiteral("No history file is open.");
        return false;
    }
    QString error;
    std::unique_ptr<Recordset> rs =
        db->openRecordset(QStringLiteral("Select * From LumoHistory"), &error);
    if (!rs) {
        ctx.engineError = error;
        return false;
    }
    // A file always has its one row; should it have lost it, the row is made again.
    const bool ok = (rs->recordCount() > 0 ? rs->moveFirst() && rs->edit() : rs->addNew()) &&
                    rs->setField(QString::fromLatin1(S::Version), QStringLiteral("2.00")) &&
                    rs->setField(QString::fromLatin1(S::Meldetextsprache),
                                 r.gTextLanguage.isEmpty() ? 1 : language) &&
                    (r.gDeviceClass.isEmpty() ||
                     rs->setField(QString::fromLatin1(S::Geraet), r.gDeviceClass)) &&
                    rs->update();
    if (!ok) {
        ctx.engineError = rs->lastError();
        rs->cancelUpdate();
    }
    rs->close();
    return ok;
}

qint16 historyLimit(const QString &deviceClass)
{
    if (deviceClass == QLatin1String("PV"))
        return 1000;
    if (deviceClass == QLatin1String("ZL"))
        return 650;
    if (deviceClass == QLatin1String("RQ"))
        return 250;
    return 32767;
}

} // namespace

QString LastCommandOf(const QString &lastFrame)
{
    return lastFrame.mid(6, 5);
}

bool DispatchAnswer(DecodeContext &ctx, const QString &lastCommand, const QString &rxCommand,
                    const QString &rxParam, bool &rejected, bool &finished)
{
    rejected = false;
    finished = false;
    ReadoutState &r = ctx.readout;
    const auto accept = [&] {
        r.gErrorCount = 0;
        r.gEndReason = 0;
    };
    const auto reject = [&] {
        rejected = true;
        r.gEndReason = 2;
    };
    // Accepts or rejects after a decoder; a database failure passes straight through.
    const auto decoded = [&](bool engineOk, bool error) {
        if (!engineOk)
            return false;
        if (error)
            reject();
        else
            accept();
        return true;
    };
    const QString &cls = r.gDeviceClass;
    bool error = false;

    if (lastCommand == QLatin1String("LCDH&")) {
        accept();
        return true;
    }
    if (lastCommand == QLatin1String("RQRTS")) {
        bool ok = false;
        const qint16 n = TextToInt(rxParam, ok);
        if (!ok || n < 0 || n > 20) {
            reject();
            return true;
        }
        r.gTextLanguage = rxParam;
        return writeLumoHistory(ctx, n);
    }
    if (lastCommand == QLatin1String("LCDH?")) {
        bool ok = false;
        const qint16 n = TextToInt(rxParam, ok);
        if (rxCommand != QLatin1String("n=   ") || !ok || n > historyLimit(cls)) {
            reject();
            return true;
        }
        if (n < 1) {
            finished = true;
            rejected = true;
            r.gErrorCount = 0;
            r.gEndReason = 1;
            return true;
        }
        accept();
        r.gHistoryCount = n;
        return true;
    }
    if (lastCommand == QLatin1String("RQNA?")) {
        bool ok = false;
        const qint16 n = TextToInt(rxParam, ok);
        if (!ok) {
            reject();
            return true;
        }
        r.gNaCount = n;
        r.gAlarmAddressTable.clear();
        if (n > 0)
            r.gAlarmAddressTable.resize(static_cast<size_t>(n));
        return true;
    }
    if (lastCommand == QLatin1String("RQRAA")) {
        AnswerFields f(rxParam);
        const int row = f.number(1, 3) - 1;
        // A row the table does not have is refused rather than dropped silently.
        if (!f.allConverted() || row < 0 || row >= r.gNaCount ||
            row >= static_cast<int>(r.gAlarmAddressTable.size())) {
            reject();
            return true;
        }
        AlarmAddressRow &entry = r.gAlarmAddressTable[static_cast<size_t>(row)];
        entry[0] = f.text(5, 7);
        entry[1] = f.text(9, 11);
        entry[2] = f.text(13, 14);
        entry[3] = f.text(16, 35);
        return true;
    }
    if (lastCommand == QLatin1String("LCDRH")) {
        bool engineOk = true;
        if (cls == QLatin1String("ZL"))
            engineOk = DecodeHistoryZL(ctx, rxParam, error);
        else if (cls == QLatin1String("RQ"))
            engineOk = DecodeHistoryRQ(ctx, rxParam, error);
        else if (cls == QLatin1String("PV"))
            engineOk = DecodeHistoryPV(ctx, rxParam, error);
        return decoded(engineOk, error);
    }
    if (lastCommand == QLatin1String("LCDRP")) {
        const bool engineOk = DecodeProgrammingRecord(ctx, rxParam, error);
        return decoded(engineOk, error);
    }
    if (lastCommand == QLatin1String("LCDRT")) {
        const bool engineOk = cls == QLatin1String("ZL") ? DecodeTextLinesZL(ctx, rxParam, error)
                                                         : DecodeTextLines(ctx, rxParam, error);
        return decoded(engineOk, error);
    }
    if (lastCommand == QLatin1String("LCDRA")) {
        const bool engineOk =
            cls == QLatin1String("ZL") ? DecodeAnalogZL(ctx, rxCommand, rxParam, error) : true;
        return decoded(engineOk, error);
    }
    if (lastCommand == QLatin1String("LCDST")) {
        if (rxCommand == QLatin1String("LCDST")) {
            finished = true;
            r.gErrorCount = 0;
        }
        return true;
    }
    return true;
}

} // namespace qvr
