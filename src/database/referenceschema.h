#pragma once

#include "database/schema.h"
#include "runtime/transaction.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace wip {

// What the factory's own reference data adds to the database in schema version
// 3, kept apart from the rest of the schema so that the step to version 3 reads
// as one list:
//
//   new tables   customer (cust_no, cust_name, contact, active)
//                worker   (changhao, xingming, gongxu_code, active)
//   new columns  material.mname, .unit, .hallmark, .active
//                settype.active, arttype.active, article.active
//                audit_log.record_table, .record_key (which row of which table a
//                change of reference data is about)
//
// `active` is 0 for a code that is no longer used for new work; NULL and 1 both
// mean in use, so that rows written without it (older programs, the demo's
// bulk tables) stay in use. Schema::tables() already holds all of this; a
// database of an older version gets it from upgradeDatabase().
class ReferenceSchema
{
public:
    struct AddedColumn
    {
        QString table;
        ColumnDef column;
    };

    static QList<TableDef> tables();
    static QList<AddedColumn> addedColumns();
    static QList<IndexDef> indexes();

    // The rows the step to version 3 writes, inside the upgrade's transaction and
    // after the tables and columns are there: every customer code the contracts
    // use (sconh.cust_no) becomes a customer, in use, without a name. False with
    // *error when a statement fails.
    static bool takeOverCustomers(QSqlDatabase &db, QString *error);
};

} // namespace wip
