#include "link_helper.h"

namespace qvr {

LinkTestSettings::LinkTestSettings()
    : m_store(std::make_unique<SettingsStore>(
          std::make_unique<IniSettingsBackend>(m_dir.filePath(QStringLiteral("settings.ini")))))
{
}

} // namespace qvr
