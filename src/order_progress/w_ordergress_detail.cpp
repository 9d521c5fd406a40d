#include "order_progress/w_ordergress_detail.h"

#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/stringarray.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_ordergress_detail::w_ordergress_detail(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_ordergress_detail"));
    setTitle(QStringLiteral("付工人耗 耗用报表 Material use and worker loss"));
    resize(1100, 720);
    gongxu_array = {
        QStringLiteral("01-唧腊"), QStringLiteral("02-修腊"), QStringLiteral("03-倒磨"), QStringLiteral("04-执模"),
        QStringLiteral("05-出水"), QStringLiteral("06-镶石"), QStringLiteral("07-执边"), QStringLiteral("08-打磨"),
        QStringLiteral("09-电金"), QStringLiteral("10-出货"),
    };
}

void w_ordergress_detail::create()
{
    dw_ordergress = new reports::ReportControl(this, QStringLiteral("dw_ordergress"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    cb_1 = new CommandButton(this, QStringLiteral("cb_1"), QStringLiteral("物料使用(订单)"));
    cb_1->setDefault(true);
    cb_3 = new CommandButton(this, QStringLiteral("cb_3"), QStringLiteral("付工人耗(长纸)"));
    cb_4 = new CommandButton(this, QStringLiteral("cb_4"), QStringLiteral("付工人耗(订单)"));
    cb_5 = new CommandButton(this, QStringLiteral("cb_5"), QStringLiteral("付工人耗(汇总)"));
    cb_2 = new CommandButton(this, QStringLiteral("cb_2"), QStringLiteral("订单允许耗(A4)"));

    auto *buttons = new QHBoxLayout;
    for (CommandButton *b : {cb_1, cb_3, cb_4, cb_5, cb_2})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cb_print);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(dw_ordergress, 1);

    on(cb_1, &CommandButton::clicked, this, &w_ordergress_detail::cb_1_clicked);
    on(cb_3, &CommandButton::clicked, this, &w_ordergress_detail::cb_3_clicked);
    on(cb_4, &CommandButton::clicked, this, &w_ordergress_detail::cb_4_clicked);
    on(cb_5, &CommandButton::clicked, this, &w_ordergress_detail::cb_5_clicked);
    on(cb_2, &CommandButton::clicked, this, &w_ordergress_detail::cb_2_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_ordergress_detail::cb_print_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_ordergress_detail::cb_close_clicked);
}

void w_ordergress_detail::open()
{
    m_dateinf = message().powerObjectParm.value<date_str>();
    // Nothing shows until a report is chosen: say which contracts and what to press.
    QStringList ticked;
    for (const QString &scno : scno_sel().values())
        if (!Trim(scno).isEmpty())
            ticked << scno;
    if (ticked.isEmpty()) {
        dw_ordergress->clearReport(QStringLiteral("没有选取合约: 请在订单分析中选取合约, 再按「付工人耗」。"));
    } else {
        const QString range = m_dateinf.startdate.isEmpty() && m_dateinf.enddate.isEmpty()
            ? QString()
            : QStringLiteral(" (交货期 %1 至 %2)").arg(m_dateinf.startdate, m_dateinf.enddate);
        dw_ordergress->clearReport(
            QStringLiteral("所选合约 %1%2。\n请按上面的一个按钮显示报表: 「物料使用(订单)」(Enter)、"
                           "「付工人耗(长纸)」、「付工人耗(订单)」、「付工人耗(汇总)」或「订单允许耗(A4)」; "
                           "再按「打印」预览打印。")
                .arg(ticked.join(QStringLiteral(", ")), range));
    }
    cb_print->setEnabled(false);
}

void w_ordergress_detail::showReport(const QString &definition, const QString &heading, bool withSteps)
{
    dw_ordergress->setDataObject(definition);
    dw_ordergress->SetTransObject(Transaction::sqlca());
    dw_ordergress->Modify(QStringLiteral("t_head.text=")
                          + reports::quoteString(m_dateinf.startdate + QStringLiteral("----") + m_dateinf.enddate
                                                 + heading));
    // The whole array, blank entries included: they match no contract.
    const QStringList contracts = scno_sel().values();
    const int rows = withSteps ? dw_ordergress->Retrieve({contracts, gongxu_array})
                               : dw_ordergress->Retrieve({contracts});
    cb_print->setEnabled(true);
    if (rows != 0)
        return;
    // Nothing to report: say why.
    QStringList ticked;
    for (const QString &scno : contracts)
        if (!Trim(scno).isEmpty())
            ticked << scno;
    if (ticked.isEmpty())
        dw_ordergress->setNote(QStringLiteral("没有选取合约: 请在订单分析中选取合约, 再按「付工人耗」。"));
    else if (withSteps)
        dw_ordergress->setNote(QStringLiteral("所选合约 %1 没有物料使用记录。").arg(ticked.join(QStringLiteral(", "))));
    else
        dw_ordergress->setNote(QStringLiteral("所选合约 %1 没有完成(FIN)的工序, 没有耗料可报。")
                                   .arg(ticked.join(QStringLiteral(", "))));
}

void w_ordergress_detail::cb_1_clicked()
{
    showReport(QStringLiteral("d_w_scmatuse"), QStringLiteral("出货订单工序实耗表"), true);
}

void w_ordergress_detail::cb_3_clicked()
{
    showReport(QStringLiteral("d_w_ordergress"), QStringLiteral("订单付工人耗"), false);
}

void w_ordergress_detail::cb_4_clicked()
{
    showReport(QStringLiteral("d_w_losspaytow_sortbyscno"), QStringLiteral("出货订单付工人耗"), false);
}

void w_ordergress_detail::cb_5_clicked()
{
    showReport(QStringLiteral("d_w_losspaytow_sum"), QStringLiteral("出货订单付工人耗汇总表"), false);
}

void w_ordergress_detail::cb_2_clicked()
{
    showReport(QStringLiteral("d_w_alwloss"), QStringLiteral("出货订单工序实耗表"), false);
}

void w_ordergress_detail::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_ordergress->SaveAs(s.dw_name);   // throws when it cannot be written: no preview then
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_ordergress_detail::cb_close_clicked() { Close(); }

} // namespace wip
