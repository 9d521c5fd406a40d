#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class DropDownListBox;
class EditMask;
class StaticText;
namespace reports {
class ReportControl;
}

// "金属结存 Metal balance": where the metal is, per department desk, worker and
// transfer between desks, and per metal, for a range of days (d_metal_balance):
// opening, what came in and went out, loss, closing, in grams and pure grams.
// The department list narrows the rows retrieved to one department (its
// totals are then that department's); "全部 All" shows the factory.
class w_metal_balance : public Window
{
    Q_OBJECT
public:
    explicit w_metal_balance(QWidget *parent = nullptr);

    void open() override;

    void cb_query_clicked();
    void cb_print_clicked();
    void cb_close_clicked();

    static QString allDepartments();   // "全部 All"

protected:
    void create() override;

private:
    StaticText *st_1 = nullptr;
    EditMask *em_stdate = nullptr;
    StaticText *st_2 = nullptr;
    EditMask *em_eddate = nullptr;
    StaticText *st_3 = nullptr;
    DropDownListBox *ddlb_dept = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_close = nullptr;
    reports::ReportControl *dw_balance = nullptr;
};

} // namespace wip
