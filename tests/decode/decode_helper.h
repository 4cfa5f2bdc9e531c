#pragma once

#include "core/TextTable.h"
#include "decode/DecodeContext.h"
#include "decode/ReadoutState.h"
#include "store/StandardTexts.h"
#include "store/StoreState.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

namespace qvr {

// A fresh history file in a temporary folder with TEMP open, the read-out state of one
// panel, and an optional standard texts file beside it: everything a decoder needs.
class DecodeFixture
{
public:
    explicit DecodeFixture(const QString &deviceClass,
                           const QString &model = QStringLiteral("2900"));

    bool ready() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // Writes a standard texts file with one table per language: rows "number|l1|l2|l3"
    // (an empty line is stored as NULL when written as "~").
    bool writeStandardTexts(const QString &language, const QStringList &rows);

    struct Outcome
    {
        bool engineOk = true;
        bool rejected = false;
        bool finished = false;
    };
    // One answer to the command sent last, as the read-out hands it over.
    Outcome answer(const QString &lastCommand, const QString &rxParam,
                   const QString &rxCommand = QStringLiteral("     "));

    int tempRows() const;
    // A field of the current TEMP row.
    QVariant current(const char *field) const;
    // A field of the LumoHistory row.
    QVariant lumo(const char *field) const;

    // Characters of `base` from the 1-based position replaced by `value`.
    static QString with(QString base, int position, const QString &value);

    QTemporaryDir dir;
    StoreState store;
    ReadoutState readout;
    StandardTexts standardTexts;
    Texts texts;
    DecodeContext ctx;

private:
    QString m_error;
};

} // namespace qvr
