#pragma once

#include "desk/bagplace.h"
#include "desk/bagticket.h"
#include "desk/deskrequest.h"
#include "runtime/decimal.h"

#include <QString>

#include <optional>

namespace wip {

class Transaction;
struct DeskDepartment;

// What a bag ticket scanned at a desk shows before the clerk gives the rest of
// an action: the line it names, where the bag is, and what the action's fields
// start from (the pieces the desk, the worker or the transfer holds, the grams
// sent or issued). It only reads, without the contract's lock: Desk::act checks
// everything again when the action is done.
//
// misfit() says at once why an action cannot be done where the bag is, in
// Desk's own words, so that the clerk learns it at the scan and not after
// typing the weights:
//
//   bag at 执模's desk:     发出 at 执模 fits;  发出 at 镶石 -> "袋卡 KC1-1 在执模收发 (...), 不能在镶石发出"
//   bag with worker 0401:   收回 at 执模 fits;  转出 at 执模 -> "袋卡 KC1-1 在执模工人 0401 张三手中, 收回后才能转出"
struct DeskLook
{
    enum class Result { Found, UnknownBag, Failed };

    Result result = Result::Failed;
    QString message;                   // UnknownBag, Failed: why, for the clerk
    BagTicket ticket;
    BagPlace place;
    std::optional<Decimal> linePcs;    // the pieces of the contract line (a whole number), if it has them
    std::optional<Decimal> heldPcs;    // with a worker: what the open sheet holds
    std::optional<Decimal> heldWeight;
    std::optional<Decimal> sentPcs;    // in transit or outside: what the transfer under way carries
    std::optional<Decimal> sentWeight;

    bool found() const { return result == Result::Found; }

    static DeskLook read(Transaction &tr, const QString &code);

    // Why the action cannot be done at this department where the bag is now;
    // empty when it can.
    QString misfit(DeskAction action, const DeskDepartment &dept, bool toOutside = false) const;
    // The pieces the action takes when the clerk gives none: the line's or the
    // transfer's (receive), the desk's (issue, pass on), the worker's (take back).
    std::optional<Decimal> defaultPieces(DeskAction action) const;
    // The grams the action is measured against: sent (receive), issued (take
    // back), held at the desk (issue, pass on).
    std::optional<Decimal> referenceWeight(DeskAction action) const;
    // "KC1 第 1 行 18KY R2401 10 件": the line, for the clerk.
    QString lineText() const;
};

} // namespace wip
