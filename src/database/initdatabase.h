#pragma once

#include "database/schema.h"
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
    bool codes = true;        // the factory's fixed codes (FactoryCodes) in a new database;
                              // the tests' databases hold only the rows each test names
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
// wip_schema version row, the day_wip department rows, the process and stock codes
// (FactoryCodes), and with options.demo the demo factory. All of it is one transaction: a failure
// leaves the database as it was.
//
// On a database that already holds this Wip schema version it keeps every table
// and row: it adds the views and indexes of this build that the database lacks (one
// made by an earlier build), and demo rows when asked for and the database holds no
// contract yet. A database of an older schema version is upgraded first, as
// upgradeDatabase does; one holding other tables, or a newer version, is refused.
//
// The Transaction overload commits its work (and leaves tr connected); the
// QSqlDatabase overload runs in a transaction of its own on that connection. On
// PostgreSQL both end by gathering the tables' statistics (ANALYZE), so that the
// first queries on a database just filled are planned for its rows.
InitResult initDatabase(Transaction &tr, const InitOptions &options = {});
InitResult initDatabase(QSqlDatabase db, const InitOptions &options = {});

struct UpgradeResult
{
    bool ok = false;
    int fromVersion = 0;      // the version found (Schema::version when nothing was to do)
    QString error;            // why it failed; empty when ok
    bool upgraded() const { return ok && fromVersion != 0 && fromVersion < Schema::version; }
};

// Brings a Wip database of an older schema version up to this one, in one
// transaction of tr: adds the tables, columns and indexes it lacks (audit_log
// for version 1; users.active and users.must_change, the tables customer and
// worker and the reference-data columns of ReferenceSchema, scond.line_no and
// sconh.next_line_no for version 2) and sets the version. Rows already there
// are never changed but for the line numbers, which the lines of version 2 get
// in the order their tickets had (LineNumbers); for version 3 rows are added
// where a table of the fixed codes is empty (FactoryCodes), every customer code
// the contracts use becomes a customer, and where no user holds the users
// right each user whose sales-contract rights are everything (a text ending in
// "A") gets it, with its audit row, so that someone can open the users window.
// A database of this version gets the tables and added columns it lacks (made
// by an earlier build of the version) and is otherwise left as it is (ok). One
// of a newer version, or one without a
// version, is refused with nothing changed. The desktop start and the commands
// that write run it before checking the schema.
UpgradeResult upgradeDatabase(Transaction &tr);

} // namespace wip
