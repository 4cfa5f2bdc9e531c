#pragma once

#include "core/TextTable.h"
#include "decode/AnswerDispatch.h"
#include "decode/DecodeContext.h"
#include "decode/ProgrammingRecord.h"
#include "decode/ReadoutState.h"
#include "store/Database.h"
#include "store/HistorySchema.h"
#include "store/Recordset.h"
#include "store/StandardTexts.h"
#include "store/StoreState.h"

#include <QTemporaryDir>
#include <QTest>

namespace qvr::test {

// Answers written by hand from the panel's fixed-column layouts (positions are 1-based).
// History entries, with start, acknowledge and stop on three different days:
//  ZL: 1 entry, 5 address, 9 start, 21 ack flag, 23 ack, 35 stop flag, 37 stop, 49 test.
inline const QString kZlEntry = QStringLiteral("001 012 050399 1230 1 060399 1231 1 070399 1300 0");
//  RQ: 1 number, 5 source, 7 address, 12 system, 15 ext, 19 int, 23 channel, 26 start,
//  38 ack flag, 40 ack, 52 stop flag, 54 stop, 66 test, 68 label, 73 low, 79 label,
//  84 high, 90 device type. PV: channel 23-25, every later field one further right.
inline const QString kRqEntry = QStringLiteral("001 1 0012 00 000 005 03 050399 1230 1 060399 "
                                               "1231 1 070399 1300 0 Temp 00012 Hum  00045 "
                                               "RQ-SENSOR ");
inline const QString kPvEntry = QStringLiteral("001 1 0012 00 000 005 003 050399 1230 1 060399 "
                                               "1231 1 070399 1300 0 Temp 00012 Hum  00045 "
                                               "PV-SENSOR ");
// Programming records F1..F27 of classes ZL and RQ, and of class PV: one blank between fields.
inline const QString kZlRecord =
    QStringLiteral("012 000 0 2 1 005 003 04 0 1 1 02 1 00 0 16 2 002 03 0 000 000 05 10 1 2 3");
inline const QString kPvRecord = QStringLiteral(
    "012 000 0 2 1 005 003 004 0 1 1 002 1 000 0 016 2 002 03 0 000 000 005 10 1 2 3");

inline QString entryOf(const QString &cls)
{
    return cls == QLatin1String("ZL") ? kZlEntry : cls == QLatin1String("RQ") ? kRqEntry : kPvEntry;
}

// `base` with texts written where "position=text;position=text" says; with byField at the
// field numbers of a record instead.
inline QString put(QString base, const QString &changes, bool byField = false)
{
    const QString original = base;
    for (const QString &change : changes.split(';', Qt::SkipEmptyParts)) {
        const int at = change.section('=', 0, 0).toInt();
        const QString text = change.section('=', 1);
        int pos = byField ? 1 : at;
        for (int f = 1; byField && f < at; ++f)
            pos = int(original.indexOf(' ', pos - 1)) + 2;
        base = base.leftJustified(pos - 1 + int(text.size())).replace(pos - 1, text.size(), text);
    }
    return base;
}

// A fresh history file in a temporary folder with TEMP open, the read-out state of panel 7
// (model 2900, language "01"), and room for a standard texts file beside it.
struct DecodeFixture
{
    explicit DecodeFixture(const QString &deviceClass)
    {
        standardTexts.setAppPath(dir.path());
        ok = HistorySchema::CreateHistoryDatabase(store, dir.filePath("t.his"), &error) &&
             HistorySchema::OpenTable(store, QStringLiteral("TEMP"), &error);
        readout.gDeviceClass = deviceClass;
        readout.gDeviceModel = QStringLiteral("2900");
        readout.gDeviceAddress = 7;
        readout.gTextLanguage = QStringLiteral("01");
        readout.gAnalogProbe = false;
    }
    struct Outcome
    {
        bool engineOk = true, rejected = false, finished = false;
    };
    Outcome answer(const QString &command, const QString &param, const QString &rx = "     ")
    {
        Outcome o;
        o.engineOk = DispatchAnswer(ctx, command, rx, param, o.rejected, o.finished);
        return o;
    }
    // A standard texts table; rows are SQL values: "1001,'line 1',NULL,''".
    bool writeStandardTexts(const QString &language, const QStringList &rows)
    {
        auto db = Database::create(standardTexts.filePath(), HistorySchema::Descriptor);
        QString sql = QStringLiteral("CREATE TABLE \"%1\" (Nummer, Zeile1, Zeile2, Zeile3);");
        for (const QString &row : rows)
            sql += "INSERT INTO \"%1\" VALUES (" + row + ");";
        return db && db->execute(sql.arg(language));
    }
    // The number of TEMP rows, then the fields of the current one.
    QVariantList temp() const
    {
        auto rs = store.gDatabase->openRecordset(QStringLiteral("Select * From TEMP"));
        QVariantList out{rs->recordCount()};
        const TableDef def = HistorySchema::eventTable(QStringLiteral("TEMP"));
        for (const FieldDef &f : def.fields())
            if (store.gTempRecordset->absolutePosition() >= 0)
                out << store.gTempRecordset->field(f.name);
        return out;
    }
    // Empty when every "name=value" of `expected` ('|' between them) holds, else what
    // differs. Names: fields of the current TEMP row ("null" for no value, date-times as
    // "yyyy-MM-dd hh:mm[:ss]"), "LumoHistory.<field>", and read-out members.
    QString mismatch(const QString &expected) const
    {
        const ReadoutState &r = readout;
        QStringList table;
        for (const AlarmAddressRow &row : r.gAlarmAddressTable)
            table << QStringList(row.begin(), row.end()).join(',');
        const QVariantMap state = {{"gHistoryCount", r.gHistoryCount},
                                   {"gErrorCount", r.gErrorCount},
                                   {"gEndReason", r.gEndReason},
                                   {"gTextLanguage", r.gTextLanguage},
                                   {"gAlarmAddressTable", table.join(';')},
                                   {"standardTextsMissing", int(r.standardTextsMissing)}};
        auto lumo = store.gDatabase->openRecordset(QStringLiteral("Select * From LumoHistory"));
        lumo->moveFirst();
        const TableDef temp = HistorySchema::eventTable(QStringLiteral("TEMP"));
        for (const QString &item : expected.split('|')) {
            const QString name = item.section('=', 0, 0);
            QVariant v = state.value(name);
            if (!item.contains('='))
                continue; // an outcome, for checkAnswerRow
            if (name.startsWith(QLatin1String("LumoHistory.")))
                v = lumo->field(name.mid(12));
            else if (temp.indexOf(name) >= 0)
                v = store.gTempRecordset->field(name);
            else if (!state.contains(name))
                return "no field " + name;
            QString got = v.isNull() ? QStringLiteral("null") : v.toString();
            if (v.metaType().id() == QMetaType::QDateTime)
                got = v.toDateTime().toString(v.toDateTime().time().second() ? "yyyy-MM-dd hh:mm:ss"
                                                                             : "yyyy-MM-dd hh:mm");
            else if (v.metaType().id() == QMetaType::Double)
                got = QString::number(v.toDouble(), 'f', 6);
            if (got != item.section('=', 1))
                return QStringLiteral("%1 is '%2'").arg(name, got);
        }
        return QString();
    }

    QTemporaryDir dir;
    StoreState store;
    ReadoutState readout;
    StandardTexts standardTexts;
    Texts texts;
    DecodeContext ctx{readout, store, standardTexts, texts, {}, {}};
    bool ok = false;
    QString error;
};

// Data rows of one answer: the command sent ("LCDRA AX=  ": with the answer's command
// field), the class, the answer (`base` with changes, see put), and what it does:
// "refused", "finished", "unchanged" (nothing stored) and the values `mismatch` checks.
struct AnswerRows
{
    explicit AnswerRows(const QString &command) : command(command)
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
    }
    // The class and base of the rows that follow, and a name for them.
    void use(const char *deviceClass, const QString &answer, const char *name = "")
    {
        cls = QString::fromLatin1(deviceClass);
        base = answer;
        label = QStringLiteral("%1 %2 ").arg(cls, name).simplified() + ' ';
    }
    void add(const QString &name, const QString &changes, const QString &expected) const
    {
        QTest::newRow(qPrintable(label + name))
            << command << cls << put(base, changes, byField) << expected;
    }
    // A bound: `at` written at `pos` stores `stored`, `past` is refused.
    void bound(const char *name, int pos, const char *at, const char *past,
               const QString &stored) const
    {
        add(QStringLiteral("%1 %2").arg(name, at), QStringLiteral("%1=%2").arg(pos).arg(at),
            stored);
        refused(qPrintable(QStringLiteral("%1=%2").arg(pos).arg(past)));
    }
    // One refused row for each change.
    void refused(const char *changes) const
    {
        for (const QString &change : QString::fromLatin1(changes).split(';'))
            add((byField ? "F" : "@") + change, change, QStringLiteral("refused"));
    }
    QString command, cls, base, label;
    bool byField = false; // positions are the field numbers of a programming record
};

// The test of one such row on a fresh file. An entry of the class (text number 12) comes
// before "LCDRP", "LCDRT" and "LCDRA", an address table of 3 rows before "RQRAA"; then
// `prepare`.
inline void checkAnswerRow(void (*prepare)(DecodeFixture &) = nullptr)
{
    QFETCH(QString, command);
    QFETCH(QString, deviceClass);
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    DecodeFixture fx(deviceClass);
    QVERIFY2(fx.ok, qPrintable(fx.error));
    if (QStringList{"LCDRP", "LCDRT", "LCDRA"}.contains(command.left(5))) {
        QVERIFY(!fx.answer(QStringLiteral("LCDRH"), entryOf(deviceClass)).rejected);
        fx.readout.gTextNumber = 12;
    } else if (command == QLatin1String("RQRAA")) {
        QVERIFY(!fx.answer(QStringLiteral("RQNA?"), QStringLiteral("3")).rejected);
    }
    if (prepare)
        prepare(fx);
    // A state the answer has to change, or keep: counters, a file of another panel.
    fx.readout.gErrorCount = 4;
    fx.readout.gEndReason = 3;
    fx.readout.gHistoryCount = 99;
    QVERIFY(fx.store.gDatabase->execute("UPDATE LumoHistory SET Meldetextsprache=9, Geraet='ZL'"));
    const auto before = fx.temp();
    if (command == QLatin1String("REUSE")) { // the search for an earlier row, after an entry
        bool found = false;
        QVERIFY(!fx.answer(QStringLiteral("LCDRH"), answer).rejected);
        QVERIFY(ReuseProgrammingRecord(fx.ctx, answer, found));
        QCOMPARE(found, expected.startsWith("reused"));
        QCOMPARE(fx.temp().first().toInt(), 2);
        const QString wrong = fx.mismatch(expected);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        return;
    }

    const auto o = fx.answer(command.left(5), answer, command.mid(6).leftJustified(5));
    QVERIFY2(o.engineOk, qPrintable(fx.ctx.engineError));
    const QStringList outcome = expected.split('|');
    QCOMPARE(o.rejected, outcome.contains("refused"));
    QCOMPARE(o.finished, outcome.contains("finished"));
    // Nothing is stored for a refused answer, so a retry cannot store it twice.
    if (o.rejected || outcome.contains("unchanged"))
        QCOMPARE(fx.temp(), before);
    else if (command == QLatin1String("LCDRH"))
        QCOMPARE(fx.temp().first().toInt(), before.first().toInt() + 1);
    // An accepted answer to a request of the history clears the counters, a refused one
    // counts as a record error; other answers leave them.
    if (!o.finished) {
        const bool clears =
            !o.rejected &&
            QStringList{"LCDH&", "LCDH?", "LCDRH", "LCDRP", "LCDRT", "LCDRA"}.contains(
                command.left(5));
        QCOMPARE(int(fx.readout.gErrorCount), clears ? 0 : 4);
        QCOMPARE(int(fx.readout.gEndReason), o.rejected ? 2 : clears ? 0 : 3);
    }
    const QString wrong = fx.mismatch(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

} // namespace qvr::test
