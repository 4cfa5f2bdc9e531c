#include "store/HistorySchema.h"

#include "store/StoreState.h"

#include <QHash>

#include <algorithm>

#include <sqlite3.h>

namespace qvr {

namespace {

// The program's indexes: name and what follows "ON" (as SQLite keeps it in the schema).
struct IndexDef
{
    const char *name;
    const char *on;
};
// The merge's key and the standard order of HISTORY, and the key by which the read-out
// looks for an earlier row of the same alarm address in TEMP for every entry; only for
// this program's speed.
constexpr IndexDef kIndexes[] = {
    {"HISTORY_Key", "HISTORY (TableauAdresse, ParameterNummer, Start_Datum)"},
    {"HISTORY_Order", "HISTORY (TableauAdresse, Start_Datum, Stop_Datum)"},
    {"TEMP_Alarm", "TEMP (ParameterNummer, Datenquelle, Systemnummer, AdresseExt, AdresseInt)"},
};
// Indexes earlier versions made, dropped where they are found.
constexpr IndexDef kRetiredIndexes[] = {
    {"TEMP_Parameter", "TEMP (ParameterNummer)"},
};

QString indexSql(const IndexDef &index)
{
    return QStringLiteral("CREATE INDEX %1 ON %2")
        .arg(QLatin1String(index.name), QLatin1String(index.on));
}

// Whether `sql` is one of the program's indexes, of now or of earlier versions.
bool isProgramIndex(const QString &sql)
{
    const auto same = [&](const IndexDef &index) { return sql == indexSql(index); };
    return std::any_of(std::begin(kIndexes), std::end(kIndexes), same) ||
           std::any_of(std::begin(kRetiredIndexes), std::end(kRetiredIndexes), same);
}

bool isProgramTable(const QString &name)
{
    for (const char *table :
         {HistorySchema::HISTORY, HistorySchema::TEMP, HistorySchema::LumoHistory}) {
        if (name.compare(QLatin1String(table), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString columnText(sqlite3_stmt *st, int col)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)),
                             sqlite3_column_bytes(st, col));
}

// Whether the file holds `index` as the program made it (a user's index of that name is
// left alone).
bool isIndex(sqlite3 *db, const IndexDef &index)
{
    sqlite3_stmt *st = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?1",
                           -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, index.name, -1, SQLITE_STATIC);
        found = sqlite3_step(st) == SQLITE_ROW && columnText(st, 0) == indexSql(index);
    }
    sqlite3_finalize(st);
    return found;
}

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
    Database &db = *store.gDatabase;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db.nativeHandle(),
                           "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE", -1, &st,
                           nullptr) != SQLITE_OK)
        return report(QString::fromUtf8(sqlite3_errmsg(db.nativeHandle())), error);
    bool ok = true;
    for (const IndexDef &index : kRetiredIndexes) {
        if (isIndex(db.nativeHandle(), index))
            ok = ok &&
                 db.execute(QStringLiteral("DROP INDEX %1").arg(QLatin1String(index.name)), error);
    }
    for (const IndexDef &index : kIndexes) {
        sqlite3_reset(st);
        sqlite3_bind_text(st, 1, index.name, -1, SQLITE_STATIC);
        if (!ok || sqlite3_step(st) == SQLITE_ROW)
            continue;
        ok = db.execute(indexSql(index), error);
    }
    sqlite3_finalize(st);
    return ok;
}

FieldType HistorySchema::fieldType(const QString &table, const QString &field)
{
    using Types = QHash<QString, FieldType>;
    const auto typesOf = [](const TableDef &def) {
        Types types;
        for (const FieldDef &f : def.fields())
            types.insert(f.name.toLower(), f.type);
        return types;
    };
    static const Types events = typesOf(eventTable(QString::fromLatin1(HISTORY)));
    static const Types lumo = typesOf(lumoHistoryTable());
    if (!isProgramTable(table))
        return FieldType::Unknown;
    const bool isLumo = table.compare(QLatin1String(LumoHistory), Qt::CaseInsensitive) == 0;
    return (isLumo ? lumo : events).value(field.toLower(), FieldType::Unknown);
}

QList<HistorySchema::SchemaObject> HistorySchema::foreignObjects(Database &db)
{
    QList<SchemaObject> found;
    sqlite3 *handle = db.nativeHandle();
    sqlite3_stmt *st = nullptr;
    if (!handle ||
        sqlite3_prepare_v2(handle, "SELECT type, name, sql FROM sqlite_master ORDER BY rowid", -1,
                           &st, nullptr) != SQLITE_OK)
        return found;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const QString kind = columnText(st, 0);
        const QString name = columnText(st, 1);
        const QString sql = columnText(st, 2);
        // SQLite's own (automatic indexes, sequences, statistics) belong to their tables.
        if (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
            continue;
        if (kind == QLatin1String("table") && isProgramTable(name))
            continue;
        if (kind == QLatin1String("index") && isProgramIndex(sql))
            continue;
        found << SchemaObject{kind, name};
    }
    sqlite3_finalize(st);
    return found;
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
