#include "contracts/w_scprogress.h"

#include "reports/modifytext.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/reportexport.h"
#include "reports/widgets/s_preview.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_scprogress::w_scprogress(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_scprogress"));
    setTitle(QStringLiteral("订单进度"));
    resize(1000, 600);
}

void w_scprogress::create()
{
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("货期"));
    em_date1 = new EditMask(this, QStringLiteral("em_date1"));
    st_2 = new StaticText(this, QStringLiteral("st_2"), QStringLiteral("至"));
    em_date2 = new EditMask(this, QStringLiteral("em_date2"));
    st_3 = new StaticText(this, QStringLiteral("st_3"), QStringLiteral("客户编号"));
    sle_custno = new SingleLineEdit(this, QStringLiteral("sle_custno"));
    sle_custno->setTextCase(SingleLineEdit::TextCase::Upper);
    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询"));
    cb_query->setDefault(true);
    cb_find = new CommandButton(this, QStringLiteral("cb_find"), QStringLiteral("查找"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_export = new CommandButton(this, QStringLiteral("cb_export"), QStringLiteral("导出"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    dw_sconh = new reports::ReportControl(this, QStringLiteral("dw_sconh"));
    dw_sconh->setDataObject(QStringLiteral("d_w_scprogress3"));

    auto *top = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{st_1, em_date1, st_2, em_date2, st_3, sle_custno, cb_query,
                                                       cb_find, cb_print, cb_export})
        top->addWidget(w);
    top->addStretch(1);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dw_sconh, 1);

    on(cb_query, &CommandButton::clicked, this, &w_scprogress::cb_query_clicked);
    on(cb_find, &CommandButton::clicked, this, &w_scprogress::cb_find_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_scprogress::cb_print_clicked);
    on(cb_export, &CommandButton::clicked, this, &w_scprogress::cb_export_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_scprogress::cb_close_clicked);
}

void w_scprogress::open()
{
    dw_sconh->SetTransObject(Transaction::sqlca());
    em_date1->setText(String(RelativeDate(Today(), -30), QStringLiteral("yyyy-mm-dd")));
    em_date2->setText(String(RelativeDate(Today(), 30), QStringLiteral("yyyy-mm-dd")));
    sle_custno->SetFocus();
}

void w_scprogress::cb_query_clicked()
{
    dw_sconh->Modify(QStringLiteral("t_head.text=")
                     + reports::quoteString(em_date1->text() + QStringLiteral(" - ") + em_date2->text()));
    const QString custno = Trim(sle_custno->text());
    if (dw_sconh->Retrieve({em_date1->date(), em_date2->date(), custno}) != 0)
        return;
    // Nothing found: say why where it is plain.
    if (custno.isEmpty())
        dw_sconh->setNote(QStringLiteral("没有找到合约: 客户编号是空的, 请输入客户编号。"));
    else
        dw_sconh->setNote(QStringLiteral("没有找到合约: 客户 %1 没有货期在 %2 至 %3 之间的未出货合约。")
                              .arg(custno, em_date1->text(), em_date2->text()));
}

void w_scprogress::cb_find_clicked()
{
    Open(QStringLiteral("w_scprogress_search"));
}

void w_scprogress::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_sconh->SaveAs(s.dw_name);   // throws when it cannot be written: no preview then
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_scprogress::cb_export_clicked()
{
    reports::ReportExport::withDialog(this, dw_sconh->store(), title());
}

bool w_scprogress::exportTo(const QString &fileName)
{
    return reports::ReportExport::toFile(dw_sconh->store(), fileName, title());
}

void w_scprogress::cb_close_clicked()
{
    Close();
}

} // namespace wip
