#pragma once

#include "database/auditlog.h"
#include "database/rightscatalogue.h"
#include "desk/castingbatch.h"
#include "desk/desk.h"
#include "desk/deskoutcome.h"
#include "runtime/decimal.h"

#include <QString>

namespace wip {

class Transaction;

// Casting at 倒模's desk: one batch (a tree for several bags, one metal) in one
// transaction with its audit rows, or refused with its reason and nothing
// written. The batch gets a number of its own ("CB000001", counting on from the
// highest given), and writes
// - castind, per contract: castinh_no the batch, contractno, mcode the metal,
//   ldate, qtycal the grams cast for the contract's bags, qtyref their pieces,
//   loss the contract's share of the batch's loss (issued − cast − returned)
//   and puwithloss (qtycal + loss) × the metal's purity (NULL for a metal
//   without one). The loss is shared by the grams cast for each bag, each
//   share cut to the milligram and the last bag taking the rest, so that the
//   shares add up to the loss;
// - per bag: a step of 03-倒模 finished at once (proch, wsheetno the batch,
//   memo 铸造批, qty the pieces; casting's output is castind's, so the daily
//   figures read it nowhere else) with the metal the bag took in matuse
//   (grams cast and its share of the loss, pieces), for the material-use
//   report; the desk's row of the bag and bag_place at the grams cast (the bag
//   stays at the desk, to be passed on); the audit rows desk:cast and bag:place.
// Refused: a user without the desk's right; a desk other than 倒模; no bag; a
// bag named twice; a weight that does not read or no cast weight; an unknown
// ticket or an invoiced contract; a bag not at 倒模's desk (the message says
// where it is) or cast before; bags of different metals (a tree is poured from
// one melt); cast and returned grams above those issued.
//
// The numbering takes turns: on PostgreSQL the batch locks castind before it
// counts (SQLite's writer holds the database), and each bag's contract is
// locked as a desk action locks it, contracts in order.
class CastingDesk
{
public:
    struct Outcome
    {
        DeskOutcome::Result result = DeskOutcome::Result::Failed;
        QString message;                        // one line for the clerk
        QString batchNo;                        // castinh_no
        QString metal;
        Decimal cast = Decimal::fromInt(0);     // grams cast, every bag
        Decimal loss = Decimal::fromInt(0);     // issued − cast − returned

        bool done() const { return result == DeskOutcome::Result::Done; }
    };

    CastingDesk(Transaction &tr, const AuditSource &who, Rights rights, const Desk::Options &options);

    Outcome cast(const CastingBatch &batch);

private:
    struct Work;

    bool readInput(Work &w, const CastingBatch &batch);
    bool dayOpen(Work &w);
    bool number(Work &w);
    bool readBags(Work &w);
    static void shareLoss(Work &w);
    bool writeContracts(Work &w);
    bool writeBags(Work &w);
    bool refuse(Work &w, DeskOutcome::Result result, const QString &message) const;

    Transaction &m_tr;
    AuditSource m_who;
    Rights m_rights;
    Desk::Options m_options;
};

} // namespace wip
