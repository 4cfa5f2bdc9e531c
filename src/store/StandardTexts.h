#pragma once

#include "store/Database.h"
#include "store/Recordset.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace qvr {

// The standard texts of the device families: "Standardtexte.bdb" beside the program, one
// table per message text language (named by the two-digit code, "01"), fields by
// position: 0 Nummer, 1 to 3 the three lines. Nothing is written to it.
// Owned by the read-out; the decoders open it for every entry that needs it.
class StandardTexts
{
public:
    static constexpr const char *FileName = "Standardtexte.bdb";

    explicit StandardTexts(const QString &appPath = QString()) : m_appPath(appPath) {}

    void setAppPath(const QString &appPath) { m_appPath = appPath; }
    QString filePath() const;

    std::unique_ptr<Database> gStandardTextDatabase;
    std::unique_ptr<Recordset> gStandardTextRecordset;

    // Opens the file and the record set "Select * From <code> order by Nummer", replacing
    // the previous ones. A missing file or a code without table is an error (the objects
    // are then closed), never a crash.
    bool OpenStandardTexts(const QString &languageCode, QString *error = nullptr);

    // Finds "Nummer=" number in the open record set. Returns false on an error; otherwise
    // `found` tells whether the number is there and `lines` receives fields 1 to 3 (an
    // empty text for a line without value).
    bool lookup(int number, bool *found, QStringList *lines, QString *error = nullptr);

    void close();

private:
    QString m_appPath;
};

} // namespace qvr
