#include "daily_output/w_wip_today.h"

#include "daily_output/recomputedaywip.h"
#include "daily_output/w_production.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/statictext.h"

#include "runtime/longwork.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_wip_today::w_wip_today(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_wip_today"));
    setTitle(QStringLiteral("在做资料"));
    resize(960, 560);
}

void w_wip_today::create()
{
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("日期"));
    em_1 = new EditMask(this, QStringLiteral("em_1"), QStringLiteral("yyyy-mm-dd"));
    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询"));
    cb_query->setDefault(true);
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_1 = new CommandButton(this, QStringLiteral("cb_1"), QStringLiteral("产量统计"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    dw_wip_detail = new reports::ReportControl(this, QStringLiteral("dw_wip_detail"));
    dw_wip_detail->setDataObject(QStringLiteral("d_wip_today44"));

    auto *top = new QHBoxLayout;
    top->addWidget(st_1);
    top->addWidget(em_1);
    top->addSpacing(12);
    top->addWidget(cb_query);
    top->addWidget(cb_print);
    top->addWidget(cb_1);
    top->addStretch(1);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dw_wip_detail, 1);

    on(cb_query, &CommandButton::clicked, this, &w_wip_today::cb_query_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_wip_today::cb_print_clicked);
    on(cb_1, &CommandButton::clicked, this, &w_wip_today::cb_1_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_wip_today::cb_close_clicked);
}

void w_wip_today::open()
{
    dw_wip_detail->SetTransObject(Transaction::sqlca());
    em_1->setText(String(Today(), QStringLiteral("yyyy-mm-dd")));
}

void w_wip_today::cb_query_clicked()
{
    // The recomputation reads and writes a whole factory's steps: the clerk
    // sees a busy cursor at once and after a second how far it got, with
    // Cancel; the window keeps painting. A cancelled recomputation stops at
    // the start of its next step, or during a long read, and day_wip keeps the
    // figures of the last complete run.
    LongWork work(QStringLiteral("正在计算在做资料 Recomputing..."));
    const bool done = recompute_day_wip(em_1->text(), Transaction::sqlca(), [](int step, int steps) {
        LongWork::progress(step, steps);
    });
    if (!done)
        return;

    // The output chart, when it is open, shows the day just computed.
    if (auto *chart = qobject_cast<w_production *>(Window::findLatest(QStringLiteral("w_production"))))
        chart->refresh();

    dw_wip_detail->setDataObject(QStringLiteral("d_wip_today44"));
    dw_wip_detail->setObjectText(QStringLiteral("t_8"), em_1->text());
    dw_wip_detail->SetTransObject(Transaction::sqlca());
    dw_wip_detail->Retrieve();
}

void w_wip_today::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_wip_detail->SaveAs(s.dw_name);
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_wip_today::cb_1_clicked()
{
    Open(QStringLiteral("w_production"));
}

void w_wip_today::cb_close_clicked()
{
    Close();
}

} // namespace wip
