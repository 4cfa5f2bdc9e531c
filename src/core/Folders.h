#pragma once

#include <QString>

namespace qvr {

class SettingsStore;

// The installation folder `gAppPath`: the setting `CurDir` of section `Installation`. When
// it is absent, the data folder of the installed layout (share/qvr-history beside the
// program's bin folder), or the program's own folder where there is none (a build tree, a
// program copied on its own), so a fresh or copied program finds its standard texts.
QString InstallationFolder(const SettingsStore &settings);

// The data folder of the installed layout, or empty when the program is not installed.
QString InstalledDataFolder();

// Where the program puts the files it makes itself (the bus log, a new file's working
// copy): the installation folder while the user can write there, else the user's own data
// folder (QVR-History under the XDG data home, created on demand). An installed program's
// data folder is never written, not even by the super-user.
QString UserFilesFolder(const QString &installationFolder);

} // namespace qvr
