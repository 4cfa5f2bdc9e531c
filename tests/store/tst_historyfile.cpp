// New, open, save and save-as of history files: names of files and working copies, the
// caption, files that are not history files or in use, names that end in "tmp", other
// files under working copies' names, what crashed programs left, failed saves, the save
// question, and files whose schema holds objects of the user's.

#include "store_helper.h"

#include "store/HistoryFileCopy.h"
#include "store/HistoryMerge.h"
#include "store/WorkingCopy.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <sqlite3.h>

#ifdef Q_OS_LINUX
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace qvr;
using namespace qvr::storetest;

namespace {

// Another program's connection to a file, in the transaction `sql` began, rolled back on
// destruction.
class OtherProgram
{
public:
    OtherProgram(const QString &path, const char *sql)
    {
        m_ok = sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) ==
                   SQLITE_OK &&
               sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OtherProgram()
    {
        rollback();
        sqlite3_close(m_db);
    }
    bool ok() const { return m_ok; }
    bool rollback()
    {
        return sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

private:
    sqlite3 *m_db = nullptr;
    bool m_ok = false;
};

#ifdef Q_OS_LINUX
bool canCreateIn(const QString &dir)
{
    QFile probe(dir + QString("/probe"));
    const bool ok = probe.open(QIODevice::WriteOnly);
    if (ok)
        probe.remove();
    return ok;
}

// Makes a directory refuse new files, for the super-user too (the immutable flag, where
// permission bits do not stop him). Undone on destruction.
class UnwritableDir
{
public:
    explicit UnwritableDir(const QString &dir) : m_dir(dir)
    {
        ::chmod(QFile::encodeName(dir).constData(), 0555);
        if (canCreateIn(dir) && setImmutable(true))
            m_immutable = true;
        m_ok = !canCreateIn(dir);
    }
    ~UnwritableDir()
    {
        if (m_immutable)
            setImmutable(false);
        ::chmod(QFile::encodeName(m_dir).constData(), 0755);
    }
    bool ok() const { return m_ok; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(QFile::encodeName(m_dir).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    QString m_dir;
    bool m_immutable = false;
    bool m_ok = false;
};

// Lets no file of this process grow beyond `bytes`, as a full disk would. Undone on
// destruction.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};
#else
// Elsewhere neither a locked folder nor a full disk can be made this way.
struct UnwritableDir
{
    explicit UnwritableDir(const QString &) {}
    bool ok() const { return false; }
};
struct FileSizeLimit
{
    explicit FileSizeLimit(qint64) {}
    bool ok() const { return false; }
};
#endif

} // namespace

class TestHistoryFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void names_data();
    void names();

    void openWorksOnACopyUntilSaved_data();
    void openWorksOnACopyUntilSaved();
    void saveAsNames_data();
    void saveAsNames();
    void notAHistoryFile_data();
    void notAHistoryFile();
    void userFilesNamedLikeWorkingCopies_data();
    void userFilesNamedLikeWorkingCopies();
    void othersFilesUnderWorkingCopyNames_data();
    void othersFilesUnderWorkingCopyNames();
    void failedSaveKeepsBothFiles_data();
    void failedSaveKeepsBothFiles();
    void saveQuestion_data();
    void saveQuestion();
    void completedNameIsNotOverwrittenUnasked_data();
    void completedNameIsNotOverwrittenUnasked();
    void foreignSchema_data();
    void foreignSchema();

private:
    QTemporaryDir m_cache;
};

void TestHistoryFile::initTestCase()
{
    // Working copies that cannot lie beside their file go below the user's cache folder.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
}

// The names the program derives from a file's path: its working copy ("work": from the
// file and the name to avoid) and the window caption ("caption": from the old caption).
void TestHistoryFile::names_data()
{
    QTest::addColumn<bool>("work");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, bool work, QString file, QString other,
                        QString expected) {
        QTest::newRow(name) << work << file << other << expected;
    };
    row("his", true, "/data/x.his", "", "/data/x.tmp");
    row("two-letter extension", true, "/x/report.ab", "", "/x/reporttmp");
    row("dot only in directory", true, "/x.y/report", "", "/x.y/reptmp");
    row("windows path", true, "D:\\data\\plant.his", "", "D:\\data\\plant.tmp");
    row("user file ending in tmp", true, "/d/site.tmp", "", "/d/site.tmp.working");
    row("user file Untitled.tmp", true, "/d/Untitled.tmp", "", "/d/Untitled.tmp.working");
    row("twin is the user's other file", true, "/d/a.his", "/d/a.tmp", "/d/a.his.working");
    row("caption: plain title", false, "/data/new.his", "QVR-HISTORY", "QVR-HISTORY   [new.his]");
    row("caption: replaces the shown file", false, "/d/new.his", "QVR-HISTORY   [plant.his]",
        "QVR-HISTORY   [new.his]");
    row("caption: windows path", false, "D:\\new.his", "QVR-HISTORY   [a.his]",
        "QVR-HISTORY   [new.his]");
    row("caption: bracket at the start", false, "/d/n.his", "[old.his]", "   [n.his]");
}

void TestHistoryFile::names()
{
    QFETCH(bool, work);
    QFETCH(QString, file);
    QFETCH(QString, other);
    QFETCH(QString, expected);
    QCOMPARE(work ? HistoryFile::WorkFileFor(file, other) : HistoryFile::FileCaption(other, file),
             expected);
}

void TestHistoryFile::openWorksOnACopyUntilSaved_data()
{
    // `leftover`: what a program that died left beside the file before the save.
    QTest::addColumn<QString>("leftover");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("folder");
    QTest::newRow("quit without saving") << "" << false << "";
    QTest::newRow("stale working copy, quit without saving") << "working copy" << false << "";
    QTest::newRow("save") << "" << true << "";
    // Outside the Windows code page, and inside it.
    QTest::newRow("save in a folder with non-ASCII letters") << "" << true << "Łódź/Jürgen";
    QTest::newRow("save after a save killed taking its name") << "nameless lock" << true << "";
    QTest::newRow("save beside a hot journal") << "-journal" << true << "";
    QTest::newRow("save beside a write-ahead log") << "-wal" << true << "";
}

void TestHistoryFile::openWorksOnACopyUntilSaved()
{
    QFETCH(QString, leftover);
    QFETCH(bool, save);
    QFETCH(QString, folder);
    QTemporaryDir top;
    QVERIFY(QDir(top.path()).mkpath(folder.isEmpty() ? "." : folder));
    const QDir dir(top.filePath(folder));
    const QString his = dir.filePath(QString("x.his"));
    const QString tmp = dir.filePath(QString("x.tmp"));
    QVERIFY(makeHistoryFile(his, 5));
    // A working copy left behind by a crash carries the mark.
    if (leftover == QString("working copy"))
        QVERIFY(execOn(
            tmp, QString("PRAGMA application_id=%1; CREATE TABLE t(x)").arg(WorkingCopy::kMark)));
    QVERIFY(QFile::setPermissions(his, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions mode = QFile::permissions(his);
    const QByteArray before = fileHash(his);

    FileFixture f(dir.path());
    QString path = his;
    QVERIFY(f.ops.OpenHistoryFile(path));
    QCOMPARE(f.file.gWorkFile, tmp);
    QVERIFY(f.messages().isEmpty());
    QVERIFY(addEvent(f, 9));
    QCOMPARE(fileHash(his), before);

    if (leftover == QString("nameless lock")) {
        // Killed between creating its lock file and writing its name into it, half-way
        // through the copy of an earlier save.
        QFile lock(his + QString(".saving.lock")), part(his + QString(".saving"));
        QVERIFY(lock.open(QIODevice::WriteOnly) && part.open(QIODevice::WriteOnly) &&
                part.write("SQLite") > 0);
    } else if (leftover.startsWith('-')) {
        // Its log, with changes that must never reach the saved file.
        const QString log = his + leftover;
        {
            OtherProgram other(his,
                               leftover == QString("-wal")
                                   ? "PRAGMA journal_mode=WAL; DELETE FROM HISTORY"
                                   : "PRAGMA cache_size=1; BEGIN IMMEDIATE; DELETE FROM HISTORY");
            QVERIFY(other.ok() && QFile::copy(log, log + QString(".kept")));
        }
        QVERIFY(QFile::rename(log + QString(".kept"), log));
    }
    if (save) {
        f.file.gNewData = true;
        QVERIFY(f.ops.SaveHistoryFile());
        QVERIFY(!f.file.gNewData);
        // The saved file stands alone, in rollback mode, and the new event is in it.
        QCOMPARE(rowCount(his), 6);
        QCOMPARE(rowCount(his, QString(" WHERE TableauAdresse = 9")), 1);
        QCOMPARE(query(his, QString("PRAGMA journal_mode")), QStringList{QString("delete")});
        QCOMPARE(query(his, QString("PRAGMA quick_check")), QStringList{QString("ok")});
        // It is the user's file as before: no working copy's mark, the same permissions.
        QCOMPARE(query(his, QString("PRAGMA application_id")),
                 QStringList{QString::number(Database::kApplicationId)});
        QCOMPARE(QFile::permissions(his), mode);
        // The working copy is still open and usable after the save.
        QVERIFY(addEvent(f, 10));
    }
    f.ops.CloseHistoryFile();
    // Nothing is left beside the file: no working copy, no log, no copy of a save.
    QCOMPARE(entries(dir.path()), QStringList{QString("x.his")});
    if (!save)
        QCOMPARE(fileHash(his), before);
    QCOMPARE(rowCount(his), save ? 6 : 5);
}

void TestHistoryFile::saveAsNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("work");
    QTest::newRow("no extension") << QString("report") << QString("report.his")
                                  << QString("report.tmp");
    QTest::newRow("two-letter extension")
        << QString("report.ab") << QString("report.ab") << QString("reporttmp");
}

void TestHistoryFile::saveAsNames()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QFETCH(QString, work);
    QTemporaryDir dir;
    FileFixture f(dir.path());
    QVERIFY(f.ops.NewHistoryFile());
    QCOMPARE(f.file.gFileName, dir.filePath(QString("Untitled.his")));
    QCOMPARE(f.file.gWorkFile, dir.filePath(QString("Untitled.tmp")));
    QVERIFY(addEvent(f, 2));
    QVERIFY(addEvent(f, 4));
    f.file.gNewData = true;
    // The grid shows a filter: the record set keeps it over the new working copy.
    const QString filter = QString("Select * From HISTORY WHERE TableauAdresse>3");
    f.store.gHistoryRecordset = f.store.gDatabase->openRecordset(filter);

    f.asker.saveNames << dir.filePath(typed);
    QVERIFY(f.ops.SaveHistoryFile());
    QCOMPARE(f.store.gHistoryRecordset->sql(), filter);
    QCOMPARE(f.store.gHistoryRecordset->field(QString("TableauAdresse")).toInt(), 4);
    QVERIFY(!f.file.gFileCancelled);
    QVERIFY(!f.file.gNewData);
    QCOMPARE(f.file.gFileName, dir.filePath(saved));
    QCOMPARE(f.file.gWorkFile, dir.filePath(work));
    QCOMPARE(rowCount(dir.filePath(saved), QString(" WHERE TableauAdresse = 4")), 1);
    QVERIFY(!QFileInfo::exists(dir.filePath(QString("Untitled.tmp"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QString("Untitled.his"))));
    QCOMPARE(f.asker.calls.value(0).title, QString("save history file as"));
    QCOMPARE(f.asker.calls.value(0).filter, QString("QVR-HISTORY (*.his)"));
    // The next dialog starts in the saved file's folder.
    QVERIFY(!f.ops.SaveHistoryFileAs());
    QCOMPARE(f.asker.calls.last().dir, QFileInfo(dir.filePath(saved)).absolutePath());

    // The new working copy is the database now: what is added there reaches the file.
    QVERIFY(addEvent(f, 5));
    QVERIFY(f.ops.SaveHistoryFile());
    QCOMPARE(rowCount(dir.filePath(saved)), 3);
    f.ops.CloseHistoryFile();
    QVERIFY(!QFileInfo::exists(dir.filePath(work)));
}

void TestHistoryFile::notAHistoryFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("previousFileOpen");
    QTest::addColumn<QString>("message");
    const char *kinds[] = {"text", "corrupt page", "other database", "locked"};
    for (const char *kind : kinds) {
        const QString message =
            qstrcmp(kind, "locked") == 0 ? "in use by another program" : "not a history file";
        QTest::addRow("%s, a file open", kind) << QString::fromLatin1(kind) << true << message;
        QTest::addRow("%s, no file open", kind) << QString::fromLatin1(kind) << false << message;
    }
}

void TestHistoryFile::notAHistoryFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, previousFileOpen);
    QFETCH(QString, message);
    QTemporaryDir good, bad;
    const QString goodFile = good.filePath(QString("good.his"));
    QVERIFY(makeHistoryFile(goodFile, 3));
    const QString badFile = bad.filePath(QString("bad.his"));
    if (kind == QString("other database")) {
        QVERIFY(execOn(badFile, QString("CREATE TABLE addresses (name TEXT)")));
    } else if (kind == QString("text")) {
        QFile text(badFile);
        QVERIFY(text.open(QIODevice::WriteOnly) &&
                text.write("Panel 3, event list\r\nnot a database\r\n") > 0);
    } else {
        QVERIFY(makeHistoryFile(badFile, kind == QString("locked") ? 2 : 400));
        QFile damaged(badFile);
        if (kind == QString("corrupt page"))
            QVERIFY(damaged.open(QIODevice::ReadWrite) && damaged.seek(damaged.size() - 4096) &&
                    damaged.write(QByteArray(4096, '\x5a')) == 4096);
    }
    const QByteArray badBefore = fileHash(badFile);

    FileFixture f(good.path());
    if (previousFileOpen) {
        QString path = goodFile;
        QVERIFY(f.ops.OpenHistoryFile(path));
        QVERIFY(addEvent(f, 8));
    }
    const FileState before = f.file;

    QString path;
    f.asker.openNames << badFile;
    QString error;
    {
        // A sqlite3 shell in an exclusive transaction on the file.
        std::unique_ptr<OtherProgram> other;
        if (kind == QString("locked"))
            other = std::make_unique<OtherProgram>(badFile, "BEGIN EXCLUSIVE; DELETE FROM HISTORY");
        QVERIFY(!other || other->ok());
        QVERIFY(!f.ops.OpenHistoryFile(path, &error));
    }
    QCOMPARE(path, badFile);
    QVERIFY(f.file.gFileCancelled);
    QCOMPARE(f.messages().size(), 1);
    QVERIFY2(f.messages().first().contains(message), qPrintable(error));
    // Nothing changed on disk: the file as it was, nothing left beside it.
    QCOMPARE(fileHash(badFile), badBefore);
    QCOMPARE(entries(bad.path()), QStringList{QString("bad.his")});
    // The program is where it was before.
    QCOMPARE(f.file.gFileName, before.gFileName);
    QCOMPARE(f.file.gWorkFile, before.gWorkFile);
    if (previousFileOpen) {
        QVERIFY(f.store.gDatabase && f.store.gDatabase->isOpen());
        QVERIFY(addEvent(f, 8));
        QVERIFY(f.ops.SaveHistoryFile());
        QCOMPARE(rowCount(goodFile, QString(" WHERE TableauAdresse = 8")), 2);
    } else {
        QVERIFY(!f.store.gDatabase);
        QVERIFY(f.file.gWorkFile.isEmpty());
    }
}

void TestHistoryFile::userFilesNamedLikeWorkingCopies_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("save as the working copy's name") << "save as working copy";
    QTest::newRow("open the working copy itself") << "open working copy";
}

void TestHistoryFile::userFilesNamedLikeWorkingCopies()
{
    QFETCH(QString, scenario);
    QTemporaryDir dir;
    FileFixture f(dir.path());
    const QString his = dir.filePath(QString("x.his")), tmp = dir.filePath(QString("x.tmp"));
    QVERIFY(makeHistoryFile(his, 2));
    const QByteArray before = fileHash(his);
    QString path = his;
    QVERIFY(f.ops.OpenHistoryFile(path));
    QCOMPARE(f.file.gWorkFile, tmp);
    QVERIFY(addEvent(f, 7));
    if (scenario == QString("save as working copy")) {
        f.asker.saveNames << tmp;
        QVERIFY(f.ops.SaveHistoryFileAs());
        QVERIFY(!HistoryFileCopy::SameFile(f.file.gWorkFile, tmp));
        QVERIFY(addEvent(f, 8)); // never saved
    } else {
        // The user picks the working copy as a file of his own: it is his from now on.
        path = tmp;
        QVERIFY(f.ops.OpenHistoryFile(path));
    }
    QCOMPARE(f.file.gFileName, tmp);
    f.ops.CloseHistoryFile();
    QCOMPARE(rowCount(tmp), 3);
    QCOMPARE(fileHash(his), before);
    QCOMPARE(entries(dir.path()), (QStringList{QString("x.his"), QString("x.tmp")}));
}

void TestHistoryFile::othersFilesUnderWorkingCopyNames_data()
{
    QTest::addColumn<QString>("theirs"); // the other file, under the working copy's name
    QTest::addColumn<QString>("action"); // what this program does
    QTest::addColumn<bool>("running");   // the working copy of another running program
    QTest::newRow("user's b.tmp, open b.his") << "b.tmp"
                                              << "open" << false;
    QTest::newRow("user's c.tmp, save as c.his") << "c.tmp"
                                                 << "save as" << false;
    QTest::newRow("user's Untitled.tmp, new file") << "Untitled.tmp"
                                                   << "new" << false;
    QTest::newRow("another program's b.tmp, open b.his") << "b.tmp"
                                                         << "open" << true;
    QTest::newRow("another program's Untitled.tmp, new file") << "Untitled.tmp"
                                                              << "new" << true;
}

void TestHistoryFile::othersFilesUnderWorkingCopyNames()
{
    QFETCH(QString, theirs);
    QFETCH(QString, action);
    QFETCH(bool, running);
    QTemporaryDir dir;
    const QString his = dir.filePath(QString("b.his"));
    QVERIFY(makeHistoryFile(his, 2));
    theirs = dir.filePath(theirs);
    // Both programs have the same installation folder.
    FileFixture other(dir.path());
    if (running) {
        QString path = his;
        QVERIFY(action == QString("new") ? other.ops.NewHistoryFile()
                                         : other.ops.OpenHistoryFile(path));
        QCOMPARE(other.file.gWorkFile, theirs);
        QVERIFY(addEvent(other, 9));
    } else {
        QVERIFY(makeHistoryFile(theirs, 1, 9));
    }
    const int theirRows = rowCount(theirs);

    FileFixture f(dir.path());
    QString path = his;
    QVERIFY(action == QString("open") ? f.ops.OpenHistoryFile(path) : f.ops.NewHistoryFile());
    if (action == QString("save as")) {
        f.asker.saveNames << dir.filePath(QString("c.his"));
        QVERIFY(f.ops.SaveHistoryFileAs());
    }
    QVERIFY(!HistoryFileCopy::SameFile(f.file.gWorkFile, theirs));
    QVERIFY(addEvent(f, 4));
    f.ops.CloseHistoryFile();
    QCOMPARE(rowCount(theirs), theirRows);
    QCOMPARE(rowCount(theirs, QString(" WHERE TableauAdresse = 9")), 1);
}

void TestHistoryFile::failedSaveKeepsBothFiles_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("message");
    QTest::newRow("directory not writable") << "directory"
                                            << "could not be saved";
    QTest::newRow("disk full") << "full"
                               << "could not be saved";
    QTest::newRow("another program writing the file") << "in use"
                                                      << "in use by another program";
    QTest::newRow("file write-protected") << "write-protected"
                                          << "Use \"Save as\"";
}

void TestHistoryFile::failedSaveKeepsBothFiles()
{
    QFETCH(QString, cause);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString sub = dir.filePath(QString("site"));
    QVERIFY(QDir().mkpath(sub));
    const QString his = sub + QString("/plant.his");
    QVERIFY(makeHistoryFile(his, 2));
    const QByteArray before = fileHash(his);

    FileFixture f(dir.path());
    // A folder locked before the file is opened, like a read-only medium: the working copy
    // goes below the cache folder.
    std::optional<UnwritableDir> lock;
    if (cause == "directory" && !lock.emplace(sub).ok())
        QSKIP("no folder can be made unwritable for this user here");
    QString path = his;
    QVERIFY(f.ops.OpenHistoryFile(path));
    const QString work = f.file.gWorkFile;
    QCOMPARE(work.startsWith(sub), !lock);
    // Enough events that the copy is larger than the space left when the disk is full.
    QVERIFY(f.store.gDatabase->execute(
        QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                "INSERT INTO HISTORY (TableauAdresse, Text1, Text2) SELECT 5, 'Neue Meldung', "
                "'Zeile 2' FROM n")));
    f.file.gNewData = true;

    bool saved = true;
    if (lock) {
        saved = f.ops.SaveHistoryFile();
    } else if (cause == QString("full")) {
        FileSizeLimit limit(QFileInfo(his).size() + 8192);
        if (!limit.ok())
            QSKIP("no file size limit stands in for a full disk here");
        saved = f.ops.SaveHistoryFile();
    } else if (cause == QString("in use")) {
        OtherProgram other(his, "BEGIN IMMEDIATE; DELETE FROM HISTORY");
        QVERIFY(other.ok());
        saved = f.ops.SaveHistoryFile();
        // Its journal is left alone: the other program can still roll back.
        QVERIFY(QFileInfo::exists(his + QString("-journal")));
        QVERIFY(other.rollback());
    } else {
        // No write permission for anybody; the super-user, whom permission bits do not
        // stop, is refused by the same rule.
        QVERIFY(QFile::setPermissions(his, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        saved = f.ops.SaveHistoryFile();
        QVERIFY(QFile::setPermissions(his, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                               QFile::ReadOther));
    }
    QVERIFY(!saved);
    QVERIFY(f.file.gFileCancelled);
    QVERIFY(f.file.gNewData);
    QCOMPARE(f.messages().size(), 1);
    QVERIFY2(f.messages().first().contains(message), qPrintable(f.messages().first()));
    // The message tells where the data is.
    QVERIFY(
        f.messages().first().contains(QString("Working copy: ") + QDir::toNativeSeparators(work)));
    QCOMPARE(fileHash(his), before);
    QVERIFY(!QFileInfo::exists(his + QString(".saving")));
    // The working copy still holds everything and the program goes on with it.
    QCOMPARE(f.file.gWorkFile, work);
    lock.reset();
    QVERIFY(addEvent(f, 6));
    QVERIFY(f.ops.SaveHistoryFile());
    QCOMPARE(rowCount(his), 3003);
}

void TestHistoryFile::saveQuestion_data()
{
    QTest::addColumn<bool>("newData");
    QTest::addColumn<bool>("untitled");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<bool>("goOn");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("savedRows");
    const int yes = int(Asker::Answer::Yes), no = int(Asker::Answer::No);
    QTest::newRow("nothing new") << false << false << yes << "" << true << false << 1;
    QTest::newRow("no") << true << false << no << "" << true << true << 1;
    QTest::newRow("yes saves") << true << false << yes << "" << true << true << 2;
    QTest::newRow("yes, untitled, cancelled") << true << true << yes << "" << false << true << 0;
    QTest::newRow("yes, untitled, named") << true << true << yes << "named" << true << true << 1;
}

void TestHistoryFile::saveQuestion()
{
    QFETCH(bool, newData);
    QFETCH(bool, untitled);
    QFETCH(int, answer);
    QFETCH(QString, saveAs);
    QFETCH(bool, goOn);
    QFETCH(bool, asked);
    QFETCH(int, savedRows);
    QTemporaryDir dir;
    FileFixture f(dir.path());
    const QString his = dir.filePath(QString("plant.his"));
    if (untitled) {
        QVERIFY(f.ops.NewHistoryFile());
    } else {
        QVERIFY(makeHistoryFile(his, 1));
        QString path = his;
        QVERIFY(f.ops.OpenHistoryFile(path));
    }
    QVERIFY(addEvent(f, 2));
    f.file.gNewData = newData;
    f.asker.answers << Asker::Answer(answer);
    if (!saveAs.isEmpty())
        f.asker.saveNames << dir.filePath(saveAs);

    QCOMPARE(f.ops.AskSaveChanges(), goOn);
    QCOMPARE(f.file.gFileCancelled, !goOn);
    QCOMPARE(f.messages().size(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(f.messages().first(), QString("Save changes?"));
    const QString target = saveAs.isEmpty() ? his : dir.filePath(saveAs + QString(".his"));
    if (savedRows > 0)
        QCOMPARE(rowCount(target), savedRows);
    else
        QVERIFY(!QFileInfo::exists(target));
    // Unsaved data stays marked as unsaved unless it was saved.
    const bool savedNow = answer == int(Asker::Answer::Yes) && goOn && newData;
    QCOMPARE(f.file.gNewData, newData && !savedNow);
}

void TestHistoryFile::completedNameIsNotOverwrittenUnasked_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("keep it") << int(Asker::Answer::No);
    QTest::newRow("replace it") << int(Asker::Answer::Yes);
}

void TestHistoryFile::completedNameIsNotOverwrittenUnasked()
{
    QFETCH(int, answer);
    QTemporaryDir dir;
    const QString existing = dir.filePath(QString("report.his"));
    QVERIFY(makeHistoryFile(existing, 7));
    FileFixture f(dir.path());
    QVERIFY(f.ops.NewHistoryFile());
    QVERIFY(addEvent(f, 1));
    // The dialog asked about "report", which does not exist; "report.his" does.
    f.asker.saveNames << dir.filePath(QString("report"));
    f.asker.answers << Asker::Answer(answer);
    const bool replace = answer == int(Asker::Answer::Yes);
    QCOMPARE(f.ops.SaveHistoryFileAs(), replace);
    QCOMPARE(f.messages().size(), 1);
    QCOMPARE(f.file.gFileCancelled, !replace);
    QCOMPARE(rowCount(existing), replace ? 1 : 7);
}

void TestHistoryFile::foreignSchema_data()
{
    // `schema` runs on a history file holding events of panels 3 and 5 ("%F": the event
    // fields); `message`: what the one message says ("": none); `merges`: whether a
    // read-out of panel 7 reaches HISTORY.
    QTest::addColumn<QString>("schema");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("merges");
    QTest::newRow("trigger on TEMP insert")
        << "CREATE TRIGGER Purge AFTER INSERT ON TEMP BEGIN DELETE FROM HISTORY WHERE "
           "TableauAdresse <> new.TableauAdresse; "
           "INSERT INTO LumoHistory (Version) VALUES ('9'); END"
        << true << "Triggers: Purge\nThey are kept" << true;
    QTest::newRow("trigger on HISTORY update")
        << "CREATE TRIGGER Stamp AFTER UPDATE ON HISTORY BEGIN UPDATE HISTORY SET Text1 = 'x' "
           "WHERE TableauAdresse <> new.TableauAdresse; END"
        << true << "Triggers: Stamp" << true;
    QTest::newRow("view in HISTORY's place")
        << "ALTER TABLE HISTORY RENAME TO Events; "
           "CREATE VIEW HISTORY AS SELECT * FROM Events WHERE TableauAdresse <> 5"
        << false << "(HISTORY)" << false;
    // The partial index is SQLite's LIKE, which does not fold 'Ä' to 'ä'.
    QTest::newRow("table, view, index")
        << "CREATE TABLE Notes (Note TEXT NOT NULL); INSERT INTO Notes VALUES ('mine'); "
           "CREATE VIEW Report AS SELECT count(*) AS n FROM HISTORY; "
           "CREATE INDEX Fire ON HISTORY (ParameterNummer) WHERE Text1 LIKE 'ä%'"
        << true << "Tables: Notes\nViews: Report\nIndexes: Fire" << true;
    QTest::newRow("CHECK refusing new rows")
        << "DROP TABLE HISTORY; CREATE TABLE HISTORY (%F, CHECK (Text6 IS 'kept')); INSERT INTO "
           "HISTORY (TableauAdresse, ParameterNummer, Text6) VALUES (3, 0, 'kept'), (5, 1, 'kept')"
        << true << "table HISTORY of the file does not accept" << false;
    QTest::newRow("extra NOT NULL field")
        << "DROP TABLE TEMP; CREATE TABLE TEMP (%F, Operator TEXT NOT NULL)" << true
        << "table TEMP of the file does not accept" << false;
    QTest::newRow("other declared types")
        << "DROP TABLE TEMP; CREATE TABLE TEMP AS SELECT * FROM HISTORY WHERE 0" << true << ""
        << true;
    QTest::newRow("date declared as text") << "ALTER TABLE TEMP RENAME COLUMN Start_Datum TO Old; "
                                              "ALTER TABLE TEMP ADD COLUMN Start_Datum TEXT"
                                           << false << "(TEMP.Start_Datum)" << false;
    QTest::newRow("own page size") << "PRAGMA page_size = 512; VACUUM" << true << "" << true;
}

// Nothing of a file's schema runs while it is opened, read into, filtered and saved; the
// user's objects are told once and kept; what cannot work is refused with one message.
void TestHistoryFile::foreignSchema()
{
    QFETCH(QString, schema);
    QFETCH(bool, opens);
    QFETCH(QString, message);
    QFETCH(bool, merges);
    QTemporaryDir dir;
    const QString his = dir.filePath(QString("x.his"));
    QVERIFY(makeHistoryFile(his, 2, 3));
    const QString fields = HistorySchema::eventFieldNames().join(QString(", "));
    schema.replace(QString("%F"), fields);
    QVERIFY(execOn(his, "INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Text1) "
                        "VALUES (5, 1, 'Ärger');" +
                            schema));
    // Every event of the other panels, and LumoHistory.
    const QString keptSql = QString(
        "SELECT TableauAdresse || '/' || ParameterNummer || '/' || ifnull(Text1, '') FROM HISTORY "
        "WHERE TableauAdresse <> 7 UNION ALL SELECT Version || Geraet FROM LumoHistory");
    const QString objectsSql = QString("SELECT sql FROM sqlite_master WHERE sql NOT NULL");
    const QStringList kept = query(his, keptSql);
    const QStringList objects = query(his, objectsSql);
    const int events = rowCount(his) + (merges ? 1 : 0);
    const QByteArray before = fileHash(his);

    FileFixture f(dir.path());
    QString path = his;
    QCOMPARE(f.ops.OpenHistoryFile(path), opens);
    if (opens) {
        // A read-out of panel 7, merged; a filter.
        QVERIFY(f.store.gDatabase->execute(QString("DELETE FROM TEMP")));
        const Values event = HistoryFileFixture::event(7, 1, at(2026, 12, 5),
                                                       {{QString("Text1"), QString("Ärger")}});
        QCOMPARE(addRow(f.store, QString("TEMP"), event) &&
                     HistoryMerge::MergeTempIntoHistory(f.store),
                 merges);
        const std::unique_ptr<Recordset> filtered = f.store.gDatabase->openRecordset(
            QString("Select * From HISTORY WHERE TableauAdresse>0 order by TableauAdresse"));
        QVERIFY(filtered);
        QCOMPARE(filtered->recordCount(), events);
        QCOMPARE(fileHash(his), before);

        f.file.gNewData = true;
        QVERIFY(f.ops.SaveHistoryFile());
        QCOMPARE(query(his, keptSql), kept);
        QCOMPARE(rowCount(his), events);
        const QStringList saved = query(his, objectsSql);
        for (const QString &object : objects)
            QVERIFY2(saved.contains(object), qPrintable(object));
        QCOMPARE(query(his, QString("PRAGMA integrity_check")), QStringList{"ok"});
    } else {
        QCOMPARE(fileHash(his), before);
    }
    QCOMPARE(f.messages().size(), message.isEmpty() ? 0 : 1);
    QVERIFY2(f.messages().join(QString()).contains(message),
             qPrintable(f.messages().join(QString())));
}

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
