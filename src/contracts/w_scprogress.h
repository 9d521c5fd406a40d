#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class EditMask;
class SingleLineEdit;
class StaticText;
namespace reports {
class ReportControl;
}

// "订单进度": the open (not invoiced) contracts of a customer with delivery dates
// in a range (d_w_scprogress3 in dw_sconh), and the find-order dialog
// w_scprogress_search to move to one of them. "打印" previews the list (and
// saves it from there), "导出" writes it to a workbook or a CSV file in the
// exports folder and says where (ReportExport). The list shows neither the
// contract's internal id nor the unused tick column.
class w_scprogress : public Window
{
    Q_OBJECT
public:
    explicit w_scprogress(QWidget *parent = nullptr);

    void open() override;
    void cb_query_clicked();
    void cb_find_clicked();
    void cb_print_clicked();
    void cb_export_clicked();
    // The export without the file dialog: .csv or a workbook by the suffix.
    bool exportTo(const QString &fileName);
    void cb_close_clicked();

protected:
    void create() override;

private:
    StaticText *st_1 = nullptr;
    EditMask *em_date1 = nullptr;
    StaticText *st_2 = nullptr;
    EditMask *em_date2 = nullptr;
    StaticText *st_3 = nullptr;
    SingleLineEdit *sle_custno = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_find = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_export = nullptr;
    CommandButton *cb_close = nullptr;
    reports::ReportControl *dw_sconh = nullptr;
};

} // namespace wip
