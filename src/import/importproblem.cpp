#include "import/importproblem.h"

#include <QStringList>

#include <algorithm>

namespace wip::import {

QString ImportProblem::text() const
{
    QString where;
    if (line > 0)
        where = QStringLiteral("第 %1 行").arg(line);
    if (!column.isEmpty())
        where += (where.isEmpty() ? QString() : QStringLiteral(" ")) + column;
    return where.isEmpty() ? reason : where + QStringLiteral(": ") + reason;
}

QString ImportProblem::listText(QList<ImportProblem> problems, int limit)
{
    std::stable_sort(problems.begin(), problems.end(),
                     [](const ImportProblem &a, const ImportProblem &b) { return a.line < b.line; });
    QStringList lines;
    for (const ImportProblem &p : std::as_const(problems)) {
        if (lines.size() == limit) {
            lines << QStringLiteral("… and %1 more").arg(problems.size() - limit);
            break;
        }
        lines << p.text();
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace wip::import
