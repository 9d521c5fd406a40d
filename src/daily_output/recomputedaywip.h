#pragma once

#include <QString>
#include <functional>

namespace wip {

class Transaction;

// Progress of a recomputation: the step being worked on (1-based) of `steps`.
using RecomputeProgress = std::function<void(int step, int steps)>;

// Recomputes the daily summary table day_wip for the date text t ("yyyy-mm-dd"):
// zeroes every figure, then writes each department's output of the day and of the
// month, its pieces in process and the stones set, read through the seven source
// definitions d_wip_today1 ... d_wip_today43 on one DataStore. Every row's ldate
// then holds the date t (midnight): day_wip says which day its figures are of.
//
// The run is whole or nothing: it works inside one transaction of tr (a savepoint
// when tr is already inside work of the caller). When a host call or a database
// statement fails it rolls back, writes the trace line and returns false, so
// day_wip keeps the figures of the last complete run. Cancelled by the person
// waiting (LongWork), at the start of a step or during a long read, it rolls
// back the same way and returns false without a trace line. On success it
// commits (or releases the savepoint) and returns true.
//
// Clerks recomputing at once take turns: on PostgreSQL a run locks day_wip
// against other runs (readers pass) and, in a transaction of its own, reads all
// its sources as of one moment; day_wip then always holds the figures of one
// complete run. Each run uses its own DataStore, so runs on different
// transactions may go on in different threads (a transaction is used only in the
// thread that connected it).
bool recompute_day_wip(const QString &t, Transaction &tr, const RecomputeProgress &progress = {});

// The same on SQLCA, as the daily output window calls it.
bool recompute_day_wip(const QString &t);

// The seven departments of day_wip, in the order of the recomputation.
const QStringList &recomputeDepartments();

} // namespace wip
