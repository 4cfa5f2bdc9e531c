#include "SingleInstance.h"

#include "core/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace qvr {

SingleInstance::SingleInstance(QString lockPath) : m_path(std::move(lockPath)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    if (isHeld())
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_path);
    // Age alone never makes a lock stale: a program may run for days. Only a lock whose
    // process is gone is taken over; tryLock does that itself (it checks the process id
    // and name).
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    const QLockFile::LockError error = m_lock->error();
    m_lock.reset();
    // A lock that cannot be written at all (a read-only folder) says nothing about another
    // instance: starting unguarded is better than never starting.
    return error != QLockFile::LockFailedError;
}

bool SingleInstance::isHeld() const
{
    return m_lock && m_lock->isLocked();
}

QString SingleInstance::defaultLockPath(const QStringList &arguments)
{
    const QString settings = SettingsStore::explicitSettingsFile(arguments);
    if (!settings.isEmpty())
        // Not "<file>.lock": QSettings locks that name itself while it writes, and holding
        // it for the program's life would make every settings write wait for ever.
        return QFileInfo(settings).absoluteFilePath() + QStringLiteral(".instance");
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/qvr-history.lock");
}

} // namespace qvr
