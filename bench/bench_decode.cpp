// Decoding a full read-out of a class ZL panel (650 entries, each with its programming
// record, text and analogue answer, or a reused record) into TEMP, against writing the same
// rows straight through the record set. Prints times and ratios; asserts nothing.
#include "core/TextTable.h"
#include "decode/AnswerDispatch.h"
#include "decode/DecodeContext.h"
#include "decode/FieldHelpers.h"
#include "decode/ProgrammingRecord.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StandardTexts.h"
#include "store/StoreState.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace qvr;
using S = HistorySchema;

namespace {

constexpr int kEntries = 650;

bool openFile(StoreState &store, const QString &path)
{
    QString error;
    if (!HistorySchema::CreateHistoryDatabase(store, path, &error) ||
        !HistorySchema::OpenTable(store, QStringLiteral("TEMP"), &error)) {
        std::fprintf(stderr, "cannot create %s: %s\n", qPrintable(path), qPrintable(error));
        return false;
    }
    return true;
}

// Milliseconds for one read-out through the decoders; `transaction` as the read-out runs it.
double decodeReadout(const QString &path, bool transaction, int *answers, double *reuseMs)
{
    StoreState store;
    if (!openFile(store, path))
        return -1;
    ReadoutState readout;
    readout.gDeviceClass = QStringLiteral("ZL");
    readout.gDeviceModel = QStringLiteral("2900");
    readout.gDeviceAddress = 3;
    readout.gAnalogProbe = false;
    StandardTexts standardTexts;
    Texts texts;
    DecodeContext ctx{readout, store, standardTexts, texts, {}, {}};
    const QString blank = QStringLiteral("     ");
    const QString textLines =
        QStringLiteral("Brandmelder          Halle 3              Ost                  "
                       "Zusatz 1             Zusatz 2             Zusatz 3            ");
    *answers = 0;
    qint64 reuseNs = 0;
    QElapsedTimer timer;
    timer.start();
    if (transaction)
        store.gDatabase->beginTransaction();
    for (int i = 1; i <= kEntries; ++i) {
        bool rejected = false, finished = false, reused = false;
        readout.gHistoryIndex = qint16(i);
        const QString address = PadTo3(1 + i % 400);
        const QString entry = PadTo3(i) + QLatin1Char(' ') + address +
                              QStringLiteral(" 050399 1230 1 050399 1231 1 050399 1300 0");
        DispatchAnswer(ctx, QStringLiteral("LCDRH"), blank, entry, rejected, finished);
        QElapsedTimer reuseTimer;
        reuseTimer.start();
        if (!ReuseProgrammingRecord(ctx, entry, reused) || rejected)
            std::fprintf(stderr, "entry %d refused: %s\n", i, qPrintable(ctx.engineError));
        reuseNs += reuseTimer.nsecsElapsed();
        ++*answers;
        if (reused)
            continue;
        DispatchAnswer(
            ctx, QStringLiteral("LCDRP"), blank,
            address +
                QStringLiteral(
                    " 012 0 2 1 005 003 04 0 1 1 02 1 00 0 16 2 002 03 0 000 000 05 10 1 2 3"),
            rejected, finished);
        DispatchAnswer(ctx, QStringLiteral("LCDRT"), blank, QStringLiteral("012 ") + textLines,
                       rejected, finished);
        DispatchAnswer(ctx, QStringLiteral("LCDRA"), QStringLiteral("AX=  "),
                       PadTo3(i) + QStringLiteral(" R kO 012.6 R kO 00045"), rejected, finished);
        *answers += 3;
    }
    if (transaction)
        store.gDatabase->commit();
    *reuseMs = reuseNs / 1e6;
    return timer.nsecsElapsed() / 1e6;
}

// Milliseconds for the same rows written with the record set alone: an insert of the entry
// fields, then one edit for the record, text and analogue fields.
double plainRecordset(const QString &path)
{
    StoreState store;
    if (!openFile(store, path))
        return -1;
    Recordset &rs = *store.gTempRecordset;
    QElapsedTimer timer;
    timer.start();
    store.gDatabase->beginTransaction();
    for (int i = 1; i <= kEntries; ++i) {
        rs.addNew();
        rs.setField(QString::fromLatin1(S::TableauAdresse), 3);
        rs.setField(QString::fromLatin1(S::ParameterNummer), 1 + i % 400);
        for (const char *f : {S::Start_Datum, S::Start_Datum_Sort, S::Quittiert_Datum,
                              S::Quittiert_Datum_Sort, S::Stop_Datum, S::Stop_Datum_Sort})
            rs.setField(QString::fromLatin1(f), 36224.5208);
        for (const char *f :
             {S::Start_Datum_Filter, S::Quittiert_Datum_Filter, S::Stop_Datum_Filter})
            rs.setField(QString::fromLatin1(f), 36224.0);
        for (const char *f :
             {S::Start_Uhrzeit_Filter, S::Quittiert_Uhrzeit_Filter, S::Stop_Uhrzeit_Filter})
            rs.setField(QString::fromLatin1(f), 0.5208);
        rs.setField(QString::fromLatin1(S::Quittiert_JN), 1);
        rs.setField(QString::fromLatin1(S::Stop_JN), 1);
        rs.setField(QString::fromLatin1(S::Test_JN), 0);
        rs.setField(QString::fromLatin1(S::geraetetyp), QStringLiteral(""));
        rs.update();
        rs.setBookmark(rs.lastModified());
        rs.edit();
        for (const char *f :
             {S::Kanal, S::GeraeteAdresse1, S::GeraeteAdresse2, S::Eingang, S::Summer, S::Relais_a,
              S::Relais_a_Betriebsart1, S::Meldeleuchte, S::Tastenfeld, S::Text, S::Messwert})
            rs.setField(QString::fromLatin1(f), 1);
        for (const char *f : {S::Text1, S::Text2, S::Text3, S::Text4, S::Text5, S::Text6,
                              S::AnalogWertMin, S::AnalogWertMax})
            rs.setField(QString::fromLatin1(f), QStringLiteral("Brandmelder"));
        rs.update();
    }
    store.gDatabase->commit();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    int answers = 0, answersAgain = 0;
    double reuseMs = 0, reuseAgainMs = 0;
    const double reference = plainRecordset(dir.filePath(QStringLiteral("plain.his")));
    const double decoded =
        decodeReadout(dir.filePath(QStringLiteral("decoded.his")), true, &answers, &reuseMs);
    const double autocommit = decodeReadout(dir.filePath(QStringLiteral("autocommit.his")), false,
                                            &answersAgain, &reuseAgainMs);
    if (reference <= 0 || decoded <= 0 || autocommit <= 0)
        return 1;
    std::printf("read-out of %d entries (%d answers) decoded into TEMP in one transaction: %.1f ms "
                "(%.1f us per answer)\n",
                kEntries, answers, decoded, decoded * 1000 / answers);
    std::printf("  of which searches for an earlier record of the address:       %.1f ms\n",
                reuseMs);
    std::printf("same rows written straight through the record set:            %.1f ms\n",
                reference);
    std::printf("ratio decoded / record set alone:                               %.2f\n",
                decoded / reference);
    std::printf("ratio without a transaction / with one:                         %.2f\n",
                autocommit / decoded);
    return 0;
}
