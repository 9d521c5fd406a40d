#include "database/initdatabase.h"

#include "database/demofactory.h"
#include "database/factorycodes.h"
#include "database/linenumbers.h"
#include "database/lossschema.h"
#include "database/metalledger.h"
#include "database/rightscatalogue.h"
#include "database/referenceschema.h"
#include "database/schema.h"
#include "runtime/sqlvalue.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace wip {

namespace {

DbKind kindOf(const QSqlDatabase &db)
{
    const QString driver = db.driverName().toUpper();
    if (driver == QLatin1String("QSQLITE"))
        return DbKind::SQLite;
    if (driver == QLatin1String("QPSQL"))
        return DbKind::PostgreSQL;
    return DbKind::None;
}

// Tables and views of the user, lower case, without the engine's own.
QStringList existingObjects(const QSqlDatabase &db)
{
    QStringList names;
    const QStringList all = db.tables(QSql::Tables) + db.tables(QSql::Views);
    for (const QString &raw : all) {
        const QString name = raw.toLower();
        if (name.startsWith(QLatin1String("sqlite_")))
            continue;
        names << name;
    }
    names.sort();
    return names;
}

bool exec(QSqlDatabase &db, const QString &sql, const QVariantList &values, DbKind kind, QString *error)
{
    QSqlQuery q(db);
    bool ok;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        if (ok) {
            for (const QVariant &v : values)
                q.addBindValue(toDbValue(v, kind));
            ok = q.exec();
        }
    }
    if (!ok && error)
        *error = QStringLiteral("%1 [%2]").arg(q.lastError().text().trimmed(), sql.left(200));
    return ok;
}

std::optional<long long> count(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select count(*) from ") + table) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

// The names of the database's indexes, lower-case; nullopt (and *error) when they cannot be read.
std::optional<QStringList> indexNames(QSqlDatabase &db, DbKind kind, QString *error)
{
    QSqlQuery q(db);
    const QString sql = kind == DbKind::PostgreSQL
        ? QStringLiteral("select indexname from pg_indexes where schemaname = current_schema()")
        : QStringLiteral("select name from sqlite_master where type = 'index'");
    if (!q.exec(sql)) {
        *error = q.lastError().text();
        return std::nullopt;
    }
    QStringList names;
    while (q.next())
        names << q.value(0).toString().toLower();
    return names;
}

// For a database of the current schema version made by an earlier build: creates
// every index where missing (and drops the retired ones), and makes every view again (views hold no rows), so
// that the database reads as this build's views do; the views it did not have at
// all are named in *added. Tables and columns: addMissingTablesAndColumns.
bool addMissingViewsAndIndexes(QSqlDatabase &db, DbKind kind, const QStringList &existing, QStringList *added,
                               QString *error)
{
    const std::optional<QStringList> indexes = indexNames(db, kind, error);
    if (!indexes)
        return false;
    for (const IndexDef &i : Schema::indexes()) {
        if (!indexes->contains(i.name.toLower()) && !exec(db, Schema::createIndexSql(i), {}, kind, error))
            return false;
    }
    for (const QString &name : Schema::retiredIndexes()) {
        if (indexes->contains(name) && !exec(db, QStringLiteral("drop index ") + name, {}, kind, error))
            return false;
    }
    // The last made first, as a view may read an earlier one.
    const QList<ViewDef> &views = Schema::views();
    for (auto it = views.crbegin(); it != views.crend(); ++it) {
        if (existing.contains(it->name.toLower())
            && !exec(db, QStringLiteral("drop view ") + it->name, {}, kind, error))
            return false;
    }
    for (const ViewDef &v : views) {
        if (!exec(db, Schema::createViewSql(v), {}, kind, error))
            return false;
        if (!existing.contains(v.name.toLower()))
            added->append(v.name);
    }
    return true;
}

// The version row of an existing Wip database; -1 when there is none.
int storedVersion(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("select max(version) from ") + QLatin1String(Schema::versionTable)) && q.next()
        && !q.value(0).isNull())
        return q.value(0).toInt();
    return -1;
}

// The columns added to tables since version `from` that the database lacks (a
// table made by this upgrade has them already).
bool addColumnsSince(QSqlDatabase &db, DbKind kind, int from, QString *error)
{
    for (const AddedColumn &c : Schema::addedColumns()) {
        if (c.version <= from || db.record(c.table).contains(c.column))
            continue;
        if (!exec(db, Schema::addColumnSql(c, kind), {}, kind, error))
            return false;
    }
    return true;
}

// The tables of the schema the database lacks, and the added columns its tables
// lack, made whatever version it holds: a database of this version made by an
// earlier build of it lacks what the version gained since (the desk's tables).
bool addMissingTablesAndColumns(QSqlDatabase &db, DbKind kind, const QStringList &existing, QString *error)
{
    for (const TableDef &t : Schema::tables()) {
        if (!existing.contains(t.name.toLower()) && !exec(db, Schema::createTableSql(t, kind), {}, kind, error))
            return false;
    }
    return addColumnsSince(db, kind, 0, error);
}

// A database of this version made by an earlier build of it: what the version
// gained since (tables, added columns, indexes), its views made again, and
// numbers for lines made before lines kept one.
bool completeSameVersion(QSqlDatabase &db, DbKind kind, QStringList *viewsAdded, QString *error)
{
    const QStringList existing = existingObjects(db);
    return addMissingTablesAndColumns(db, kind, existing, error)
        && addMissingViewsAndIndexes(db, kind, existing, viewsAdded, error)
        && LineNumbers::numberUnnumbered(db, error)
        && (MetalLedger::installed(db, kind) || MetalLedger::install(db, kind, error));
}

// Whether the database lacks a table, an added column or an index of this
// build's schema (an index the desk's lookups need came after the tables).
bool lacksPartOfTheSchema(QSqlDatabase &db, DbKind kind)
{
    QString error;
    const std::optional<QStringList> indexes = indexNames(db, kind, &error);
    for (const IndexDef &i : Schema::indexes()) {
        if (indexes && !indexes->contains(i.name.toLower()))
            return true;
    }
    for (const QString &name : Schema::retiredIndexes()) {
        if (indexes && indexes->contains(name))
            return true;
    }
    const QStringList existing = existingObjects(db);
    for (const TableDef &t : Schema::tables()) {
        if (!existing.contains(t.name.toLower()))
            return true;
    }
    if (!MetalLedger::installed(db, kind))
        return true;
    for (const AddedColumn &c : Schema::addedColumns()) {
        if (!db.record(c.table).contains(c.column))
            return true;
    }
    return false;
}

// Users and rights of version 3: where nobody holds the users right, each user
// whose sales-contract text grants everything (ends in "A") is given it, so that
// the factory's administrator of before can open the users window; audited.
bool usersRightForAdministrators(QSqlDatabase &db, DbKind kind, int from, QString *error)
{
    if (from >= 3)
        return true;
    const RightsCatalogue::Entry &users = RightsCatalogue::entry(Right::Users);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select user_code, module, function, rights from rights"))) {
        *error = q.lastError().text();
        return false;
    }
    QStringList codes;
    while (q.next()) {
        const QString module = q.value(1).toString(), function = q.value(2).toString();
        if (module == users.module && function == users.function && RightsCatalogue::grants(q.value(3).toString()))
            return true;
        if (module == QLatin1String(RightsCatalogue::contractModule)
            && function == QLatin1String(RightsCatalogue::contractFunction)
            && q.value(3).toString().trimmed().endsWith(QLatin1Char('A')))
            codes << q.value(0).toString();
    }
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime stamp = now.addMSecs(-now.time().msec());
    for (const QString &code : std::as_const(codes)) {
        if (!exec(db, QStringLiteral("insert into rights (user_code, module, function, rights) values (?, ?, ?, ?)"),
                  {code, users.module, users.function, RightsCatalogue::grantedText()}, kind, error)
            || !exec(db,
                     QStringLiteral("insert into audit_log (changed_at, source, field, new_value) "
                                    "values (?, ?, ?, ?)"),
                     {stamp, QStringLiteral("wip upgrade"),
                      QStringLiteral("rights:%1:%2/%3").arg(code, users.module, users.function),
                      RightsCatalogue::grantedText()},
                     kind, error))
            return false;
    }
    return true;
}

// From an older version to this one, inside an open transaction: the tables,
// columns and indexes added since are created and the views made again (those it
// did not have are named in *viewsAdded); rows only as upgradeDatabase says.
bool upgradeInTransaction(QSqlDatabase &db, DbKind kind, int from, QStringList *viewsAdded, QString *error)
{
    if (from >= Schema::version)
        return true;
    const QStringList existing = existingObjects(db);
    return addMissingTablesAndColumns(db, kind, existing, error)
        && addMissingViewsAndIndexes(db, kind, existing, viewsAdded, error)
        && (from >= 3 || LineNumbers::numberUnnumbered(db, error))
        && usersRightForAdministrators(db, kind, from, error)
        && (from >= 3 || FactoryCodes::write(db, kind, true, error))
        && (from >= 3 || ReferenceSchema::takeOverCustomers(db, error))
        && (from >= 4 || LossSchema::writeStartingAllowances(db, kind, error))
        && MetalLedger::install(db, kind, error)
        && exec(db, QStringLiteral("update wip_schema set version = ?"), {Schema::version}, kind, error);
}

// A database that already holds tables: refused unless it is a Wip database of this
// version or an earlier one, which is brought up to this build's schema.
InitResult completeExisting(QSqlDatabase &db, DbKind kind, const QStringList &existing, const QDate &today,
                            const InitOptions &options)
{
    InitResult result;
    const QString versionTable = QLatin1String(Schema::versionTable);
    if (!existing.contains(versionTable)) {
        result.error = QStringLiteral(
                           "The database already holds tables that are not a Wip database "
                           "(for example \"%1\"); nothing was changed. Use an empty database.")
                           .arg(existing.first());
        return result;
    }
    const int version = storedVersion(db);
    if (version < 1 || version > Schema::version) {
        result.error = version < 0
            ? QStringLiteral("The database has a wip_schema table without a version; "
                             "nothing was changed.")
            : QStringLiteral("The database holds Wip schema version %1; this program works with "
                             "version %2. Nothing was changed.")
                  .arg(version).arg(Schema::version);
        return result;
    }
    // An older version is upgraded; the same schema, perhaps made by an earlier
    // build, gets the indexes it lacks and its views made again. Either way the
    // views are made once. Demo rows only into a database without contracts.
    QString error;
    if (version < Schema::version) {
        if (!upgradeInTransaction(db, kind, version, &result.viewsAdded, &error)) {
            result.error = QStringLiteral("Cannot upgrade the Wip database from version %1: ").arg(version) + error;
            return result;
        }
    } else if (!completeSameVersion(db, kind, &result.viewsAdded, &error)) {
        result.error = QStringLiteral("Cannot add to the Wip database: ") + error;
        return result;
    }
    if (options.demo && count(db, QStringLiteral("sconh")).value_or(1) == 0) {
        // The demo's rows are counted into the metal ledger at once, after them.
        DemoFactory demo(db, kind, today, options.scale);
        if (!MetalLedger::remove(db, kind, &error) || !demo.run() || !MetalLedger::install(db, kind, &error)) {
            result.error = QStringLiteral("Cannot write the demo data: ") + (error.isEmpty() ? demo.error() : error);
            return result;
        }
        result.demoAdded = true;
    }
    result.ok = true;
    return result;
}

// An empty database: every table, view and index, the version row, the departments'
// rows of the daily summary, and the demo rows when asked for.
InitResult createNew(QSqlDatabase &db, DbKind kind, const QDate &today, const InitOptions &options)
{
    InitResult result;
    QString error;
    for (const QString &sql : Schema::createStatements(kind)) {
        if (!exec(db, sql, {}, kind, &error)) {
            result.error = QStringLiteral("Cannot create the Wip database: ") + error;
            return result;
        }
    }
    if (!exec(db, QStringLiteral("insert into wip_schema (version) values (?)"), {Schema::version},
              kind, &error)) {
        result.error = QStringLiteral("Cannot create the Wip database: ") + error;
        return result;
    }
    // No day computed yet: ldate stays empty until the first recomputation
    // writes the day its figures are of.
    for (const Department &d : dayWipDepartments()) {
        if (!exec(db,
                  QStringLiteral("insert into day_wip (dep_c, dep_e, today_fin, today_tot, today_set, "
                                 "month_set, wip, ldate) values (?, ?, 0, 0, 0, 0, 0, null)"),
                  {d.code, d.english}, kind, &error)) {
            result.error = QStringLiteral("Cannot create the department rows: ") + error;
            return result;
        }
    }
    if (options.codes
        && (!FactoryCodes::write(db, kind, false, &error) || !LossSchema::writeStartingAllowances(db, kind, &error))) {
        result.error = QStringLiteral("Cannot write the process and stock codes: ") + error;
        return result;
    }
    result.created = true;
    if (options.demo) {
        DemoFactory demo(db, kind, today, options.scale);
        if (!demo.run()) {
            result.error = QStringLiteral("Cannot write the demo data: ") + demo.error();
            result.created = false;
            return result;
        }
        result.demoAdded = true;
    }
    // The ledger's triggers, and its rows counted from the demo's at once.
    if (!MetalLedger::install(db, kind, &error)) {
        result.error = QStringLiteral("Cannot create the Wip database: ") + error;
        result.created = false;
        return result;
    }
    result.ok = true;
    return result;
}

// The work inside an open transaction; the callers commit or roll back.
InitResult initInTransaction(QSqlDatabase db, DbKind kind, const InitOptions &options)
{
    const QDate today = options.today.isValid() ? options.today : QDate::currentDate();
    const QStringList existing = existingObjects(db);
    if (!existing.isEmpty())
        return completeExisting(db, kind, existing, today, options);
    return createNew(db, kind, today, options);
}

// Finishes the caller's open work first, so that ours is one transaction of its
// own, and begins it; false with *error set when either fails.
bool beginOwnWork(Transaction &tr, QString *error)
{
    if (tr.inTransaction() && !tr.commit()) {
        *error = tr.sqlErrText;
        return false;
    }
    if (!tr.begin()) {
        *error = QStringLiteral("Cannot begin a transaction: ") + tr.sqlErrText;
        return false;
    }
    return true;
}

// PostgreSQL plans a query by the statistics of its tables, and a database just
// filled has none until the server's own analysis comes round: the first
// queries would be planned as on empty tables. Gathered once the work is
// committed; a failure costs speed only, so it is not one of init-db.
void analyze(QSqlDatabase db, DbKind kind)
{
    if (kind == DbKind::PostgreSQL)
        QSqlQuery(db).exec(QStringLiteral("analyze"));
}

} // namespace

const QList<Department> &dayWipDepartments()
{
    static const QList<Department> list = {
        {QStringLiteral("03-倒模"), QStringLiteral("CASTING")},
        {QStringLiteral("04-执模"), QStringLiteral("FILING")},
        {QStringLiteral("06-镶石"), QStringLiteral("SETTING")},
        {QStringLiteral("07-执边"), QStringLiteral("FINISHING")},
        {QStringLiteral("08-打磨"), QStringLiteral("POLISHING")},
        {QStringLiteral("09-电金"), QStringLiteral("PLATING")},
        {QStringLiteral("20-出货"), QStringLiteral("SHIPPING")},
    };
    return list;
}

InitResult initDatabase(Transaction &tr, const InitOptions &options)
{
    InitResult result;
    if (!tr.isConnected()) {
        result.error = QStringLiteral("The database is not connected.");
        return result;
    }
    if (!beginOwnWork(tr, &result.error))
        return result;
    result = initInTransaction(tr.database(), tr.kind(), options);
    if (!result.ok) {
        tr.rollback();
        return result;
    }
    if (!tr.commit()) {
        result = InitResult();
        result.error = QStringLiteral("Cannot commit the new database: ") + tr.sqlErrText;
        return result;
    }
    analyze(tr.database(), tr.kind());
    return result;
}

InitResult initDatabase(QSqlDatabase db, const InitOptions &options)
{
    InitResult result;
    const DbKind kind = kindOf(db);
    if (!db.isOpen() || kind == DbKind::None) {
        result.error = QStringLiteral("The database is not open, or not SQLite or PostgreSQL.");
        return result;
    }
    if (!db.transaction()) {
        result.error = QStringLiteral("Cannot begin a transaction: ") + db.lastError().text();
        return result;
    }
    result = initInTransaction(db, kind, options);
    if (!result.ok) {
        db.rollback();
        return result;
    }
    if (!db.commit()) {
        result = InitResult();
        result.error = QStringLiteral("Cannot commit the new database: ") + db.lastError().text();
        return result;
    }
    analyze(db, kind);
    return result;
}

UpgradeResult upgradeDatabase(Transaction &tr)
{
    UpgradeResult result;
    if (!tr.isConnected()) {
        result.error = QStringLiteral("The database is not connected.");
        return result;
    }
    QSqlDatabase db = tr.database();
    result.fromVersion = storedVersion(db);
    if (result.fromVersion == Schema::version && !lacksPartOfTheSchema(db, tr.kind())) {
        result.ok = true;
        return result;
    }
    if (result.fromVersion < 1 || result.fromVersion > Schema::version) {
        result.error = result.fromVersion < 1
            ? QStringLiteral("The database has no Wip schema version; nothing was changed.")
            : QStringLiteral("The database holds Wip schema version %1; this program works with version %2. "
                             "Nothing was changed.").arg(result.fromVersion).arg(Schema::version);
        return result;
    }
    if (!beginOwnWork(tr, &result.error))
        return result;
    // Read again inside the transaction: another program may have upgraded it meanwhile.
    db = tr.database();
    if (tr.kind() == DbKind::PostgreSQL
        && !exec(db, QStringLiteral("select version from wip_schema for update"), {}, tr.kind(), &result.error)) {
        tr.rollback();
        return result;
    }
    const int from = storedVersion(db);
    QString error;
    QStringList viewsAdded;
    // A database of this version gets what an earlier build of it lacked.
    const bool ok = from == Schema::version ? completeSameVersion(db, tr.kind(), &viewsAdded, &error)
                                            : upgradeInTransaction(db, tr.kind(), from, &viewsAdded, &error);
    if (!ok) {
        tr.rollback();
        result.error = QStringLiteral("Cannot upgrade the Wip database from version %1: %2").arg(from).arg(error);
        return result;
    }
    if (!tr.commit()) {
        result.error = QStringLiteral("Cannot commit the upgrade: ") + tr.sqlErrText;
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace wip
