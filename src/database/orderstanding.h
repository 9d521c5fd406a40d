#pragma once

#include "database/schema.h"

#include <QList>
#include <QString>

namespace wip {

// What the order follow-up means by its words, in one place: the view
// view_order_standing, one row per contract, that the follow-up reports
// (d_order_followup, d_delay_reasons, d_ontime_rate) read.
//
//   is_open   1 while the contract has no invoice number (inv_no NULL or ''), else 0.
//   on_time   1 for a delivered contract (inv_no set) whose invoice day (invdate) is
//             on or before its delivery day (deldate), else 0; compared on the day,
//             so a contract invoiced at 17:00 on the day it was due is on time.
//   dept      where the contract stands: of the departments of its progress record,
//             in production order (唧蜡 倒模 执模 镶石 执边 打磨 电金), the earliest
//             that holds pieces (received minus passed on, above 0) - the one that
//             holds the delivery back. "未开始" without a record or when the record
//             has received nothing; "待出货" when every piece has passed plating.
//   in_work   the pieces the departments of the chain hold together.
//   reason    the record's reason text (bz), else its code (remark), else "未填原因";
//   reason_code  the code (remark), NULL when none; reason_given 1 when either is there.
//
// A contract with more than one progress record stands by its first (lowest
// process_id), so it is never counted twice.
//
// Days late on a day D (D minus the delivery day, in whole days) depend on D and
// are counted by d_order_followup itself; a contract is late on D when its
// delivery day is before D.
class OrderStanding
{
public:
    struct Department
    {
        QString stage;      // column prefix in table process: wax -> wax_in, wax_out
        QString caption;    // "唧蜡"
    };

    // The departments of the progress record in production order.
    static const QList<Department> &chain();

    static QString notStarted();       // "未开始"
    static QString awaitingShipment(); // "待出货"
    static QString noReason();         // "未填原因"

    static ViewDef view();
};

} // namespace wip
