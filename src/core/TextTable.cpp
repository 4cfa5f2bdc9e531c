#include "TextTable.h"

#include <QFile>

namespace qvr {

namespace {
QString unescape(const QString &s)
{
    if (!s.contains(QLatin1Char('\\')))
        return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\\') && i + 1 < s.size()) {
            const QChar n = s.at(i + 1);
            if (n == QLatin1Char('n')) { out += QLatin1Char('\n'); ++i; continue; }
            if (n == QLatin1Char('t')) { out += QLatin1Char('\t'); ++i; continue; }
            if (n == QLatin1Char('\\')) { out += QLatin1Char('\\'); ++i; continue; }
        }
        out += c;
    }
    return out;
}
} // namespace

TextTable TextTable::parse(const QString &source, QString *error)
{
    TextTable table;
    int lineNo = 0;
    for (const QString &rawLine : source.split(QLatin1Char('\n'))) {
        ++lineNo;
        QString line = rawLine;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char('\t'));
        bool ok = false;
        const int base = parts.value(0).toInt(&ok);
        if (parts.size() != 3 || !ok || base % 10 != 0 || table.m_texts.contains(base)) {
            if (error && error->isEmpty())
                *error = QStringLiteral("line %1: %2").arg(lineNo).arg(line.left(60));
            continue;
        }
        table.m_texts.insert(base, unescape(parts.at(1)));
        table.m_texts.insert(base + 1, unescape(parts.at(2)));
    }
    return table;
}

const TextTable &TextTable::builtIn()
{
    static const TextTable table = [] {
        QFile f(QStringLiteral(":/qvr/texts.tsv"));
        if (!f.open(QIODevice::ReadOnly))
            return TextTable();
        return parse(QString::fromUtf8(f.readAll()));
    }();
    return table;
}

QString Texts::ResText(int baseId) const
{
    return ResText(baseId, gLanguageOffset);
}

QString Texts::ResText(int baseId, int languageOffset) const
{
    return m_table->text(baseId + languageOffset);
}

} // namespace qvr
