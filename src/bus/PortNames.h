#pragma once

#include <QString>

namespace qvr {

class SettingsStore;

// Which device a port number COMn stands for. On Windows it is the port "COMn". Elsewhere
// a value `Device<n>` in section `Schnittstelle` names the device (a USB adapter, a
// pseudo-terminal), else COMn is /dev/ttyS(n-1).
class PortNames
{
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 16;

    static QString deviceForCom(int number, const SettingsStore *settings);
    // The platform's own name for COMn when no setting says otherwise.
    static QString defaultDevice(int number);
    // "COM3" (any case, blanks around it allowed) gives 3; anything else gives 0.
    static int comNumber(const QString &text);
};

} // namespace qvr
