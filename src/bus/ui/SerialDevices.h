#pragma once

#include <QString>
#include <QStringList>

namespace qvr {

// The serial devices a Linux system has, and why one of them cannot be opened. Elsewhere
// the list is empty and no reason is known.
class SerialDevices
{
public:
    enum class Problem {
        None,       // nothing found that explains the failure
        Permission, // the user may not read and write the device
        Busy,       // another program holds the device
    };

    // /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS* and the stable names of /dev/serial/by-id,
    // each group sorted by number. `devRoot` replaces "/dev" (for tests).
    static QStringList list(const QString &devRoot = QStringLiteral("/dev"));

    // Looks at the device: missing rights, an exclusive open by another program, or a
    // live UUCP lock file ("LCK..ttyUSB0") in one of `lockDirs`.
    static Problem diagnose(const QString &device, const QStringList &lockDirs = defaultLockDirs());
    static QStringList defaultLockDirs();

    // The text id of the hint for a problem, 0 for none.
    static int hintText(Problem problem);

    static constexpr int kHintPermission = 3140;
    static constexpr int kHintBusy = 3150;
};

} // namespace qvr
