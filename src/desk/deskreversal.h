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
// action, if it was done at this department (a receive, an issue, a take-back
// or a pass-on), is undone by new rows dated now, which cancel the old ones in
// every figure the reports read; the old rows are left as they were, so that a
// closed day keeps its figures and the audit trail tells what happened and why.
//
//   receive     from a transfer: beside it a negated FINISH row, and the
//               transfer under way again from now (ReversalRows::reopenReceived);
//               the desk's holding closed; the bag in transit again (or at the
//               outside workshop: the outside step the receive closed
//               cancelled by a negated one, and open again from now). At
//               唧蜡 from the contract line: the desk's holding closed, the
//               receipt taken off the progress record, the bag not received
//   pass on     the transfer finished now and cancelled by a negated FINISH
//               row (ReversalRows::cancelSent); the desk holds the bag again
//               from now with what it sent; 转出 taken off the progress record
//               (and the next department's received figure with it); to
//               outside work, the outside step closed and cancelled by a
//               negated step
//   cast        at 倒模, the whole casting batch, when it is still the last
//               action of each of its bags: per bag a step of the batch with
//               its pieces negated (the batch reversed for it: it is wax
//               again, and may be cast anew) and its metal negated; the
//               batch's castind rows negated; each desk holds what it held
//               before the cast
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
// names the day and who closed it), or at the next one for a pass-on the
// progress record counted; a bag whose last action was not done at this
// department (the refusal says what came after), a reversal among them; a bag
// received by shipping.
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
    bool receivedOrSent(Work &w, const QString &last);
    bool castBatch(Work &w, const QString &batch, const QString &last);
    bool reverseCast(Work &w);
    bool reverseIssue(Work &w);
    bool reverseTakeBack(Work &w);
    bool reversePassOn(Work &w);
    bool reverseReceive(Work &w);
    bool progress(Work &w, const DeskDepartment &department, bool in);
    bool finish(Work &w);
    bool refuse(Work &w, DeskOutcome::Result result, const QString &message) const;

    Transaction &m_tr;
    AuditSource m_who;
    Rights m_rights;
    std::function<QDateTime()> m_clock;
};

} // namespace wip
