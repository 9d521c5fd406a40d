#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class DropDownListBox;
class SingleLineEdit;
class StaticText;
class Transaction;
namespace reports {
class ReportControl;
}

// "在做资料": the orders in process at one process step. "查询" shows the
// department's stock or the open steps by worker, "NEW WIP" the open steps of
// proch_new, "IN HAND" the work with workers, issuers and stores, "STONE INHAND"
// the stones in hand; each over a connection of its own. The two setting-method
// buttons (created hidden; the launcher reaches them) list the methods by worker
// and export them to the spreadsheet "d:\LAsb.xls".
class w_wip_detail : public Window
{
    Q_OBJECT
public:
    explicit w_wip_detail(QWidget *parent = nullptr);

    void open() override;

    void cb_query_clicked();
    void cb_3_clicked();
    void cb_4_clicked();
    void cb_5_clicked();
    void cb_1_clicked();
    void cb_2_clicked();
    void cb_print_clicked();
    void cb_close_clicked();

protected:
    void create() override;

private:
    bool connectOwn(Transaction &tr_arttype);
    static void normaliseProchNew(Transaction &tr_arttype);

    StaticText *st_1 = nullptr;
    DropDownListBox *ddlb_pcode = nullptr;
    SingleLineEdit *sle_clientno = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_3 = nullptr;
    CommandButton *cb_4 = nullptr;
    CommandButton *cb_5 = nullptr;
    CommandButton *cb_1 = nullptr;
    CommandButton *cb_2 = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_close = nullptr;
    reports::ReportControl *dw_wip_detail = nullptr;
};

} // namespace wip
