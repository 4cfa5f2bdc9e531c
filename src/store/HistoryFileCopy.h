#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace qvr {

// Copies of history databases that are safe while a database is open and that keep a
// database together with its companions (-journal, -wal, -shm): a database is only copied
// through SQLite's backup API, so pages still in a write-ahead log travel with it, and the
// copy is a single self-contained file in rollback-journal mode.
class HistoryFileCopy
{
public:
    // Why a save did not happen.
    enum class SaveFailure { None, Failed, InUse, WriteProtected };

    // Writes the content of `source` (its main database) into a new file `target`, which
    // must not exist, with `applicationId` in its header (the working copy's mark or a
    // saved file's id); `durable` flushes it to disk (a working copy, which is scratch,
    // need not wait for that). On failure nothing is left at `target`.
    static bool BackupTo(sqlite3 *source, const QString &target, int applicationId, QString *error,
                         bool durable = true);

    // Copies the database file `source` (opened read-only, never changed) to the new file
    // `target` the same way, as a working copy (marked, not flushed).
    static bool CopyDatabaseFile(const QString &source, const QString &target, QString *error);

    // Replaces `target` with the content of `source` so that `target` is at every moment
    // either its old content or the complete new one: a temporary file beside it is
    // written and flushed, then renamed over it; the new file keeps the old one's owner
    // and permissions. A write-protected target, or one in another program's write
    // transaction, is not touched. On failure `target` is unchanged and `why` tells why.
    static bool SaveAtomically(sqlite3 *source, const QString &target, QString *error,
                               SaveFailure *why = nullptr);

    // Sets the application id in the header of the closed database file `path`.
    static bool SetApplicationId(const QString &path, int applicationId);

    // A file the user may not, or does not want to, have written: no write permission
    // for this user, or none for anybody (which the super-user, whom permission bits do
    // not stop, respects too).
    static bool IsWriteProtected(const QString &path);
    // Whether another program holds a lock on the database file `path` that keeps this
    // program from reading it.
    static bool LockedByOther(const QString &path);

    // The companions SQLite keeps beside a database file.
    static QStringList Companions(const QString &path);
    // Deletes a database file together with its companions. True when none is left.
    static bool RemoveDatabase(const QString &path);
    // Whether two paths name the same file (the platform's case rule; an existing file is
    // compared by its canonical path).
    static bool SameFile(const QString &a, const QString &b);

    // The temporary name a save to `target` writes first (a number is appended when
    // another program uses it or a file of the user's has it).
    static QString SavingName(const QString &target);

private:
    static bool flushToDisk(const QString &path, QString *error);
    static bool flushDirectory(const QString &dir);
    static bool replaceFile(const QString &from, const QString &to, QString *error);
    static bool settleTarget(const QString &target, QString *error);
};

} // namespace qvr
