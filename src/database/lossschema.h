#pragma once

#include "database/schema.h"
#include "runtime/transaction.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace wip {

// What loss against allowance adds to the schema (version 4), in one list apart
// from the rest:
// - loss_allowance: the loss a worker may make at a process step, in percent of
//   the metal issued, per process and metal. `metal` is a metal code
//   (material.mcode, "18KY"), a metal family ("18K", "PT950": the karat of a
//   gold, PT and the thousandths of a platinum) or NULL, the process's default.
//   The key allowance_key is "<gongxu_code>/<metal>", "*" for the default.
// - metal_recovery: metal a refinery gave back from a department's sweepings and
//   filings over a period: the department (a process code), the metal, the
//   period's first and last day, the grams, who entered it and when. The key
//   recovery_key is "<gongxu_code>/<mcode>/<period_start>/<period_end>".
class LossSchema
{
public:
    static QList<TableDef> tables();
    static QList<IndexDef> indexes();
    // view_metal_family (mcode, family): each gold's karat ("18K": purity x 24,
    // rounded) and each platinum's PT and thousandths ("PT950"), the family an
    // allowance may name instead of a metal code.
    static QList<ViewDef> views();

    // The factory's starting allowances, as written into an empty
    // loss_allowance: a default per process where workers lose metal, and the
    // metal families that lose less or more than it.
    struct Allowance
    {
        QString process;
        QString metal;        // empty: the process's default
        QString rate;         // percent, exact
    };
    static const QList<Allowance> &startingAllowances();

    // Writes the starting allowances when the table holds no row (a factory's
    // own are kept) inside the caller's transaction. False with *error when a
    // row cannot be written.
    static bool writeStartingAllowances(QSqlDatabase db, DbKind kind, QString *error);

    // The key of an allowance: "04-执模/18K", "04-执模/*".
    static QString allowanceKey(const QString &process, const QString &metal);
    // The rate that applies when no allowance of the process is kept: 2 %.
    static QString fallbackRate() { return QStringLiteral("2"); }
};

} // namespace wip
