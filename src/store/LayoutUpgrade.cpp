#include "store/LayoutUpgrade.h"

#include "store/Connection.h"
#include "store/Database.h"
#include "store/FieldDef.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/TableDef.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <optional>

#include <sqlite3.h>

namespace qvr {

namespace {

FieldDef field(const char *name, FieldType type, int size, const QVariant &def, bool zeroLength)
{
    FieldDef f(QString::fromUtf8(name), type, size);
    f.defaultValue = def;
    f.allowZeroLength = zeroLength;
    return f;
}

FieldDef int16(const char *name) { return field(name, FieldType::Integer, 0, 0, false); }
FieldDef byte(const char *name) { return field(name, FieldType::Byte, 0, 0, false); }
FieldDef text(const char *name, int size, bool zeroLength)
{
    return field(name, FieldType::Text, size, QVariant(), zeroLength);
}

// The upgrade's view of the database: errors kept as text; `ignoring` runs a step whose
// failure the upgrade deliberately passes over.
class Runner
{
public:
    explicit Runner(Database &db) : m_db(db) {}

    bool exec(const QString &sql) { return m_db.execute(sql, &m_error); }
    void ignoring(const QString &sql)
    {
        QString ignored;
        m_db.execute(sql, &ignored);
    }
    bool addField(const char *table, const FieldDef &f)
    {
        return m_db.appendField(QLatin1String(table), f, &m_error);
    }
    bool rename(const char *table, bool ignoreFailure)
    {
        QString failure;
        const bool ok = m_db.renameField(QLatin1String(table), QStringLiteral("Gerätetyp"),
                                         QStringLiteral("Geraetetyp"), &failure);
        if (!ok && !ignoreFailure)
            m_error = failure;
        return ok || ignoreFailure;
    }

    // The `Version` of the current (first) row of "Select * From LumoHistory"; false when
    // the table or its row is missing.
    bool version(QString *value)
    {
        std::unique_ptr<Recordset> rs =
            m_db.openRecordset(QStringLiteral("Select * From LumoHistory"), &m_error);
        if (!rs)
            return false;
        if (rs->eof()) {
            m_error = QStringLiteral("LumoHistory has no row");
            return false;
        }
        *value = rs->field(QStringLiteral("Version")).toString();
        return true;
    }

    // Sets fields of that first row.
    bool setFirstRow(const QList<QPair<QString, QVariant>> &values)
    {
        std::unique_ptr<Recordset> rs =
            m_db.openRecordset(QStringLiteral("Select * From LumoHistory"), &m_error);
        if (!rs)
            return false;
        if (rs->eof() || !rs->edit()) {
            m_error = rs->eof() ? QStringLiteral("LumoHistory has no row") : rs->lastError();
            return false;
        }
        for (const auto &v : values) {
            if (!rs->setField(v.first, v.second)) {
                m_error = rs->lastError();
                return false;
            }
        }
        if (!rs->update()) {
            m_error = rs->lastError();
            return false;
        }
        return true;
    }
    bool setVersion(const char *version)
    {
        return setFirstRow({{QStringLiteral("Version"), QString::fromLatin1(version)}});
    }

    QString error() const { return m_error; }
    Database &db() { return m_db; }

private:
    Database &m_db;
    QString m_error;
};

const char *const kTables[] = {"HISTORY", "TEMP"};

// The CREATE TABLE text of `table`; empty when there is no such table.
QString createSqlOf(sqlite3 *db, const char *table)
{
    QString sql;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(
            db, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
            -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            sql = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    return sql;
}

// Puts `create` in place of the stored CREATE TABLE text of `table`. Only for lifting a
// check, which changes no stored row: SQLite's documented way of removing a CHECK
// constraint without copying the table (writable schema, then a new schema version).
bool replaceCreateSql(Runner &run, const char *table, const QString &create)
{
    sqlite3 *db = run.db().nativeHandle();
    int defensive = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
    int schemaVersion = -1;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA schema_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        schemaVersion = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    stmt = nullptr;
    bool ok = schemaVersion >= 0 && run.exec(QStringLiteral("PRAGMA writable_schema = ON"));
    if (ok) {
        const QByteArray sql = create.toUtf8();
        ok = sqlite3_prepare_v2(db,
                                "UPDATE sqlite_master SET sql = ?1 WHERE type = 'table' AND name = "
                                "?2 COLLATE NOCASE",
                                -1, &stmt, nullptr) == SQLITE_OK &&
             sqlite3_bind_text(stmt, 1, sql.constData(), int(sql.size()), SQLITE_TRANSIENT) ==
                 SQLITE_OK &&
             sqlite3_bind_text(stmt, 2, table, -1, SQLITE_STATIC) == SQLITE_OK &&
             sqlite3_step(stmt) == SQLITE_DONE && sqlite3_changes(db) == 1;
        sqlite3_finalize(stmt);
        ok = run.exec(QStringLiteral("PRAGMA schema_version = %1").arg(schemaVersion + 1)) && ok;
        run.exec(QStringLiteral("PRAGMA writable_schema = OFF"));
    }
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, defensive, nullptr);
    // The new text must read back as a table, or the upgrade is undone.
    return ok && run.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0")
                              .arg(FieldDef::quoteIdentifier(QLatin1String(table))));
}

// Earlier builds upgraded files with a `geraetetyp` that refuses the empty text, which a new
// file accepts and the ZL decoder writes. Every text field that refuses the empty text
// where a new file accepts it gets the new file's rule. A rule is only ever lifted, so
// every stored row still fits.
bool acceptEmptyTexts(Runner &run, const char *table)
{
    const TableDef fresh = HistorySchema::eventTable(QLatin1String(table));
    const std::optional<TableDef> now = run.db().tableDef(QLatin1String(table));
    QString create = createSqlOf(run.db().nativeHandle(), table);
    if (!now || create.isEmpty())
        return true; // a missing table is reported by the field check after the upgrade
    bool lifted = false;
    for (const FieldDef &f : now->fields()) {
        const int i = fresh.indexOf(f.name);
        if (f.type != FieldType::Text || f.allowZeroLength || i < 0 ||
            !fresh.fields().at(i).allowZeroLength)
            continue;
        // The rule as FieldDef::columnSql writes it.
        const QString rule =
            QStringLiteral(" AND length(%1)>0").arg(FieldDef::quoteIdentifier(f.name));
        lifted = create.contains(rule, Qt::CaseInsensitive) || lifted;
        create.remove(rule, Qt::CaseInsensitive);
    }
    return !lifted || replaceCreateSql(run, table, create);
}

bool upgradeSteps(Runner &run)
{
    QString version;

    // 1. No LumoHistory: the layout before 1.05. Failures here pass unnoticed, as they always
    //    did for these files; what matters is checked by the steps below and afterwards.
    if (!run.db().hasTable(QStringLiteral("LumoHistory"))) {
        TableDef lumo(QStringLiteral("LumoHistory"));
        lumo.appendField(field("Version", FieldType::Text, 20, QStringLiteral("0.00"), false));
        lumo.appendField(byte("Meldetextsprache"));
        lumo.appendField(text("Geraet", 20, false));
        QString ignored;
        run.db().appendTable(lumo, &ignored);
        run.ignoring(QStringLiteral("INSERT INTO LumoHistory (Version) VALUES ('1.05')"));
        for (const char *table : kTables) {
            for (const char *name : {"EIBEingang", "EIBAusgang", "Summerwiederholung"})
                run.db().appendField(QLatin1String(table), byte(name), &ignored);
            run.ignoring(QStringLiteral("UPDATE %1 SET EIBEingang = 0, EIBAusgang = 0, Summerwiederholung = 0")
                             .arg(QLatin1String(table)));
        }
    }

    // 2. 1.05 -> 1.62: the analogue values.
    if (!run.version(&version))
        return false;
    if (version == QLatin1String("1.05")) {
        if (!run.setVersion("1.62"))
            return false;
        for (const char *table : kTables) {
            if (!run.addField(table, text("AnalogWertMin", 20, true))
                || !run.addField(table, text("AnalogWertMax", 20, true))
                || !run.exec(QStringLiteral("UPDATE %1 SET AnalogWertMin = '', AnalogWertMax = ''")
                                 .arg(QLatin1String(table))))
                return false;
        }
    }

    // 3. 1.62 -> 1.63: the second device address counts from one more (HISTORY only).
    if (!run.version(&version))
        return false;
    if (version == QLatin1String("1.62")) {
        if (!run.setVersion("1.63")
            || !run.exec(QStringLiteral("UPDATE HISTORY SET GeraeteAdresse2 = GeraeteAdresse2 + 1 "
                                        "WHERE GeraeteAdresse2 > 0")))
            return false;
    }

    // 4. 1.63 -> 1.64: the first device address (HISTORY only); the indicator rule wins.
    if (!run.version(&version))
        return false;
    if (version == QLatin1String("1.63")) {
        if (!run.setVersion("1.64")
            || !run.exec(QStringLiteral(
                "UPDATE HISTORY SET GeraeteAdresse1 = CASE WHEN Meldeleuchte = 0 THEN 0 "
                "WHEN Eingang = 0 THEN GeraeteAdresse1 + 1 ELSE GeraeteAdresse1 END")))
            return false;
    }

    // 5. 1.64 -> 1.7: source fields, lower and upper values, device type.
    if (!run.version(&version))
        return false;
    if (version == QLatin1String("1.64")) {
        if (!run.setVersion("1.7"))
            return false;
        // The device type takes the empty text, as in a new file: the ZL decoder writes it
        // for every alarm event.
        const QList<FieldDef> fields = {
            int16("lfd_Nummer_data"),     int16("Datenquelle"),
            int16("Systemnummer"),        int16("AdresseExt"),
            int16("AdresseInt"),          int16("Kanalnummer"),
            text("MinText", 4, false),    int16("MinWert"),
            text("MaxText", 4, false),    int16("MaxWert"),
            text("geraetetyp", 10, true),
        };
        for (const char *table : kTables) {
            for (const FieldDef &f : fields) {
                if (!run.addField(table, f))
                    return false;
            }
            if (!run.exec(QStringLiteral(
                    "UPDATE %1 SET lfd_Nummer_data = 0, Datenquelle = 0, Systemnummer = 0, "
                    "AdresseExt = 0, AdresseInt = 0, Kanalnummer = 0, MinWert = 0, MaxWert = 0, "
                    "MinText = ' ', MaxText = ' ', geraetetyp = ' '")
                              .arg(QLatin1String(table))))
                return false;
        }
    }

    // 6. 1.00 -> 3.02: language and device class, and the device type's German name.
    if (!run.version(&version))
        return false;
    if (version == QLatin1String("1.00")) {
        if (!run.addField("LumoHistory", byte("Meldetextsprache"))
            || !run.addField("LumoHistory", text("Geraet", 0, true))
            || !run.setFirstRow({{QStringLiteral("Version"), QStringLiteral("3.02")},
                                 {QStringLiteral("Meldetextsprache"), 0},
                                 {QStringLiteral("Geraet"), QString(QLatin1String(""))}}))
            return false;
        for (const char *table : kTables) {
            if (!run.rename(table, false))
                return false;
        }
    }

    // 7. A "2.00" file may still carry the German name; files written by this program do
    //    not, and for them the rename fails harmlessly.
    if (run.version(&version) && version == QLatin1String("2.00")) {
        for (const char *table : kTables)
            run.rename(table, true);
    }

    // 8. Rules of earlier builds of this program.
    for (const char *table : kTables) {
        if (!acceptEmptyTexts(run, table))
            return false;
    }
    return true;
}

// Column names of a table, folded to lower case for the engine's case rule.
QSet<QString> columnNames(sqlite3 *db, const char *table)
{
    QSet<QString> names;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QByteArray("PRAGMA table_info(") + table + ")";
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names.insert(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1))).toLower());
    }
    sqlite3_finalize(stmt);
    return names;
}

QString columnText(sqlite3_stmt *stmt, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)));
}

// SQLite's affinity of a declared column type, by its rules.
enum class Affinity { Integer, Text, None, Real, Numeric };
Affinity affinityOf(const QString &declared)
{
    const QString d = declared.toUpper();
    if (d.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("CLOB")) ||
        d.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (d.isEmpty() || d.contains(QLatin1String("BLOB")))
        return Affinity::None;
    if (d.contains(QLatin1String("REAL")) || d.contains(QLatin1String("FLOA")) ||
        d.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

// The table, or TABLE.Field, of HISTORY, TEMP or LumoHistory that this program cannot work
// with; empty when there is none.
QString structureProblem(sqlite3 *db)
{
    for (const char *table : {"HISTORY", "TEMP", "LumoHistory"}) {
        const QString name = QLatin1String(table);
        sqlite3_stmt *stmt = nullptr;
        QString type, sql;
        if (sqlite3_prepare_v2(db,
                               "SELECT type, sql FROM sqlite_master WHERE name = ?1 COLLATE NOCASE",
                               -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
            if (sqlite3_step(stmt) == SQLITE_ROW) {
                type = columnText(stmt, 0);
                sql = columnText(stmt, 1);
            }
        }
        sqlite3_finalize(stmt);
        if (type.isEmpty())
            continue; // a missing table is told elsewhere (or made by the upgrade)
        if (type != QLatin1String("table") ||
            sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            return name;
        // Record sets address rows by their row id.
        const QByteArray rowid = "SELECT rowid FROM \"" + QByteArray(table) + '"';
        if (sqlite3_prepare_v2(db, rowid.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            return name;
        }
        sqlite3_finalize(stmt);
        const QByteArray info = "PRAGMA table_info(\"" + QByteArray(table) + "\")";
        QString problem;
        if (sqlite3_prepare_v2(db, info.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (problem.isEmpty() && sqlite3_step(stmt) == SQLITE_ROW) {
                const QString field = columnText(stmt, 1);
                const FieldType own = HistorySchema::fieldType(name, field);
                const Affinity affinity = affinityOf(columnText(stmt, 2));
                // A field named like the row id would hide it; a number field with text
                // affinity keeps numbers as texts (wrong order and comparisons), a text
                // field with a number affinity turns "007" into 7.
                const bool hidesRowid = QStringList{QStringLiteral("rowid"), QStringLiteral("oid"),
                                                    QStringLiteral("_rowid_")}
                                            .contains(field, Qt::CaseInsensitive);
                const bool textField = own == FieldType::Text;
                const bool textAffinity = affinity == Affinity::Text || affinity == Affinity::None;
                const bool wrongType = own != FieldType::Unknown &&
                                       (textField ? !textAffinity : affinity == Affinity::Text);
                if (hidesRowid || wrongType)
                    problem = name + QLatin1Char('.') + field;
            }
        }
        sqlite3_finalize(stmt);
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

} // namespace

bool LayoutUpgrade::UpgradeLayout(Database &db, QString *error)
{
    Runner run(db);
    QString problem;
    if (!db.beginTransaction(&problem)) {
        if (error)
            *error = problem;
        return false;
    }
    if (upgradeSteps(run) && db.commit(&problem))
        return true;
    if (error)
        *error = problem.isEmpty() ? run.error() : problem;
    db.rollback();
    return false;
}

bool LayoutUpgrade::LooksLikeHistoryFile(const QString &path, QString *error, QString *culprit)
{
    sqlite3 *handle = nullptr;
    sqlite3_stmt *stmt = nullptr;
    QString problem;
    const QByteArray name = path.toUtf8(); // SQLite takes UTF-8 on every platform
    if (sqlite3_open_v2(name.constData(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        !Connection::harden(handle)) {
        problem = QString::fromUtf8(handle ? sqlite3_errmsg(handle) : "out of memory");
    } else if (sqlite3_prepare_v2(handle, "PRAGMA quick_check", -1, &stmt, nullptr) != SQLITE_OK) {
        problem = QString::fromUtf8(sqlite3_errmsg(handle));
    } else {
        const int rc = sqlite3_step(stmt);
        if (rc != SQLITE_ROW)
            problem = QString::fromUtf8(sqlite3_errmsg(handle));
        else if (qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)), "ok") != 0)
            problem = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    if (problem.isEmpty()) {
        for (const char *table : kTables) {
            if (columnNames(handle, table).isEmpty()) {
                problem = QStringLiteral("no table %1").arg(QLatin1String(table));
                break;
            }
        }
    }
    if (problem.isEmpty()) {
        const QString differs = structureProblem(handle);
        if (!differs.isEmpty()) {
            problem = QStringLiteral("%1 differs from a history file's").arg(differs);
            if (culprit)
                *culprit = differs;
        }
    }
    sqlite3_close_v2(handle);
    if (!problem.isEmpty() && error)
        *error = problem;
    return problem.isEmpty();
}

QString LayoutUpgrade::RefusingTable(Database &db, QString *error)
{
    QString why;
    if (!db.beginTransaction(&why))
        return QString();
    // A row of defaults in each event table, and the file's row stored again.
    const char *const trials[][2] = {
        {"TEMP", "INSERT INTO TEMP DEFAULT VALUES"},
        {"HISTORY", "INSERT INTO HISTORY DEFAULT VALUES"},
        {"LumoHistory", "UPDATE LumoHistory SET Version = Version"},
    };
    QString refusing;
    for (const auto &trial : trials) {
        if (!db.execute(QLatin1String(trial[1]), &why)) {
            refusing = QLatin1String(trial[0]);
            if (error)
                *error = why;
            break;
        }
    }
    db.rollback();
    return refusing;
}

bool LayoutUpgrade::HasAllFields(Database &db, QString *error)
{
    const TableDef current = HistorySchema::eventTable(QString::fromLatin1(HistorySchema::HISTORY));
    for (const char *table : kTables) {
        const QSet<QString> names = columnNames(db.nativeHandle(), table);
        for (const FieldDef &field : current.fields()) {
            const QString &name = field.name;
            if (!names.contains(name.toLower())) {
                if (error)
                    *error = QStringLiteral("table %1 has no field %2").arg(QLatin1String(table), name);
                return false;
            }
        }
    }
    return true;
}

QString LayoutUpgrade::LayoutVersion(Database &db)
{
    Runner run(db);
    QString version;
    run.version(&version);
    return version;
}

} // namespace qvr
