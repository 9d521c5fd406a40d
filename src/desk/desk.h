#pragma once

#include "database/auditlog.h"
#include "database/rightscatalogue.h"
#include "desk/deskoutcome.h"
#include "desk/deskrequest.h"
#include "desk/deskrows.h"
#include "runtime/decimal.h"

#include <QDateTime>
#include <functional>
#include <memory>

namespace wip {

class Transaction;
struct DeskDepartment;

// A department's desk without a window: each action on a bag (one contract
// line, its ticket "<scno>-<n>") is one transaction of its own on the
// transaction given, that writes the step, sheet and transfer rows the reports
// read (DeskRows), where the bag is now (BagPlace), the progress record as 转出
// writes it (through ScanStation, in the same transaction) and the audit rows -
// or is refused with its reason and nothing written.
//
// The contract's header row is locked first (as a scan and the progress save
// lock it), so two desks acting on one bag end as if they had taken turns: the
// second finds the bag where the first left it.
//
// Refused: a user without the desk's right (the scan station's, or any right
// of the sales-contract window); a department, number or weight that does not
// read (weights: grams with at most three decimals); an unknown ticket; an
// invoiced contract; an action that does not fit where the bag is (the message
// says where it is); issuing a bag a worker of the department holds; more
// pieces than the desk holds, the worker holds or were sent; passing on or
// receiving part of a bag (a transfer moves the whole bag); a worker unknown,
// inactive or of another department (WorkerCheck); a received weight off the
// weight sent by more than the tolerance, unless confirmed (the confirmation is
// recorded); finished plus returned grams above what the worker was issued (a
// gain), unless a user with the supervisor right confirms it once the worker
// has given back every piece. At 镶石 the pieces issued carry their stones and
// the take-back says which were set and broken (SettingStones); stones given at
// any other action or desk, or counts that are not whole numbers, are refused.
// Casting batches at 倒模 are CastingDesk's; a reversal (DeskAction::Reverse)
// is DeskReversal's, which act() hands it to. Nothing is written on a day the
// department has closed (ClosedDays): the refusal names the day and who closed it.
class Desk
{
public:
    struct Options
    {
        Decimal tolerance = Decimal::fromUnits(10, 3);   // grams a receipt may differ from what was sent
        std::function<QDateTime()> clock;                 // the moment of an action; empty: now
    };

    Desk(Transaction &tr, const AuditSource &who, Rights rights, const Options &options);

    DeskOutcome act(const DeskRequest &request);

    // Whether rights let a user act at a desk: the scan right or any right of
    // the sales-contract window, as for the scan station.
    static bool mayAct(Rights rights);

private:
    struct Work;

    bool readInput(Work &w);
    bool dayOpen(Work &w);
    bool readBag(Work &w);
    bool receive(Work &w);
    bool receiveFromLine(Work &w);
    bool receiveSent(Work &w, bool fromOutside);
    bool weightDifference(Work &w, const Decimal &sent, const Decimal &received);
    bool issue(Work &w);
    bool takeBack(Work &w);
    bool gainAllowed(Work &w, const Decimal &issued, const Decimal &back, bool piecesStay);
    bool readStoneCounts(Work &w);
    bool settleStones(Work &w, const DeskRows::Held &held, DeskRows::Settlement &s);
    bool passOn(Work &w);
    bool progress(Work &w, const DeskDepartment &department, bool in);
    bool finish(Work &w);
    bool refuse(Work &w, DeskOutcome::Result result, const QString &message) const;

    Transaction &m_tr;
    AuditSource m_who;
    Rights m_rights;
    Options m_options;
};

} // namespace wip
