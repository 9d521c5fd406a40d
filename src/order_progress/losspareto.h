#pragma once

#include "runtime/decimal.h"

#include <QList>
#include <QString>

namespace wip::reports {
class DataStore;
}

namespace wip {

// The excess loss of d_loss_exceptions per worker, as its Pareto chart reads
// it: for each worker the excess over the allowance of the rows that exceed
// it, in pure grams (excess x purity, so that gold and platinum of several
// purities add up), largest first (ties by worker number), each with the
// cumulative share of the total in percent to one decimal, the last at 100.
// Rows within their allowance add nothing. For the rows
//
//     0401 18K 0.400 g over (0.300 pure), 0402 PT950 0.100 over (0.095),
//     0401 PT950 0.100 over (0.095), 0403 within
//
// the ranking is 0401 0.395 (80.6 %), 0402 0.095 (100 %).
class LossPareto
{
public:
    struct Worker
    {
        QString changhao;
        QString name;
        Decimal excess;            // pure grams over the allowance
        double cumulative = 0;     // percent of the total, up to this one
    };

    // Reads changhao, xingming, purate and c_excess of the retrieved report.
    static LossPareto fromReport(const reports::DataStore &rows);

    const QList<Worker> &workers() const { return m_workers; }
    Decimal total() const { return m_total; }
    bool isEmpty() const { return m_workers.isEmpty(); }

private:
    QList<Worker> m_workers;
    Decimal m_total = Decimal::fromInt(0);
};

} // namespace wip
