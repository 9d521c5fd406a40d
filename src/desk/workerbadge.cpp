#include "desk/workerbadge.h"

#include "desk/deskvalues.h"
#include "desk/deskdepartment.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"

#include <QPair>

namespace wip {

namespace {

using deskvalues::text;

// Every process code the factory knows, with its name: table gongxu's, then
// those only workers carry.
bool processCodes(Transaction &tr, QList<QPair<QString, QString>> *codes, QString *error)
{
    Cursor rows(tr, QStringLiteral("select gongxu_code, gongxu_name from gongxu union all "
                                   "select distinct gongxu_code, null from worker where gongxu_code is not null"));
    if (!rows.open()) {
        *error = tr.sqlErrText;
        return false;
    }
    while (const auto row = rows.fetch())
        codes->append({text(row->at(0)), text(row->at(1))});
    const bool ok = tr.sqlCode != -1;
    if (!ok)
        *error = tr.sqlErrText;
    rows.close();
    return ok;
}

QString codeNamed(const QString &name, const QList<QPair<QString, QString>> &codes)
{
    if (const DeskDepartment *d = DeskDepartment::find(name))
        return d->gongxu;
    for (const auto &[code, processName] : codes) {
        const bool byCode = code.compare(name, Qt::CaseInsensitive) == 0
                            || (code.contains(QLatin1Char('-'))
                                && code.section(QLatin1Char('-'), 1).compare(name, Qt::CaseInsensitive) == 0);
        if (byCode || (!processName.isEmpty() && processName.compare(name, Qt::CaseInsensitive) == 0))
            return code;
    }
    return QString();
}

} // namespace

bool WorkerBadge::departments(Transaction &tr, const QStringList &names, QStringList *codes, QString *error)
{
    QList<QPair<QString, QString>> known;
    if (!processCodes(tr, &known, error))
        return false;
    for (const QString &given : names) {
        const QString code = codeNamed(given.trimmed(), known);
        if (code.isEmpty()) {
            *error = QStringLiteral("No department \"%1\": give a desk's caption (%2) or a process code of the "
                                    "reference data.")
                         .arg(given.trimmed(), DeskDepartment::captions());
            return false;
        }
        if (!codes->contains(code))
            codes->append(code);
    }
    return true;
}

bool WorkerBadge::read(Transaction &tr, const QStringList &codes, QList<WorkerBadge> *badges, QString *error)
{
    QString sql = QStringLiteral("select changhao, xingming, gongxu_code from worker "
                                 "where (active is null or active <> 0) and changhao is not null");
    QVariantList values;
    if (!codes.isEmpty()) {
        QStringList marks;
        for (const QString &code : codes) {
            marks << QStringLiteral("?");
            values << code;
        }
        sql += QStringLiteral(" and gongxu_code in (%1)").arg(marks.join(QLatin1Char(',')));
    }
    Cursor rows(tr, sql + QStringLiteral(" order by gongxu_code, changhao"), values);
    if (!rows.open()) {
        *error = tr.sqlErrText;
        return false;
    }
    while (const auto row = rows.fetch()) {
        WorkerBadge b;
        b.number = text(row->at(0));
        if (b.number.isEmpty())
            continue;
        b.name = text(row->at(1));
        if (b.name.isEmpty())
            b.name = b.number;
        b.gongxu = text(row->at(2));
        const DeskDepartment *d = DeskDepartment::find(b.gongxu);
        b.department = d ? d->caption : b.gongxu;
        badges->append(b);
    }
    const bool ok = tr.sqlCode != -1;
    if (!ok)
        *error = tr.sqlErrText;
    rows.close();
    return ok;
}

} // namespace wip
