#include "shell_helper.h"

#include "core/SettingsStore.h"
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StoreState.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTest>

namespace qvr::test {

ModalHandler::ModalHandler(std::function<void(QWidget *)> handler) : m_handler(std::move(handler))
{
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || m_handled)
            return;
        m_handled = true;
        m_title = modal->windowTitle();
        m_timer.stop();
        m_handler(modal);
    });
    m_timer.start();
}

ShellFixture::ShellFixture(const QString &ini)
{
    QFile f(path(QStringLiteral("settings.ini")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the settings file");
    f.write(("[Installation]\nCurDir=" + m_dir.path() + "\n" + ini).toUtf8());
}

QString ShellFixture::readSetting(const QString &section, const QString &name) const
{
    QSettings ini(path(QStringLiteral("settings.ini")), QSettings::IniFormat);
    return ini.value(section + QLatin1Char('/') + name, QStringLiteral("<absent>")).toString();
}

QString ShellFixture::makeHistoryFile(const QString &name) const
{
    StoreState store;
    QString error;
    if (!HistorySchema::CreateHistoryDatabase(store, path(name), &error))
        qFatal("cannot create a history file: %s", qPrintable(error));
    store.closeDatabase();
    return path(name);
}

int ShellFixture::historyRows(const QString &file)
{
    auto db = Database::open(file, QString(), Database::Access::ReadOnly);
    if (!db)
        return -1;
    auto rs = db->openRecordset(QStringLiteral("Select * From HISTORY"));
    return rs ? rs->recordCount() : -1;
}

QByteArray ShellFixture::contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

frm_Hauptfenster &ShellFixture::window()
{
    if (!m_window) {
        auto asker = std::make_unique<FakeAsker>();
        m_asker = asker.get();
        m_window = std::make_unique<frm_Hauptfenster>(
            std::make_unique<SettingsStore>(
                std::make_unique<IniSettingsBackend>(path(QStringLiteral("settings.ini")))),
            std::move(asker));
    }
    return *m_window;
}

bool ShellFixture::start(const QStringList &arguments)
{
    return window().startUp(QStringList{QStringLiteral("qvr-history")} + arguments, lockPath());
}

bool ShellFixture::showActive()
{
    window().show();
    window().activateWindow();
    return QTest::qWaitForWindowActive(&window());
}

void ShellFixture::destroyWindow()
{
    m_window.reset();
    m_asker = nullptr;
}

} // namespace qvr::test
