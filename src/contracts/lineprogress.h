#pragma once

#include "contracts/contractlinerules.h"

#include <QString>

namespace wip {

class Transaction;

// Reads how far a contract's pieces are in production, for the checks of
// ContractLineRules::checkProgress:
//
// - the contract: the largest figure of its progress record's piece
//   departments (唧蜡 to 电金, received or passed on), and the pieces its steps
//   of one process code gave out (proch, proch_new), whichever is more;
// - each line: what the scans of its ticket moved, netted with their undos,
//   from the audit trail (the scans write their fields under the line's
//   scond_id), the most of any department; and whether a scan of it stands.
//
//   audit_log: scond_id 7  wax_in      0 -> 12      (scan 唧蜡 接收)
//              scond_id 7  casting_out 0 -> 12      (scan 倒模 转出)
//              scond_id 7  filing_in   0 -> 12
//   line 7: 12 pieces in production
class LineProgress
{
public:
    // False, with tr's status, when it cannot be read.
    static bool read(Transaction &tr, const QString &scno, ContractLineRules::Progress *progress);

    // The piece columns of the progress record (wax_in ... rhodium_out).
    static const QStringList &pieceColumns();

private:
    static bool readContract(Transaction &tr, const QString &scno, Decimal *pieces);
    static bool readLines(Transaction &tr, const QString &scno, ContractLineRules::Progress *progress);
};

} // namespace wip
