#include "app/demousersnote.h"

#include "database/demofactory.h"
#include "database/passwordhash.h"
#include "runtime/transaction.h"

#include <QStringList>

namespace wip {

QList<DemoUsersNote::Candidate> DemoUsersNote::candidates(Transaction &tr)
{
    QList<Candidate> list;
    for (const DemoFactory::DemoUser &u : DemoFactory::demoUsers()) {
        const auto row = tr.selectInto(
            QStringLiteral("select password_hash from users where user_code = ? and coalesce(active, 1) <> 0"),
            {u.code});
        if (row)
            list.append({u.code, u.name, u.password, row->at(0).toString()});
    }
    return list;
}

QString DemoUsersNote::text(const QList<Candidate> &candidates)
{
    QStringList cells;
    for (const Candidate &c : candidates) {
        if (!PasswordHash::verify(c.password, c.storedHash))
            continue;
        cells << QStringLiteral("<td><tt>%1</tt></td><td><tt>%2</tt></td><td>%3</td>")
                     .arg(c.code.toHtmlEscaped(), c.password.toHtmlEscaped(), c.name.toHtmlEscaped());
    }
    if (cells.isEmpty())
        return QString();
    QString rows;
    for (qsizetype i = 0; i < cells.size(); i += 2)
        rows += QStringLiteral("<tr>%1<td width=\"16\"></td>%2</tr>").arg(cells.at(i), cells.value(i + 1));
    return QStringLiteral("<p><b>示范数据库</b> Demo database: 用户与密码是公开的 the users and passwords are "
                          "public</p><table cellspacing=\"2\">%1</table>")
        .arg(rows);
}

} // namespace wip
