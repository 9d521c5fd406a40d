#include "reports/groupindex.h"

#include <algorithm>

namespace wip::reports {

void GroupIndex::build(const QVector<Group> &groups, int rowCount, const ValueOf &valueOf)
{
    build(groups, rowCount, [&valueOf](const QString &column, int a, int b) {
        const QVariant x = valueOf(column, a);
        const QVariant y = valueOf(column, b);
        return x.isNull() == y.isNull() && (x.isNull() || x == y);
    });
}

void GroupIndex::build(const QVector<Group> &groups, int rowCount, const Same &same)
{
    m_rowCount = rowCount;
    m_starts.clear();
    QStringList by;   // columns of this level and every outer one
    for (const Group &group : groups) {
        by += group.by;
        QVector<int> starts;
        if (rowCount > 0)
            starts.append(1);
        for (int row = 2; row <= rowCount; ++row) {
            for (const QString &column : std::as_const(by)) {
                if (!same(column, row - 1, row)) {
                    starts.append(row);
                    break;
                }
            }
        }
        m_starts.append(starts);
    }
    m_built = true;
}

void GroupIndex::clear()
{
    m_starts.clear();
    m_rowCount = 0;
    m_built = false;
}

std::pair<int, int> GroupIndex::range(int level, int row) const
{
    if (level <= 0 || level > m_starts.size() || row < 1 || row > m_rowCount)
        return {1, m_rowCount};
    const QVector<int> &starts = m_starts.at(level - 1);
    // Last start <= row.
    auto it = std::upper_bound(starts.begin(), starts.end(), row);
    const int first = *(it - 1);
    const int last = it == starts.end() ? m_rowCount : *it - 1;
    return {first, last};
}

} // namespace wip::reports
