#pragma once

#include "maintenance/finding.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>

namespace wip {

class Transaction;

// Wip's own rules over the factory's rows, each a query of bound values that
// runs unchanged on SQLite and PostgreSQL and reads only. Each finding names
// what to look at:
//
//   unknown-contract       a step, worker sheet line or transfer (proch,
//                          proch_new, work_report, jcjl_mattran) naming a
//                          contract the sales contracts (sconh) do not hold;
//                          one finding per table and contract
//   negative-holding       a desk or a worker holding less than nothing of a
//                          bag (its pieces or grams; a bag is one contract line
//                          in one metal), as the desk's rows keep it: the open
//                          proch_new rows of a desk (no worker) or a worker,
//                          the worker's pending sheet lines (work_report PEN),
//                          the worker's open sheets (work_wip), where the bag
//                          is (bag_place)
//   transfer-not-received  a transfer begun more than `days` days ago and not
//                          received (jcjl_mattran BEGIN); an issue to a worker
//                          (to the workers' stock 11-工人在做仓) is the worker's
//                          work, settled at the take-back, and not one of them
//   progress-disagrees     for a contract the department desk handled (its
//                          bags in bag_place): per department of the chain,
//                          the pieces its progress record has there (*_in −
//                          *_out) against the pieces of its bags there: at the
//                          desk, with its workers, out for outside work from it,
//                          or passed on to it and not received yet
//
// Before/after for the last: KC1 has two bags of 10 and 6 pieces; one is with
// a worker of 执模, the other passed on from 执模 to 镶石. The desk wrote
// filing_in 16, filing_out 6, setting_in 6: 执模 10 = 10, 镶石 6 = 6, agreed.
// A scan of the first bag's ticket out of 执模 at the old scan station makes
// filing_out 16: 执模 0 against 10, 镶石 16 against 6, two findings.
class ConsistencyCheck
{
public:
    struct Options
    {
        int days = 7;          // transfers not received after this many days
        QDateTime now;         // invalid: the current time
    };

    ConsistencyCheck(Transaction &tr, Options options);

    // Every rule in turn, the findings appended in the order above. False with
    // error() when a query failed (what the rules before it found is kept).
    bool run(QList<Finding> *findings);
    QString error() const { return m_error; }

    bool unknownContracts(QList<Finding> *findings);
    bool negativeHoldings(QList<Finding> *findings);
    bool transfersNotReceived(QList<Finding> *findings);
    bool progressAgrees(QList<Finding> *findings);

private:
    using Row = std::function<void(const QVariantList &)>;
    bool each(const QString &sql, const QVariantList &values, const Row &row);

    Transaction &m_tr;
    Options m_options;
    QString m_error;
};

} // namespace wip
