#include "store/HistoryFileCopy.h"

#include "store/Connection.h"
#include "store/Database.h"
#include "store/WorkingCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <chrono>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qvr {

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString sqliteText(sqlite3 *db, const char *what)
{
    return QStringLiteral("%1: %2").arg(
        QString::fromUtf8(what), QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory"));
}

// Closes a connection opened here; a connection that refuses to close (an unfinalised
// statement) would keep the file open, so close_v2 lets SQLite finish it later.
void closeQuietly(sqlite3 *db)
{
    if (db)
        sqlite3_close_v2(db);
}

bool exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool setApplicationId(sqlite3 *db, int applicationId)
{
    const QByteArray sql = "PRAGMA application_id=" + QByteArray::number(applicationId);
    return exec(db, sql.constData());
}

bool busy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

// Copies every page of `source` into the empty database `dest`. A writer on another
// connection may hold the source for a moment; the copy is retried a few times then.
bool runBackup(sqlite3 *dest, sqlite3 *source, QString *error)
{
    sqlite3_backup *backup = sqlite3_backup_init(dest, "main", source, "main");
    if (!backup) {
        setError(error, sqliteText(dest, "backup"));
        return false;
    }
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 100; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const int finishRc = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || finishRc != SQLITE_OK) {
        const int code = rc != SQLITE_DONE ? rc : finishRc;
        setError(error, QStringLiteral("backup: %1 (%2)")
                            .arg(QString::fromUtf8(sqlite3_errstr(code)),
                                 QString::fromUtf8(sqlite3_errmsg(dest))));
        return false;
    }
    return true;
}

} // namespace

QStringList HistoryFileCopy::Companions(const QString &path)
{
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"),
            path + QStringLiteral("-shm")};
}

bool HistoryFileCopy::RemoveDatabase(const QString &path)
{
    if (path.isEmpty())
        return true;
    bool ok = true;
    // The database first: a journal without its database is harmless, a database without
    // its hot journal is not.
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        ok = QFile::remove(path) && ok;
    for (const QString &companion : Companions(path)) {
        if (QFileInfo::exists(companion))
            ok = QFile::remove(companion) && ok;
    }
    return ok;
}

bool HistoryFileCopy::SameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath().compare(fb.canonicalFilePath(), cs) == 0;
    return QDir::cleanPath(fa.absoluteFilePath())
               .compare(QDir::cleanPath(fb.absoluteFilePath()), cs) == 0;
}

QString HistoryFileCopy::SavingName(const QString &target)
{
    return target + QStringLiteral(".saving");
}

bool HistoryFileCopy::BackupTo(sqlite3 *source, const QString &target, int applicationId,
                               QString *error, bool durable)
{
    if (!source) {
        setError(error, QStringLiteral("no database is open"));
        return false;
    }
    if (QFileInfo::exists(target)) {
        setError(error, QStringLiteral("%1 exists already").arg(target));
        return false;
    }
    sqlite3 *dest = nullptr;
    const QByteArray name = target.toUtf8(); // SQLite takes UTF-8 on every platform
    if (sqlite3_open_v2(name.constData(), &dest, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK ||
        !Connection::harden(dest)) {
        setError(error, sqliteText(dest, "create copy"));
        closeQuietly(dest);
        RemoveDatabase(target);
        return false;
    }
    // The copy is one self-contained file in rollback-journal mode. Its header carries the
    // id before the first page is copied: a half-written copy left by a killed program is
    // known by it, since the copy's own first page reaches the disk only at the end.
    bool ok = exec(dest, durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF") &&
              setApplicationId(dest, applicationId) && runBackup(dest, source, error);
    if (ok && !exec(dest, "PRAGMA journal_mode=DELETE")) {
        setError(error, sqliteText(dest, "journal mode"));
        ok = false;
    }
    if (ok && !setApplicationId(dest, applicationId)) {
        setError(error, sqliteText(dest, "application id"));
        ok = false;
    }
    if (sqlite3_close(dest) != SQLITE_OK) {
        closeQuietly(dest);
        ok = false;
    }
    if (ok && durable)
        ok = flushToDisk(target, error);
    if (!ok)
        RemoveDatabase(target);
    return ok;
}

bool HistoryFileCopy::CopyDatabaseFile(const QString &source, const QString &target, QString *error)
{
    const QFileInfo info(source);
    if (!info.isFile() || !info.isReadable()) {
        setError(error, QStringLiteral("%1 cannot be read").arg(source));
        return false;
    }
    sqlite3 *src = nullptr;
    const QByteArray name = source.toUtf8();
    if (sqlite3_open_v2(name.constData(), &src, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        !Connection::harden(src)) {
        setError(error, sqliteText(src, "open"));
        closeQuietly(src);
        return false;
    }
    const bool ok = BackupTo(src, target, WorkingCopy::kMark, error, false);
    closeQuietly(src);
    return ok;
}

bool HistoryFileCopy::SetApplicationId(const QString &path, int applicationId)
{
    sqlite3 *db = nullptr;
    const QByteArray name = path.toUtf8();
    const bool ok =
        sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        Connection::harden(db) && setApplicationId(db, applicationId);
    closeQuietly(db);
    return ok;
}

bool HistoryFileCopy::IsWriteProtected(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !info.isWritable() || !(info.permissions() & anyWrite);
}

bool HistoryFileCopy::LockedByOther(const QString &path)
{
    sqlite3 *db = nullptr;
    const QByteArray name = path.toUtf8();
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK && !Connection::harden(db))
        rc = SQLITE_MISUSE;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    closeQuietly(db);
    return busy(rc);
}

bool HistoryFileCopy::settleTarget(const QString &target, QString *error)
{
    if (!QFileInfo::exists(target))
        return true;
    const QString journal = target + QStringLiteral("-journal");
    const QString wal = target + QStringLiteral("-wal");
    // A write lock on the target tells that no other program is in a write transaction
    // on it (its journal is never touched then). Taking it also lets SQLite roll back a
    // journal a crashed program left; a journal still there afterwards belongs to no
    // transaction, but renaming the new file in beside it would let SQLite apply it to the
    // new content, so it goes while the lock is held.
    sqlite3 *db = nullptr;
    const QByteArray name = target.toUtf8();
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK && !Connection::harden(db))
        rc = SQLITE_MISUSE;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            if (QFileInfo::exists(journal))
                QFile::remove(journal);
            exec(db, "ROLLBACK");
        }
    }
    closeQuietly(db);
    // A log that outlives this program's connection belongs to another program that has
    // the file open.
    if (!busy(rc) && !QFileInfo::exists(journal) && !QFileInfo::exists(wal))
        return true;
    setError(error, QStringLiteral("%1 is in use by another program").arg(target));
    return false;
}

bool HistoryFileCopy::SaveAtomically(sqlite3 *source, const QString &target, QString *error,
                                     SaveFailure *why)
{
    auto fail = [&](SaveFailure failure) {
        if (why)
            *why = failure;
        return false;
    };
    if (IsWriteProtected(target)) {
        setError(error, QStringLiteral("%1 is write-protected").arg(target));
        return fail(SaveFailure::WriteProtected);
    }
    // A temporary file left by an interrupted save is ours to remove; a file of the
    // user's under that name is not.
    const std::unique_ptr<WorkingCopy> saving = WorkingCopy::Claim(SavingName(target), {target});
    if (!saving) {
        setError(error, QStringLiteral("%1 cannot be written").arg(SavingName(target)));
        return fail(SaveFailure::Failed);
    }
    // Until it is complete and on disk the copy carries the working copy's mark (and the
    // working copy's own header while it is written), so what a killed save leaves is
    // recognised as the program's by the next save even where its lock did not survive.
    if (!BackupTo(source, saving->path(), WorkingCopy::kMark, error))
        return fail(SaveFailure::Failed);
    const bool complete = SetApplicationId(saving->path(), Database::kApplicationId);
    if (!complete)
        setError(error, QStringLiteral("%1 cannot be written").arg(saving->path()));
    if (!complete || !flushToDisk(saving->path(), error)) {
        RemoveDatabase(saving->path());
        return fail(SaveFailure::Failed);
    }
    if (!settleTarget(target, error)) {
        RemoveDatabase(saving->path());
        return fail(SaveFailure::InUse);
    }
    if (!replaceFile(saving->path(), target, error)) {
        RemoveDatabase(saving->path());
        return fail(SaveFailure::Failed);
    }
    flushDirectory(QFileInfo(target).absolutePath());
    if (why)
        *why = SaveFailure::None;
    return true;
}

#ifdef Q_OS_WIN

bool HistoryFileCopy::flushToDisk(const QString &path, QString *error)
{
    const QString native = QDir::toNativeSeparators(path);
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), GENERIC_WRITE,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        setError(error, QStringLiteral("%1 cannot be flushed").arg(path));
        return false;
    }
    const bool ok = FlushFileBuffers(h);
    CloseHandle(h);
    if (!ok)
        setError(error, QStringLiteral("%1 cannot be flushed").arg(path));
    return ok;
}

bool HistoryFileCopy::flushDirectory(const QString &)
{
    return true; // MOVEFILE_WRITE_THROUGH has flushed the rename.
}

bool HistoryFileCopy::replaceFile(const QString &from, const QString &to, QString *error)
{
    const QString f = QDir::toNativeSeparators(from);
    const QString t = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(f.utf16()), reinterpret_cast<LPCWSTR>(t.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    setError(error, QStringLiteral("%1 cannot be replaced (error %2)").arg(to).arg(GetLastError()));
    return false;
}

#else

bool HistoryFileCopy::flushToDisk(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        setError(error,
                 QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!ok)
        setError(error, QStringLiteral("%1: %2").arg(
                            path, QString::fromLocal8Bit(std::strerror(savedErrno))));
    return ok;
}

bool HistoryFileCopy::flushDirectory(const QString &dir)
{
    const QByteArray name = QFile::encodeName(dir);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool HistoryFileCopy::replaceFile(const QString &from, const QString &to, QString *error)
{
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    // The saved file is the user's file with new content: it keeps its permissions, and
    // its owner where this user may give it (a save by the super-user does not take the
    // file away from its owner).
    struct stat old
    {
    };
    if (::stat(t.constData(), &old) == 0) {
        const bool ownerKept = ::chown(f.constData(), old.st_uid, old.st_gid) == 0;
        Q_UNUSED(ownerKept);
        ::chmod(f.constData(), old.st_mode & 07777);
    }
    if (std::rename(f.constData(), t.constData()) == 0)
        return true;
    setError(error, QStringLiteral("%1: %2").arg(to, QString::fromLocal8Bit(std::strerror(errno))));
    return false;
}

#endif

} // namespace qvr
