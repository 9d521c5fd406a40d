#pragma once

#include "runtime/transaction.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace wip {

struct InitOptions
{
    bool demo = false;        // fill the deterministic demo factory
    int scale = 1;            // demo volume multiplier (1: the small demo factory)
    QDate today;              // the demo's "today"; invalid: the current date
};

struct InitResult
{
    bool ok = false;
    bool created = false;     // the schema was created now (false: it was there already)
    bool demoAdded = false;   // demo rows were written now
    QStringList viewsAdded;   // views an existing database lacked and got now
    QString error;            // why it failed; empty when ok
};

// The department rows of day_wip, in the order of the daily recomputation.
struct Department
{
    QString code;             // dep_c, e.g. "03-倒模"
    QString english;          // dep_e, e.g. "CASTING"
};
const QList<Department> &dayWipDepartments();

// Creates the factory database on an empty database: tables, indexes, views, the
// wip_schema version row, the day_wip department rows, the process and stock codes,
// and with options.demo the demo factory. All of it is one transaction: a failure
// leaves the database as it was.
//
// On a database that already holds this Wip schema version it keeps every table
// and row: it adds the views and indexes of this build that the database lacks (one
// made by an earlier build), and demo rows when asked for and the database holds no
// contract yet. A database holding other tables, or another schema version, is refused.
//
// The Transaction overload commits its work (and leaves tr connected); the
// QSqlDatabase overload runs in a transaction of its own on that connection.
InitResult initDatabase(Transaction &tr, const InitOptions &options = {});
InitResult initDatabase(QSqlDatabase db, const InitOptions &options = {});

} // namespace wip
