#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class DropDownListBox;
class StaticText;
namespace reports {
class ReportControl;
}

// "在做资料" of materials: the gold and platinum that workers hold on the open
// steps of one process, per material and worker (d_w_wipmat), with totals.
class w_wipmat : public Window
{
    Q_OBJECT
public:
    explicit w_wipmat(QWidget *parent = nullptr);

    void open() override;

    void cb_query_clicked();
    void cb_print_clicked();
    void cb_close_clicked();

protected:
    void create() override;

private:
    StaticText *st_1 = nullptr;
    DropDownListBox *ddlb_pcode = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_close = nullptr;
    reports::ReportControl *dw_wip_detail = nullptr;
};

} // namespace wip
