#include "database/demofactory.h"

#include "database/batchinserter.h"

namespace wip {

// The supervisor closed each desk's days from a week ago up to the day before
// yesterday, in the evening after its report, with the audit row of each: the
// last two days stay open, as the demo's bags on their way were sent then.
bool DemoFactory::writeClosedDays()
{
    BatchInserter closed(m_db, m_kind, QStringLiteral("closed_day"), {"dept", "day", "closed_by", "closed_at"});
    BatchInserter audit(m_db, m_kind, QStringLiteral("audit_log"),
                        {"changed_at", "user_code", "source", "field", "new_value"});
    static const char *const departments[] = {"唧蜡", "倒模", "执模", "镶石", "执边", "打磨", "电金", "出货"};
    for (int offset = -7; offset <= -2; ++offset) {
        for (const char *d : departments) {
            const QString dept = QString::fromUtf8(d);
            const QDateTime evening = day(offset, 18, 30);
            closed.add({dept, day(offset), QStringLiteral("BOSS"), evening});
            audit.add({evening, QStringLiteral("BOSS"), QStringLiteral("w_desk"), QStringLiteral("day:close"),
                       QStringLiteral("%1 %2").arg(dept, m_today.addDays(offset).toString(Qt::ISODate))});
        }
    }
    return finish(closed) && finish(audit);
}

} // namespace wip
