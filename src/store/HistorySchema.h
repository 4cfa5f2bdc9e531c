#pragma once

#include "store/TableDef.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qvr {

class Database;
class StoreState;

// The layout of a history file: tables HISTORY and TEMP (the same 58 fields) and
// LumoHistory (one row: layout version, message text language, device class), the
// creation of a new file and the two standard record sets.
class HistorySchema
{
public:
    // Table names.
    static constexpr const char *HISTORY = "HISTORY";
    static constexpr const char *TEMP = "TEMP";
    static constexpr const char *LumoHistory = "LumoHistory";

    // The 58 fields of HISTORY and TEMP, in table order.
    static constexpr const char *lfd_Nummer_data = "lfd_Nummer_data";
    static constexpr const char *Datenquelle = "Datenquelle";
    static constexpr const char *TableauAdresse = "TableauAdresse";
    static constexpr const char *ParameterNummer = "ParameterNummer";
    static constexpr const char *Systemnummer = "Systemnummer";
    static constexpr const char *AdresseExt = "AdresseExt";
    static constexpr const char *AdresseInt = "AdresseInt";
    static constexpr const char *Kanalnummer = "Kanalnummer";
    static constexpr const char *Start_Datum = "Start_Datum";
    static constexpr const char *Start_Datum_Sort = "Start_Datum_Sort";
    static constexpr const char *Start_Datum_Filter = "Start_Datum_Filter";
    static constexpr const char *Start_Uhrzeit_Filter = "Start_Uhrzeit_Filter";
    static constexpr const char *Quittiert_JN = "Quittiert_JN";
    static constexpr const char *Quittiert_Datum = "Quittiert_Datum";
    static constexpr const char *Quittiert_Datum_Sort = "Quittiert_Datum_Sort";
    static constexpr const char *Quittiert_Datum_Filter = "Quittiert_Datum_Filter";
    static constexpr const char *Quittiert_Uhrzeit_Filter = "Quittiert_Uhrzeit_Filter";
    static constexpr const char *Stop_JN = "Stop_JN";
    static constexpr const char *Stop_Datum = "Stop_Datum";
    static constexpr const char *Stop_Datum_Sort = "Stop_Datum_Sort";
    static constexpr const char *Stop_Datum_Filter = "Stop_Datum_Filter";
    static constexpr const char *Stop_Uhrzeit_Filter = "Stop_Uhrzeit_Filter";
    static constexpr const char *Test_JN = "Test_JN";
    static constexpr const char *MinText = "MinText";
    static constexpr const char *MinWert = "MinWert";
    static constexpr const char *MaxText = "MaxText";
    static constexpr const char *MaxWert = "MaxWert";
    static constexpr const char *geraetetyp = "geraetetyp";
    static constexpr const char *Kanal = "Kanal";
    static constexpr const char *GeraeteAdresse1 = "GeraeteAdresse1";
    static constexpr const char *GeraeteAdresse2 = "GeraeteAdresse2";
    static constexpr const char *Eingang = "Eingang";
    static constexpr const char *Betriebsart1 = "Betriebsart1";
    static constexpr const char *Betriebsart2 = "Betriebsart2";
    static constexpr const char *Summer = "Summer";
    static constexpr const char *Relais_a = "Relais_a";
    static constexpr const char *Relais_a_Betriebsart1 = "Relais_a_Betriebsart1";
    static constexpr const char *Relais_b = "Relais_b";
    static constexpr const char *Relais_b_Betriebsart1 = "Relais_b_Betriebsart1";
    static constexpr const char *Relais_c = "Relais_c";
    static constexpr const char *Relais_c_Betriebsart1 = "Relais_c_Betriebsart1";
    static constexpr const char *Meldeleuchte = "Meldeleuchte";
    static constexpr const char *Tastenfeld = "Tastenfeld";
    static constexpr const char *Text = "Text";
    static constexpr const char *Messwert = "Messwert";
    static constexpr const char *Datum_Uhrzeit = "Datum_Uhrzeit";
    static constexpr const char *Alarmadresse = "Alarmadresse";
    static constexpr const char *Text1 = "Text1";
    static constexpr const char *Text2 = "Text2";
    static constexpr const char *Text3 = "Text3";
    static constexpr const char *Text4 = "Text4";
    static constexpr const char *Text5 = "Text5";
    static constexpr const char *Text6 = "Text6";
    static constexpr const char *EIBEingang = "EIBEingang";
    static constexpr const char *EIBAusgang = "EIBAusgang";
    static constexpr const char *Summerwiederholung = "Summerwiederholung";
    static constexpr const char *AnalogWertMin = "AnalogWertMin";
    static constexpr const char *AnalogWertMax = "AnalogWertMax";

    // Fields of LumoHistory.
    static constexpr const char *Version = "Version";
    static constexpr const char *Meldetextsprache = "Meldetextsprache";
    static constexpr const char *Geraet = "Geraet";

    // The collation and code page descriptor new files are created with.
    static constexpr const char *Descriptor = ";LANGID=0x0409;CP=1252;COUNTRY=0";
    // The layout version of a new file.
    static constexpr const char *CurrentVersion = "3.02";

    // The SQL of the two standard record sets.
    static constexpr const char *HistorySql =
        "Select * From HISTORY order by TableauAdresse, Start_Datum, Stop_Datum";
    static constexpr const char *TempSql =
        "Select * From TEMP order by TableauAdresse, Start_Datum, ParameterNummer, Stop_Datum";

    // The definition of HISTORY or TEMP (58 fields) and of LumoHistory.
    static TableDef eventTable(const QString &name);
    static TableDef lumoHistoryTable();
    static QStringList eventFieldNames();

    // Creates a new history file at `path` (which must not exist) with the three tables
    // and the LumoHistory row "3.02" / 0 / "ZL", and leaves it open as gDatabase (the
    // record sets of a previous database are dropped).
    static bool CreateHistoryDatabase(StoreState &store, const QString &path,
                                      QString *error = nullptr);

    // "HISTORY": opens gHistoryRecordset with HistorySql (at its first record when not
    // empty); "TEMP": opens gTempRecordset with TempSql. Any other name does nothing and
    // succeeds. Fails when no database is open or the engine reports an error.
    static bool OpenTable(StoreState &store, const QString &name, QString *error = nullptr);

    // Appends a row with all defaults to gHistoryRecordset, stores it and makes it current.
    static bool AppendEmptyHistoryRow(StoreState &store, QString *error = nullptr);

    // Indexes that make the merge's lookups and the standard order fast. Created with new
    // files and, when missing, before a merge; they change no order and no value. A name
    // the file already uses for an object of its own is left to it.
    static bool ensureIndexes(StoreState &store, QString *error = nullptr);

    // The type this program gives a field of HISTORY, TEMP or LumoHistory, whatever type
    // the file declares for it (names without regard to case); Unknown for other fields.
    static FieldType fieldType(const QString &table, const QString &field);

    // What a file's schema holds besides this program's tables and indexes (SQLite's own
    // objects left aside), in the schema's order. `kind`: table, view, index or trigger.
    struct SchemaObject
    {
        QString kind;
        QString name;
    };
    static QList<SchemaObject> foreignObjects(Database &db);
};

} // namespace qvr
