#include "order_progress/losspareto.h"

#include "reports/datastore.h"

#include <QMap>

#include <algorithm>
#include <cmath>

namespace wip {

LossPareto LossPareto::fromReport(const reports::DataStore &rows)
{
    LossPareto pareto;
    QMap<QString, Worker> byWorker;
    for (int row = 1; row <= rows.RowCount(); ++row) {
        const Decimal excess = rows.GetItemDecimal(row, QStringLiteral("c_excess"));
        if (!excess.isValid() || excess.sign() <= 0)
            continue;
        const QString code = rows.GetItemString(row, QStringLiteral("changhao"));
        Worker &w = byWorker[code];
        if (w.changhao.isEmpty()) {
            w.changhao = code;
            w.name = rows.GetItemString(row, QStringLiteral("xingming"));
            w.excess = Decimal::fromInt(0);
        }
        const Decimal pure = excess * rows.GetItemDecimal(row, QStringLiteral("purate"));
        if (pure.isValid())
            w.excess += pure;
    }
    pareto.m_workers = byWorker.values();
    std::stable_sort(pareto.m_workers.begin(), pareto.m_workers.end(),
                     [](const Worker &a, const Worker &b) { return a.excess > b.excess; });
    for (const Worker &w : std::as_const(pareto.m_workers))
        pareto.m_total += w.excess;
    Decimal running = Decimal::fromInt(0);
    for (Worker &w : pareto.m_workers) {
        running += w.excess;
        w.cumulative = pareto.m_total.sign() > 0
            ? std::round(1000.0 * (running / pareto.m_total).toDouble()) / 10.0
            : 0;
    }
    return pareto;
}

} // namespace wip
