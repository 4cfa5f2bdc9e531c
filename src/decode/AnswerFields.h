#pragma once

#include <QString>
#include <QtGlobal>

namespace qvr {

// Cuts the fields of one fixed-column answer by 1-based character positions. Number
// fields that do not convert are remembered, so a decoder cuts everything first and then
// refuses the whole answer once, instead of storing a wrong number.
class AnswerFields
{
public:
    explicit AnswerFields(const QString &param) : m_param(param) {}

    const QString &param() const { return m_param; }
    // Characters from..to as they stand (blanks kept); empty where the answer is shorter.
    QString text(int from, int to) const;
    // TextToInt of characters from..to.
    qint16 number(int from, int to);
    // TextToDouble of characters from..to.
    double decimal(int from, int to);
    // False when any number field so far held something that is not a number.
    bool allConverted() const { return m_converted; }

private:
    QString m_param;
    bool m_converted = true;
};

} // namespace qvr
