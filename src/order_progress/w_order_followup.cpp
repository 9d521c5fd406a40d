#include "order_progress/w_order_followup.h"

#include "order_progress/followupcharts.h"
#include "reports/catalogue.h"
#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/reportexport.h"
#include "reports/widgets/s_preview.h"
#include "runtime/hosterror.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace wip {

namespace {

const QString kFollowupTitle = QStringLiteral("订单跟进 Order follow-up");
const QString kBoard = QStringLiteral("d_order_followup");

QString followupDayText(const QDate &day)
{
    return String(day, QStringLiteral("yyyy-mm-dd"));
}

// The board's definition for one customer: its rows where cust_no equals the
// bound argument custno, quotes and wildcards taken as typed.
std::shared_ptr<const reports::Definition> boardOfCustomer()
{
    const auto board = reports::Catalogue::instance().find(kBoard);
    if (!board)
        throw HostError(ErrUnknownDefinition, kBoard);
    auto filtered = std::make_shared<reports::Definition>(*board);
    filtered->query = QStringLiteral("select * from (%1) f where f.cust_no = :custno").arg(board->query);
    filtered->arguments.append({QStringLiteral("custno"), reports::ArgumentType::String, {}, {}, {}});
    return filtered;
}

QChartView *chartView(QWidget *parent, const QString &name, QChart *chart)
{
    auto *view = new QChartView(chart, parent);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(240);
    return view;
}

} // namespace

w_order_followup::w_order_followup(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_order_followup"));
    setTitle(kFollowupTitle);
    resize(1180, 780);
}

void w_order_followup::create()
{
    tab_pages = new QTabWidget(this);
    tab_pages->setObjectName(QStringLiteral("tab_pages"));
    tab_pages->addTab(createBoardPage(), QStringLiteral("跟进 &Board"));
    tab_pages->addTab(createReasonsPage(), QStringLiteral("延误原因 &Reasons"));
    tab_pages->addTab(createOnTimePage(), QStringLiteral("准时交货 &On-time"));

    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询(&Q)"));
    cb_query->setDefault(true);
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印(&P)"));
    cb_export = new CommandButton(this, QStringLiteral("cb_export"), QStringLiteral("导出(&E)"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);

    auto *buttons = new QHBoxLayout;
    for (CommandButton *b : {cb_query, cb_print, cb_export})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tab_pages, 1);
    layout->addLayout(buttons);

    dw_board->setRowBackground([this](int row) { return rowColour(row); });
    on(cb_query, &CommandButton::clicked, this, &w_order_followup::cb_query_clicked);
    on(sp_horizon, &QSpinBox::valueChanged, this, &w_order_followup::sp_horizon_valuechanged);
    on(dw_board, &reports::ReportControl::doubleclicked, this, &w_order_followup::dw_board_doubleclicked);
    on(cb_print, &CommandButton::clicked, this, &w_order_followup::cb_print_clicked);
    on(cb_export, &CommandButton::clicked, this, &w_order_followup::cb_export_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_order_followup::cb_close_clicked);
}

QWidget *w_order_followup::createBoardPage()
{
    auto *page = new QWidget;
    st_horizon = new StaticText(page, QStringLiteral("st_horizon"), QStringLiteral("货期在 Due within"));
    sp_horizon = new QSpinBox(page);
    sp_horizon->setObjectName(QStringLiteral("sp_horizon"));
    sp_horizon->setRange(-366, 366);
    sp_horizon->setValue(m_horizonDays);
    sp_horizon->setSuffix(QStringLiteral(" 天 days"));
    sp_horizon->setKeyboardTracking(false);   // typed days count on Enter or Tab; the arrows at once
    sp_horizon->setToolTip(QStringLiteral("今天起的天数; 小于0只显示已迟订单\n"
                                          "Days from today; below 0 shows only late contracts"));
    st_horizon->setBuddy(sp_horizon);
    st_horizon_date = new StaticText(page, QStringLiteral("st_horizon_date"));
    st_horizon_date->setMinimumWidth(220);
    st_cust = new StaticText(page, QStringLiteral("st_cust"), QStringLiteral("客户 Customer"));
    sle_custno = new SingleLineEdit(page, QStringLiteral("sle_custno"));
    sle_custno->setTextCase(SingleLineEdit::TextCase::Upper);   // customer numbers are upper case
    sle_custno->setPlaceholderText(QStringLiteral("全部 All"));
    sle_custno->setMaximumWidth(160);
    st_cust->setBuddy(sle_custno);
    dw_board = new reports::ReportControl(page, QStringLiteral("dw_board"));
    dw_board->setDataObject(kBoard);
    st_board = new StaticText(page, QStringLiteral("st_board"));
    st_board->setWordWrap(true);

    auto *criteria = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{st_horizon, sp_horizon, st_horizon_date})
        criteria->addWidget(w);
    criteria->addSpacing(16);
    criteria->addWidget(st_cust);
    criteria->addWidget(sle_custno);
    criteria->addStretch(1);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(criteria);
    layout->addWidget(dw_board, 1);
    layout->addWidget(st_board);
    return page;
}

QWidget *w_order_followup::createReasonsPage()
{
    auto *page = new QWidget;
    m_reasonsChart = FollowupCharts::makeChart(QStringLiteral("迟交订单原因 Delay reasons (Pareto)"));
    chart_reasons = chartView(page, QStringLiteral("chart_reasons"), m_reasonsChart);
    m_noReasonChart = FollowupCharts::makeChart(QStringLiteral("未填原因"));
    chart_noreason = chartView(page, QStringLiteral("chart_noreason"), m_noReasonChart);
    chart_noreason->setMinimumWidth(190);
    dw_reasons = new reports::ReportControl(page, QStringLiteral("dw_reasons"));
    dw_reasons->setDataObject(QStringLiteral("d_delay_reasons"));
    auto *charts = new QHBoxLayout;
    charts->addWidget(chart_reasons, 5);
    charts->addWidget(chart_noreason, 1);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(charts, 3);
    layout->addWidget(dw_reasons, 2);
    return page;
}

QWidget *w_order_followup::createOnTimePage()
{
    auto *page = new QWidget;
    st_range = new StaticText(page, QStringLiteral("st_range"), QStringLiteral("出货日期 Invoiced"));
    em_stime = new EditMask(page, QStringLiteral("em_stime"));
    st_to = new StaticText(page, QStringLiteral("st_to"), QStringLiteral("～"));
    em_etime = new EditMask(page, QStringLiteral("em_etime"));
    st_range->setBuddy(em_stime);
    m_onTimeChart = FollowupCharts::makeChart(QStringLiteral("客户准时交货率 On-time delivery per customer"));
    chart_ontime = chartView(page, QStringLiteral("chart_ontime"), m_onTimeChart);
    dw_ontime = new reports::ReportControl(page, QStringLiteral("dw_ontime"));
    dw_ontime->setDataObject(QStringLiteral("d_ontime_rate"));
    st_ontime = new StaticText(page, QStringLiteral("st_ontime"));

    auto *criteria = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{st_range, em_stime, st_to, em_etime})
        criteria->addWidget(w);
    criteria->addStretch(1);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(criteria);
    layout->addWidget(chart_ontime, 3);
    layout->addWidget(dw_ontime, 2);
    layout->addWidget(st_ontime);
    return page;
}

void w_order_followup::open()
{
    // The on-time range: the last 90 days, today included.
    em_etime->setText(followupDayText(Today()));
    em_stime->setText(followupDayText(RelativeDate(Today(), -89)));
    cb_query_clicked();
    sp_horizon->setFocus();
}

void w_order_followup::cb_query_clicked()
{
    m_asof = Today();
    m_horizonDays = sp_horizon->value();
    retrieveBoard();
    retrieveReasons();
    retrieveOnTime();
}

void w_order_followup::sp_horizon_valuechanged(int days)
{
    m_horizonDays = days;
    if (!m_asof.isValid())
        m_asof = Today();
    retrieveBoard();
}

void w_order_followup::retrieveBoard()
{
    const QString customer = sle_custno->text().trimmed();
    const QString due = followupDayText(horizon());
    st_horizon_date->setText(m_horizonDays < 0 ? QStringLiteral("至 %1 (只显示已迟 late only)").arg(due)
                                               : QStringLiteral("至 %1").arg(due));
    if (customer.isEmpty())
        dw_board->setDataObject(kBoard);
    else
        dw_board->store().setDefinition(boardOfCustomer());
    dw_board->SetTransObject(Transaction::sqlca());
    dw_board->Modify(QStringLiteral("t_head.text=")
                     + reports::quoteString(QStringLiteral("截至 As of %1    货期至 Due by %2 (%3 天 days)    客户 Customer: %4")
                                                .arg(followupDayText(m_asof), due)
                                                .arg(m_horizonDays)
                                                .arg(customer.isEmpty() ? QStringLiteral("全部 All") : customer)));
    const int rows = dw_board->Retrieve({m_asof, horizon(), customer});
    if (rows < 0) {
        st_board->setText(QStringLiteral("查询失败, 详见跟踪记录。 The query failed; the trace log says why."));
        return;
    }
    if (rows == 0) {
        const QString whose = customer.isEmpty() ? QString() : QStringLiteral(" (客户 customer %1)").arg(customer);
        st_board->setText(QStringLiteral("没有 %1 或之前到期的未出货订单%2。 No open contracts due by %1%2.")
                              .arg(due, whose));
        return;
    }
    int late = 0;
    double inWork = 0;
    for (int row = 1; row <= rows; ++row) {
        late += dw_board->GetItemNumber(row, QStringLiteral("days_late")) > 0 ? 1 : 0;
        inWork += dw_board->GetItemNumber(row, QStringLiteral("in_work"));
    }
    st_board->setText(QStringLiteral("%1 单 contracts, 已迟 late %2, 在做 in work %3 件 pcs.    "
                                     "红色 = 已迟 late;  琥珀色 = 期内到期 due by %4.    双击打开合约 Double-click opens the contract.")
                          .arg(rows)
                          .arg(late)
                          .arg(inWork, 0, 'f', 0)
                          .arg(due));
}

void w_order_followup::retrieveReasons()
{
    dw_reasons->SetTransObject(Transaction::sqlca());
    dw_reasons->Modify(QStringLiteral("t_head.text=")
                       + reports::quoteString(QStringLiteral("截至 As of %1 已迟未出货订单 Open contracts late")
                                                  .arg(followupDayText(m_asof))));
    dw_reasons->Retrieve({m_asof});
    FollowupCharts::showReasons(m_reasonsChart, m_noReasonChart, *dw_reasons);
}

void w_order_followup::retrieveOnTime()
{
    const QDate first = em_stime->date();
    const QDate last = em_etime->date();
    dw_ontime->SetTransObject(Transaction::sqlca());
    dw_ontime->Modify(QStringLiteral("t_head.text=")
                      + reports::quoteString(QStringLiteral("出货日期 Invoiced %1 ~ %2").arg(followupDayText(first), followupDayText(last))));
    if (first > last) {
        dw_ontime->Reset();
        st_ontime->setText(QStringLiteral("开始日期在结束日期之后。 The first day is after the last."));
    } else {
        const int rows = dw_ontime->Retrieve({first, last});
        st_ontime->setText(rows == 0 ? QStringLiteral("%1 ~ %2 没有出货的订单。 No contracts invoiced in the range.")
                                           .arg(followupDayText(first), followupDayText(last))
                                     : QString());
    }
    FollowupCharts::showOnTime(m_onTimeChart, *dw_ontime);
}

QColor w_order_followup::rowColour(int row) const
{
    if (row < 1 || row > dw_board->RowCount())
        return {};
    return dw_board->GetItemNumber(row, QStringLiteral("days_late")) > 0 ? QColor(255, 204, 204)
                                                                          : QColor(255, 230, 170);
}

void w_order_followup::dw_board_doubleclicked(int row)
{
    if (row < 1 || row > dw_board->RowCount())
        return;
    const QString scno = dw_board->GetItemString(row, QStringLiteral("scno"));
    Open(QStringLiteral("w_scno_process"));
    // A window opened just now lists its contracts in its open event, which runs
    // after this handler; find the contract after that.
    QMetaObject::invokeMethod(
        this, [this, scno] { Dispatcher::run(this, "showcontract", [this, scno] { showContract(scno); }); },
        Qt::QueuedConnection);
}

void w_order_followup::showContract(const QString &scno)
{
    auto &dw_sconh = Window::latest(QStringLiteral("w_scno_process")).control<reports::ReportControl>(QStringLiteral("dw_sconh"));
    const int findrow = dw_sconh.Find(QStringLiteral("scno=") + reports::quoteString(scno), 1, dw_sconh.RowCount());
    if (findrow > 0)
        dw_sconh.ScrollToRow(findrow);
    else
        MessageBox(kFollowupTitle, QStringLiteral("找不到记录!"));
}

w_order_followup::Page w_order_followup::page() const
{
    return static_cast<Page>(tab_pages->currentIndex());
}

void w_order_followup::setPage(Page page)
{
    tab_pages->setCurrentIndex(static_cast<int>(page));
}

reports::ReportControl &w_order_followup::report(Page page) const
{
    switch (page) {
    case Page::Reasons:
        return *dw_reasons;
    case Page::OnTime:
        return *dw_ontime;
    case Page::Board:
        break;
    }
    return *dw_board;
}

void w_order_followup::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    report(page()).SaveAs(s.dw_name);   // throws when it cannot be written: no preview then
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_order_followup::cb_export_clicked()
{
    reports::ReportExport::withDialog(this, report(page()).store(), kFollowupTitle);
}

bool w_order_followup::exportTo(Page page, const QString &fileName)
{
    return reports::ReportExport::toFile(report(page).store(), fileName, kFollowupTitle);
}

void w_order_followup::cb_close_clicked()
{
    Close();
}

} // namespace wip
