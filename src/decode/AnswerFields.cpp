#include "decode/AnswerFields.h"

#include "decode/FieldHelpers.h"

namespace qvr {

QString AnswerFields::text(int from, int to) const
{
    return Chars(m_param, from, to);
}

qint16 AnswerFields::number(int from, int to)
{
    bool ok = false;
    const qint16 v = TextToInt(text(from, to), ok);
    m_converted = m_converted && ok;
    return v;
}

double AnswerFields::decimal(int from, int to)
{
    bool ok = false;
    const double v = TextToDouble(text(from, to), ok);
    m_converted = m_converted && ok;
    return v;
}

} // namespace qvr
