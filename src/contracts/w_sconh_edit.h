#pragma once

#include "contracts/contractheaderform.h"

namespace wip {

// The contract-header form that changes a sales-contract header.
class w_sconh_edit : public ContractHeaderForm
{
    Q_OBJECT
public:
    explicit w_sconh_edit(QWidget *parent = nullptr)
        : ContractHeaderForm(Mode::Edit, parent)
    {
        setWindowClassName(QStringLiteral("w_sconh_edit"));
    }
};

} // namespace wip
