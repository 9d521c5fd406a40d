#pragma once

#include "runtime/transaction.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace wip {

// Kinds of column of the factory database. Each maps to one type per engine:
//   Id        INTEGER PRIMARY KEY (SQLite) / integer identity primary key (PostgreSQL)
//   Text      TEXT / text
//   Integer   INTEGER / integer
//   Number    NUMERIC / numeric(18,3)   quantities, weights, prices
//   DateTime  TEXT 'YYYY-MM-DD HH:MM:SS' / timestamp
enum class ColumnType { Id, Text, Integer, Number, DateTime };

struct ColumnDef
{
    QString name;
    ColumnType type = ColumnType::Text;
};

struct TableDef
{
    QString name;
    QString comment;                 // what a row is
    QList<ColumnDef> columns;
    QStringList primaryKey;          // empty: none (an Id column is its own key)

    const ColumnDef *column(const QString &name) const;
    QString idColumn() const;        // the Id column, or empty
};

struct ViewDef
{
    QString name;
    QString comment;                 // what the view counts
    QString sql;                     // the SELECT, the same text on both engines
};

// A column added to a table after the table was first made: upgrading a database
// of an earlier version adds it (NULL in the rows already there). Its type is the
// table's (Schema::table(table)->column(column)).
struct AddedColumn
{
    int version = 0;                 // the schema version that added it
    QString table;
    QString column;
};

struct IndexDef
{
    QString name;
    QString table;
    QStringList columns;
};

// The factory's database: every table, index and view, as plain data, and the
// statements that create them on SQLite or PostgreSQL. initDatabase() runs them;
// the demo generator and the tests read the column lists.
class Schema
{
public:
    // 2: audit_log. 3: users.active and users.must_change, the factory's
    // reference data (ReferenceSchema: customers, workers, columns of materials,
    // styles and the audit trail), scond.line_no and sconh.next_line_no, and the
    // department desk's bag_place and the bag's line on the steps (DeskSchema).
    // 4: closed_day, the days a department's supervisor has closed (ClosedDays);
    // jcjl_mattran.fdate, when a transfer was received, and work_report's
    // back_pcs and back_weight, pieces sent back unfinished (DeskSchema);
    // loss_allowance and metal_recovery, the allowances of loss and the metal
    // a refinery gave back (LossSchema).
    // 5: metal_day, the metal ledger the database keeps by triggers
    // (MetalLedger), filled from the rows there are when upgrading.
    // An older database is brought up to this version by adding what it lacks
    // (upgradeDatabase); a newer one is refused.
    static constexpr int version = 5;
    static constexpr const char *versionTable = "wip_schema";

    static const QList<TableDef> &tables();
    static const QList<ViewDef> &views();
    static const QList<IndexDef> &indexes();
    // Indexes an earlier build made that this one drops at the start, as they
    // led the database to a slow plan (names, lower case).
    static const QStringList &retiredIndexes();
    // Columns added to existing tables, oldest version first.
    static const QList<AddedColumn> &addedColumns();

    static const TableDef *table(const QString &name);   // case-insensitive; nullptr when unknown
    static QStringList tableNames();
    static QStringList viewNames();

    static QString columnTypeSql(ColumnType type, DbKind kind);
    static QString createTableSql(const TableDef &table, DbKind kind);
    static QString createIndexSql(const IndexDef &index);
    static QString createViewSql(const ViewDef &view);
    // ALTER TABLE ... ADD COLUMN of an added column; empty when the schema lacks it.
    static QString addColumnSql(const AddedColumn &column, DbKind kind);

    // Every statement of a fresh database, in order: tables, indexes, views.
    static QStringList createStatements(DbKind kind);
};

} // namespace wip
