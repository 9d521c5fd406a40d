#pragma once

#include <QString>
#include <QStringList>

namespace wip {

// An unbounded array of strings as the windows use it: indexes start at 1, writing
// past the upper bound grows the array (the new slots in between are empty
// strings), reading past it is a host failure. The application's `scno_sel` (the
// contract numbers chosen in the order analysis) is one.
class StringArray
{
public:
    StringArray() = default;

    int upperBound() const { return int(m_values.size()); }
    int UpperBound() const { return upperBound(); }

    // Reads item i (1-based); throws HostError(ErrArrayBounds) outside 1..UpperBound().
    QString at(int i) const;
    QString operator[](int i) const { return at(i); }
    // Item i for writing, growing the array to i when needed; throws for i < 1.
    QString &operator[](int i);
    void set(int i, const QString &value);

    void clear() { m_values.clear(); }
    const QStringList &values() const { return m_values; }

private:
    QStringList m_values;
};

inline int UpperBound(const StringArray &array) { return array.upperBound(); }

// The application's global array of chosen contract numbers.
StringArray &scno_sel();

} // namespace wip
