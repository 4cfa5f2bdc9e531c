#pragma once

// Shared by the link tests: a settings store in a temporary INI file and an asker that
// records its messages.
#include "core/Asker.h"
#include "core/SettingsStore.h"

#include <QList>
#include <QTemporaryDir>
#include <memory>

namespace qvr {

class LinkTestAsker : public Asker
{
public:
    struct Message
    {
        QString text;
        Icon icon;
        Buttons buttons;
    };
    QList<Message> messages;

    Answer message(const QString &text, const QString &, Icon icon, Buttons buttons, bool) override
    {
        messages.append({text, icon, buttons});
        return Answer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return {};
    }
};

// A settings store over "settings.ini" in its own temporary folder, which also serves as
// the installation folder.
class LinkTestSettings
{
public:
    LinkTestSettings();
    QString folder() const { return m_dir.path(); }
    SettingsStore &store() { return *m_store; }
    void set(const QString &section, const QString &name, const QString &value)
    {
        m_store->WriteSetting(section, name, value);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
};

} // namespace qvr
