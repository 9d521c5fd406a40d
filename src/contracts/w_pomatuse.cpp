#include "contracts/w_pomatuse.h"

#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/statictext.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_pomatuse::w_pomatuse(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_pomatuse"));
    setTitle(QStringLiteral("物料耗用"));
    resize(980, 560);
}

void w_pomatuse::create()
{
    st_scno = new StaticText(this, QStringLiteral("st_scno"));
    dw_pomatuse = new reports::ReportControl(this, QStringLiteral("dw_pomatuse"));
    dw_pomatuse->setDataObject(QStringLiteral("d_w_pomatuse"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);

    auto *top = new QHBoxLayout;
    top->addWidget(st_scno, 1);
    top->addWidget(cb_print);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dw_pomatuse, 1);

    on(cb_print, &CommandButton::clicked, this, &w_pomatuse::cb_print_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_pomatuse::cb_close_clicked);
}

void w_pomatuse::open()
{
    m_scno = message().powerObjectParm.toString();
    st_scno->setText(QStringLiteral("KCNO: ") + m_scno);
    setTitle(QStringLiteral("物料耗用 ") + m_scno);
    dw_pomatuse->SetTransObject(Transaction::sqlca());
    dw_pomatuse->Retrieve({m_scno});
}

void w_pomatuse::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_pomatuse->SaveAs(s.dw_name);
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_pomatuse::cb_close_clicked()
{
    Close();
}

} // namespace wip
