#pragma once

#include "desk/bagplace.h"
#include "desk/bagticket.h"
#include "desk/deskrequest.h"
#include "runtime/decimal.h"

#include <QString>

#include <optional>

namespace wip {

// What one desk action did, or why it was refused (nothing written then).
struct DeskOutcome
{
    enum class Result {
        Done,
        NoRight,           // the user may not act at the desk
        BadInput,          // a department, number or weight that does not read
        UnknownBag,        // no such ticket, contract or line
        Invoiced,          // the contract is invoiced
        WrongPlace,        // the action does not fit where the bag is (the message says where)
        WithWorker,        // the bag is with a worker of the department
        TooManyPieces,     // more pieces than the desk or the worker holds, or than were sent
        WholeBag,          // a transfer moves the whole bag: as many pieces as the desk holds
        BadWorker,         // unknown, inactive, or of another department
        WeightDifference,  // received weight off what was sent beyond the tolerance, not confirmed
        Gain,              // finished and returned above what was issued, not confirmed by a supervisor
                           // (a casting batch: cast and returned above the metal issued)
        Stones,            // stones set or broken that the style or what was issued does not allow
        DayClosed,         // the department's day of the action is closed (ClosedDays)
        NotLast,           // reverse: the action is not the bag's last (the message says what came after)
        Failed,            // the database refused or could not be read
    };
    Result result = Result::Failed;
    QString message;             // one line for the clerk
    DeskAction action = DeskAction::Receive;
    BagTicket ticket;
    BagPlace before;
    BagPlace after;
    QString noteNo;              // the sheet or transfer the action wrote (reverse: of the action reversed)
    QString reversed;            // reverse: what was reversed, as the audit trail has it
    std::optional<Decimal> loss;         // take back: issued − finished − returned (− back to desk)
    std::optional<Decimal> difference;   // receive: received − sent

    bool done() const { return result == Result::Done; }
};

} // namespace wip
