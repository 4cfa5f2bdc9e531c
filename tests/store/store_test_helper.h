#pragma once

// Shared by the store tests: a fresh history file in a temporary folder and short ways to
// put event rows into TEMP or HISTORY.

#include "store/HistorySchema.h"
#include "store/OleDate.h"
#include "store/StoreState.h"

#include <QDateTime>
#include <QMap>
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

    bool create(const QString &name = QStringLiteral("test.tmp"))
    {
        path = dir.filePath(name);
        QString error;
        if (!HistorySchema::CreateHistoryDatabase(store, path, &error)) {
            qWarning("CreateHistoryDatabase: %s", qPrintable(error));
            return false;
        }
        return true;
    }

    // Adds a row to `table` with the given fields set, through a record set of its own.
    bool addRow(const QString &table, const Values &values)
    {
        QString error;
        std::unique_ptr<Recordset> rs = store.gDatabase->openRecordset(QStringLiteral("Select * From ") + table, &error);
        if (!rs || !rs->addNew())
            return false;
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            if (!rs->setField(it.key(), it.value()))
                return false;
        }
        if (!rs->update()) {
            qWarning("addRow: %s", qPrintable(rs->lastError()));
            return false;
        }
        return true;
    }

    // An event as a read-out writes it: key, start time with its three companions.
    static Values event(int tableau, int parameter, const QDateTime &start, const Values &more = {})
    {
        Values v{{QStringLiteral("TableauAdresse"), tableau},
                 {QStringLiteral("ParameterNummer"), parameter},
                 {QStringLiteral("Start_Datum"), start},
                 {QStringLiteral("Start_Datum_Sort"), OleDate::fromDateTime(start)},
                 {QStringLiteral("Start_Datum_Filter"), start.date()},
                 {QStringLiteral("Start_Uhrzeit_Filter"), start.time()}};
        for (auto it = more.cbegin(); it != more.cend(); ++it)
            v.insert(it.key(), it.value());
        return v;
    }

    // All rows of a table in the standard order of HISTORY, each as field -> value.
    QList<Values> rows(const QString &table, const QString &order = QStringLiteral("TableauAdresse, Start_Datum, Stop_Datum"))
    {
        QList<Values> out;
        QString error;
        std::unique_ptr<Recordset> rs = store.gDatabase->openRecordset(
            QStringLiteral("Select * From ") + table + QStringLiteral(" order by ") + order, &error);
        if (!rs)
            return out;
        for (; !rs->eof(); rs->moveNext()) {
            Values v;
            for (int i = 0; i < rs->fieldCount(); ++i)
                v.insert(rs->fieldName(i), rs->field(i));
            out << v;
        }
        return out;
    }
};

} // namespace qvr::storetest
