#pragma once

#include "desk/bagplace.h"
#include "desk/bagticket.h"
#include "desk/deskoutcome.h"

#include <QString>

namespace wip {

class Transaction;

// The bag a scanned code names, for an action on it: the contract's header
// row locked first (FOR UPDATE on PostgreSQL; SQLite's writer holds the whole
// database), so that desks acting on one contract take turns and each finds the
// bag where the one before left it; the line's ticket and where the bag is.
// Refused (with the result and the reason for the clerk): a code that is not a
// ticket, an unknown contract or line, a deleted line, an invoiced contract.
class BagLookup
{
public:
    // *ticket names contract and line whatever the outcome.
    static bool open(Transaction &tr, const QString &code, BagTicket *ticket, BagPlace *place,
                     DeskOutcome::Result *result, QString *message);
};

} // namespace wip
