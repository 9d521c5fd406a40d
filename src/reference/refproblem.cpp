#include "reference/refproblem.h"

namespace wip::reference {

QString RefProblem::text() const
{
    QString where;
    if (line > 0)
        where = QStringLiteral("第 %1 行 ").arg(line);
    if (stone > 0)
        where += QStringLiteral("镶石第 %1 行 ").arg(stone);
    if (!caption.isEmpty())
        where += caption;
    where = where.trimmed();
    return where.isEmpty() ? reason : where + QStringLiteral(": ") + reason;
}

} // namespace wip::reference
