#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace qvr {

// Where settings live. Values are always text; a missing value is "nothing read".
class SettingsBackend
{
public:
    virtual ~SettingsBackend() = default;
    // True and the value when the value exists (it may be empty); false when it does not.
    virtual bool read(const QString &section, const QString &name, QString *value) const = 0;
    // Failures are silent: the next read gives the old value or the default.
    virtual void write(const QString &section, const QString &name, const QString &value) = 0;
};

// An INI file with one group per settings section and the value names as keys. Reads fall
// back to an optional second file (the installation's presets); writes go to the first only.
class IniSettingsBackend : public SettingsBackend
{
public:
    explicit IniSettingsBackend(QString path, QString fallbackPath = QString());
    bool read(const QString &section, const QString &name, QString *value) const override;
    void write(const QString &section, const QString &name, const QString &value) override;
    QString path() const { return m_path; }

private:
    QString m_path;
    QString m_fallback;
};

#ifdef Q_OS_WIN
// String values under <key>\<section> in the registry: the user's own under
// HKEY_CURRENT_USER, read first and the only ones written (a normal user may not write
// machine-wide values), then an installation's presets under HKEY_LOCAL_MACHINE.
class RegistrySettingsBackend : public SettingsBackend
{
public:
    explicit RegistrySettingsBackend(QString key = QStringLiteral("SOFTWARE\\QVR-History"));
    bool read(const QString &section, const QString &name, QString *value) const override;
    void write(const QString &section, const QString &name, const QString &value) override;

private:
    QString m_key;
};
#endif

// `ReadSetting` and `WriteSetting` of the program. Section and value names are trimmed;
// the default is returned (trimmed) only when nothing was read, so a value that exists
// but is empty reads as the empty text.
class SettingsStore
{
public:
    explicit SettingsStore(std::unique_ptr<SettingsBackend> backend);

    // The store the program uses: `--settings FILE` among the arguments, else the
    // variable QVR_HISTORY_SETTINGS, else the platform's default (the registry on
    // Windows; the user's INI file with the system-wide one as fallback elsewhere).
    static std::unique_ptr<SettingsStore> forProgram(const QStringList &arguments);
    // The explicit settings file named by the arguments or the environment, or empty.
    static QString explicitSettingsFile(const QStringList &arguments);

    QString ReadSetting(const QString &section, const QString &name, const QString &def) const;
    void WriteSetting(const QString &section, const QString &name, const QString &value);

    SettingsBackend &backend() { return *m_backend; }

private:
    std::unique_ptr<SettingsBackend> m_backend;
};

// The leading-number rule used for numeric settings and panel fields: optional blanks and
// sign, then the digits up to the first non-digit; "2" gives 2, "" gives 0, "12ab" gives 12.
long long LeadingNumber(const QString &text);

} // namespace qvr
