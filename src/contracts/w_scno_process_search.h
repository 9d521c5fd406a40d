#pragma once

#include "contracts/findorderdialog.h"

namespace wip {

// The find-order dialog of w_scno_process (the sales-contract window).
class w_scno_process_search : public FindOrderDialog
{
    Q_OBJECT
public:
    explicit w_scno_process_search(QWidget *parent = nullptr)
        : FindOrderDialog(Variant::ScnoProcess, parent)
    {
        setWindowClassName(QStringLiteral("w_scno_process_search"));
    }
};

} // namespace wip
