#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qvr {

namespace {
// The registry reads into a buffer of 256 characters; keep the same limit everywhere so
// the program behaves alike on every platform.
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
bool RegistrySettingsBackend::read(const QString &section, const QString &name,
                                   QString *value) const
{
    const QByteArray key = ("SOFTWARE\\QVR-History\\" + section).toLocal8Bit();
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.constData(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return false;
    char buf[kMaxValueLength];
    DWORD size = sizeof buf;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(h, name.toLocal8Bit().constData(), nullptr, &type,
                                     reinterpret_cast<BYTE *>(buf), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS)
        return false;
    *value = QString::fromLocal8Bit(buf, int(size));
    return true;
}

void RegistrySettingsBackend::write(const QString &section, const QString &name,
                                    const QString &value)
{
    const QByteArray key = ("SOFTWARE\\QVR-History\\" + section).toLocal8Bit();
    HKEY h = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, key.constData(), &h) != ERROR_SUCCESS)
        return;
    const QByteArray data = value.toLocal8Bit() + '\0';
    RegSetValueExA(h, name.toLocal8Bit().constData(), 0, REG_SZ,
                   reinterpret_cast<const BYTE *>(data.constData()), DWORD(data.size()));
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
