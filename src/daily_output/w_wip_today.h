#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class EditMask;
class StaticText;
namespace reports {
class ReportControl;
}

// "在做资料": the clerk picks a date; "查询" recomputes day_wip for it and shows
// the departments' figures through d_wip_today44, "打印" previews the report,
// "产量统计" opens the output chart w_production.
class w_wip_today : public Window
{
    Q_OBJECT
public:
    explicit w_wip_today(QWidget *parent = nullptr);

    void open() override;

    void cb_query_clicked();
    void cb_print_clicked();
    void cb_1_clicked();
    void cb_close_clicked();

protected:
    void create() override;

private:
    StaticText *st_1 = nullptr;
    EditMask *em_1 = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_1 = nullptr;
    CommandButton *cb_close = nullptr;
    reports::ReportControl *dw_wip_detail = nullptr;
};

} // namespace wip
