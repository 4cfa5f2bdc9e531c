#pragma once

// Stand-ins for the print window's surroundings: a grid model with the history grid's 18
// columns and an asker that records every question and answers file dialogs from a script.

#include "core/Asker.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace qvr::printtest {

class GridModel : public QAbstractTableModel
{
public:
    QList<QStringList> rows;

    // `count` event rows; row i has "Nr." i + 1, alternating types and a marker text
    // line "Meldung-<i>" so a printout can be searched for each row.
    static QList<QStringList> makeRows(int count)
    {
        QList<QStringList> out;
        out.reserve(count);
        for (int i = 0; i < count; ++i) {
            QStringList r;
            for (int c = 0; c < 18; ++c)
                r << QString();
            r[0] = QString::number(i + 1);
            r[1] = QStringLiteral("7");
            r[2] = QStringLiteral("05.12.2026 14:03");
            r[3] = QStringLiteral("46361.585");
            r[8] = (i % 3 == 0) ? QStringLiteral("Warn") : QStringLiteral("Alarm");
            r[9] = QStringLiteral("nein");
            r[10] = QStringLiteral("001 / 002 / 003");
            r[12] = QStringLiteral("Meldung-%1").arg(i, 5, 10, QLatin1Char('0'));
            r[17] = QStringLiteral("ZL");
            out << r;
        }
        return out;
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(rows.size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 18;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return rows.at(index.row()).value(index.column());
    }
};

class RecordingAsker : public Asker
{
public:
    struct Message
    {
        QString text;
        QString title;
        Icon icon;
        bool systemModal;
    };
    QList<Message> messages;
    QString saveAnswer; // the file name the "user" picks; empty cancels
    int saveQuestions = 0;

    Answer message(const QString &text, const QString &title, Icon icon, Buttons,
                   bool systemModal) override
    {
        messages.append({text, title, icon, systemModal});
        return Answer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString saveFileName(const QString &, const QString &, const QString &,
                         const QString &) override
    {
        ++saveQuestions;
        return saveAnswer;
    }
};

} // namespace qvr::printtest
