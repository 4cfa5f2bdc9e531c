#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <string>
#include <windows.h>
#endif

namespace qvr {

namespace {
// Settings were always read into a buffer of 256 characters: a longer value gives its
// beginning, from every backend alike.
constexpr int kMaxValueLength = 256;

QString clip(const QString &v)
{
    QString s = v;
    const qsizetype nul = s.indexOf(QChar(0));
    if (nul >= 0)
        s.truncate(nul);
    return s.left(kMaxValueLength);
}

bool readIni(const QString &path, const QString &section, const QString &name, QString *value)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    QSettings ini(path, QSettings::IniFormat);
    const QString key = section + QLatin1Char('/') + name;
    if (!ini.contains(key))
        return false;
    const QVariant v = ini.value(key);
    // A value written as "a,b" comes back as a list; settings are plain text.
    *value = v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                  : v.toString();
    return true;
}
} // namespace

IniSettingsBackend::IniSettingsBackend(QString path, QString fallbackPath)
    : m_path(std::move(path)), m_fallback(std::move(fallbackPath))
{
}

bool IniSettingsBackend::read(const QString &section, const QString &name, QString *value) const
{
    return readIni(m_path, section, name, value) || readIni(m_fallback, section, name, value);
}

void IniSettingsBackend::write(const QString &section, const QString &name, const QString &value)
{
    const QFileInfo info(m_path);
    QDir().mkpath(info.absolutePath());
    QSettings ini(m_path, QSettings::IniFormat);
    ini.setValue(section + QLatin1Char('/') + name, value);
    ini.sync();
}

#ifdef Q_OS_WIN
namespace {
// A string value read whole, whatever its length, as the INI file gives it; the store
// then applies the same limit to both.
bool readRegistry(HKEY root, const std::wstring &key, const std::wstring &name, QString *value)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        if (RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return false;
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        const LONG rc = RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                                     buffer.data(), &size);
        if (rc == ERROR_MORE_DATA)
            continue; // it grew in between
        if (rc != ERROR_SUCCESS)
            return false;
        *value = QString::fromWCharArray(buffer.c_str());
        return true;
    }
    return false;
}
} // namespace

RegistrySettingsBackend::RegistrySettingsBackend(QString key) : m_key(std::move(key)) {}

bool RegistrySettingsBackend::read(const QString &section, const QString &name,
                                   QString *value) const
{
    const std::wstring key = (m_key + QLatin1Char('\\') + section).toStdWString();
    const std::wstring valueName = name.toStdWString();
    return readRegistry(HKEY_CURRENT_USER, key, valueName, value) ||
           readRegistry(HKEY_LOCAL_MACHINE, key, valueName, value);
}

void RegistrySettingsBackend::write(const QString &section, const QString &name,
                                    const QString &value)
{
    const std::wstring key = (m_key + QLatin1Char('\\') + section).toStdWString();
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring data = value.toStdWString();
    RegSetValueExW(h, name.toStdWString().c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE *>(data.c_str()),
                   DWORD((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}
#endif

SettingsStore::SettingsStore(std::unique_ptr<SettingsBackend> backend)
    : m_backend(std::move(backend))
{
}

QString SettingsStore::explicitSettingsFile(const QStringList &arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--settings") && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (a.startsWith(QLatin1String("--settings=")))
            return a.mid(11);
    }
    return qEnvironmentVariable("QVR_HISTORY_SETTINGS");
}

std::unique_ptr<SettingsStore> SettingsStore::forProgram(const QStringList &arguments)
{
    const QString file = explicitSettingsFile(arguments);
    if (!file.isEmpty())
        return std::make_unique<SettingsStore>(std::make_unique<IniSettingsBackend>(file));
#ifdef Q_OS_WIN
    return std::make_unique<SettingsStore>(std::make_unique<RegistrySettingsBackend>());
#else
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                         + QStringLiteral("/QVR-History/qvr-history.ini");
    return std::make_unique<SettingsStore>(std::make_unique<IniSettingsBackend>(
        user, QStringLiteral("/etc/qvr-history/qvr-history.ini")));
#endif
}

QString SettingsStore::ReadSetting(const QString &section, const QString &name,
                                   const QString &def) const
{
    QString value;
    if (!m_backend->read(section.trimmed(), name.trimmed(), &value))
        return def.trimmed();
    return clip(value);
}

void SettingsStore::WriteSetting(const QString &section, const QString &name, const QString &value)
{
    m_backend->write(section.trimmed(), name.trimmed(), value.trimmed());
}

long long LeadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long n = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i) {
        if (n > (1LL << 40))
            break; // far beyond any setting; stop before overflowing
        n = n * 10 + (text.at(i).unicode() - '0');
    }
    return negative ? -n : n;
}

} // namespace qvr
