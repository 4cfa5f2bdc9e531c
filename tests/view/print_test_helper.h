#pragma once

// Stand-ins for the print window's surroundings: a grid with the history grid's 18 columns
// and an asker that records messages and answers the file dialog from a script.

#include "core/Asker.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace qvr::printtest {

struct GridModel : QAbstractTableModel
{
    QList<QStringList> rows;

    // Row i: "Nr." i + 1, every third one a warning, text line 1 "Meldung-<i>" so each row
    // can be found on paper.
    static QList<QStringList> makeRows(int count)
    {
        QList<QStringList> out;
        for (int i = 0; i < count; ++i) {
            QStringList r(18);
            r[0] = QString::number(i + 1);
            r[1] = "7";
            r[2] = "05.12.2026 14:03";
            r[3] = "46361.585";
            r[8] = i % 3 == 0 ? "Warn" : "Alarm";
            r[9] = "nein";
            r[10] = "001 / 002 / 003";
            r[12] = QString("Meldung-%1").arg(i, 5, 10, QLatin1Char('0'));
            r[17] = "ZL";
            out << r;
        }
        return out;
    }
    int rowCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : int(rows.size()); }
    int columnCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : 18; }
    QVariant data(const QModelIndex &i, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(rows.at(i.row()).value(i.column())) : QVariant();
    }
};

struct RecordingAsker : Asker
{
    struct Message
    {
        QString text, title;
        Icon icon;
        bool systemModal;
    };
    QList<Message> messages;
    QString saveAnswer; // the file the "user" names; empty cancels
    int saveQuestions = 0;

    Answer message(const QString &text, const QString &title, Icon icon, Buttons,
                   bool systemModal) override
    {
        messages.append({text, title, icon, systemModal});
        return Answer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &, const QString &) override
    {
        ++saveQuestions;
        return saveAnswer;
    }
};

} // namespace qvr::printtest
