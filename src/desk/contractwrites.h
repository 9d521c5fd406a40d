#pragma once

#include "database/auditlog.h"

#include <QString>
#include <QVariant>

namespace wip {

class Transaction;
namespace reports {
class DataStore;
}

// The writes of the sales-contract window, each one whole piece of work on a
// transaction the caller gives, so that clerks at several desks (or threads, each
// with a connection of its own) can save progress and delete headers at the same
// time and end as if they had taken turns. No message is shown here: the window
// shows its own.
//
// A save first locks the header rows of the contracts it writes for (SELECT ...
// FOR UPDATE on PostgreSQL; SQLite lets one writer in at a time), so that
// - a header another clerk deletes is deleted either after the save, or before
//   it: then the save finds the header gone and writes nothing (HeaderGone);
// - when two clerks add the first record of one contract at once, the second
//   finds the first one's record and writes nothing (RecordExists): a contract
//   has at most one progress record.
// A deletion takes the header row's lock through its DELETE, so it waits for a
// save that holds it.
class ContractWrites
{
public:
    enum class SaveResult { Saved, HeaderGone, RecordExists, DayClosed, Failed };

    // Writes the changes of a d_w_process_input store (rows added, changed and
    // deleted: changed columns only, by key, as DataStore::Update writes them) in
    // one transaction of tr, or a savepoint when tr is already inside work of the
    // caller. On Saved the rows' states are reset; otherwise nothing is written and
    // the rows keep what was typed and their states, so the same save can be
    // repeated. A record changed or deleted here that another clerk has deleted
    // meanwhile fails the save. Every field written goes into the audit trail
    // in the same work (as from `who`, for order line scondId when given); a
    // row that cannot be written there fails the save.
    // A save counts on the day it is made, for each department whose figures
    // or date it changes (wax_in, wax_out, wax_date: 唧蜡 ...); when one of
    // those days is closed (ClosedDays) nothing is written and *refusal names
    // the day and who closed it (DayClosed).
    static SaveResult saveProcess(reports::DataStore &process, Transaction &tr,
                                  const AuditSource &who = AuditSource::window(QStringLiteral("w_scno_process")),
                                  const QVariant &scondId = QVariant(), QString *refusal = nullptr);
    // The department (ScanDepartment caption) whose figures a column of the
    // progress record holds; empty for the others (remark, bz).
    static QString departmentOf(const QString &column);

    // Deletes the header of contract scno from sconh (its lines and progress
    // record stay). True when a row was deleted and the work committed; otherwise
    // the work of tr is rolled back and false returned. The deleted header's
    // fields go into the audit trail in the same work.
    static bool deleteHeader(const QString &scno, Transaction &tr,
                             const AuditSource &who = AuditSource::window(QStringLiteral("w_scno_process")));
};

} // namespace wip
