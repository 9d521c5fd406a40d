#pragma once

#include "contracts/findorderdialog.h"

namespace wip {

// The find-order dialog of w_scprogress (the order-progress window).
class w_scprogress_search : public FindOrderDialog
{
    Q_OBJECT
public:
    explicit w_scprogress_search(QWidget *parent = nullptr)
        : FindOrderDialog(Variant::ScProgress, parent)
    {
        setWindowClassName(QStringLiteral("w_scprogress_search"));
    }
};

} // namespace wip
