#include "runtime/stringarray.h"

#include "runtime/hosterror.h"

namespace wip {

QString StringArray::at(int i) const
{
    if (i < 1 || i > m_values.size())
        throw HostError(ErrArrayBounds, QStringLiteral("index %1 of an array of %2").arg(i).arg(m_values.size()));
    return m_values.at(i - 1);
}

QString &StringArray::operator[](int i)
{
    if (i < 1)
        throw HostError(ErrArrayBounds, QStringLiteral("index %1").arg(i));
    while (m_values.size() < i)
        m_values.append(QString(QLatin1String("")));
    return m_values[i - 1];
}

void StringArray::set(int i, const QString &value)
{
    (*this)[i] = value;
}

StringArray &scno_sel()
{
    static StringArray array;
    return array;
}

} // namespace wip
