#include "transfers/w_metal_balance.h"

#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/cursor.h"
#include "runtime/hosterror.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/statictext.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_metal_balance::w_metal_balance(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_metal_balance"));
    setTitle(QStringLiteral("金属结存 Metal balance"));
    resize(1200, 640);
}

QString w_metal_balance::allDepartments()
{
    return QStringLiteral("全部 All");
}

void w_metal_balance::create()
{
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("日期"));
    em_stdate = new EditMask(this, QStringLiteral("em_stdate"));
    st_2 = new StaticText(this, QStringLiteral("st_2"), QStringLiteral("至"));
    em_eddate = new EditMask(this, QStringLiteral("em_eddate"));
    st_3 = new StaticText(this, QStringLiteral("st_3"), QStringLiteral("部门"));
    ddlb_dept = new DropDownListBox(this, QStringLiteral("ddlb_dept"));
    ddlb_dept->setMinimumContentsLength(10);
    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询"));
    cb_query->setDefault(true);
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    dw_balance = new reports::ReportControl(this, QStringLiteral("dw_balance"));
    dw_balance->setDataObject(QStringLiteral("d_metal_balance"));

    auto *top = new QHBoxLayout;
    top->addWidget(st_1);
    top->addWidget(em_stdate);
    top->addWidget(st_2);
    top->addWidget(em_eddate);
    top->addSpacing(12);
    top->addWidget(st_3);
    top->addWidget(ddlb_dept);
    top->addSpacing(12);
    top->addWidget(cb_query);
    top->addWidget(cb_print);
    top->addStretch(1);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dw_balance, 1);

    on(cb_query, &CommandButton::clicked, this, &w_metal_balance::cb_query_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_metal_balance::cb_print_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_metal_balance::cb_close_clicked);
}

// This month so far, every department; the departments are the desks of day_wip.
void w_metal_balance::open()
{
    dw_balance->SetTransObject(Transaction::sqlca());
    const QDate today = Today();
    em_stdate->setText(String(QDate(today.year(), today.month(), 1), QStringLiteral("yyyy-mm-dd")));
    em_eddate->setText(String(today, QStringLiteral("yyyy-mm-dd")));
    ddlb_dept->AddItem(allDepartments());
    Cursor departments(Transaction::sqlca(), QStringLiteral("select dep_c from day_wip order by dep_c"));
    departments.open();
    while (const auto row = departments.fetch())
        ddlb_dept->AddItem(row->value(0).toString());
    departments.close();
    ddlb_dept->SelectItem(1);
    em_stdate->SetFocus();
}

// Retrieves the days given; a department chosen keeps its rows only.
void w_metal_balance::cb_query_clicked()
{
    const QString dept = ddlb_dept->text();
    const bool one = !dept.isEmpty() && dept != allDepartments();
    const QString head = one ? QStringLiteral("部门 ") + dept : QStringLiteral("全厂 Factory");
    const QString error = dw_balance->Modify(QStringLiteral("t_head.text=") + reports::quoteString(head));
    if (!error.isEmpty())
        throw HostError(ErrModifyFailed, error);
    dw_balance->Retrieve({em_stdate->text(), em_eddate->text()});
    if (!one)
        return;
    for (int row = dw_balance->RowCount(); row >= 1; --row) {
        if (dw_balance->GetItemString(row, QStringLiteral("gongxu_code")) != dept)
            dw_balance->DeleteRow(row);
    }
}

void w_metal_balance::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_balance->SaveAs(s.dw_name);
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_metal_balance::cb_close_clicked()
{
    Close();
}

} // namespace wip
