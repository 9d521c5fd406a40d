#pragma once

#include "runtime/widgets/window.h"

class QChart;
class QChartView;

namespace wip {

class CommandButton;
class EditMask;
class SingleLineEdit;
class StaticText;
namespace reports {
class ReportControl;
}

// "超耗工人 Loss over allowance": who lost more metal than the allowances of
// 基础资料 allow, over a range of take-back days (this month by default), worst
// first (d_loss_exceptions), with the value of the excess at the gold and
// platinum prices per pure gram typed above it, the metal the refinery gave
// back shared among the rows, and a Pareto chart of the excess by worker.
// Exceeding rows are filled red by the definition, on screen, on paper and in
// the workbook. "打印" previews, "导出" writes a workbook or CSV file. Every
// user may look; nothing is written.
class w_loss_exceptions : public Window
{
    Q_OBJECT
public:
    explicit w_loss_exceptions(QWidget *parent = nullptr);

    void open() override;

    // --- handlers ---
    void cb_query_clicked();
    void cb_print_clicked();
    void cb_export_clicked();
    void cb_close_clicked();

    // --- for the application and tests ---
    reports::ReportControl &report() const { return *dw_exceptions; }
    QChart *paretoChart() const { return m_chart; }
    bool exportTo(const QString &fileName);

protected:
    void create() override;

private:
    EditMask *em_stime = nullptr;
    EditMask *em_etime = nullptr;
    SingleLineEdit *sle_gold_price = nullptr;
    SingleLineEdit *sle_pt_price = nullptr;
    StaticText *st_range = nullptr;
    StaticText *st_to = nullptr;
    StaticText *st_gold = nullptr;
    StaticText *st_pt = nullptr;
    StaticText *st_summary = nullptr;
    reports::ReportControl *dw_exceptions = nullptr;
    QChartView *chart_pareto = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_export = nullptr;
    CommandButton *cb_close = nullptr;
    QChart *m_chart = nullptr;
};

} // namespace wip
