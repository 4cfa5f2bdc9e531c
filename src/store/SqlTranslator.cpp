#include "store/SqlTranslator.h"

#include "store/OleDate.h"

#include <QDate>
#include <QTime>

#include <utility>

namespace qvr {

namespace {

enum class Tok { Ident, Number, String, Date, Symbol, End };

struct Token
{
    Tok kind = Tok::End;
    QString text; // identifier name, number text, string value, date content, symbol
    qsizetype pos = 0;
};

bool tokenize(const QString &s, QList<Token> *out, QString *error)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    out->reserve(n / 2 + 2); // growing the list one token at a time costs more than the tokens
    auto fail = [&](const QString &msg, qsizetype at) {
        if (error)
            *error = msg + QStringLiteral(" (at character %1)").arg(at + 1);
        return false;
    };
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token t;
        t.pos = i;
        if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype j = i + 1;
            while (j < n && (s.at(j).isLetterOrNumber() || s.at(j) == QLatin1Char('_')))
                ++j;
            t.kind = Tok::Ident;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('[')) {
            const qsizetype j = s.indexOf(QLatin1Char(']'), i + 1);
            if (j < 0)
                return fail(QStringLiteral("a field name in [ ] is not closed"), i);
            t.kind = Tok::Ident;
            t.text = s.mid(i + 1, j - i - 1);
            if (t.text.trimmed().isEmpty())
                return fail(QStringLiteral("empty field name"), i);
            i = j + 1;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s.at(i + 1).isDigit())) {
            qsizetype j = i;
            while (j < n && s.at(j).isDigit())
                ++j;
            if (j < n && s.at(j) == QLatin1Char('.')) {
                ++j;
                while (j < n && s.at(j).isDigit())
                    ++j;
            }
            if (j < n && (s.at(j).isLetter() || s.at(j) == QLatin1Char('_'))) {
                // "01abc": not a number; a name that starts with a digit is not understood.
                return fail(QStringLiteral("a number is followed by letters"), i);
            }
            t.kind = Tok::Number;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            QString value;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (s.at(j) == c) {
                    if (j + 1 < n && s.at(j + 1) == c) {
                        value += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += s.at(j++);
            }
            if (!closed)
                return fail(QStringLiteral("a text in quotes is not closed"), i);
            t.kind = Tok::String;
            t.text = value;
            i = j;
        } else if (c == QLatin1Char('#')) {
            const qsizetype j = s.indexOf(QLatin1Char('#'), i + 1);
            if (j < 0)
                return fail(QStringLiteral("a date between # is not closed"), i);
            t.kind = Tok::Date;
            t.text = s.mid(i + 1, j - i - 1);
            i = j + 1;
        } else {
            static const QString two[] = {QStringLiteral("<>"), QStringLiteral("<="),
                                          QStringLiteral(">="), QStringLiteral("!=")};
            bool matched = false;
            const QStringView next = QStringView(s).mid(i, 2);
            for (const QString &op : two) {
                if (next == op) {
                    t.kind = Tok::Symbol;
                    t.text = op == QLatin1String("!=") ? QStringLiteral("<>") : op;
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                if (QStringLiteral("=<>(),*-;").contains(c)) {
                    t.kind = Tok::Symbol;
                    t.text = QString(c);
                    ++i;
                } else {
                    return fail(QStringLiteral("the character \"%1\" is not understood").arg(c), i);
                }
            }
        }
        out->append(std::move(t));
    }
    Token end;
    end.kind = Tok::End;
    end.pos = n;
    out->append(end);
    return true;
}

bool isWord(const Token &t, const char *word)
{
    return t.kind == Tok::Ident && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// Words that are never a field name in this dialect.
bool isReserved(const Token &t)
{
    static const char *const words[] = {
        "select",  "from",        "where",     "order",    "by",       "and",     "or",
        "not",     "like",        "is",        "asc",      "desc",     "insert",  "update",
        "delete",  "drop",        "create",    "alter",    "attach",   "detach",  "pragma",
        "replace", "union",       "join",      "into",     "values",   "set",     "vacuum",
        "begin",   "commit",      "rollback",  "with",     "exists",   "in",      "between",
        "group",   "having",      "limit",     "distinct", "as",       "on",      "case",
        "when",    "then",        "else",      "end",      "reindex",  "analyze", "savepoint",
        "release", "transaction", "intersect", "except",   "returning"};
    if (t.kind != Tok::Ident)
        return false;
    for (const char *w : words) {
        if (isWord(t, w))
            return true;
    }
    return false;
}

QString SqlTranslatorQuote(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString number(double v)
{
    QString s = QString::number(v, 'g', 17);
    if (!s.contains(QLatin1Char('.')) && !s.contains(QLatin1Char('e')))
        s += QLatin1String(".0");
    return s;
}

class Parser
{
public:
    Parser(const QList<Token> &tokens, const QString &source) : m_t(tokens), m_source(source) {}

    bool parseSelect(SqlTranslator::Select *out);
    bool parseConditionOnly(QString *out);
    QString error() const { return m_error; }

private:
    enum class Kind { Field, Number, String, Date, Null };
    struct Operand
    {
        Kind kind = Kind::Null;
        QString sql;
        double ole = 0;
    };

    const Token &peek() const { return m_t.at(m_i); }
    const Token &next() { return m_t.at(m_i++); }
    bool isSymbol(const char *sym) const
    {
        return peek().kind == Tok::Symbol && peek().text == QLatin1String(sym);
    }
    bool fail(const QString &msg)
    {
        if (m_error.isEmpty()) {
            const Token &t = peek();
            m_error = t.kind == Tok::End ? msg + QStringLiteral(" at the end of the text")
                                         : msg + QStringLiteral(" at \"%1\" (character %2)")
                                                     .arg(m_source.mid(t.pos, 20).trimmed())
                                                     .arg(t.pos + 1);
        }
        return false;
    }
    bool expectEnd()
    {
        bool semicolon = false;
        if (isSymbol(";")) {
            ++m_i;
            semicolon = true;
        }
        if (peek().kind != Tok::End)
            return fail(semicolon ? QStringLiteral("only one statement is allowed")
                                  : QStringLiteral("unexpected text"));
        return true;
    }
    bool parseName(QString *name)
    {
        const Token &t = peek();
        if (t.kind != Tok::Ident || isReserved(t))
            return fail(QStringLiteral("a field name is expected"));
        *name = t.text;
        ++m_i;
        return true;
    }
    bool parseOr(QString *out);
    bool parseAnd(QString *out);
    bool parseNot(QString *out);
    bool parsePrimary(QString *out);
    bool parseOperand(Operand *out);
    bool comparison(const Operand &l, QString op, const Operand &r, QString *out);

    const QList<Token> &m_t;
    const QString &m_source;
    qsizetype m_i = 0;
    QString m_error;
    QStringList m_fields; // named in the condition
};

bool Parser::parseSelect(SqlTranslator::Select *out)
{
    if (!isWord(peek(), "select"))
        return fail(QStringLiteral("SELECT is expected"));
    ++m_i;
    if (isSymbol("*")) {
        ++m_i;
    } else {
        for (;;) {
            QString name;
            if (!parseName(&name))
                return false;
            out->columns << name;
            if (!isSymbol(","))
                break;
            ++m_i;
        }
    }
    if (!isWord(peek(), "from"))
        return fail(QStringLiteral("FROM is expected"));
    ++m_i;
    // A table may be named by a number ("01", a standard texts language).
    if (peek().kind == Tok::Number && !peek().text.contains(QLatin1Char('.'))) {
        out->table = next().text;
    } else if (!parseName(&out->table)) {
        return false;
    }
    if (isWord(peek(), "where")) {
        ++m_i;
        if (!parseOr(&out->where))
            return false;
        out->whereFields = m_fields;
    }
    if (isWord(peek(), "order")) {
        ++m_i;
        if (!isWord(peek(), "by"))
            return fail(QStringLiteral("BY is expected"));
        ++m_i;
        for (;;) {
            SqlTranslator::OrderItem item;
            if (!parseName(&item.column))
                return false;
            if (isWord(peek(), "asc")) {
                ++m_i;
            } else if (isWord(peek(), "desc")) {
                ++m_i;
                item.descending = true;
            }
            out->orderBy << item;
            if (!isSymbol(","))
                break;
            ++m_i;
        }
    }
    return expectEnd();
}

bool Parser::parseConditionOnly(QString *out)
{
    if (peek().kind == Tok::End)
        return fail(QStringLiteral("a condition is expected"));
    if (!parseOr(out))
        return false;
    return expectEnd();
}

bool Parser::parseOr(QString *out)
{
    QString left;
    if (!parseAnd(&left))
        return false;
    while (isWord(peek(), "or")) {
        ++m_i;
        QString right;
        if (!parseAnd(&right))
            return false;
        left = left + QStringLiteral(" OR ") + right;
    }
    *out = left;
    return true;
}

bool Parser::parseAnd(QString *out)
{
    QString left;
    if (!parseNot(&left))
        return false;
    while (isWord(peek(), "and")) {
        ++m_i;
        QString right;
        if (!parseNot(&right))
            return false;
        left = left + QStringLiteral(" AND ") + right;
    }
    *out = left;
    return true;
}

bool Parser::parseNot(QString *out)
{
    if (isWord(peek(), "not")) {
        ++m_i;
        QString inner;
        if (!parseNot(&inner))
            return false;
        *out = QStringLiteral("NOT ") + inner;
        return true;
    }
    return parsePrimary(out);
}

bool Parser::parsePrimary(QString *out)
{
    if (isSymbol("(")) {
        ++m_i;
        QString inner;
        if (!parseOr(&inner))
            return false;
        if (!isSymbol(")"))
            return fail(QStringLiteral("\")\" is expected"));
        ++m_i;
        *out = QLatin1Char('(') + inner + QLatin1Char(')');
        return true;
    }
    Operand left;
    if (!parseOperand(&left))
        return false;
    if (isWord(peek(), "is")) {
        ++m_i;
        bool negate = false;
        if (isWord(peek(), "not")) {
            ++m_i;
            negate = true;
        }
        if (!isWord(peek(), "null"))
            return fail(QStringLiteral("NULL is expected"));
        ++m_i;
        *out = left.sql + (negate ? QStringLiteral(" IS NOT NULL") : QStringLiteral(" IS NULL"));
        return true;
    }
    bool negate = false;
    if (isWord(peek(), "not")) {
        ++m_i;
        negate = true;
        if (!isWord(peek(), "like"))
            return fail(QStringLiteral("LIKE is expected"));
    }
    if (isWord(peek(), "like")) {
        ++m_i;
        if (peek().kind != Tok::String)
            return fail(QStringLiteral("a pattern in quotes is expected"));
        const QString pattern = next().text;
        if (left.kind == Kind::Date)
            return fail(QStringLiteral("a date cannot be compared with a pattern"));
        QString p;
        for (const QChar c : pattern) {
            if (c == QLatin1Char('*'))
                p += QLatin1Char('%');
            else if (c == QLatin1Char('?'))
                p += QLatin1Char('_');
            else if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
                p += QLatin1Char('\\') + c;
            else
                p += c;
        }
        // The program's own LIKE, which ignores case for every letter.
        *out = QStringLiteral("qvr_like(") + SqlTranslatorQuote(p) + QStringLiteral(", ") +
               left.sql + QStringLiteral(", '\\')");
        if (negate)
            *out = QStringLiteral("(NOT ") + *out + QLatin1Char(')');
        return true;
    }
    if (peek().kind != Tok::Symbol)
        return fail(QStringLiteral("a comparison (<, >, =, <>) is expected"));
    const QString op = peek().text;
    if (op != QLatin1String("=") && op != QLatin1String("<") && op != QLatin1String(">") &&
        op != QLatin1String("<>") && op != QLatin1String("<=") && op != QLatin1String(">="))
        return fail(QStringLiteral("a comparison (<, >, =, <>) is expected"));
    ++m_i;
    Operand right;
    if (!parseOperand(&right))
        return false;
    return comparison(left, op, right, out);
}

bool Parser::parseOperand(Operand *out)
{
    const Token &t = peek();
    switch (t.kind) {
    case Tok::Ident:
        if (isWord(t, "null")) {
            ++m_i;
            out->kind = Kind::Null;
            out->sql = QStringLiteral("NULL");
            return true;
        }
        if (isWord(t, "true") || isWord(t, "false")) {
            ++m_i;
            out->kind = Kind::Number;
            out->sql = isWord(t, "true") ? QStringLiteral("-1") : QStringLiteral("0");
            return true;
        }
        if (isReserved(t))
            return fail(QStringLiteral("a field or a value is expected"));
        ++m_i;
        out->kind = Kind::Field;
        out->sql = SqlTranslator::quoteIdentifier(t.text);
        m_fields << t.text;
        return true;
    case Tok::Number:
        ++m_i;
        out->kind = Kind::Number;
        out->sql = t.text;
        return true;
    case Tok::String:
        ++m_i;
        out->kind = Kind::String;
        out->sql = SqlTranslatorQuote(t.text);
        return true;
    case Tok::Date: {
        QString why;
        if (!SqlTranslator::parseDateLiteral(t.text, &out->ole, &why))
            return fail(why);
        ++m_i;
        out->kind = Kind::Date;
        out->sql = number(out->ole);
        return true;
    }
    case Tok::Symbol:
        if (t.text == QLatin1String("-") && m_t.at(m_i + 1).kind == Tok::Number) {
            m_i += 2;
            out->kind = Kind::Number;
            out->sql = QLatin1Char('-') + m_t.at(m_i - 1).text;
            return true;
        }
        return fail(QStringLiteral("a field or a value is expected"));
    case Tok::End:
        return fail(QStringLiteral("a field or a value is expected"));
    }
    return fail(QStringLiteral("a field or a value is expected"));
}

QString flip(const QString &op)
{
    if (op == QLatin1String("<"))
        return QStringLiteral(">");
    if (op == QLatin1String(">"))
        return QStringLiteral("<");
    if (op == QLatin1String("<="))
        return QStringLiteral(">=");
    if (op == QLatin1String(">="))
        return QStringLiteral("<=");
    return op;
}

bool Parser::comparison(const Operand &l, QString op, const Operand &r, QString *out)
{
    const Operand *field = nullptr;
    const Operand *value = nullptr;
    if (l.kind == Kind::Field && r.kind != Kind::Field) {
        field = &l;
        value = &r;
    } else if (r.kind == Kind::Field && l.kind != Kind::Field) {
        field = &r;
        value = &l;
        op = flip(op);
    }
    if (field && value->kind == Kind::Date) {
        // Equal to the second: the literal's second is [lo, hi), a little slack below so
        // that a stored whole second never falls out by rounding.
        const qint64 secs = OleDate::toSeconds(value->ole);
        const double slack = 0.0005 / 86400.0;
        const QString lo = number(OleDate::fromSeconds(secs) - slack);
        const QString hi = number(OleDate::fromSeconds(secs + 1) - slack);
        const QString f = field->sql;
        if (op == QLatin1String("="))
            *out = QStringLiteral("(%1>=%2 AND %1<%3)").arg(f, lo, hi);
        else if (op == QLatin1String("<>"))
            *out = QStringLiteral("(%1<%2 OR %1>=%3)").arg(f, lo, hi);
        else if (op == QLatin1String("<"))
            *out = f + QLatin1Char('<') + lo;
        else if (op == QLatin1String(">="))
            *out = f + QStringLiteral(">=") + lo;
        else if (op == QLatin1String(">"))
            *out = f + QStringLiteral(">=") + hi;
        else
            *out = f + QLatin1Char('<') + hi;
        return true;
    }
    if (field && value->kind == Kind::String) {
        *out = field->sql + op + value->sql + QStringLiteral(" COLLATE QVR_NOCASE");
        return true;
    }
    if (l.kind == Kind::String && r.kind == Kind::String) {
        *out = l.sql + op + r.sql + QStringLiteral(" COLLATE QVR_NOCASE");
        return true;
    }
    // Two fields: text ones compare without regard to case too.
    if (l.kind == Kind::Field && r.kind == Kind::Field) {
        *out = l.sql + op + r.sql + QStringLiteral(" COLLATE QVR_NOCASE");
        return true;
    }
    *out = l.sql + op + r.sql;
    return true;
}

} // namespace

QString SqlTranslator::quoteIdentifier(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool SqlTranslator::translateSelect(const QString &sql, Select *out, QString *error)
{
    QList<Token> tokens;
    if (!tokenize(sql, &tokens, error))
        return false;
    Parser parser(tokens, sql);
    Select result;
    if (!parser.parseSelect(&result)) {
        if (error)
            *error = parser.error();
        return false;
    }
    *out = result;
    return true;
}

bool SqlTranslator::translateCondition(const QString &criteria, QString *out, QString *error)
{
    QList<Token> tokens;
    if (!tokenize(criteria, &tokens, error))
        return false;
    Parser parser(tokens, criteria);
    QString result;
    if (!parser.parseConditionOnly(&result)) {
        if (error)
            *error = parser.error();
        return false;
    }
    *out = result;
    return true;
}

namespace {

bool allDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    for (const QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool parseTime(QString text, QTime *out, QString *error)
{
    text = text.trimmed();
    int marker = 0; // 1 AM, 2 PM
    const QString upper = text.toUpper();
    if (upper.endsWith(QLatin1String("AM")) || upper.endsWith(QLatin1String("PM"))) {
        marker = upper.endsWith(QLatin1String("AM")) ? 1 : 2;
        text = text.left(text.size() - 2).trimmed();
    }
    QString sep = QStringLiteral(":");
    if (!text.contains(QLatin1Char(':')) && text.contains(QLatin1Char('.')))
        sep = QStringLiteral(".");
    const QStringList parts = text.split(sep);
    if (parts.size() < 2 || parts.size() > 3) {
        *error = QStringLiteral("the time \"%1\" is not understood").arg(text);
        return false;
    }
    for (const QString &p : parts) {
        if (!allDigits(p) || p.size() > 2) {
            *error = QStringLiteral("the time \"%1\" is not understood").arg(text);
            return false;
        }
    }
    int h = parts.at(0).toInt();
    const int m = parts.at(1).toInt();
    const int s = parts.size() == 3 ? parts.at(2).toInt() : 0;
    if (marker) {
        if (h > 12) {
            *error = QStringLiteral("the hour %1 does not go with AM/PM").arg(h);
            return false;
        }
        if (h == 12)
            h = 0;
        if (marker == 2)
            h += 12;
    }
    const QTime t(h, m, s);
    if (!t.isValid()) {
        *error = QStringLiteral("the time \"%1\" is not valid").arg(text);
        return false;
    }
    *out = t;
    return true;
}

} // namespace

bool SqlTranslator::parseDateLiteral(const QString &literal, double *ole, QString *error)
{
    QString why;
    const QString text = literal.simplified();
    QString datePart;
    QString timePart = text;
    const qsizetype firstSpace = text.indexOf(QLatin1Char(' '));
    const QString first = firstSpace < 0 ? text : text.left(firstSpace);
    if (first.contains(QLatin1Char('/')) || first.contains(QLatin1Char('-'))) {
        datePart = first;
        timePart = firstSpace < 0 ? QString() : text.mid(firstSpace + 1);
    }
    QDate date(1899, 12, 30);
    if (!datePart.isEmpty()) {
        const QStringList p = datePart.split(
            datePart.contains(QLatin1Char('/')) ? QLatin1Char('/') : QLatin1Char('-'));
        bool ok = p.size() == 3;
        for (const QString &x : p)
            ok = ok && allDigits(x) && x.size() <= 4;
        if (!ok) {
            if (error)
                *error =
                    QStringLiteral("the date #%1# is not in month/day/year order").arg(literal);
            return false;
        }
        int y = 0;
        int m = 0;
        int d = 0;
        if (p.at(0).size() == 4) {
            y = p.at(0).toInt();
            m = p.at(1).toInt();
            d = p.at(2).toInt();
        } else {
            m = p.at(0).toInt();
            d = p.at(1).toInt();
            y = p.at(2).toInt();
            // Two-digit years as the old engine read them: 00-29 are 2000-2029.
            if (p.at(2).size() <= 2)
                y += y < 30 ? 2000 : 1900;
        }
        date = QDate(y, m, d);
        if (!date.isValid() || y < 100) {
            if (error)
                *error = QStringLiteral("the date #%1# does not exist").arg(literal);
            return false;
        }
    }
    QTime time(0, 0);
    if (!timePart.isEmpty() && !parseTime(timePart, &time, &why)) {
        if (error)
            *error = why;
        return false;
    }
    if (datePart.isEmpty() && timePart.isEmpty()) {
        if (error)
            *error = QStringLiteral("an empty date ##");
        return false;
    }
    *ole = OleDate::fromDateTime(QDateTime(date, time, Qt::UTC));
    return true;
}

} // namespace qvr
