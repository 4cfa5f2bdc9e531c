#pragma once

// Shared by the history file tests: a scripted asker, the objects the file operations
// need, and small readers of history files that do not go through the code under test.

#include "core/Asker.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "store/FileState.h"
#include "store/HistoryFile.h"
#include "store/HistoryFileDisplay.h"
#include "store/StoreState.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QMap>
#include <QStringList>

#include <sqlite3.h>

#include <memory>

namespace qvr::testing {

// Answers dialogs from queues and records what was shown.
class ScriptedAsker : public Asker
{
public:
    QStringList openAnswers;
    QStringList saveAnswers;
    QList<Answer> messageAnswers;
    QStringList messages;
    QStringList dialogTitles;
    QStringList dialogDirs;

    Answer message(const QString &text, const QString &, Icon, Buttons buttons, bool) override
    {
        messages << text;
        if (!messageAnswers.isEmpty())
            return messageAnswers.takeFirst();
        return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    }
    QString openFileName(const QString &title, const QString &dir, const QString &filter) override
    {
        dialogTitles << title << filter;
        dialogDirs << dir;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFileName(const QString &title, const QString &dir, const QString &filter,
                         const QString &) override
    {
        dialogTitles << title << filter;
        dialogDirs << dir;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
};

class RecordingDisplay : public HistoryFileDisplay
{
public:
    int refreshes = 0;
    void RefreshFileDisplay() override { ++refreshes; }
};

// Settings kept in memory, with the installation directory the tests choose.
class MemorySettings : public SettingsBackend
{
public:
    QMap<QString, QString> values;
    bool read(const QString &section, const QString &name, QString *value) const override
    {
        const auto it = values.find(section + QLatin1Char('/') + name);
        if (it == values.end())
            return false;
        *value = *it;
        return true;
    }
    void write(const QString &section, const QString &name, const QString &value) override
    {
        values.insert(section + QLatin1Char('/') + name, value);
    }
};

// Everything a HistoryFile needs, owned together.
struct FileFixture
{
    explicit FileFixture(const QString &installDir)
        : settings(std::make_unique<MemorySettings>())
    {
        settings.WriteSetting(QStringLiteral("Installation"), QStringLiteral("CurDir"), installDir);
        texts.gLanguageOffset = 1;
    }
    FileState file;
    StoreState store;
    SettingsStore settings;
    Texts texts;
    ScriptedAsker asker;
    RecordingDisplay display;
    HistoryFile ops{file, store, settings, texts, asker, &display};
};

inline QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result();
}

// Runs one statement on a file with a connection of its own and returns the first column
// of every row as text; a failure comes back as the single entry "error: ...".
inline QStringList query(const QString &path, const QString &sql, bool readOnly = true)
{
    QStringList out;
    sqlite3 *db = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return out;
    }
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
            out << (t ? QString::fromUtf8(t) : QStringLiteral("<null>"));
        }
        if (rc != SQLITE_DONE)
            out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

inline bool execOn(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(path.toUtf8().constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK
              && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace qvr::testing
