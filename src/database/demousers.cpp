#include "database/demofactory.h"

#include "database/batchinserter.h"
#include "database/passwordhash.h"
#include "database/rightscatalogue.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace wip {

// The demo's users, their passwords and rights (docs/demo-users.md).
const QList<DemoFactory::DemoUser> &DemoFactory::demoUsers()
{
    static const QList<DemoUser> users = {
        {QStringLiteral("ADMIN"), QStringLiteral("管理员 Admin"), QStringLiteral("admin-2004"), QStringLiteral("X99A"),
         Right::Scan | Right::ReferenceData | Right::Import | Right::Users | Right::Supervisor},
        {QStringLiteral("PLAN"), QStringLiteral("计划 Planner"), QStringLiteral("plan-2004"), QStringLiteral("X02B")},
        {QStringLiteral("CLERK"), QStringLiteral("收发 Clerk"), QStringLiteral("clerk-2004"), QStringLiteral("X03B"),
         Right::Scan},
        {QStringLiteral("QC"), QStringLiteral("品检 Inspector"), QStringLiteral("qc-2004"), QStringLiteral("X04B")},
        {QStringLiteral("BOSS"), QStringLiteral("主管 Supervisor"), QStringLiteral("boss-2004"), QStringLiteral("X08B"),
         Right::Supervisor},
        {QStringLiteral("VIEW"), QStringLiteral("查看 Viewer"), QStringLiteral("view-2004"), QString()},
    };
    return users;
}

bool DemoFactory::writeUsers()
{
    BatchInserter users(m_db, m_kind, QStringLiteral("users"),
                        {"user_code", "user_name", "password_hash", "active", "must_change"});
    BatchInserter rights(m_db, m_kind, QStringLiteral("rights"), {"user_code", "module", "function", "rights"});
    // The demo passwords get the same slow hash as real ones; a process that fills
    // several demo databases (the tests) computes them once.
    static const QStringList hashes = [] {
        QStringList list;
        for (const DemoUser &u : demoUsers())
            list << PasswordHash::hash(u.password);
        return list;
    }();
    // A user the factory made already (its administrator) keeps its code.
    QSet<QString> taken;
    QSqlQuery existing(m_db);
    if (!existing.exec(QStringLiteral("select upper(user_code) from users"))) {
        m_error = existing.lastError().text();
        return false;
    }
    while (existing.next())
        taken.insert(existing.value(0).toString());
    for (qsizetype i = 0; i < demoUsers().size(); ++i) {
        const DemoUser &u = demoUsers().at(i);
        if (taken.contains(u.code.toUpper()))
            continue;
        users.add({u.code, u.name, hashes.at(i), 1, 0});
        if (!u.rights.isEmpty())
            rights.add({u.code, QLatin1String(RightsCatalogue::contractModule),
                        QLatin1String(RightsCatalogue::contractFunction), u.rights});
        for (const RightsCatalogue::Text &t : RightsCatalogue::textsFor(u.otherRights)) {
            if (!t.text.isNull() && t.module != QLatin1String(RightsCatalogue::contractModule))
                rights.add({u.code, t.module, t.function, t.text});
        }
    }
    return finish(users) && finish(rights);
}

} // namespace wip
