#pragma once

#include <QHash>
#include <QString>

namespace qvr {

// The German/English text table compiled into the program. German texts have ids that are
// multiples of 10 (N×10), the English text of the same message has N×10 + 1.
class TextTable
{
public:
    // The table shipped in the program's resources (loaded once, never changed).
    static const TextTable &builtIn();

    // Parses "base id<TAB>German<TAB>English" lines; '#' starts a comment line.
    static TextTable parse(const QString &source, QString *error = nullptr);

    bool contains(int id) const { return m_texts.contains(id); }
    QString text(int id) const { return m_texts.value(id); }
    QList<int> ids() const { return m_texts.keys(); }

private:
    QHash<int, QString> m_texts;
};

// The language state of the program: `gLanguageOffset` is 0 for German, 1 for English.
// `ResText` looks a base id up in the current language; texts are never cached by callers.
class Texts
{
public:
    explicit Texts(const TextTable &table = TextTable::builtIn()) : m_table(&table) {}

    qint16 gLanguageOffset = 0;

    QString ResText(int baseId) const;
    // The text of a base id in a given language, whatever the current one is.
    QString ResText(int baseId, int languageOffset) const;

    const TextTable &table() const { return *m_table; }

private:
    const TextTable *m_table;
};

} // namespace qvr
