#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qvr {

// Translates the old engine's SQL dialect into SQLite, through a tokenizer and a small
// parser (never by rewriting the text with patterns). What it understands:
//   SELECT * | field, ... FROM table [WHERE condition] [ORDER BY field [ASC|DESC], ...]
//   conditions: comparisons < > = <> <= >= between a field and a value, field LIKE 'pattern'
//   ("*" any run, "?" one character), IS [NOT] NULL, NOT, AND, OR, parentheses;
//   values: numbers, 'text' (a doubled quote inside), "text", True/False, Null, and
//   date-time literals between "#" in month/day/year order: #12/05/26 02:03:09 PM#,
//   #12/5/2026#, #14:03#, #14:03:09#, #2:03 PM#.
// A date-time literal equals a stored value of the same second. Text comparisons and LIKE
// ignore case for every letter (through the collation and LIKE the connection registers).
// Anything else — a second statement, a subquery, a keyword where a value belongs — is an
// error with a message; the output is always one read-only SELECT or one condition.
class SqlTranslator
{
public:
    struct OrderItem
    {
        QString column;
        bool descending = false;
    };
    struct Select
    {
        QString table;
        QStringList columns;  // empty for "*"
        QString where;        // SQLite condition, empty when there is none
        QStringList whereFields; // the fields the condition names, as written
        QList<OrderItem> orderBy;
    };

    static bool translateSelect(const QString &sql, Select *out, QString *error = nullptr);
    // A WHERE clause or a find criteria text, to an SQLite condition.
    static bool translateCondition(const QString &criteria, QString *out, QString *error = nullptr);
    // The contents between the two "#" of a date-time literal, to an OLE date.
    static bool parseDateLiteral(const QString &text, double *ole, QString *error = nullptr);

    // Quotes a field or table name for SQLite.
    static QString quoteIdentifier(const QString &name);
    // Name of the case-insensitive collation the connection registers.
    static constexpr const char *Collation = "QVR_NOCASE";
};

} // namespace qvr
