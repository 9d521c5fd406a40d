#include "transfers/w_wipmat.h"

#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/hosterror.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/statictext.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_wipmat::w_wipmat(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_wipmat"));
    setTitle(QStringLiteral("在做资料"));
    resize(1000, 600);
}

void w_wipmat::create()
{
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("工序"));
    ddlb_pcode = new DropDownListBox(this, QStringLiteral("ddlb_pcode"));
    ddlb_pcode->setMinimumContentsLength(12);
    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    dw_wip_detail = new reports::ReportControl(this, QStringLiteral("dw_wip_detail"));
    dw_wip_detail->setDataObject(QStringLiteral("d_w_wipmat"));

    auto *top = new QHBoxLayout;
    top->addWidget(st_1);
    top->addWidget(ddlb_pcode);
    top->addSpacing(12);
    top->addWidget(cb_query);
    top->addWidget(cb_print);
    top->addStretch(1);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dw_wip_detail, 1);

    on(cb_query, &CommandButton::clicked, this, &w_wipmat::cb_query_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_wipmat::cb_print_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_wipmat::cb_close_clicked);
}

void w_wipmat::open()
{
    dw_wip_detail->SetTransObject(Transaction::sqlca());
    Transaction &sqlca = Transaction::sqlca();
    long long n = 0;
    if (const auto row = sqlca.selectInto(QStringLiteral("select count ( distinct gongxu_code ) from gongxu ")))
        n = row->value(0).toLongLong();
    Cursor gongxuitem(sqlca, QStringLiteral("select distinct gongxu_code from gongxu "));
    gongxuitem.open();
    for (long long i = 1; i <= n; ++i) {
        const auto code = gongxuitem.fetch();
        ddlb_pcode->AddItem(code ? code->value(0).toString() : QString());
    }
    gongxuitem.close();
}

void w_wipmat::cb_query_clicked()
{
    // The title is quoted with the engine's helper: a process code with a quote
    // in it still gives its title.
    const QString error = dw_wip_detail->Modify(
        QStringLiteral("t_head.text=") + reports::quoteString(ddlb_pcode->text() + QStringLiteral("工序在做单物料报表")));
    if (!error.isEmpty())
        throw HostError(ErrModifyFailed, error);
    dw_wip_detail->Retrieve({ddlb_pcode->text()});
}

void w_wipmat::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_wip_detail->SaveAs(s.dw_name);
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_wipmat::cb_close_clicked()
{
    Close();
}

} // namespace wip
