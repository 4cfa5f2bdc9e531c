#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QLockFile;

namespace qvr {

// "Is another instance of the program running?" answered with a lock file. The lock names
// the process holding it, so a lock left behind by a crashed instance is recognised as
// stale and taken over instead of blocking every later start.
class SingleInstance
{
public:
    explicit SingleInstance(QString lockPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // False only when another running process holds the lock. True when this process now
    // holds it, or when no lock can be written where it belongs (see isHeld()).
    bool acquire();
    bool isHeld() const;
    QString lockPath() const { return m_path; }

    // One lock per settings store: beside an explicitly named settings file (so tests and
    // demos with their own settings do not block each other), else in the user's runtime
    // directory.
    static QString defaultLockPath(const QStringList &arguments);

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace qvr
