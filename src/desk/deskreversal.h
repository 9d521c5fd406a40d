#pragma once

#include "database/auditlog.h"
#include "database/rightscatalogue.h"
#include "desk/deskoutcome.h"
#include "desk/deskrequest.h"

#include <QDateTime>
#include <functional>

namespace wip {

class Transaction;
struct DeskDepartment;

// 冲销: a clerk's mistake at the desk corrected after the fact. The bag's last
// action, if it was an issue or a take-back at this department, is undone by
// new rows dated now, which cancel the old ones in every figure the reports
// read; the old rows are left as they were, so that a closed day keeps its
// figures and the audit trail tells what happened and why.
//
//   take back   the rows of ReversalRows (the FIN line, step, material,
//               transfer and returned grams negated); pieces the take-back
//               left with the worker closed with nothing (back to the desk);
//               the worker holds the bag again on the same sheet, as a new
//               open step, PEN line, open sheet and BEGIN transfer from now,
//               with what the worker held before the take-back; the desk
//               holds what it held before
//   issue       the worker's open step closed with nothing: every piece back
//               to the desk at the grams issued, no loss; the desk holds them
//
// In one transaction, with the audit rows desk:reverse (what was reversed and
// the reason) and bag:place. Refused, with nothing written: a user without the
// supervisor right; no reason; today closed at the department (the refusal
// names the day and who closed it); a bag whose last action is not an issue or
// a take-back at this department (the refusal says what came after), a
// reversal among them.
class DeskReversal
{
public:
    // What the correction would reverse, as it would be written.
    struct Plan
    {
        DeskOutcome::Result result = DeskOutcome::Result::Failed;
        QString message;            // the refusal, when not Done
        DeskAction action = DeskAction::Issue;   // the action reversed
        QString sheet;
        QString what;               // "收回 工单 ...: ..." for the clerk and the audit trail
        bool ok() const { return result == DeskOutcome::Result::Done; }
    };

    DeskReversal(Transaction &tr, const AuditSource &who, Rights rights, std::function<QDateTime()> clock = {});

    // What reversing the bag's last action at the department would undo; writes nothing.
    Plan look(const QString &code, const QString &department);
    DeskOutcome reverse(const DeskRequest &request);

private:
    struct Work;

    bool plan(Work &w);
    bool lastAction(Work &w);
    bool reverseIssue(Work &w);
    bool reverseTakeBack(Work &w);
    bool finish(Work &w);
    bool refuse(Work &w, DeskOutcome::Result result, const QString &message) const;

    Transaction &m_tr;
    AuditSource m_who;
    Rights m_rights;
    std::function<QDateTime()> m_clock;
};

} // namespace wip
