#include "store/StandardTextsBuilder.h"

#include "store/Database.h"
#include "store/Recordset.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>

namespace qvr {

namespace {

bool report(const QString &message, QString *error)
{
    if (error)
        *error = message;
    return false;
}

struct Entry
{
    qint64 number = 0;
    QStringList lines;
};

bool validCode(const QString &code)
{
    if (code.isEmpty() || code.size() > 16)
        return false;
    for (const QChar c : code) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')) || c.unicode() > 127)
            return false;
    }
    return true;
}

} // namespace

bool StandardTextsBuilder::build(const QString &source, const QString &targetPath, QString *error)
{
    QMap<QString, QList<Entry>> tables;
    const QStringList rows = source.split(QLatin1Char('\n'));
    for (int i = 0; i < rows.size(); ++i) {
        QString row = rows.at(i);
        if (row.endsWith(QLatin1Char('\r')))
            row.chop(1);
        if (row.trimmed().isEmpty() || row.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cols = row.split(QLatin1Char('\t'));
        const QString code = cols.value(0).trimmed();
        bool ok = false;
        const qint64 number = cols.value(1).trimmed().toLongLong(&ok);
        if (!validCode(code) || !ok || cols.size() > 5)
            return report(QStringLiteral("line %1: expected \"code<TAB>number<TAB>line 1<TAB>line 2<TAB>line 3\"")
                              .arg(i + 1), error);
        Entry e;
        e.number = number;
        for (int k = 2; k < 5; ++k)
            e.lines << cols.value(k);
        tables[code].append(e);
    }
    if (tables.isEmpty())
        return report(QStringLiteral("the source holds no texts"), error);

    // Written beside the target and renamed over it, so a failed build leaves no half file.
    const QString part = targetPath + QStringLiteral(".part");
    QFile::remove(part);
    QString why;
    {
        std::unique_ptr<Database> db = Database::create(part, QStringLiteral(";LANGID=0x0409;CP=1252;COUNTRY=0"), &why);
        if (!db)
            return report(why, error);
        if (!db->beginTransaction(&why))
            return report(why, error);
        for (auto it = tables.cbegin(); it != tables.cend(); ++it) {
            TableDef def(it.key());
            def.appendField(FieldDef(QStringLiteral("Nummer"), FieldType::Long));
            for (int k = 1; k <= 3; ++k) {
                FieldDef line(QStringLiteral("Zeile%1").arg(k), FieldType::Text, 255);
                line.allowZeroLength = true;
                def.appendField(line);
            }
            if (!db->appendTable(def, &why)) {
                db->close();
                QFile::remove(part);
                return report(why, error);
            }
            std::unique_ptr<Recordset> rs = db->openRecordset(QStringLiteral("Select * From ") + it.key(), &why);
            for (const Entry &e : it.value()) {
                bool ok = rs && rs->addNew() && rs->setField(0, e.number);
                for (int k = 0; ok && k < 3; ++k)
                    ok = rs->setField(k + 1, e.lines.at(k));
                if (!ok || !rs->update()) {
                    why = rs ? QStringLiteral("text %1: %2").arg(e.number).arg(rs->lastError()) : why;
                    db->close();
                    QFile::remove(part);
                    return report(why, error);
                }
            }
        }
        if (!db->commit(&why)) {
            db->close();
            QFile::remove(part);
            return report(why, error);
        }
        db->close();
    }
    QFile::remove(targetPath);
    if (!QFile::rename(part, targetPath)) {
        QFile::remove(part);
        return report(QStringLiteral("cannot write %1").arg(targetPath), error);
    }
    return true;
}

bool StandardTextsBuilder::buildFromFile(const QString &sourcePath, const QString &targetPath, QString *error)
{
    QFile f(sourcePath);
    if (!f.open(QIODevice::ReadOnly))
        return report(QStringLiteral("cannot read %1").arg(sourcePath), error);
    return build(QString::fromUtf8(f.readAll()), targetPath, error);
}

} // namespace qvr
