#include "store/StandardTexts.h"

#include <QDir>

namespace qvr {

namespace {
bool report(const QString &message, QString *error)
{
    if (error)
        *error = message;
    return false;
}
} // namespace

QString StandardTexts::filePath() const
{
    return QDir(m_appPath).filePath(QString::fromLatin1(FileName));
}

void StandardTexts::close()
{
    gStandardTextRecordset.reset();
    if (gStandardTextDatabase)
        gStandardTextDatabase->close();
    gStandardTextDatabase.reset();
}

bool StandardTexts::OpenStandardTexts(const QString &languageCode, QString *error)
{
    close();
    QString why;
    // Nothing is ever written to the standard texts, so the file is opened read-only: an
    // installation folder the user cannot write to is no obstacle.
    gStandardTextDatabase = Database::open(filePath(), QStringLiteral("pwd="), Database::Access::ReadOnly, &why);
    if (!gStandardTextDatabase)
        return report(QStringLiteral("standard texts: %1").arg(why), error);
    if (languageCode.trimmed().isEmpty() || !gStandardTextDatabase->hasTable(languageCode)) {
        close();
        return report(QStringLiteral("standard texts: no table for the language \"%1\"").arg(languageCode), error);
    }
    gStandardTextRecordset = gStandardTextDatabase->openRecordset(
        QStringLiteral("Select * From ") + languageCode + QStringLiteral(" order by Nummer"), &why);
    if (!gStandardTextRecordset) {
        close();
        return report(QStringLiteral("standard texts: %1").arg(why), error);
    }
    if (gStandardTextRecordset->fieldCount() < 4) {
        close();
        return report(QStringLiteral("standard texts: the table \"%1\" has fewer than four fields").arg(languageCode), error);
    }
    return true;
}

bool StandardTexts::lookup(int number, bool *found, QStringList *lines, QString *error)
{
    Recordset *rs = gStandardTextRecordset.get();
    if (!rs)
        return report(QStringLiteral("standard texts are not open"), error);
    if (!rs->findFirst(QStringLiteral("Nummer=") + QString::number(number)))
        return report(rs->lastError(), error);
    if (found)
        *found = !rs->noMatch();
    if (lines) {
        lines->clear();
        if (!rs->noMatch()) {
            for (int i = 1; i <= 3; ++i)
                *lines << rs->field(i).toString();
        }
    }
    return true;
}

} // namespace qvr
