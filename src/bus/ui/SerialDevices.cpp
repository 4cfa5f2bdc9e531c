#include "bus/ui/SerialDevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace qvr {

namespace {

#ifdef Q_OS_LINUX
// "ttyUSB10" after "ttyUSB9": by the name without its trailing number, then the number.
void sortNatural(QStringList &names)
{
    auto split = [](const QString &name) {
        qsizetype i = name.size();
        while (i > 0 && name.at(i - 1).isDigit())
            --i;
        return std::make_pair(name.left(i), name.mid(i).toLongLong());
    };
    std::sort(names.begin(), names.end(),
              [&split](const QString &a, const QString &b) { return split(a) < split(b); });
}

// A lock file names the process that holds the device; a dead process leaves a stale one.
bool lockHeldByLiveProcess(const QString &lockFile)
{
    QFile f(lockFile);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = f.read(64).trimmed();
    bool ok = false;
    const long pid = content.toLong(&ok);
    if (!ok || pid <= 0)
        return true; // unreadable content: another program's convention, assume it holds it
    if (pid == long(::getpid()))
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}
#endif

} // namespace

QStringList SerialDevices::list(const QString &devRoot)
{
    QStringList out;
#ifdef Q_OS_LINUX
    const QDir dev(devRoot);
    for (const char *pattern : {"ttyUSB*", "ttyACM*", "ttyS*"}) {
        QStringList names = dev.entryList({QLatin1String(pattern)},
                                          QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        sortNatural(names);
        for (const QString &n : names)
            out << dev.filePath(n);
    }
    const QDir byId(dev.filePath(QStringLiteral("serial/by-id")));
    QStringList ids = byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    sortNatural(ids);
    for (const QString &n : ids)
        out << byId.filePath(n);
#else
    Q_UNUSED(devRoot);
#endif
    return out;
}

QStringList SerialDevices::defaultLockDirs()
{
    return {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QDir::tempPath()};
}

SerialDevices::Problem SerialDevices::diagnose(const QString &device, const QStringList &lockDirs)
{
#ifdef Q_OS_LINUX
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return Problem::None; // no such device: the message alone says it
    const QString name = QFileInfo(target).fileName();
    for (const QString &dir : lockDirs) {
        if (lockHeldByLiveProcess(QDir(dir).filePath(QStringLiteral("LCK..") + name)))
            return Problem::Busy;
    }
    const QByteArray path = QFile::encodeName(target);
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return errno == EACCES || errno == EPERM ? Problem::Permission : Problem::None;
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == EBUSY                        ? Problem::Busy
               : (errno == EACCES || errno == EPERM) ? Problem::Permission
                                                     : Problem::None;
    ::close(fd);
    return Problem::None;
#else
    Q_UNUSED(device);
    Q_UNUSED(lockDirs);
    return Problem::None;
#endif
}

int SerialDevices::hintText(Problem problem)
{
    switch (problem) {
    case Problem::Permission:
        return kHintPermission;
    case Problem::Busy:
        return kHintBusy;
    case Problem::None:
        break;
    }
    return 0;
}

} // namespace qvr
