// Any answers, to any last command, through the answer dispatcher of a read-out: no crash,
// no undefined behaviour, and no row the file refuses. The history file enforces every
// field's range itself, so a value outside a field's range shows as a database failure,
// which the decoders must never cause: they refuse such answers before writing.
//
// Input: byte 0 picks the device class; then one answer per line: the line's first byte
// picks the command sent last, the next five characters are the answer's command field,
// the rest of the line is its parameter text (Latin-1).
#include "core/TextTable.h"
#include "decode/AnswerDispatch.h"
#include "decode/DecodeContext.h"
#include "decode/ProgrammingRecord.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StandardTexts.h"
#include "store/StoreState.h"

#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// One history file (and a small standard texts file, kept open) for the whole run. Every
// input's writes are rolled back, so each input starts from the same file and an empty TEMP
// record set: opened again only when the input added or changed a row through it (opening
// one costs more than most inputs).
struct FuzzFile
{
    QTemporaryDir dir;
    qvr::StoreState store;
    qvr::StandardTexts standardTexts;
    qvr::Texts texts;
    QString standardTextsLanguage;

    FuzzFile()
    {
        if (!dir.isValid() ||
            !qvr::HistorySchema::CreateHistoryDatabase(store,
                                                       dir.filePath(QStringLiteral("fuzz.his"))) ||
            !qvr::HistorySchema::OpenTable(store, QStringLiteral("TEMP")))
            std::abort();
        standardTexts.setAppPath(dir.path());
        auto db = qvr::Database::create(standardTexts.filePath(),
                                        QString::fromLatin1(qvr::HistorySchema::Descriptor));
        if (!db || !db->execute(QStringLiteral(
                       "CREATE TABLE \"01\" (Nummer INTEGER, A TEXT, B TEXT, C TEXT);"
                       "INSERT INTO \"01\" VALUES (1001, 'Eins', NULL, 'Drei');"
                       "INSERT INTO \"01\" VALUES (1002, '', 'Zwei', "
                       "'Eine Zeile die viel zu lang ist');")))
            std::abort();
        db->close();
    }
};

const char *const kCommands[] = {"LCDH&", "RQRTS", "LCDH?", "RQNA?", "RQRAA", "LCDRH",
                                 "LCDRP", "LCDRT", "LCDRA", "LCDST", "IDNM?"};
const char *const kClasses[] = {"ZL", "PV", "RQ", ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzFile file;
    if (size == 0)
        return 0;
    if (!file.store.gDatabase->beginTransaction())
        std::abort();

    qvr::ReadoutState readout;
    readout.gDeviceClass = QString::fromLatin1(kClasses[data[0] % 4]);
    readout.gDeviceModel = QStringLiteral("2900");
    readout.gDeviceAddress = 5;
    readout.gTextLanguage = QStringLiteral("01");
    readout.gAnalogProbe = (data[0] & 0x10) != 0;
    readout.gHistoryIndex = 1;
    qvr::DecodeContext ctx{
        readout, file.store, file.standardTexts, file.texts, file.standardTextsLanguage, {}};

    size_t pos = 1;
    while (pos < size) {
        size_t end = pos;
        while (end < size && data[end] != '\n')
            ++end;
        if (end > pos) {
            const QString command = QString::fromLatin1(kCommands[data[pos] % 11]);
            const QByteArray line(reinterpret_cast<const char *>(data + pos + 1),
                                  qsizetype(end - pos - 1));
            const QString rxCommand =
                QString::fromLatin1(line.left(5)).leftJustified(5, QLatin1Char(' '));
            const QString rxParam = QString::fromLatin1(line.mid(5));
            bool rejected = false, finished = false;
            if (!qvr::DispatchAnswer(ctx, command, rxCommand, rxParam, rejected, finished)) {
                // The file refused a value the decoders let through.
                std::fprintf(stderr, "%s %s: %s\n", qPrintable(command), qPrintable(rxParam),
                             qPrintable(ctx.engineError));
                std::abort();
            }
            if (finished && !(rejected || command == QLatin1String("LCDST")))
                std::abort();
            if (command == QLatin1String("LCDRH") && !rejected) {
                bool reused = false;
                if (!qvr::ReuseProgrammingRecord(ctx, rxParam, reused))
                    std::abort();
            }
            if (readout.gNaCount > 0 &&
                readout.gAlarmAddressTable.size() != size_t(readout.gNaCount))
                std::abort();
        }
        pos = end + 1;
    }
    file.standardTextsLanguage = ctx.standardTextsLanguage;
    const qvr::Recordset *temp = file.store.gTempRecordset.get();
    const bool untouched = temp && temp->isOpen() && temp->recordCount() == 0 &&
                           temp->lastModified() == qvr::Recordset::NoBookmark;
    if (!file.store.gDatabase->rollback() ||
        (!untouched && !qvr::HistorySchema::OpenTable(file.store, QStringLiteral("TEMP"))))
        std::abort();
    return 0;
}
