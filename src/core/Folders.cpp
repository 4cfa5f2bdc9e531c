#include "core/Folders.h"

#include "core/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#ifndef QVR_DATA_FROM_BIN
#define QVR_DATA_FROM_BIN "../share/qvr-history"
#endif

namespace qvr {

QString InstalledDataFolder()
{
    if (!QCoreApplication::instance())
        return {};
    const QFileInfo data(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(QVR_DATA_FROM_BIN)));
    return data.isDir() ? data.canonicalFilePath() : QString();
}

QString InstallationFolder(const SettingsStore &settings)
{
    QString fallback = InstalledDataFolder();
    if (fallback.isEmpty() && QCoreApplication::instance())
        fallback = QCoreApplication::applicationDirPath();
    return settings.ReadSetting(QStringLiteral("Installation"), QStringLiteral("CurDir"), fallback);
}

QString UserFilesFolder(const QString &installationFolder)
{
    const QFileInfo dir(installationFolder);
    const QString installed = InstalledDataFolder();
    // Permission bits say little (the super-user, ACLs, read-only mounts): try a file.
    QTemporaryFile probe(QDir(installationFolder).filePath(QStringLiteral("probe-XXXXXX")));
    if (dir.isDir() && (installed.isEmpty() || dir.canonicalFilePath() != installed) &&
        probe.open())
        return installationFolder;
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                        QStringLiteral("/QVR-History");
    QDir().mkpath(own);
    return own;
}

} // namespace qvr
