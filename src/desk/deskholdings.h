#pragma once

#include "desk/bagplace.h"
#include "runtime/decimal.h"

#include <QList>
#include <QString>

#include <optional>

namespace wip {

class Transaction;
struct DeskDepartment;

// What one department's desk has to do with, bag by bag, for the desk's
// window: the bags at its desk, those its workers hold (and what they hold on
// the open sheet), those sent to it and not yet received, and those it sent
// out for outside work. Read without locks; bags at the desk first, then with
// workers, arriving and outside, each by ticket code.
//
//   KC1-1  desk     10 件 31.250 克
//   KC1-2  worker   0401 张三 holds 4 件 12.500 克 (the desk 0 件)
//   KC1-3  transit  sent from 倒模: 6 件 18.000 克 to receive
class DeskHoldings
{
public:
    struct Bag
    {
        QString code;                      // the ticket, "<scno>-<line_no>"
        BagPlace place;
        std::optional<Decimal> workerPcs;  // with a worker: the open sheet's pieces and grams
        std::optional<Decimal> workerWeight;
        std::optional<Decimal> sentPcs;    // arriving or outside: the transfer's
        std::optional<Decimal> sentWeight;
    };

    // The totals the window's line shows.
    struct Totals
    {
        int deskBags = 0;
        Decimal deskPcs;
        Decimal deskWeight;
        int workerBags = 0;
        Decimal workerPcs;
        Decimal workerWeight;
        int arriving = 0;
        int outside = 0;
    };

    // False with *error when the tables cannot be read.
    static bool read(Transaction &tr, const DeskDepartment &dept, QList<Bag> *bags, QString *error);
    static Totals totals(const QList<Bag> &bags);
    // "收发 2 袋 14 件 43.750 克 · 工人手中 1 袋 4 件 12.500 克 · 待接收 1 袋 · 外发 0 袋"
    static QString describe(const Totals &t);
};

} // namespace wip
