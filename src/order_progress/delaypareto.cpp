#include "order_progress/delaypareto.h"

#include "reports/datastore.h"

#include <algorithm>
#include <cmath>

namespace wip {

QString DelayPareto::noReasonText()
{
    return QStringLiteral("未填原因");
}

DelayPareto DelayPareto::fromReport(const reports::DataStore &rows)
{
    DelayPareto pareto;
    for (int row = 1; row <= rows.RowCount(); ++row) {
        const QString reason = rows.GetItemString(row, QStringLiteral("reason"));
        const double count = rows.GetItemNumber(row, QStringLiteral("count"));
        if (reason == noReasonText()) {
            pareto.m_withoutReason += count;
            continue;
        }
        pareto.m_given.append({reason, count, 0});
        pareto.m_givenTotal += count;
    }
    std::stable_sort(pareto.m_given.begin(), pareto.m_given.end(),
                     [](const Reason &a, const Reason &b) { return a.count > b.count; });
    double running = 0;
    for (Reason &r : pareto.m_given) {
        running += r.count;
        r.cumulative = pareto.m_givenTotal > 0 ? std::round(1000.0 * running / pareto.m_givenTotal) / 10.0 : 0;
    }
    return pareto;
}

QString DelayPareto::twoLines(const QString &reason)
{
    // The break goes where Latin letters follow the last Chinese character.
    int lastHan = -1;
    for (int i = 0; i < reason.size(); ++i) {
        if (reason.at(i).script() == QChar::Script_Han)
            lastHan = i;
    }
    if (lastHan < 0 || lastHan + 1 >= reason.size())
        return reason;
    const QString head = reason.left(lastHan + 1).trimmed();
    QString tail = reason.mid(lastHan + 1).trimmed();
    if (head.isEmpty() || tail.isEmpty() || !tail.at(0).isLetter())
        return reason;
    // Longer English words go on two lines of their own, broken at the space
    // nearest the middle, so that nine reasons side by side stay whole.
    constexpr int kLongest = 10;
    if (tail.size() > kLongest) {
        const int middle = int(tail.size() / 2);
        int best = -1;
        for (int i = 0; i < tail.size(); ++i) {
            if (tail.at(i) == QLatin1Char(' ') && (best < 0 || std::abs(i - middle) < std::abs(best - middle)))
                best = i;
        }
        if (best > 0)
            tail = tail.left(best) + QStringLiteral("<br>") + tail.mid(best + 1);
    }
    return head + QStringLiteral("<br>") + tail;
}

} // namespace wip
