#pragma once

#include "order_progress/date_str.h"
#include "runtime/widgets/window.h"

#include <QStringList>

namespace wip {

class CommandButton;
namespace reports {
class ReportControl;
}

// The worker-loss and material-use reports of the contracts ticked in the order
// analysis (the global scno_sel): material use per order and process step,
// worker-loss payment on long paper, per order and as a summary, and the loss
// allowed per order. Each report is headed with the order analysis's delivery
// date range; "打印" prints the one shown through the preview. Reads only.
class w_ordergress_detail : public Window
{
    Q_OBJECT
public:
    explicit w_ordergress_detail(QWidget *parent = nullptr);

    void open() override;

    // --- handlers ---
    void cb_1_clicked();
    void cb_3_clicked();
    void cb_4_clicked();
    void cb_5_clicked();
    void cb_2_clicked();
    void cb_print_clicked();
    void cb_close_clicked();

    const date_str &dateRange() const { return m_dateinf; }
    // The process steps handed to d_w_scmatuse, in order.
    const QStringList &processSteps() const { return gongxu_array; }

protected:
    void create() override;

private:
    // Loads definition, heads it with the date range and title, retrieves it.
    void showReport(const QString &definition, const QString &heading, bool withSteps);

    reports::ReportControl *dw_ordergress = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_close = nullptr;
    CommandButton *cb_1 = nullptr;
    CommandButton *cb_3 = nullptr;
    CommandButton *cb_4 = nullptr;
    CommandButton *cb_5 = nullptr;
    CommandButton *cb_2 = nullptr;

    date_str m_dateinf;
    QStringList gongxu_array;
};

} // namespace wip
