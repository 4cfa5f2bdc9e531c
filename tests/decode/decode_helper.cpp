#include "decode_helper.h"

#include "decode/AnswerDispatch.h"
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"

namespace qvr {

DecodeFixture::DecodeFixture(const QString &deviceClass, const QString &model)
    : standardTexts(QString()), ctx{readout, store, standardTexts, texts, {}, {}}
{
    if (!dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    standardTexts.setAppPath(dir.path());
    QString error;
    if (!HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("test.his")),
                                              &error) ||
        !HistorySchema::OpenTable(store, QStringLiteral("TEMP"), &error)) {
        m_error = error.isEmpty() ? QStringLiteral("cannot create the history file") : error;
        return;
    }
    readout.gDeviceClass = deviceClass;
    readout.gDeviceModel = model;
    readout.gDeviceAddress = 7;
    readout.gTextLanguage = QStringLiteral("01");
    readout.gAnalogProbe = false;
}

bool DecodeFixture::writeStandardTexts(const QString &language, const QStringList &rows)
{
    const QString path = standardTexts.filePath();
    std::unique_ptr<Database> db =
        QFile::exists(path)
            ? Database::open(path)
            : Database::create(path, QString::fromLatin1(HistorySchema::Descriptor));
    if (!db)
        return false;
    QString sql =
        QStringLiteral(
            "CREATE TABLE \"%1\" (Nummer INTEGER, Zeile1 TEXT, Zeile2 TEXT, Zeile3 TEXT);")
            .arg(language);
    for (const QString &row : rows) {
        const QStringList p = row.split(QLatin1Char('|'));
        QStringList values{p.value(0)};
        for (int i = 1; i <= 3; ++i) {
            const QString v = p.value(i);
            values << (v == QLatin1String("~")
                           ? QStringLiteral("NULL")
                           : QLatin1Char('\'') +
                                 QString(v).replace(QLatin1Char('\''), QStringLiteral("''")) +
                                 QLatin1Char('\''));
        }
        sql += QStringLiteral("INSERT INTO \"%1\" VALUES (%2);")
                   .arg(language, values.join(QLatin1Char(',')));
    }
    const bool ok = db->execute(sql);
    db->close();
    return ok;
}

DecodeFixture::Outcome DecodeFixture::answer(const QString &lastCommand, const QString &rxParam,
                                             const QString &rxCommand)
{
    Outcome o;
    o.engineOk = DispatchAnswer(ctx, lastCommand, rxCommand, rxParam, o.rejected, o.finished);
    return o;
}

int DecodeFixture::tempRows() const
{
    QString error;
    std::unique_ptr<Recordset> rs =
        store.gDatabase->openRecordset(QStringLiteral("Select * From TEMP"), &error);
    return rs ? rs->recordCount() : -1;
}

QVariant DecodeFixture::current(const char *field) const
{
    return store.gTempRecordset->field(QString::fromLatin1(field));
}

QVariant DecodeFixture::lumo(const char *field) const
{
    std::unique_ptr<Recordset> rs =
        store.gDatabase->openRecordset(QStringLiteral("Select * From LumoHistory"));
    if (!rs || rs->recordCount() < 1 || !rs->moveFirst())
        return QVariant();
    return rs->field(QString::fromLatin1(field));
}

QString DecodeFixture::with(QString base, int position, const QString &value)
{
    const int end = position - 1 + int(value.size());
    if (base.size() < end)
        base = base.leftJustified(end, QLatin1Char(' '));
    base.replace(position - 1, value.size(), value);
    return base;
}

} // namespace qvr
