#include "store/HistorySchema.h"

#include "store/StoreState.h"

namespace qvr {

namespace {

FieldDef number(const char *name, FieldType type)
{
    FieldDef f(QString::fromLatin1(name), type);
    f.defaultValue = 0;
    return f;
}

FieldDef text(const char *name, int size, bool zeroLength)
{
    FieldDef f(QString::fromLatin1(name), FieldType::Text, size);
    f.allowZeroLength = zeroLength;
    return f;
}

bool report(const QString &message, QString *error)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

TableDef HistorySchema::eventTable(const QString &name)
{
    using S = HistorySchema;
    const FieldType I = FieldType::Integer;
    const FieldType D = FieldType::DateTime;
    const FieldType F = FieldType::Double;
    const FieldType B = FieldType::Byte;
    TableDef t(name);
    for (const char *n : {S::lfd_Nummer_data, S::Datenquelle, S::TableauAdresse, S::ParameterNummer,
                          S::Systemnummer, S::AdresseExt, S::AdresseInt, S::Kanalnummer})
        t.appendField(number(n, I));
    for (const char *prefix : {"Start", "Quittiert", "Stop"}) {
        const QByteArray p(prefix);
        if (p != "Start")
            t.appendField(number(QByteArray(p + "_JN").constData(), I));
        t.appendField(number(QByteArray(p + "_Datum").constData(), D));
        t.appendField(number(QByteArray(p + "_Datum_Sort").constData(), F));
        t.appendField(number(QByteArray(p + "_Datum_Filter").constData(), D));
        t.appendField(number(QByteArray(p + "_Uhrzeit_Filter").constData(), D));
    }
    t.appendField(number(S::Test_JN, I));
    t.appendField(text(S::MinText, 4, false));
    t.appendField(number(S::MinWert, I));
    t.appendField(text(S::MaxText, 4, false));
    t.appendField(number(S::MaxWert, I));
    t.appendField(text(S::geraetetyp, 10, true));
    for (const char *n : {S::Kanal, S::GeraeteAdresse1, S::GeraeteAdresse2, S::Eingang, S::Betriebsart1,
                          S::Betriebsart2, S::Summer, S::Relais_a, S::Relais_a_Betriebsart1, S::Relais_b,
                          S::Relais_b_Betriebsart1, S::Relais_c, S::Relais_c_Betriebsart1,
                          S::Meldeleuchte, S::Tastenfeld, S::Text, S::Messwert, S::Datum_Uhrzeit,
                          S::Alarmadresse})
        t.appendField(number(n, I));
    for (const char *n : {S::Text1, S::Text2, S::Text3, S::Text4, S::Text5, S::Text6})
        t.appendField(text(n, 20, true));
    for (const char *n : {S::EIBEingang, S::EIBAusgang, S::Summerwiederholung})
        t.appendField(number(n, B));
    t.appendField(text(S::AnalogWertMin, 20, true));
    t.appendField(text(S::AnalogWertMax, 20, true));
    return t;
}

TableDef HistorySchema::lumoHistoryTable()
{
    TableDef t(QString::fromLatin1(LumoHistory));
    FieldDef version = text(Version, 20, false);
    version.defaultValue = QStringLiteral("0.00");
    t.appendField(version);
    FieldDef language(QString::fromLatin1(Meldetextsprache), FieldType::Byte, 20);
    language.defaultValue = 0;
    t.appendField(language);
    FieldDef device = text(Geraet, 20, false);
    device.defaultValue = QStringLiteral("ZL");
    t.appendField(device);
    return t;
}

QStringList HistorySchema::eventFieldNames()
{
    QStringList names;
    // Keep the table alive for the loop: a temporary's member would die before it runs.
    const TableDef table = eventTable(QString::fromLatin1(HISTORY));
    for (const FieldDef &f : table.fields())
        names << f.name;
    return names;
}

bool HistorySchema::ensureIndexes(StoreState &store, QString *error)
{
    if (!store.gDatabase || !store.gDatabase->isOpen())
        return report(QStringLiteral("no database is open"), error);
    // The merge's key and the standard order of HISTORY, and the key by which the read-out
    // looks for an earlier row of the same alarm address in TEMP for every entry (it
    // replaces the older index on the number alone); only for this program's speed.
    return store.gDatabase->execute(
        QStringLiteral("CREATE INDEX IF NOT EXISTS HISTORY_Key ON HISTORY"
                       " (TableauAdresse, ParameterNummer, Start_Datum);"
                       "CREATE INDEX IF NOT EXISTS HISTORY_Order ON HISTORY"
                       " (TableauAdresse, Start_Datum, Stop_Datum);"
                       "DROP INDEX IF EXISTS TEMP_Parameter;"
                       "CREATE INDEX IF NOT EXISTS TEMP_Alarm ON TEMP"
                       " (ParameterNummer, Datenquelle, Systemnummer, AdresseExt, AdresseInt);"),
        error);
}

bool HistorySchema::CreateHistoryDatabase(StoreState &store, const QString &path, QString *error)
{
    QString why;
    std::unique_ptr<Database> db = store.gWorkspace.CreateDatabase(path, QString::fromLatin1(Descriptor), &why);
    if (!db)
        return report(why, error);
    if (!db->appendTable(eventTable(QString::fromLatin1(HISTORY)), &why)
        || !db->appendTable(eventTable(QString::fromLatin1(TEMP)), &why)
        || !db->appendTable(lumoHistoryTable(), &why))
        return report(why, error);
    {
        std::unique_ptr<Recordset> lumo = db->openRecordset(QStringLiteral("Select * From LumoHistory"), &why);
        if (!lumo || !lumo->addNew() || !lumo->setField(QString::fromLatin1(Version), QString::fromLatin1(CurrentVersion))
            || !lumo->update())
            return report(lumo ? lumo->lastError() : why, error);
    }
    db->close();
    db.reset();

    store.closeDatabase();
    store.gDatabase = store.gWorkspace.OpenDatabase(path, QString(), Database::Access::ReadWrite, &why);
    if (!store.gDatabase)
        return report(why, error);
    return ensureIndexes(store, error);
}

bool HistorySchema::OpenTable(StoreState &store, const QString &name, QString *error)
{
    const bool history = name == QLatin1String(HISTORY);
    const bool temp = name == QLatin1String(TEMP);
    if (!history && !temp)
        return true;
    if (!store.gDatabase || !store.gDatabase->isOpen())
        return report(QStringLiteral("no database is open"), error);
    QString why;
    std::unique_ptr<Recordset> rs = store.gDatabase->openRecordset(
        QString::fromLatin1(history ? HistorySql : TempSql), &why);
    if (!rs)
        return report(why, error);
    if (history) {
        if (rs->absolutePosition() >= 0)
            rs->moveFirst();
        store.gHistoryRecordset = std::move(rs);
    } else {
        store.gTempRecordset = std::move(rs);
    }
    return true;
}

bool HistorySchema::AppendEmptyHistoryRow(StoreState &store, QString *error)
{
    Recordset *rs = store.gHistoryRecordset.get();
    if (!rs)
        return report(QStringLiteral("HISTORY is not open"), error);
    if (!rs->addNew() || !rs->update() || !rs->setBookmark(rs->lastModified()))
        return report(rs->lastError(), error);
    return true;
}

} // namespace qvr
