#pragma once

// Shared by the grid and filter tests: a real history file in a temporary folder, filled
// with events given as field/value maps, and an asker that records every message box.

#include "core/Asker.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/OleDate.h"
#include "store/StoreState.h"
#include "view/ViewState.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QtTest>

namespace qvr::gridtest {

struct RecordedMessage
{
    QString text;
    QString title;
    Asker::Icon icon;
    bool systemModal;
};

class RecordingAsker : public Asker
{
public:
    QList<RecordedMessage> messages;

    Answer message(const QString &text, const QString &title, Icon icon, Buttons,
                   bool systemModal) override
    {
        messages.append({text, title, icon, systemModal});
        return Answer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        return {};
    }
};

// A history file with the given LumoHistory values and events, open as gDatabase.
class HistoryFixture
{
public:
    QTemporaryDir dir;
    StoreState store;
    ReadoutState readout;
    ViewState view;
    Texts texts;
    RecordingAsker asker;

    bool create(const QString &deviceClass = QStringLiteral("ZL"),
                const QString &textLanguage = QStringLiteral("1"))
    {
        QString error;
        if (!HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("site.tmp")),
                                                  &error)) {
            qWarning() << error;
            return false;
        }
        auto lumo = store.gDatabase->openRecordset(QStringLiteral("Select * From LumoHistory"));
        return lumo && lumo->moveFirst() && lumo->edit()
               && lumo->setField(QStringLiteral("Geraet"), deviceClass)
               && lumo->setField(QStringLiteral("Meldetextsprache"), textLanguage.toInt())
               && lumo->update();
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
            if (it.value().typeId() == QMetaType::QDateTime
                && !rs->setField(it.key() + QStringLiteral("_Sort"), OleDate::fromDateTime(it.value().toDateTime())))
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

} // namespace qvr::gridtest
