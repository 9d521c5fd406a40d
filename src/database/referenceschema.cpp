#include "database/referenceschema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace wip {

QList<TableDef> ReferenceSchema::tables()
{
    using T = ColumnType;
    QList<TableDef> t;
    t.append({"customer", "a customer of the factory: the code contracts give (sconh.cust_no), name, contact",
              {{"cust_no", T::Text}, {"cust_name", T::Text}, {"contact", T::Text}, {"active", T::Integer}},
              {"cust_no"}});
    t.append({"worker", "a worker: the worker number the steps and transfers give (changhao, gonghao), "
                        "name, the department (a process code) and whether still at work",
              {{"changhao", T::Text}, {"xingming", T::Text}, {"gongxu_code", T::Text}, {"active", T::Integer}},
              {"changhao"}});
    return t;
}

QList<ReferenceSchema::AddedColumn> ReferenceSchema::addedColumns()
{
    using T = ColumnType;
    return {
        {"material", {"mname", T::Text}},
        {"material", {"unit", T::Text}},
        {"material", {"hallmark", T::Text}},
        {"material", {"active", T::Integer}},
        {"settype", {"active", T::Integer}},
        {"arttype", {"active", T::Integer}},
        {"article", {"active", T::Integer}},
        {"audit_log", {"record_table", T::Text}},
        {"audit_log", {"record_key", T::Text}},
    };
}

QList<IndexDef> ReferenceSchema::indexes()
{
    return {
        {"ix_audit_log_record", "audit_log", {"record_table", "record_key"}},
        {"ix_worker_gongxu", "worker", {"gongxu_code"}},
    };
}

bool ReferenceSchema::takeOverCustomers(QSqlDatabase &db, QString *error)
{
    // Codes exactly as the contracts spell them, so that each contract finds its
    // customer; a code of blanks only is no customer.
    QSqlQuery q(db);
    const bool ok = q.exec(QStringLiteral(
        "insert into customer (cust_no, active) "
        "select distinct h.cust_no, 1 from sconh h "
        "where h.cust_no is not null and trim(h.cust_no) <> '' "
        "and not exists (select 1 from customer c where c.cust_no = h.cust_no)"));
    if (!ok && error)
        *error = q.lastError().text().trimmed();
    return ok;
}

} // namespace wip
