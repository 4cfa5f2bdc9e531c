#pragma once

// Shared by the view tests: a real history file in a temporary folder, filled with events
// given as field/value maps, and a stand-in for the grid the print window reads.

#include "core/TextTable.h"
#include "core/asker_helper.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/OleDate.h"
#include "store/StoreState.h"
#include "view/ViewState.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QtTest>

namespace qvr::viewtest {

using test::FakeAsker;

// A history file with the given LumoHistory values and events, open as gDatabase.
class HistoryFixture
{
public:
    QTemporaryDir dir;
    StoreState store;
    ReadoutState readout;
    ViewState view;
    Texts texts;
    FakeAsker asker;

    bool create(const QString &deviceClass = QStringLiteral("ZL"),
                const QString &textLanguage = QStringLiteral("1"))
    {
        QString error;
        if (!HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("site.tmp")),
                                                  &error)) {
            qWarning() << error;
            return false;
        }
        return store.gDatabase->execute(
            QStringLiteral("UPDATE LumoHistory SET Geraet = '%1', Meldetextsprache = %2")
                .arg(deviceClass, textLanguage));
    }

    // An event; date-time values given as QDateTime also fill their _Sort field.
    bool addEvent(const QVariantMap &fields)
    {
        auto rs = store.gDatabase->openRecordset(QStringLiteral("Select * From HISTORY"));
        if (!rs || !rs->addNew())
            return false;
        for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
            if (!rs->setField(it.key(), it.value())) {
                qWarning() << it.key() << rs->lastError();
                return false;
            }
            if (it.value().typeId() == QMetaType::QDateTime &&
                !rs->setField(it.key() + QStringLiteral("_Sort"),
                              OleDate::fromDateTime(it.value().toDateTime())))
                return false;
        }
        return rs->update();
    }

    qint64 historyCount()
    {
        auto rs = store.gDatabase->openRecordset(QStringLiteral("Select * From HISTORY"));
        return rs ? rs->recordCount() : -1;
    }
};

// A grid with the history grid's 18 columns. Row i: "Nr." i + 1, every third one a
// warning, text line 1 "Meldung-<i>" so each row can be found on paper.
struct GridModel : QAbstractTableModel
{
    QList<QStringList> rows;

    static QList<QStringList> makeRows(int count)
    {
        QList<QStringList> out;
        for (int i = 0; i < count; ++i) {
            QStringList r(18);
            r[0] = QString::number(i + 1);
            r[2] = "05.12.2026 14:03";
            r[8] = i % 3 == 0 ? "Warn" : "Alarm";
            r[12] = QString("Meldung-%1").arg(i, 5, 10, QLatin1Char('0'));
            out << r;
        }
        return out;
    }
    int rowCount(const QModelIndex &p = {}) const override
    {
        return p.isValid() ? 0 : int(rows.size());
    }
    int columnCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : 18; }
    QVariant data(const QModelIndex &i, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(rows.at(i.row()).value(i.column())) : QVariant();
    }
};

} // namespace qvr::viewtest
