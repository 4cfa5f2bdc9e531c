#include "store/WorkingCopy.h"

#include "store/HistoryFileCopy.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>

#include <algorithm>

namespace qvr {

namespace {

// Enough numbered names for every program a technician could run at once.
constexpr int kMaxNames = 50;

// How long a living program may take to write its name into a lock file it has created.
constexpr unsigned long kNamingMs = 100;

// QLockFile judges a lock by the program named in it. A program killed between creating
// its lock file and writing its name leaves a file that names nobody, and no look at a
// process ever frees that: its working copy or its half-written save would block the
// name for good. A living program names itself at once and keeps its lock file locked
// (Windows: open), so removeStaleLockFile() fails for it.
bool takeOverNamelessLock(QLockFile &lock)
{
    if (lock.getLockInfo(nullptr, nullptr, nullptr))
        return false;
    QThread::msleep(kNamingMs);
    return !lock.getLockInfo(nullptr, nullptr, nullptr) &&
           (lock.removeStaleLockFile() || !QFileInfo::exists(lock.fileName())) && lock.tryLock(0);
}

} // namespace

WorkingCopy::WorkingCopy(const QString &path) : m_path(path), m_lock(path + QStringLiteral(".lock"))
{
    // Age alone never makes a lock stale: a working copy may be open for days. Only a
    // lock whose program is gone is taken over (QLockFile checks the process).
    m_lock.setStaleLockTime(0);
}

bool WorkingCopy::IsMarked(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The database header: its magic text, and the application id at offset 68.
    const QByteArray header = file.read(72);
    return header.size() == 72 && header.startsWith(QByteArrayLiteral("SQLite format 3\0")) &&
           qFromBigEndian<qint32>(header.constData() + 68) == kMark;
}

std::unique_ptr<WorkingCopy> WorkingCopy::Claim(const QString &first, const QStringList &avoid)
{
    for (int n = 1; n <= kMaxNames; ++n) {
        const QString name = n == 1 ? first : first + QStringLiteral(".%1").arg(n);
        if (std::any_of(avoid.begin(), avoid.end(),
                        [&](const QString &a) { return HistoryFileCopy::SameFile(name, a); }))
            continue;
        std::unique_ptr<WorkingCopy> claim(new WorkingCopy(name));
        // A lock file that is there before this program takes it was left by a program
        // that died holding the name: what lies under the name is that program's.
        const bool leftByCrash = QFileInfo::exists(claim->m_lock.fileName());
        if (!claim->m_lock.tryLock(0)) {
            if (claim->m_lock.error() != QLockFile::LockFailedError)
                return nullptr;
            if (!takeOverNamelessLock(claim->m_lock))
                continue; // a live program holds it
        }
        const QFileInfo file(name);
        // An empty file holds nothing to lose: what a program killed while creating its
        // copy leaves there before the first byte is written.
        if (file.isSymLink() || (file.size() > 0 && !leftByCrash && !IsMarked(name)))
            continue; // the user's: never touched
        if (!HistoryFileCopy::RemoveDatabase(name))
            continue;
        return claim;
    }
    return nullptr;
}

} // namespace qvr
