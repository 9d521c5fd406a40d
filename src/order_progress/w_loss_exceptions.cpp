#include "order_progress/w_loss_exceptions.h"

#include "order_progress/losspareto.h"
#include "order_progress/lossparetochart.h"
#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/reportexport.h"
#include "reports/widgets/s_preview.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/values.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

namespace wip {

namespace {

const QString kLossTitle = QStringLiteral("超耗工人 Loss over allowance");

QString dayText(const QDate &day)
{
    return String(day, QStringLiteral("yyyy-mm-dd"));
}

// A price typed in the window: a decimal of at most two places, 0 or more;
// nullopt for anything else.
std::optional<Decimal> price(const QString &text)
{
    const std::optional<Decimal> d = values::parseNumber(text.trimmed());
    if (!d || !d->isValid() || d->sign() < 0 || d->normalized().scale() > 2)
        return std::nullopt;
    return d;
}

} // namespace

w_loss_exceptions::w_loss_exceptions(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_loss_exceptions"));
    setTitle(kLossTitle);
    resize(1180, 820);
}

void w_loss_exceptions::create()
{
    st_range = new StaticText(this, QStringLiteral("st_range"), QStringLiteral("收回日期 Taken back"));
    em_stime = new EditMask(this, QStringLiteral("em_stime"));
    st_to = new StaticText(this, QStringLiteral("st_to"), QStringLiteral("～"));
    em_etime = new EditMask(this, QStringLiteral("em_etime"));
    st_range->setBuddy(em_stime);
    st_gold = new StaticText(this, QStringLiteral("st_gold"), QStringLiteral("金价/纯克 Gold per pure g"));
    sle_gold_price = new SingleLineEdit(this, QStringLiteral("sle_gold_price"));
    sle_gold_price->setMaximumWidth(110);
    st_gold->setBuddy(sle_gold_price);
    st_pt = new StaticText(this, QStringLiteral("st_pt"), QStringLiteral("铂价/纯克 Platinum"));
    sle_pt_price = new SingleLineEdit(this, QStringLiteral("sle_pt_price"));
    sle_pt_price->setMaximumWidth(110);
    st_pt->setBuddy(sle_pt_price);

    dw_exceptions = new reports::ReportControl(this, QStringLiteral("dw_exceptions"));
    dw_exceptions->setDataObject(QStringLiteral("d_loss_exceptions"));
    m_chart = LossParetoChart::make();
    chart_pareto = new QChartView(m_chart, this);
    chart_pareto->setObjectName(QStringLiteral("chart_pareto"));
    chart_pareto->setRenderHint(QPainter::Antialiasing);
    chart_pareto->setMinimumHeight(240);
    st_summary = new StaticText(this, QStringLiteral("st_summary"));
    st_summary->setWordWrap(true);

    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询(&Q)"));
    cb_query->setDefault(true);
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印(&P)"));
    cb_export = new CommandButton(this, QStringLiteral("cb_export"), QStringLiteral("导出(&E)"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);

    auto *criteria = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{st_range, em_stime, st_to, em_etime, st_gold, sle_gold_price,
                                                      st_pt, sle_pt_price})
        criteria->addWidget(w);
    criteria->addStretch(1);
    auto *buttons = new QHBoxLayout;
    for (CommandButton *b : {cb_query, cb_print, cb_export})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addWidget(chart_pareto, 2);
    layout->addWidget(dw_exceptions, 3);
    layout->addWidget(st_summary);
    layout->addLayout(buttons);

    on(cb_query, &CommandButton::clicked, this, &w_loss_exceptions::cb_query_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_loss_exceptions::cb_print_clicked);
    on(cb_export, &CommandButton::clicked, this, &w_loss_exceptions::cb_export_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_loss_exceptions::cb_close_clicked);
}

void w_loss_exceptions::open()
{
    // This month so far.
    const QDate today = Today();
    em_stime->setText(dayText(QDate(today.year(), today.month(), 1)));
    em_etime->setText(dayText(today));
    if (sle_gold_price->text().isEmpty())
        sle_gold_price->setText(QStringLiteral("0"));
    if (sle_pt_price->text().isEmpty())
        sle_pt_price->setText(QStringLiteral("0"));
    cb_query_clicked();
    em_stime->setFocus();
}

void w_loss_exceptions::cb_query_clicked()
{
    const QDate first = em_stime->date();
    const QDate last = em_etime->date();
    const std::optional<Decimal> gold = price(sle_gold_price->text());
    const std::optional<Decimal> platinum = price(sle_pt_price->text());
    QString refusal;
    if (!first.isValid() || !last.isValid())
        refusal = QStringLiteral("请填写日期 (yyyy-mm-dd)。 Type both days.");
    else if (first > last)
        refusal = QStringLiteral("开始日期在结束日期之后。 The first day is after the last.");
    else if (!gold || !platinum)
        refusal = QStringLiteral("价格要写 0 或以上的数字, 最多两位小数。 A price is a number of 0 or more, at most two places.");
    if (!refusal.isEmpty()) {
        st_summary->setText(refusal);
        return;
    }
    dw_exceptions->SetTransObject(Transaction::sqlca());
    dw_exceptions->Modify(QStringLiteral("t_head.text=")
                          + reports::quoteString(QStringLiteral("收回日期 Taken back %1 ~ %2").arg(dayText(first), dayText(last))));
    const int rows = dw_exceptions->Retrieve({first, last, gold->toVariant(), platinum->toVariant()});
    const LossPareto pareto = LossPareto::fromReport(dw_exceptions->store());
    LossParetoChart::show(m_chart, pareto);
    if (rows < 0) {
        st_summary->setText(QStringLiteral("查询失败, 详见跟踪记录。 The query failed; the trace log says why."));
        return;
    }
    int over = 0;
    for (int row = 1; row <= rows; ++row)
        over += dw_exceptions->GetItemNumber(row, QStringLiteral("c_exceeds")) > 0 ? 1 : 0;
    st_summary->setText(rows == 0 ? QStringLiteral("%1 ~ %2 没有收回的工人单。 No worker sheets taken back in the range.")
                                        .arg(dayText(first), dayText(last))
                                  : QStringLiteral("%1 行 rows, 超耗 over the allowance %2 (红底 red fill), 超耗纯金 %3 g pure.")
                                        .arg(rows)
                                        .arg(over)
                                        .arg(pareto.total().rounded(3).toString()));
}

void w_loss_exceptions::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_exceptions->SaveAs(s.dw_name);   // throws when it cannot be written: no preview then
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_loss_exceptions::cb_export_clicked()
{
    reports::ReportExport::withDialog(this, dw_exceptions->store(), kLossTitle);
}

bool w_loss_exceptions::exportTo(const QString &fileName)
{
    return reports::ReportExport::toFile(dw_exceptions->store(), fileName, kLossTitle);
}

void w_loss_exceptions::cb_close_clicked()
{
    Close();
}

} // namespace wip
