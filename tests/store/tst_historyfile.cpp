// New, open, save and save-as of history files: names of files and working copies, the
// caption, files that are not history files or in use, names that end in "tmp", other
// files under working copies' names, failed saves, the save question, and files whose
// schema holds objects of the user's.

#include "store_test_helper.h"
#include "tst_historyfile_helper.h"

#include "store/HistoryFileCopy.h"
#include "store/HistoryMerge.h"
#include "store/HistorySchema.h"
#include "store/WorkingCopy.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

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
using namespace qvr::testing;

namespace {

// A history file made with the schema code, holding `rows` events of panel `panel`.
void makeHistoryFile(const QString &path, int rows, int panel = 3)
{
    StoreState s;
    QString error;
    QVERIFY2(HistorySchema::CreateHistoryDatabase(s, path, &error), qPrintable(error));
    for (int i = 0; i < rows; ++i) {
        QVERIFY2(s.gDatabase->execute(QStringLiteral("INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Text1) "
                                                     "VALUES (%1, %2, 'Event %2')")
                                          .arg(panel)
                                          .arg(i),
                                      &error),
                 qPrintable(error));
    }
    s.closeDatabase();
}

int rowCount(const QString &path, const QString &where = QString())
{
    const QStringList r = query(path, QStringLiteral("SELECT count(*) FROM HISTORY") + where);
    return r.size() == 1 ? r.first().toInt() : -1;
}

// Adds an event to the open working copy, as a read-out would.
bool addEvent(FileFixture &f, int panel)
{
    return f.store.gDatabase
           && f.store.gDatabase->execute(QStringLiteral("INSERT INTO HISTORY (TableauAdresse) VALUES (%1)").arg(panel));
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

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
    QFile probe(dir + QStringLiteral("/probe"));
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

    void workFileNames_data();
    void workFileNames();
    void captions_data();
    void captions();

    void openWorksOnACopyUntilSaved_data();
    void openWorksOnACopyUntilSaved();
    void saveAsNames_data();
    void saveAsNames();
    void untitledFilesGoThroughSaveAs_data();
    void untitledFilesGoThroughSaveAs();
    void notAHistoryFile_data();
    void notAHistoryFile();
    void userFilesNamedLikeWorkingCopies_data();
    void userFilesNamedLikeWorkingCopies();
    void othersFilesUnderWorkingCopyNames_data();
    void othersFilesUnderWorkingCopyNames();
    void failedSaveKeepsBothFiles_data();
    void failedSaveKeepsBothFiles();
    void readOnlyMedium();
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

void TestHistoryFile::workFileNames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("avoid");
    QTest::addColumn<QString>("work");
    QTest::newRow("his") << "/data/x.his" << "" << "/data/x.tmp";
    QTest::newRow("two-letter extension") << "/x/report.ab" << "" << "/x/reporttmp";
    QTest::newRow("dot only in directory") << "/x.y/report" << "" << "/x.y/reptmp";
    QTest::newRow("windows path") << "D:\\data\\plant.his" << "" << "D:\\data\\plant.tmp";
    QTest::newRow("user file ending in tmp") << "/d/site.tmp" << "" << "/d/site.tmp.working";
    QTest::newRow("user file Untitled.tmp") << "/d/Untitled.tmp" << "" << "/d/Untitled.tmp.working";
    QTest::newRow("twin is the user's other file") << "/d/a.his" << "/d/a.tmp" << "/d/a.his.working";
}

void TestHistoryFile::workFileNames()
{
    QFETCH(QString, file);
    QFETCH(QString, avoid);
    QFETCH(QString, work);
    QCOMPARE(HistoryFile::WorkFileFor(file, avoid), work);
}

void TestHistoryFile::captions_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain title") << "QVR-HISTORY" << "/data/new.his" << "QVR-HISTORY   [new.his]";
    QTest::newRow("replaces the shown file") << "QVR-HISTORY   [plant.his]" << "/data/new.his"
                                            << "QVR-HISTORY   [new.his]";
    QTest::newRow("windows path") << "QVR-HISTORY   [a.his]" << "D:\\new.his" << "QVR-HISTORY   [new.his]";
    QTest::newRow("name without directory") << "QVR-HISTORY" << "plain.his" << "QVR-HISTORY   [plain.his]";
    QTest::newRow("bracket at the start") << "[old.his]" << "/d/n.his" << "   [n.his]";
}

void TestHistoryFile::captions()
{
    QFETCH(QString, caption);
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QCOMPARE(HistoryFile::FileCaption(caption, file), expected);
}

void TestHistoryFile::openWorksOnACopyUntilSaved_data()
{
    QTest::addColumn<bool>("staleTwin");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("folder");
    QTest::newRow("quit without saving") << false << false << "";
    QTest::newRow("stale working copy, quit without saving") << true << false << "";
    QTest::newRow("save") << false << true << "";
    // Outside the Windows code page, and inside it.
    QTest::newRow("save in a folder with non-ASCII letters") << false << true << "Łódź/Jürgen";
}

void TestHistoryFile::openWorksOnACopyUntilSaved()
{
    QFETCH(bool, staleTwin);
    QFETCH(bool, save);
    QFETCH(QString, folder);
    QTemporaryDir top;
    QVERIFY(QDir(top.path()).mkpath(folder.isEmpty() ? "." : folder));
    const QDir dir(top.filePath(folder));
    const QString his = dir.filePath(QStringLiteral("x.his"));
    const QString tmp = dir.filePath(QStringLiteral("x.tmp"));
    makeHistoryFile(his, 5);
    // A working copy left behind by a crash carries the mark.
    if (staleTwin)
        QVERIFY(execOn(
            tmp,
            QStringLiteral("PRAGMA application_id=%1; CREATE TABLE t(x)").arg(WorkingCopy::kMark)));
    QVERIFY(QFile::setPermissions(his, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions mode = QFile::permissions(his);
    const QByteArray before = fileHash(his);

    FileFixture f(dir.path());
    QString path = his;
    QVERIFY(f.ops.OpenHistoryFile(path));
    QVERIFY(!f.file.gFileCancelled);
    QCOMPARE(f.file.gFileName, his);
    QCOMPARE(f.file.gWorkFile, tmp);
    QVERIFY(f.asker.messages.isEmpty());
    QVERIFY(f.display.refreshes > 0);
    QVERIFY(addEvent(f, 9));
    QCOMPARE(fileHash(his), before);

    if (save) {
        f.file.gNewData = true;
        QVERIFY(f.ops.SaveHistoryFile());
        QVERIFY(!f.file.gNewData);
        // The saved file stands alone: no log beside it, and the new event is in it.
        QCOMPARE(rowCount(his), 6);
        QCOMPARE(rowCount(his, QStringLiteral(" WHERE TableauAdresse = 9")), 1);
        QCOMPARE(query(his, QStringLiteral("PRAGMA journal_mode")), QStringList{QStringLiteral("delete")});
        QVERIFY(!QFileInfo::exists(his + QStringLiteral("-wal")));
        QVERIFY(!QFileInfo::exists(his + QStringLiteral(".saving")));
        // It is the user's file as before: no working copy's mark, the same permissions.
        QCOMPARE(query(his, QStringLiteral("PRAGMA application_id")),
                 QStringList{QString::number(Database::kApplicationId)});
        QCOMPARE(QFile::permissions(his), mode);
        // The working copy is still open and usable after the save.
        QVERIFY(addEvent(f, 10));
    }
    f.ops.CloseHistoryFile();
    QVERIFY(!QFileInfo::exists(tmp));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("x.his")});
    if (!save)
        QCOMPARE(fileHash(his), before);
    QCOMPARE(rowCount(his), save ? 6 : 5);
}

void TestHistoryFile::saveAsNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("work");
    QTest::newRow("no extension") << "report" << "report.his" << "report.tmp";
    QTest::newRow("two-letter extension") << "report.ab" << "report.ab" << "reporttmp";
    QTest::newRow("dot only in directory") << "x.y/report" << "x.y/report" << "x.y/reptmp";
    QTest::newRow("his") << "new.his" << "new.his" << "new.tmp";
}

void TestHistoryFile::saveAsNames()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QFETCH(QString, work);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("x.y")));
    FileFixture f(dir.path());
    QVERIFY(f.ops.NewHistoryFile());
    QCOMPARE(f.file.gFileName, dir.filePath(QStringLiteral("Untitled.his")));
    QCOMPARE(f.file.gWorkFile, dir.filePath(QStringLiteral("Untitled.tmp")));
    QVERIFY(addEvent(f, 2));
    QVERIFY(addEvent(f, 4));
    f.file.gNewData = true;
    // The grid shows a filter: the record set keeps it over the new working copy.
    const QString filter = QStringLiteral("Select * From HISTORY WHERE TableauAdresse>3");
    f.store.gHistoryRecordset = f.store.gDatabase->openRecordset(filter);

    f.asker.saveAnswers << dir.filePath(typed);
    QVERIFY(f.ops.SaveHistoryFile());
    QCOMPARE(f.store.gHistoryRecordset->sql(), filter);
    QCOMPARE(f.store.gHistoryRecordset->field(QStringLiteral("TableauAdresse")).toInt(), 4);
    QVERIFY(!f.file.gFileCancelled);
    QVERIFY(!f.file.gNewData);
    QCOMPARE(f.file.gFileName, dir.filePath(saved));
    QCOMPARE(f.file.gWorkFile, dir.filePath(work));
    QCOMPARE(rowCount(dir.filePath(saved), QStringLiteral(" WHERE TableauAdresse = 4")), 1);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Untitled.tmp"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Untitled.his"))));
    QCOMPARE(f.asker.dialogTitles.value(0), QStringLiteral("save history file as"));
    QCOMPARE(f.asker.dialogTitles.value(1), QStringLiteral("QVR-HISTORY (*.his)"));
    // The next dialog starts in the saved file's folder.
    QVERIFY(!f.ops.SaveHistoryFileAs());
    QCOMPARE(f.asker.dialogDirs.value(1), QFileInfo(dir.filePath(saved)).absolutePath());

    // The new working copy is the database now: what is added there reaches the file.
    QVERIFY(addEvent(f, 5));
    QVERIFY(f.ops.SaveHistoryFile());
    QCOMPARE(rowCount(dir.filePath(saved)), 3);
    f.ops.CloseHistoryFile();
    QVERIFY(!QFileInfo::exists(dir.filePath(work)));
}

void TestHistoryFile::untitledFilesGoThroughSaveAs_data()
{
    QTest::addColumn<bool>("userFileNamedUntitled");
    QTest::newRow("new file") << false;
    QTest::newRow("user's Untitled.his elsewhere") << true;
}

void TestHistoryFile::untitledFilesGoThroughSaveAs()
{
    QFETCH(bool, userFileNamedUntitled);
    QTemporaryDir install, elsewhere;
    FileFixture f(install.path());
    if (userFileNamedUntitled) {
        const QString his = elsewhere.filePath(QStringLiteral("Untitled.his"));
        makeHistoryFile(his, 2);
        QString path = his;
        QVERIFY(f.ops.OpenHistoryFile(path));
    } else {
        QVERIFY(f.ops.NewHistoryFile());
    }
    const QString work = f.file.gWorkFile;
    QVERIFY(addEvent(f, 6));
    f.file.gNewData = true;

    // The dialog is shown; cancelling it keeps everything as it was.
    QVERIFY(!f.ops.SaveHistoryFile());
    QCOMPARE(f.asker.dialogTitles.size(), 2);
    QVERIFY(f.file.gFileCancelled);
    QVERIFY(f.file.gNewData);
    QVERIFY(f.asker.messages.isEmpty());
    QCOMPARE(f.file.gWorkFile, work);
    QCOMPARE(rowCount(work, QStringLiteral(" WHERE TableauAdresse = 6")), 1);
}

void TestHistoryFile::notAHistoryFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("previousFileOpen");
    QTest::addColumn<QString>("message");
    const char *kinds[] = {"text",       "empty",          "truncated", "corrupt page",
                           "old engine", "other database", "locked"};
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
    const QString goodFile = good.filePath(QStringLiteral("good.his"));
    makeHistoryFile(goodFile, 3);
    const QString badFile = bad.filePath(QStringLiteral("bad.his"));
    {
        QByteArray content;
        if (kind == QLatin1String("text")) {
            content = "Panel 3, event list\r\nnot a database\r\n";
        } else if (kind == QLatin1String("truncated") || kind == QLatin1String("corrupt page")) {
            const QString full = bad.filePath(QStringLiteral("full"));
            makeHistoryFile(full, 400);
            QFile f(full);
            QVERIFY(f.open(QIODevice::ReadOnly));
            content = f.readAll();
            f.close();
            QFile::remove(full);
            if (kind == QLatin1String("truncated"))
                content.truncate(content.size() / 2);
            else
                content.replace(content.size() - 4096, 4096, QByteArray(4096, '\x5a'));
        } else if (kind == QLatin1String("old engine")) {
            content = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4076, '\0');
        } else if (kind == QLatin1String("other database")) {
            QVERIFY(execOn(badFile, QStringLiteral("CREATE TABLE addresses (name TEXT); "
                                                   "INSERT INTO addresses VALUES ('x')")));
        } else if (kind == QLatin1String("locked")) {
            makeHistoryFile(badFile, 2);
        }
        if (kind != QLatin1String("other database") && kind != QLatin1String("locked")) {
            QFile f(badFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
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
    f.asker.openAnswers << badFile;
    QString error;
    {
        // A sqlite3 shell in an exclusive transaction on the file.
        std::unique_ptr<OtherProgram> other;
        if (kind == QLatin1String("locked"))
            other = std::make_unique<OtherProgram>(badFile, "BEGIN EXCLUSIVE; DELETE FROM HISTORY");
        QVERIFY(!other || other->ok());
        QVERIFY(!f.ops.OpenHistoryFile(path, &error));
    }
    QCOMPARE(path, badFile);
    QVERIFY(f.file.gFileCancelled);
    QCOMPARE(f.asker.messages.size(), 1);
    QVERIFY2(f.asker.messages.first().contains(message), qPrintable(error));
    // Nothing changed on disk: the file as it was, nothing left beside it.
    QCOMPARE(fileHash(badFile), badBefore);
    QCOMPARE(entries(bad.path()), QStringList{QStringLiteral("bad.his")});
    // The program is where it was before.
    QCOMPARE(f.file.gFileName, before.gFileName);
    QCOMPARE(f.file.gWorkFile, before.gWorkFile);
    if (previousFileOpen) {
        QVERIFY(f.store.gDatabase && f.store.gDatabase->isOpen());
        QVERIFY(addEvent(f, 8));
        QVERIFY(f.ops.SaveHistoryFile());
        QCOMPARE(rowCount(goodFile, QStringLiteral(" WHERE TableauAdresse = 8")), 2);
    } else {
        QVERIFY(!f.store.gDatabase);
        QVERIFY(f.file.gWorkFile.isEmpty());
    }
}

void TestHistoryFile::userFilesNamedLikeWorkingCopies_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::newRow("open site.tmp") << "open site.tmp";
    QTest::newRow("save as the working copy's name") << "save as working copy";
    QTest::newRow("open the working copy itself") << "open working copy";
    QTest::newRow("new file while the user's Untitled.tmp is open") << "new over Untitled.tmp";
}

void TestHistoryFile::userFilesNamedLikeWorkingCopies()
{
    QFETCH(QString, scenario);
    QTemporaryDir dir;
    FileFixture f(dir.path());
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };

    if (scenario == QLatin1String("open site.tmp")) {
        makeHistoryFile(at("site.tmp"), 2);
        QString path = at("site.tmp");
        QVERIFY(f.ops.OpenHistoryFile(path));
        QVERIFY(!HistoryFileCopy::SameFile(f.file.gWorkFile, at("site.tmp")));
        QVERIFY(addEvent(f, 7));
        QVERIFY(f.ops.SaveHistoryFile());
        QCOMPARE(rowCount(at("site.tmp")), 3);
        f.ops.CloseHistoryFile();
        QCOMPARE(rowCount(at("site.tmp")), 3);
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("site.tmp")});
    } else if (scenario == QLatin1String("save as working copy")) {
        makeHistoryFile(at("x.his"), 2);
        const QByteArray before = fileHash(at("x.his"));
        QString path = at("x.his");
        QVERIFY(f.ops.OpenHistoryFile(path));
        QCOMPARE(f.file.gWorkFile, at("x.tmp"));
        QVERIFY(addEvent(f, 7));
        f.file.gNewData = true;
        f.asker.saveAnswers << at("x.tmp");
        QVERIFY(f.ops.SaveHistoryFileAs());
        QCOMPARE(f.file.gFileName, at("x.tmp"));
        QVERIFY(!HistoryFileCopy::SameFile(f.file.gWorkFile, at("x.tmp")));
        QCOMPARE(rowCount(at("x.tmp")), 3);
        QCOMPARE(fileHash(at("x.his")), before);
        QVERIFY(addEvent(f, 8));
        f.ops.CloseHistoryFile();
        QCOMPARE(rowCount(at("x.tmp")), 3);
        QCOMPARE(entries(dir.path()), (QStringList{QStringLiteral("x.his"), QStringLiteral("x.tmp")}));
    } else if (scenario == QLatin1String("open working copy")) {
        makeHistoryFile(at("x.his"), 2);
        QString path = at("x.his");
        QVERIFY(f.ops.OpenHistoryFile(path));
        QVERIFY(addEvent(f, 7));
        // The user picks the working copy as a file of his own: it is his from now on.
        path = at("x.tmp");
        QVERIFY(f.ops.OpenHistoryFile(path));
        QCOMPARE(f.file.gFileName, at("x.tmp"));
        QCOMPARE(rowCount(at("x.tmp")), 3);
        f.ops.CloseHistoryFile();
        QCOMPARE(rowCount(at("x.tmp")), 3);
        QCOMPARE(rowCount(at("x.his")), 2);
    } else {
        makeHistoryFile(at("Untitled.tmp"), 2);
        QString path = at("Untitled.tmp");
        QVERIFY(f.ops.OpenHistoryFile(path));
        QVERIFY(f.ops.NewHistoryFile());
        QVERIFY(!HistoryFileCopy::SameFile(f.file.gWorkFile, at("Untitled.tmp")));
        QCOMPARE(rowCount(at("Untitled.tmp")), 2);
        f.ops.CloseHistoryFile();
        QCOMPARE(rowCount(at("Untitled.tmp")), 2);
    }
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
    const QString his = dir.filePath(QStringLiteral("b.his"));
    makeHistoryFile(his, 2);
    theirs = dir.filePath(theirs);
    // Both programs have the same installation folder.
    FileFixture other(dir.path());
    if (running) {
        QString path = his;
        QVERIFY(action == QLatin1String("new") ? other.ops.NewHistoryFile()
                                               : other.ops.OpenHistoryFile(path));
        QCOMPARE(other.file.gWorkFile, theirs);
        QVERIFY(addEvent(other, 9));
    } else {
        makeHistoryFile(theirs, 1, 9);
    }
    const int theirRows = rowCount(theirs);

    FileFixture f(dir.path());
    QString path = his;
    QVERIFY(action == QLatin1String("open") ? f.ops.OpenHistoryFile(path) : f.ops.NewHistoryFile());
    if (action == QLatin1String("save as")) {
        f.asker.saveAnswers << dir.filePath(QStringLiteral("c.his"));
        QVERIFY(f.ops.SaveHistoryFileAs());
    }
    QVERIFY(!HistoryFileCopy::SameFile(f.file.gWorkFile, theirs));
    QVERIFY(addEvent(f, 4));
    f.ops.CloseHistoryFile();
    QCOMPARE(rowCount(theirs), theirRows);
    QCOMPARE(rowCount(theirs, QStringLiteral(" WHERE TableauAdresse = 9")), 1);
}

void TestHistoryFile::failedSaveKeepsBothFiles_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("message");
    QTest::newRow("directory not writable") << "directory"
                                            << "could not be saved";
    QTest::newRow("disk full") << "full"
                               << "could not be saved";
    QTest::newRow("target replaced by a folder") << "folder"
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
    const QString sub = dir.filePath(QStringLiteral("site"));
    QVERIFY(QDir().mkpath(sub));
    const QString his = sub + QStringLiteral("/plant.his");
    makeHistoryFile(his, 2);
    const QByteArray before = fileHash(his);

    FileFixture f(dir.path());
    QString path = his;
    QVERIFY(f.ops.OpenHistoryFile(path));
    const QString work = f.file.gWorkFile;
    // Enough events that the copy is larger than the space left when the disk is full.
    QVERIFY(f.store.gDatabase->execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO HISTORY (TableauAdresse, Text1, Text2) SELECT 5, 'Neue Meldung', 'Zeile 2' FROM n")));
    f.file.gNewData = true;

    bool saved = true;
    if (cause == QLatin1String("directory")) {
        // The working copy lies in the same folder, so it must exist before the folder is
        // locked; it stays writable itself.
        UnwritableDir lock(sub);
        if (!lock.ok())
            QSKIP("no folder can be made unwritable for this user here");
        saved = f.ops.SaveHistoryFile();
    } else if (cause == QLatin1String("full")) {
        FileSizeLimit limit(QFileInfo(his).size() + 8192);
        if (!limit.ok())
            QSKIP("no file size limit stands in for a full disk here");
        saved = f.ops.SaveHistoryFile();
    } else if (cause == QLatin1String("in use")) {
        OtherProgram other(his, "BEGIN IMMEDIATE; DELETE FROM HISTORY");
        QVERIFY(other.ok());
        saved = f.ops.SaveHistoryFile();
        // Its journal is left alone: the other program can still roll back.
        QVERIFY(QFileInfo::exists(his + QStringLiteral("-journal")));
        QVERIFY(other.rollback());
    } else if (cause == QLatin1String("write-protected")) {
        // No write permission for anybody; the super-user, whom permission bits do not
        // stop, is refused by the same rule.
        QVERIFY(QFile::setPermissions(his, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        saved = f.ops.SaveHistoryFile();
        QVERIFY(QFile::setPermissions(his, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                               QFile::ReadOther));
    } else {
        QVERIFY(QFile::rename(his, his + QStringLiteral(".orig")));
        QVERIFY(QDir().mkdir(his));
        QVERIFY(QFile::copy(his + QStringLiteral(".orig"), his + QStringLiteral("/inside")));
        saved = f.ops.SaveHistoryFile();
        QVERIFY(QFileInfo(his).isDir());
        QCOMPARE(fileHash(his + QStringLiteral("/inside")), before);
        QVERIFY(QDir(his).removeRecursively());
        QVERIFY(QFile::rename(his + QStringLiteral(".orig"), his));
    }
    QVERIFY(!saved);
    QVERIFY(f.file.gFileCancelled);
    QVERIFY(f.file.gNewData);
    QCOMPARE(f.asker.messages.size(), 1);
    QVERIFY2(f.asker.messages.first().contains(message), qPrintable(f.asker.messages.first()));
    // The message tells where the data is.
    QVERIFY(f.asker.messages.first().contains(QStringLiteral("Working copy: ") +
                                              QDir::toNativeSeparators(work)));
    QCOMPARE(fileHash(his), before);
    QVERIFY(!QFileInfo::exists(his + QStringLiteral(".saving")));
    // The working copy still holds everything and the program goes on with it.
    QCOMPARE(f.file.gWorkFile, work);
    QVERIFY(addEvent(f, 6));
    QVERIFY(f.ops.SaveHistoryFile());
    QCOMPARE(rowCount(his), 3003);
}

void TestHistoryFile::readOnlyMedium()
{
    QTemporaryDir dir;
    const QString medium = dir.filePath(QStringLiteral("cd"));
    QVERIFY(QDir().mkpath(medium));
    const QString his = medium + QStringLiteral("/archive.his");
    makeHistoryFile(his, 4);
    const QByteArray before = fileHash(his);
    UnwritableDir lock(medium);
    if (!lock.ok())
        QSKIP("no folder can be made unwritable for this user here");

    FileFixture f(dir.path());
    QString path = his;
    QVERIFY(f.ops.OpenHistoryFile(path));
    QVERIFY(f.asker.messages.isEmpty());
    QCOMPARE(f.file.gFileName, his);
    QVERIFY(!f.file.gWorkFile.startsWith(medium));
    QCOMPARE(rowCount(f.file.gWorkFile), 4);
    QVERIFY(addEvent(f, 1));
    f.file.gNewData = true;
    QVERIFY(!f.ops.SaveHistoryFile());
    QCOMPARE(f.asker.messages.size(), 1);
    QCOMPARE(fileHash(his), before);
    // Saved elsewhere, the data is all there.
    f.asker.saveAnswers << dir.filePath(QStringLiteral("copy"));
    QVERIFY(f.ops.SaveHistoryFileAs());
    QCOMPARE(rowCount(dir.filePath(QStringLiteral("copy.his"))), 5);
    f.ops.CloseHistoryFile();
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
    const QString his = dir.filePath(QStringLiteral("plant.his"));
    if (untitled) {
        QVERIFY(f.ops.NewHistoryFile());
    } else {
        makeHistoryFile(his, 1);
        QString path = his;
        QVERIFY(f.ops.OpenHistoryFile(path));
    }
    QVERIFY(addEvent(f, 2));
    f.file.gNewData = newData;
    f.asker.messageAnswers << Asker::Answer(answer);
    if (!saveAs.isEmpty())
        f.asker.saveAnswers << dir.filePath(saveAs);

    QCOMPARE(f.ops.AskSaveChanges(), goOn);
    QCOMPARE(f.file.gFileCancelled, !goOn);
    QCOMPARE(f.asker.messages.size(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(f.asker.messages.first(), QStringLiteral("Save changes?"));
    const QString target = saveAs.isEmpty() ? his : dir.filePath(saveAs + QStringLiteral(".his"));
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
    const QString existing = dir.filePath(QStringLiteral("report.his"));
    makeHistoryFile(existing, 7);
    FileFixture f(dir.path());
    QVERIFY(f.ops.NewHistoryFile());
    QVERIFY(addEvent(f, 1));
    // The dialog asked about "report", which does not exist; "report.his" does.
    f.asker.saveAnswers << dir.filePath(QStringLiteral("report"));
    f.asker.messageAnswers << Asker::Answer(answer);
    const bool replace = answer == int(Asker::Answer::Yes);
    QCOMPARE(f.ops.SaveHistoryFileAs(), replace);
    QCOMPARE(f.asker.messages.size(), 1);
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
    const QString his = dir.filePath(QStringLiteral("x.his"));
    makeHistoryFile(his, 2, 3);
    const QString fields = HistorySchema::eventFieldNames().join(QStringLiteral(", "));
    schema.replace(QStringLiteral("%F"), fields);
    QVERIFY(execOn(his, "INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Text1) "
                        "VALUES (5, 1, 'Ärger');" +
                            schema));
    // Every event of the other panels, and LumoHistory.
    const QString keptSql = QStringLiteral(
        "SELECT TableauAdresse || '/' || ParameterNummer || '/' || ifnull(Text1, '') FROM HISTORY "
        "WHERE TableauAdresse <> 7 UNION ALL SELECT Version || Geraet FROM LumoHistory");
    const QString objectsSql = QStringLiteral("SELECT sql FROM sqlite_master WHERE sql NOT NULL");
    const QStringList kept = query(his, keptSql);
    const QStringList objects = query(his, objectsSql);
    const int events = rowCount(his) + (merges ? 1 : 0);
    const QByteArray before = fileHash(his);

    FileFixture f(dir.path());
    QString path = his;
    QCOMPARE(f.ops.OpenHistoryFile(path), opens);
    if (opens) {
        // A read-out of panel 7 as the engine and the decoders write it, merged; a filter.
        QVERIFY(f.store.gDatabase->execute(QStringLiteral("DELETE FROM TEMP")));
        QVERIFY(HistorySchema::OpenTable(f.store, QStringLiteral("TEMP")));
        Recordset &temp = *f.store.gTempRecordset;
        const storetest::Values event = storetest::HistoryFileFixture::event(
            7, 1, storetest::at(2026, 12, 5), {{QStringLiteral("Text1"), QStringLiteral("Ärger")}});
        bool stored = temp.addNew();
        for (auto it = event.cbegin(); it != event.cend(); ++it)
            stored = stored && temp.setField(it.key(), it.value());
        QCOMPARE(stored && temp.update() && HistoryMerge::MergeTempIntoHistory(f.store), merges);
        const std::unique_ptr<Recordset> filtered = f.store.gDatabase->openRecordset(
            QStringLiteral("Select * From HISTORY WHERE TableauAdresse>0 order by TableauAdresse"));
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
        QCOMPARE(query(his, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    } else {
        QCOMPARE(fileHash(his), before);
    }
    QCOMPARE(f.asker.messages.size(), message.isEmpty() ? 0 : 1);
    QVERIFY2(f.asker.messages.join(QString()).contains(message),
             qPrintable(f.asker.messages.join(QString())));
}

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
