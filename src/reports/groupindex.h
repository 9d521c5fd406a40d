#pragma once

#include "reports/definition.h"

#include <QVariant>
#include <QVector>
#include <functional>
#include <utility>

namespace wip::reports {

// Where the groups of a report begin and end. A group of level N is a run of
// contiguous rows with equal values in the "by" columns of levels 1..N: a new
// outer group always starts a new inner one.
//
//   rows (mcode, scno): (A,1) (A,1) (A,2) (B,2)    groups: level 1 by mcode, level 2 by scno
//   level 1: rows 1-3, 4      level 2: rows 1-2, 3, 4
class GroupIndex
{
public:
    using ValueOf = std::function<QVariant(const QString &column, int row)>;
    using Same = std::function<bool(const QString &column, int rowA, int rowB)>;

    void build(const QVector<Group> &groups, int rowCount, const ValueOf &valueOf);
    // The same, with a test of two rows' values of a column (typed columns compare
    // without making values).
    void build(const QVector<Group> &groups, int rowCount, const Same &same);
    void clear();
    bool isBuilt() const { return m_built; }

    // Rows [first, last] of the level's group holding row; level 0, or a level with
    // no group, covers all rows.
    std::pair<int, int> range(int level, int row) const;

private:
    QVector<QVector<int>> m_starts;   // per level: first rows of its groups, ascending
    int m_rowCount = 0;
    bool m_built = false;
};

} // namespace wip::reports
