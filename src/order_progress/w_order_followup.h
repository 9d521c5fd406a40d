#pragma once

#include "runtime/widgets/window.h"

#include <QDate>

class QChart;
class QChartView;
class QSpinBox;
class QTabWidget;

namespace wip {

class CommandButton;
class EditMask;
class SingleLineEdit;
class StaticText;
namespace reports {
class ReportControl;
}

// "订单跟进 Order follow-up": what a merchandiser asks every morning, on three pages.
//  - The board (d_order_followup): the open contracts due by a horizon of days from
//    today (spin box, 7 by default; below 0 it shows only late ones), optionally of
//    one customer, with where each stands and why; late rows red, the others amber.
//    A double-click opens the contract in the sales-contract window (w_scno_process).
//  - The delay reasons of the contracts late today (d_delay_reasons) as a Pareto chart,
//    the contracts without a reason apart beside it, and its table.
//  - The on-time delivery rate per customer over a range of invoice days (the last
//    90 days by default, d_ontime_rate) as a bar chart and its table.
// "打印" previews the report of the page shown, with its criteria in the heading;
// "导出" writes it to a workbook or a CSV file in the exports folder and says where
// (ReportExport). Every user may look; nothing is written to the database.
class w_order_followup : public Window
{
    Q_OBJECT
public:
    enum class Page { Board = 0, Reasons = 1, OnTime = 2 };

    explicit w_order_followup(QWidget *parent = nullptr);

    void open() override;

    // --- handlers ---
    void cb_query_clicked();
    void sp_horizon_valuechanged(int days);
    void dw_board_doubleclicked(int row);
    void cb_print_clicked();
    void cb_export_clicked();
    void cb_close_clicked();

    // --- for the application and tests ---
    QDate asOf() const { return m_asof; }              // the day of the last query
    QDate horizon() const { return m_asof.addDays(m_horizonDays); }
    Page page() const;
    void setPage(Page page);
    reports::ReportControl &report(Page page) const;
    QChart *reasonsChart() const { return m_reasonsChart; }
    QChart *noReasonChart() const { return m_noReasonChart; }   // the late contracts without a reason
    QChart *onTimeChart() const { return m_onTimeChart; }
    // Writes the report of a page to a workbook (.xlsx) or a CSV file (.csv), by the
    // file's suffix; a message box says why when it cannot.
    bool exportTo(Page page, const QString &fileName);

protected:
    void create() override;

private:
    QWidget *createBoardPage();
    QWidget *createReasonsPage();
    QWidget *createOnTimePage();
    void retrieveBoard();
    void retrieveReasons();
    void retrieveOnTime();
    void showContract(const QString &scno);
    QColor rowColour(int row) const;

    QTabWidget *tab_pages = nullptr;
    StaticText *st_horizon = nullptr;
    QSpinBox *sp_horizon = nullptr;
    StaticText *st_horizon_date = nullptr;
    StaticText *st_cust = nullptr;
    SingleLineEdit *sle_custno = nullptr;
    reports::ReportControl *dw_board = nullptr;
    StaticText *st_board = nullptr;
    QChartView *chart_reasons = nullptr;
    QChartView *chart_noreason = nullptr;
    reports::ReportControl *dw_reasons = nullptr;
    StaticText *st_range = nullptr;
    EditMask *em_stime = nullptr;
    StaticText *st_to = nullptr;
    EditMask *em_etime = nullptr;
    QChartView *chart_ontime = nullptr;
    reports::ReportControl *dw_ontime = nullptr;
    StaticText *st_ontime = nullptr;
    CommandButton *cb_query = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_export = nullptr;
    CommandButton *cb_close = nullptr;

    QChart *m_reasonsChart = nullptr;
    QChart *m_noReasonChart = nullptr;
    QChart *m_onTimeChart = nullptr;
    QDate m_asof;
    int m_horizonDays = 7;
};

} // namespace wip
