#pragma once

// The history-file fixtures of the tests: a new history file in a temporary folder with
// short ways to put events into it, everything the file operations need, and readers of
// history files that do not go through the code under test.

#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "core/asker_helper.h"
#include "store/FileState.h"
#include "store/HistoryFile.h"
#include "store/HistoryFileDisplay.h"
#include "store/HistorySchema.h"
#include "store/OleDate.h"
#include "store/StoreState.h"

#include <QDateTime>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <memory>

namespace qvr::storetest {

using Values = QMap<QString, QVariant>;

inline QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

// A new history file, open as gDatabase of `store`.
struct HistoryFileFixture
{
    QTemporaryDir dir;
    StoreState store;
    QString path;

    bool create(const QString &name = QStringLiteral("test.tmp"));
    bool addRow(const QString &table, const Values &values);
    // An event as a read-out writes it: key, start time with its three companions.
    static Values event(int tableau, int parameter, const QDateTime &start,
                        const Values &more = {});
    // All rows of a table in the standard order of HISTORY, each as field -> value.
    QList<Values>
    rows(const QString &table,
         const QString &order = QStringLiteral("TableauAdresse, Start_Datum, Stop_Datum"));
};

// Settings kept in memory, with the installation folder the tests choose.
class MemorySettings : public SettingsBackend
{
public:
    QMap<QString, QString> values;
    bool read(const QString &section, const QString &name, QString *value) const override;
    void write(const QString &section, const QString &name, const QString &value) override;
};

// Everything a HistoryFile needs, owned together.
struct FileFixture
{
    explicit FileFixture(const QString &installDir);
    FileState file;
    StoreState store;
    SettingsStore settings;
    Texts texts;
    test::FakeAsker asker;
    HistoryFile ops{file, store, settings, texts, asker};
    // The texts of the message boxes shown.
    QStringList messages() const;
};

// Adds a row to `table` with the given fields set, through a record set of its own.
bool addRow(StoreState &store, const QString &table, const Values &values);
// A history file made with the schema code, holding `rows` events of panel `panel`.
bool makeHistoryFile(const QString &path, int rows, int panel = 3);
// Events in HISTORY of the file at `path` (`where` appended), -1 when it cannot be read.
int rowCount(const QString &path, const QString &where = QString());
// Adds an event to the open working copy, as a read-out would.
bool addEvent(FileFixture &f, int panel);
// The names in a folder, hidden ones too.
QStringList entries(const QString &dir);
QByteArray fileHash(const QString &path);
// Runs one statement on a file with a connection of its own and returns the first column
// of every row as text; a failure comes back as the single entry "error: ...".
QStringList query(const QString &path, const QString &sql, bool readOnly = true);
bool execOn(const QString &path, const QString &sql);

} // namespace qvr::storetest
