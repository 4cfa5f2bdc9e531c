#include "store/HistoryFile.h"

#include "core/Asker.h"
#include "core/Folders.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "store/HistoryFileCopy.h"
#include "store/HistoryFileDisplay.h"
#include "store/HistorySchema.h"
#include "store/LayoutUpgrade.h"
#include "store/StoreState.h"
#include "store/WorkingCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace qvr {

namespace {

// Text ids of this part of the program.
constexpr int kOpenTitle = 25000;
constexpr int kSaveAsTitle = 25010;
constexpr int kNotHistoryFile = 25020;
constexpr int kCannotRead = 25030;
constexpr int kNoWorkingCopy = 25040;
constexpr int kSaveFailed = 25050;
constexpr int kUpgradeFailed = 25060;
constexpr int kCannotCreate = 25070;
constexpr int kReplaceExisting = 25080;
constexpr int kInUseOpen = 25090;
constexpr int kInUseSave = 25100;
constexpr int kWriteProtected = 25110;
constexpr int kWorkingCopyAt = 25120;
constexpr int kFolderNotWritable = 25130;
constexpr int kForeignObjects = 25140;
constexpr int kForeignKinds = 25150; // tables, views, indexes, triggers: 25150 to 25180
constexpr int kStructureDiffers = 25190;
constexpr int kRefusesRows = 25200;
constexpr int kSaveQuestion = 30000;

const QString kFilter = QStringLiteral("QVR-HISTORY (*.his)");
const QString kUntitledWork = QStringLiteral("Untitled.tmp");

// The installation directory with one trailing separator dropped, joined with a name by
// the separator the directory already uses.
QString joinPath(QString dir, const QString &name)
{
    if (dir.endsWith(QLatin1Char('\\')) || dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    const QChar sep = dir.contains(QLatin1Char('\\')) && !dir.contains(QLatin1Char('/'))
                          ? QLatin1Char('\\')
                          : QLatin1Char('/');
    return dir + sep + name;
}

bool exists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

// Where a working copy goes when it cannot lie beside the user's file (a read-only medium,
// an installation directory without write access): a folder of the user's own.
QString fallbackPlace(const QString &workFile)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    dir += QStringLiteral("/QVR-History");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + QFileInfo(workFile).fileName();
}

// Moves a closed database file together with whatever companions it has.
bool moveDatabase(const QString &from, const QString &to)
{
    if (!QFile::rename(from, to))
        return false;
    const QStringList fromCompanions = HistoryFileCopy::Companions(from);
    const QStringList toCompanions = HistoryFileCopy::Companions(to);
    for (int i = 0; i < fromCompanions.size(); ++i) {
        if (QFileInfo::exists(fromCompanions.at(i)))
            QFile::rename(fromCompanions.at(i), toCompanions.at(i));
    }
    return true;
}

} // namespace

HistoryFile::HistoryFile(FileState &file, StoreState &store, const SettingsStore &settings,
                         const Texts &texts, Asker &asker, HistoryFileDisplay *display)
    : m_file(file), m_store(store), m_settings(settings), m_texts(texts), m_asker(asker),
      m_display(display)
{
}

HistoryFile::~HistoryFile() = default;

QString HistoryFile::FileCaption(const QString &caption, const QString &fileName)
{
    const qsizetype bracket = caption.indexOf(QLatin1Char('['));
    // The three blanks before the bracket go with it; a caption that starts with the
    // bracket has no base at all.
    const QString base = bracket < 0 ? caption : caption.left(std::max<qsizetype>(0, bracket - 3));
    const qsizetype slash = std::max(fileName.lastIndexOf(QLatin1Char('\\')),
                                     fileName.lastIndexOf(QLatin1Char('/')));
    return base + QStringLiteral("   [") + fileName.mid(slash + 1) + QLatin1Char(']');
}

QString HistoryFile::WorkFileFor(const QString &fileName, const QString &avoid)
{
    const QString twin = fileName.left(std::max<qsizetype>(0, fileName.size() - 3)) + QStringLiteral("tmp");
    if (HistoryFileCopy::SameFile(twin, fileName) || HistoryFileCopy::SameFile(twin, avoid))
        return fileName + QStringLiteral(".working");
    return twin;
}

QString HistoryFile::SaveAsTarget(const QString &chosen)
{
    return chosen.contains(QLatin1Char('.')) ? chosen : chosen + QStringLiteral(".his");
}

void HistoryFile::report(int textId, const QString &path, const QString &detail, QString *error,
                         const QString &arg)
{
    QString text = arg.isEmpty() ? m_texts.ResText(textId) : m_texts.ResText(textId).arg(arg);
    if (!path.isEmpty())
        text += QStringLiteral("\n\n") + QDir::toNativeSeparators(path);
    m_asker.message(text, m_texts.ResText(1000), Asker::Icon::Exclamation, Asker::Buttons::Ok);
    if (error)
        *error = detail.isEmpty() ? text : text + QStringLiteral("\n") + detail;
}

void HistoryFile::reportSaveFailure(HistoryFileCopy::SaveFailure failure, const QString &target,
                                    const QString &detail, QString *error)
{
    using Failure = HistoryFileCopy::SaveFailure;
    const int textId = failure == Failure::InUse            ? kInUseSave
                       : failure == Failure::WriteProtected ? kWriteProtected
                                                            : kSaveFailed;
    QString text =
        m_texts.ResText(textId) + QStringLiteral("\n\n") + QDir::toNativeSeparators(target);
    // Where the data is while it is not saved.
    if (!m_file.gWorkFile.isEmpty())
        text += QLatin1Char('\n') +
                m_texts.ResText(kWorkingCopyAt).arg(QDir::toNativeSeparators(m_file.gWorkFile));
    m_asker.message(text, m_texts.ResText(1000), Asker::Icon::Exclamation, Asker::Buttons::Ok);
    if (error)
        *error = detail.isEmpty() ? text : text + QStringLiteral("\n") + detail;
}

void HistoryFile::setBusy(bool busy)
{
    if (m_display)
        m_display->setBusy(busy);
}

void HistoryFile::refresh()
{
    if (m_display)
        m_display->RefreshFileDisplay();
}

void HistoryFile::discardWorkingCopy(const QString &keep)
{
    m_store.closeDatabase();
    // The working copy is ours; the user's file is never deleted here, whatever its name.
    // A working copy the user chose as a file of his own becomes a plain history file.
    if (HistoryFileCopy::SameFile(m_file.gWorkFile, keep))
        HistoryFileCopy::SetApplicationId(keep, Database::kApplicationId);
    else if (exists(m_file.gWorkFile) &&
             !HistoryFileCopy::SameFile(m_file.gWorkFile, m_file.gFileName))
        HistoryFileCopy::RemoveDatabase(m_file.gWorkFile);
    m_work.reset();
}

bool HistoryFile::isUntitled() const
{
    const QString &name = m_file.gFileName;
    return (name.left(std::max<qsizetype>(0, name.size() - 3)) + QStringLiteral("tmp"))
        .contains(kUntitledWork);
}

QString HistoryFile::dialogFolder() const
{
    if (!m_file.gFileName.isEmpty() && !isUntitled()) {
        const QString folder = QFileInfo(m_file.gFileName).absolutePath();
        if (QFileInfo(folder).isDir())
            return folder;
    }
    if (!m_lastFolder.isEmpty() && QFileInfo(m_lastFolder).isDir())
        return m_lastFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void HistoryFile::rememberFolder(const QString &chosenFile)
{
    m_lastFolder = QFileInfo(chosenFile).absolutePath();
}

bool HistoryFile::createWorkingCopy(std::unique_ptr<WorkingCopy> claim, QString *detail)
{
    if (!claim)
        return false;
    const QString work = claim->path();
    // Marked as a working copy, and the mark written into the file itself at once.
    if (!HistorySchema::CreateHistoryDatabase(m_store, work, detail) ||
        !m_store.gDatabase->execute(
            QStringLiteral("PRAGMA application_id=%1; PRAGMA wal_checkpoint(TRUNCATE)")
                .arg(WorkingCopy::kMark),
            detail)) {
        m_store.closeDatabase();
        HistoryFileCopy::RemoveDatabase(work);
        return false;
    }
    m_work = std::move(claim);
    m_file.gWorkFile = work;
    return true;
}

bool HistoryFile::NewHistoryFile(QString *error)
{
    const QString previousFile = m_file.gFileName;
    discardWorkingCopy();
    m_file.gWorkFile.clear();

    // An installed program never writes into its installation folder.
    const QString dir = UserFilesFolder(InstallationFolder(m_settings));
    m_file.gFileName = joinPath(dir, QStringLiteral("Untitled.his"));
    const QString work = joinPath(dir, kUntitledWork);

    QString detail;
    const bool ok =
        createWorkingCopy(WorkingCopy::Claim(work, {previousFile}), &detail) ||
        createWorkingCopy(WorkingCopy::Claim(fallbackPlace(work), {previousFile}), &detail);
    if (!ok) {
        m_file.gFileName.clear();
        refresh();
        report(kCannotCreate, QString(), detail, error);
        return false;
    }
    refresh();
    return true;
}

bool HistoryFile::OpenHistoryFile(QString &path, QString *error)
{
    m_file.gFileCancelled = false;
    if (path.isEmpty()) {
        const QString chosen =
            m_asker.openFileName(m_texts.ResText(kOpenTitle), dialogFolder(), kFilter);
        if (chosen.isEmpty()) {
            m_file.gFileCancelled = true;
            if (error)
                error->clear();
            return false;
        }
        path = chosen;
        rememberFolder(chosen);
    }
    auto fail = [&](int textId, const QString &detail, const QString &arg = QString()) {
        m_file.gFileCancelled = true;
        // A lock of another program's reads as a damaged file to SQLite.
        if ((textId == kNotHistoryFile || textId == kNoWorkingCopy) &&
            HistoryFileCopy::LockedByOther(path))
            textId = kInUseOpen;
        report(textId, path, detail, error, arg);
        return false;
    };

    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return fail(kCannotRead, QString());
    QString detail;
    QString culprit;
    // Checked on the user's file itself, read-only, before anything is closed: a file
    // that is no history file leaves the open one open.
    if (!LayoutUpgrade::LooksLikeHistoryFile(path, &detail, &culprit))
        return culprit.isEmpty() ? fail(kNotHistoryFile, detail)
                                 : fail(kStructureDiffers, detail, culprit);

    // The working copy is built under a name of its own first, so the open file keeps its
    // working copy until the new one is complete (they may have the same name when the
    // same file is opened again).
    const QStringList avoid{path, m_file.gFileName};
    QString work = WorkFileFor(path, m_file.gFileName);
    std::unique_ptr<WorkingCopy> staging =
        WorkingCopy::Claim(work + QStringLiteral(".opening"), avoid);
    if (!staging || !HistoryFileCopy::CopyDatabaseFile(path, staging->path(), &detail)) {
        // A read-only medium: the working copy lives in the user's own folder instead.
        work = fallbackPlace(work);
        staging = WorkingCopy::Claim(work + QStringLiteral(".opening"), avoid);
        if (!staging || !HistoryFileCopy::CopyDatabaseFile(path, staging->path(), &detail))
            return fail(kNoWorkingCopy, detail);
    }

    // What the user is told once the file is open.
    QString notes;
    {
        std::unique_ptr<Database> db = m_store.gWorkspace.OpenDatabase(
            staging->path(), QString(), Database::Access::ReadWrite, &detail);
        const bool upgraded = db && LayoutUpgrade::UpgradeLayout(*db, &detail);
        const bool complete = upgraded && LayoutUpgrade::HasAllFields(*db, &detail);
        if (complete)
            notes = schemaNotes(*db);
        if (db)
            db->close();
        if (!complete) {
            HistoryFileCopy::RemoveDatabase(staging->path());
            return fail(!db ? kNoWorkingCopy : upgraded ? kNotHistoryFile : kUpgradeFailed, detail);
        }
    }

    // From here on the previous file is given up. Its working copy is deleted unless the
    // user chose that very file to open.
    discardWorkingCopy(path);
    m_file.gWorkFile.clear();
    // The staging copy takes the working copy's name, or keeps its own when that is taken.
    std::unique_ptr<WorkingCopy> claim = WorkingCopy::Claim(work, avoid);
    if (!claim || !moveDatabase(staging->path(), claim->path()))
        claim = std::move(staging);
    std::unique_ptr<Database> db = m_store.gWorkspace.OpenDatabase(
        claim->path(), QString(), Database::Access::ReadWrite, &detail);
    if (!db) {
        HistoryFileCopy::RemoveDatabase(claim->path());
        m_file.gFileName.clear();
        refresh();
        return fail(kNoWorkingCopy, detail);
    }
    m_store.gDatabase = std::move(db);
    m_file.gFileName = path;
    m_file.gWorkFile = claim->path();
    m_work = std::move(claim);
    refresh();
    if (!notes.isEmpty())
        m_asker.message(notes, m_texts.ResText(1000), Asker::Icon::Information, Asker::Buttons::Ok);
    return true;
}

QString HistoryFile::schemaNotes(Database &db) const
{
    QStringList notes;
    const QList<HistorySchema::SchemaObject> foreign = HistorySchema::foreignObjects(db);
    if (!foreign.isEmpty()) {
        QStringList lines;
        const char *const kinds[] = {"table", "view", "index", "trigger"};
        for (int k = 0; k < 4; ++k) {
            QStringList names;
            for (const HistorySchema::SchemaObject &object : foreign) {
                if (object.kind == QLatin1String(kinds[k]))
                    names << object.name;
            }
            if (!names.isEmpty())
                lines << m_texts.ResText(kForeignKinds + 10 * k) + QStringLiteral(": ") +
                             names.join(QStringLiteral(", "));
        }
        notes << m_texts.ResText(kForeignObjects).arg(lines.join(QLatin1Char('\n')));
    }
    const QString refusing = LayoutUpgrade::RefusingTable(db);
    if (!refusing.isEmpty())
        notes << m_texts.ResText(kRefusesRows).arg(refusing);
    return notes.join(QStringLiteral("\n\n"));
}

bool HistoryFile::CheckSaveTarget(const QString &target, QString *error)
{
    const QFileInfo folder(QFileInfo(target).absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        report(kFolderNotWritable, folder.absoluteFilePath(), QString(), error);
        return false;
    }
    if (HistoryFileCopy::IsWriteProtected(target)) {
        report(kWriteProtected, target, QString(), error);
        return false;
    }
    return true;
}

bool HistoryFile::SaveHistoryFile(QString *error)
{
    if (isUntitled())
        return SaveHistoryFileAs(error);
    if (!m_store.gDatabase || !m_store.gDatabase->isOpen() || m_file.gFileName.isEmpty()) {
        m_file.gFileCancelled = true;
        if (error)
            *error = QStringLiteral("no history file is open");
        return false;
    }
    setBusy(true);
    QString detail;
    HistoryFileCopy::SaveFailure failure = HistoryFileCopy::SaveFailure::Failed;
    const bool ok = !HistoryFileCopy::SameFile(m_file.gFileName, m_file.gWorkFile) &&
                    HistoryFileCopy::SaveAtomically(m_store.gDatabase->nativeHandle(),
                                                    m_file.gFileName, &detail, &failure);
    setBusy(false);
    m_file.gFileCancelled = !ok;
    if (!ok) {
        reportSaveFailure(failure, m_file.gFileName, detail, error);
        return false;
    }
    m_file.gNewData = false;
    return true;
}

bool HistoryFile::SaveHistoryFileAs(QString *error)
{
    m_file.gFileCancelled = false;
    if (!m_store.gDatabase || !m_store.gDatabase->isOpen()) {
        m_file.gFileCancelled = true;
        if (error)
            *error = QStringLiteral("no history file is open");
        return false;
    }
    const QString chosen =
        m_asker.saveFileName(m_texts.ResText(kSaveAsTitle), dialogFolder(), kFilter, QString());
    if (chosen.isEmpty()) {
        m_file.gFileCancelled = true;
        if (error)
            error->clear();
        return false;
    }
    rememberFolder(chosen);
    const QString target = SaveAsTarget(chosen);
    // The dialog asked about the name as typed; a file under the completed name has not
    // been asked about yet.
    if (target != chosen && exists(target)
        && m_asker.message(m_texts.ResText(kReplaceExisting) + QStringLiteral("\n\n")
                               + QDir::toNativeSeparators(target),
                           m_texts.ResText(1000), Asker::Icon::Question, Asker::Buttons::YesNo)
               != Asker::Answer::Yes) {
        m_file.gFileCancelled = true;
        if (error)
            error->clear();
        return false;
    }

    auto fail = [&](HistoryFileCopy::SaveFailure failure, const QString &detail) {
        setBusy(false);
        m_file.gFileCancelled = true;
        reportSaveFailure(failure, target, detail, error);
        return false;
    };

    setBusy(true);
    QString detail;
    const QString work = WorkFileFor(target, m_file.gFileName);

    // The chosen name is the current working copy: the working copy moves out of the way
    // first, so writing the target cannot overwrite the only copy of the data.
    if (HistoryFileCopy::SameFile(target, m_file.gWorkFile)) {
        if (!switchWorkingCopy(work, &detail))
            return fail(HistoryFileCopy::SaveFailure::Failed, detail);
    }

    HistoryFileCopy::SaveFailure failure = HistoryFileCopy::SaveFailure::Failed;
    if (!HistoryFileCopy::SaveAtomically(m_store.gDatabase->nativeHandle(), target, &detail,
                                         &failure))
        return fail(failure, detail);

    // The saved file gets its own working copy. When that cannot be made the current one
    // stays in use: the data is saved and nothing is lost.
    if (!HistoryFileCopy::SameFile(work, m_file.gWorkFile)) {
        if (!switchWorkingCopy(work, &detail))
            switchWorkingCopy(fallbackPlace(work), &detail);
    }

    m_file.gFileName = target;
    m_file.gNewData = false;
    refresh();
    setBusy(false);
    return true;
}

bool HistoryFile::switchWorkingCopy(const QString &work, QString *detail)
{
    std::unique_ptr<WorkingCopy> claim = WorkingCopy::Claim(work, {m_file.gFileName});
    if (!claim || !HistoryFileCopy::BackupTo(m_store.gDatabase->nativeHandle(), claim->path(),
                                             WorkingCopy::kMark, detail, false))
        return false;
    std::unique_ptr<Database> db = m_store.gWorkspace.OpenDatabase(
        claim->path(), QString(), Database::Access::ReadWrite, detail);
    if (!db) {
        HistoryFileCopy::RemoveDatabase(claim->path());
        return false;
    }
    // The history record set keeps what it selected (a filter) and where it stands: the
    // grid finds an event by its position in it. The copy has the same row ids.
    const Recordset *history = m_store.gHistoryRecordset.get();
    const QString historySql = history ? history->sql() : QString();
    const auto historyIds =
        history ? std::make_shared<std::vector<qint64>>(*history->rowIds()) : nullptr;
    const Recordset::Bookmark historyAt =
        history && history->absolutePosition() >= 0 ? history->bookmark() : Recordset::NoBookmark;
    const bool tempOpen = m_store.gTempRecordset != nullptr;
    discardWorkingCopy();
    m_store.gDatabase = std::move(db);
    m_file.gWorkFile = claim->path();
    m_work = std::move(claim);
    // The standard record sets were dropped with the old database; they come back over
    // the new one (as new objects) so their users find them open as before.
    if (historyIds) {
        std::unique_ptr<Recordset> rs = m_store.gDatabase->openRecordset(historySql, historyIds);
        if (rs && historyAt != Recordset::NoBookmark)
            rs->setBookmark(historyAt);
        if (rs)
            m_store.gHistoryRecordset = std::move(rs);
        else
            HistorySchema::OpenTable(m_store, QString::fromLatin1(HistorySchema::HISTORY));
    }
    if (tempOpen)
        HistorySchema::OpenTable(m_store, QString::fromLatin1(HistorySchema::TEMP));
    return true;
}

bool HistoryFile::AskSaveChanges()
{
    m_file.gFileCancelled = false;
    if (!m_file.gNewData)
        return true;
    if (m_asker.message(m_texts.ResText(kSaveQuestion), QString(), Asker::Icon::None,
                        Asker::Buttons::YesNo)
        != Asker::Answer::Yes)
        return true;
    return SaveHistoryFile();
}

void HistoryFile::CloseHistoryFile()
{
    discardWorkingCopy();
    m_file.gWorkFile.clear();
    m_file.gFileName.clear();
}

QString HistoryFile::KeepWorkingCopy()
{
    const QString work = m_file.gWorkFile;
    m_store.closeDatabase();
    HistoryFileCopy::SetApplicationId(work, Database::kApplicationId);
    m_work.reset();
    m_file.gWorkFile.clear();
    m_file.gFileName.clear();
    return work;
}

} // namespace qvr
