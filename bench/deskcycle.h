#pragma once

#include "desk/deskdepartment.h"
#include "desk/deskrequest.h"
#include "runtime/decimal.h"

#include <QList>
#include <QString>

#include <optional>

namespace wip {
class Transaction;
}

namespace wip::bench {

// A bag a benchmark's desk takes through its department: the ticket, where it
// is (its contract line not received yet, in transit to the desk, at the desk)
// and the grams its next action weighs (what was sent, or what the desk holds).
struct DeskBag
{
    enum class At { Line, Transit, Desk };
    QString code;
    long long scondId = 0;
    QString scno;
    At at = At::Transit;
    Decimal grams;
};

// The actions a clerk does with a bag at one desk, as the factory does them:
// receive it (unless it is at the desk already), issue it whole to a worker,
// take it back whole with 10 mg lost, pass it on with what the desk holds. At
// shipping the bag is only received. Weights follow each other exactly, so no
// action is refused for its grams.
class DeskCycle
{
public:
    static QList<DeskRequest> requests(const DeskBag &bag, const DeskDepartment &department, const QString &worker);
    // The bag as the next desk finds it after the cycle; nullopt at shipping.
    static std::optional<DeskBag> passedOn(const DeskBag &bag, const DeskDepartment &department);

    // Bags that fit the department's desk, by line (scond_id): at 唧蜡 the lines
    // of contracts not started, elsewhere those in transit to the desk (with the
    // grams sent) or at the desk, none of an invoiced contract; at most `limit`.
    static QList<DeskBag> bagsFor(Transaction &tr, const DeskDepartment &department, int limit);
    // An active worker of the department, or empty.
    static QString workerOf(Transaction &tr, const DeskDepartment &department);

    static Decimal loss() { return Decimal::fromUnits(10, 3); }
};

} // namespace wip::bench
