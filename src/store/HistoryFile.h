#pragma once

#include "store/FileState.h"
#include "store/HistoryFileCopy.h"

#include <QString>

#include <memory>

namespace qvr {

class Asker;
class Database;
class HistoryFileDisplay;
class SettingsStore;
class StoreState;
class Texts;
class WorkingCopy;

// The history file lifecycle: a new untitled file, opening a file (with the upgrade of
// older layouts), saving, saving under a new name, the save question and the caption.
//
// The user's file is never opened as the database: it is copied to a working copy (its
// name with the last three characters replaced by "tmp") that is open as gDatabase, and
// the working copy is written back only on save. Saving writes a temporary file beside
// the target, flushes it and renames it over the target, so a failed or interrupted save
// leaves the user's file as it was and the working copy still holds everything.
//
// Working copies are marked and held while open (WorkingCopy): a file of the user's that
// has a working copy's name is never deleted or overwritten (another name is used), and
// two running programs never share a working copy.
//
// Every operation that fails tells the user once through the asker (the caller need not
// report again), returns false and gives the same text in `error` when asked for.
class HistoryFile
{
public:
    HistoryFile(FileState &file, StoreState &store, const SettingsStore &settings,
                const Texts &texts, Asker &asker, HistoryFileDisplay *display = nullptr);
    ~HistoryFile();

    // Starts a new untitled file: the installation directory followed by "Untitled.his",
    // working copy "Untitled.tmp" beside it; the user's data folder instead of an
    // installation directory the user may not write (UserFilesFolder). The previous
    // working copy is closed and deleted.
    bool NewHistoryFile(QString *error = nullptr);

    // Opens `path`, or asks for a file when it is empty (then `path` receives the choice).
    // Sets gFileCancelled (true when cancelled or failed). A file that cannot be opened as a
    // history file leaves the previous file open and changes nothing on disk. On success
    // gDatabase is a new object and the standard record sets are closed. A file whose
    // schema holds objects of the user's (tables, views, indexes, triggers) opens with one
    // message naming them: they are kept, saved with the file, and never run here (no
    // connection of this program fires a trigger or reads a view). So does a file with a
    // table that refuses the rows a read-out writes. A file whose tables this program
    // cannot work with is not opened (one message naming the table or field).
    bool OpenHistoryFile(QString &path, QString *error = nullptr);

    // Saves the working copy to gFileName; an untitled file goes through SaveHistoryFileAs.
    // Sets gFileCancelled (true when cancelled or failed) and, on success, clears gNewData.
    bool SaveHistoryFile(QString *error = nullptr);

    // Asks for a name (".his" appended when it has no dot) and saves there; the file then
    // is the open one. Sets gFileCancelled; on success clears gNewData. The database
    // becomes the new file's working copy: gDatabase is a new object, and the standard
    // record sets that were open are opened again over it (as new objects).
    bool SaveHistoryFileAs(QString *error = nullptr);

    // The save question: when gNewData is true asks "Save changes?" (Yes/No); Yes saves.
    // Returns false only when the user wanted to save and the save was cancelled or failed
    // (gFileCancelled is then true), so the caller should not discard the data.
    bool AskSaveChanges();

    // Shut-down: closes the database and deletes the working copy (never the user's file).
    void CloseHistoryFile();

    // Closes the database and leaves the working copy where it is, as a plain history file
    // of the user's (no longer marked, so nothing cleans it up later): after a failed save
    // it is the only copy of the data. Returns its path.
    QString KeepWorkingCopy();

    // Whether a save to `target` can be tried at all: its folder exists and can be
    // written, and a file already there is not write-protected. Tells the user when not.
    bool CheckSaveTarget(const QString &target, QString *error = nullptr);

    // The caption rule: the caption up to the blanks before its first "[" (the whole
    // caption when it has none), three blanks and the file name without directory in
    // square brackets.
    static QString FileCaption(const QString &caption, const QString &fileName);

    // The working copy's name for a user's file: all but its last three characters
    // followed by "tmp". Where that would be the user's file itself (a name ending in
    // "tmp") or `avoid` (another file of the user's), ".working" is appended to the
    // user's file name instead.
    static QString WorkFileFor(const QString &fileName, const QString &avoid = QString());

    // The name a save-as choice is saved under: ".his" appended when it has no dot.
    static QString SaveAsTarget(const QString &chosen);

    // Where the file dialogs start: the open file's folder, else the folder last chosen in
    // one of them, else the user's documents or home folder (never the program's working
    // directory).
    QString dialogFolder() const;
    // Remembers the folder of a file the user chose in a file dialog.
    void rememberFolder(const QString &chosenFile);

private:
    void report(int textId, const QString &path, const QString &detail, QString *error,
                const QString &arg = QString());
    void reportSaveFailure(HistoryFileCopy::SaveFailure failure, const QString &target,
                           const QString &detail, QString *error);
    // An untitled file is saved through the save-as dialog: its working copy's own name
    // (before another one had to be chosen) contains "Untitled.tmp".
    bool isUntitled() const;
    // Makes a new, empty working copy at the claimed name and opens it as the database.
    bool createWorkingCopy(std::unique_ptr<WorkingCopy> claim, QString *detail);
    void setBusy(bool busy);
    void refresh();
    // What the user is told about a file's schema on open (one text, or empty): objects
    // that are not this program's, and a table that refuses the program's rows.
    QString schemaNotes(Database &db) const;
    // Closes the database and deletes the working copy, never the user's file nor `keep`.
    void discardWorkingCopy(const QString &keep = QString());
    // Copies the open database to a working copy claimed at `work` (or a numbered name
    // beside it) and makes that the working copy.
    bool switchWorkingCopy(const QString &work, QString *detail);

    FileState &m_file;
    StoreState &m_store;
    const SettingsStore &m_settings;
    const Texts &m_texts;
    Asker &m_asker;
    HistoryFileDisplay *m_display;
    // The hold on gWorkFile while it is open.
    std::unique_ptr<WorkingCopy> m_work;
    QString m_lastFolder;
};

} // namespace qvr
