#pragma once

#include "contracts/contractheaderform.h"

namespace wip {

// The contract-header form that adds a sales-contract header.
class w_sconh_add : public ContractHeaderForm
{
    Q_OBJECT
public:
    explicit w_sconh_add(QWidget *parent = nullptr)
        : ContractHeaderForm(Mode::Add, parent)
    {
        setWindowClassName(QStringLiteral("w_sconh_add"));
    }
};

} // namespace wip
