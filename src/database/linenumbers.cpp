#include "database/linenumbers.h"

#include <QSqlError>
#include <QSqlQuery>

namespace wip {

namespace {

// The same text on both engines (SQLite has UPDATE ... FROM since 3.33).
const char *const kNumberLines =
    "update scond set line_no = n.line_no "
    "from (select s.scond_id, row_number() over (partition by s.scno order by s.scond_id) "
    "+ coalesce((select max(m.line_no) from scond m where m.scno = s.scno), 0) as line_no "
    "from scond s where s.line_no is null) n "
    "where scond.scond_id = n.scond_id";

const char *const kCountOn =
    "update sconh set next_line_no = "
    "(select coalesce(max(d.line_no), 0) + 1 from scond d where d.scno = sconh.scno) "
    "where next_line_no is null "
    "or next_line_no <= (select coalesce(max(d.line_no), 0) from scond d where d.scno = sconh.scno)";

} // namespace

bool LineNumbers::numberUnnumbered(QSqlDatabase &db, QString *error)
{
    for (const char *sql : {kNumberLines, kCountOn}) {
        QSqlQuery q(db);
        if (!q.exec(QString::fromLatin1(sql))) {
            *error = q.lastError().text().trimmed();
            return false;
        }
    }
    return true;
}

std::optional<int> LineNumbers::next(Transaction &tr, const QString &scno)
{
    const auto row = tr.selectInto(
        QStringLiteral("select h.next_line_no, (select max(d.line_no) from scond d where d.scno = h.scno) "
                       "from sconh h where h.scno = ?"),
        {scno});
    if (!row)
        return std::nullopt;
    const int counter = row->at(0).isNull() ? 1 : row->at(0).toInt();
    const int highest = row->at(1).isNull() ? 0 : row->at(1).toInt();
    return qMax(counter, highest + 1);
}

} // namespace wip
