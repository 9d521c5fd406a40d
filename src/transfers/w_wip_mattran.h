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

// "产量统计报表": the transfers one stock passed on to later stocks in a date
// range (d_wip_protran), and the wire-and-solder issue and receipt of the same
// stock (d_jcjl_mattran_ws). Each query runs over a connection of its own. Enter
// walks from the first date to the second, to the stock list, to the query button,
// runs the query and moves on to print.
class w_wip_mattran : public Window
{
    Q_OBJECT
public:
    explicit w_wip_mattran(QWidget *parent = nullptr);

    void open() override;

    void cb_query_clicked();
    void cb_ws_clicked();
    void cb_print_clicked();
    void cb_close_clicked();
    void window_key(int key, int keyflags);

    QString focusTag() const { return focus; }

    // The English name of a stock for the report title; fallback for other codes.
    static QString englishStockName(const QString &stockCode, const QString &fallback);

protected:
    void create() override;

private:
    void query(const QString &definition, const QString &titleSuffix, const QString &fallbackName);

    StaticText *st_1 = nullptr;
    EditMask *em_stdate = nullptr;
    StaticText *st_2 = nullptr;
    EditMask *em_eddate = nullptr;
    StaticText *st_3 = nullptr;
    DropDownListBox *ddlb_pcode = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_ws = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_close = nullptr;
    reports::ReportControl *dw_wip_detail = nullptr;

    QString focus;   // tag of the control that last took the focus
};

} // namespace wip
