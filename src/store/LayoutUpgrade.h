#pragma once

#include <QString>


namespace qvr {

class Database;

// Brings a history database written in an older layout up to date, in the working copy
// only. The layout version is the `Version` of the `LumoHistory` row: files without that
// table and "1.05", "1.62", "1.63", "1.64" end at "1.7"; "1.00" ends at "3.02" with its
// field "Gerätetyp" renamed; "1.7", "2.00" and "3.02" keep their version. A text field that
// refuses the empty text where a new file accepts it (as earlier builds left `geraetetyp`)
// gets the new file's rule.
class LayoutUpgrade
{
public:
    // Runs the upgrade steps in their order inside one transaction: a step that fails
    // leaves the database as it was before the upgrade and returns false.
    static bool UpgradeLayout(Database &db, QString *error);

    // Whether the file at `path` can be a history file at all: a readable SQLite database
    // that passes a quick integrity check and has the tables HISTORY and TEMP. The file is
    // opened read-only and never changed. When the tables are there but this program
    // cannot work with one of them (a view or virtual table in a table's place, no row id,
    // a field whose declared type would change its values), `culprit` names it ("HISTORY",
    // "HISTORY.Start_Datum"); it stays empty for any other reason.
    static bool LooksLikeHistoryFile(const QString &path, QString *error,
                                     QString *culprit = nullptr);

    // The first of TEMP, HISTORY and LumoHistory that refuses a row as a read-out and a
    // merge write them (a CHECK or NOT NULL of the file's own), or empty. Nothing of the
    // trial stays in the database.
    static QString RefusingTable(Database &db, QString *error = nullptr);

    // Whether HISTORY and TEMP have every field of the current layout (any order).
    static bool HasAllFields(Database &db, QString *error);

    // The `Version` of the first `LumoHistory` row; empty when there is none.
    static QString LayoutVersion(Database &db);
};

} // namespace qvr
