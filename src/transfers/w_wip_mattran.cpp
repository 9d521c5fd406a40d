#include "transfers/w_wip_mattran.h"

#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/hosterror.h"
#include "runtime/sysfunc.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/statictext.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_wip_mattran::w_wip_mattran(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_wip_mattran"));
    setTitle(QStringLiteral("产量统计报表"));
    resize(1100, 620);
}

void w_wip_mattran::create()
{
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("日期"));
    em_stdate = new EditMask(this, QStringLiteral("em_stdate"));
    st_2 = new StaticText(this, QStringLiteral("st_2"), QStringLiteral("至"));
    em_eddate = new EditMask(this, QStringLiteral("em_eddate"));
    st_3 = new StaticText(this, QStringLiteral("st_3"), QStringLiteral("仓库"));
    ddlb_pcode = new DropDownListBox(this, QStringLiteral("ddlb_pcode"));
    ddlb_pcode->setMinimumContentsLength(14);
    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("部门过货统计"));
    cb_ws = new CommandButton(this, QStringLiteral("cb_ws"), QStringLiteral("部门线焊交收"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    dw_wip_detail = new reports::ReportControl(this, QStringLiteral("dw_wip_detail"));
    dw_wip_detail->setDataObject(QStringLiteral("d_wip_protran"));

    auto *top = new QHBoxLayout;
    top->addWidget(st_1);
    top->addWidget(em_stdate);
    top->addWidget(st_2);
    top->addWidget(em_eddate);
    top->addSpacing(12);
    top->addWidget(st_3);
    top->addWidget(ddlb_pcode);
    top->addSpacing(12);
    top->addWidget(cb_query);
    top->addWidget(cb_ws);
    top->addWidget(cb_print);
    top->addStretch(1);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dw_wip_detail, 1);

    on(cb_query, &CommandButton::clicked, this, &w_wip_mattran::cb_query_clicked);
    on(cb_ws, &CommandButton::clicked, this, &w_wip_mattran::cb_ws_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_wip_mattran::cb_print_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_wip_mattran::cb_close_clicked);
    on(this, &Window::key, this, &w_wip_mattran::window_key);

    // Each control tells which one last took the focus.
    connect(em_stdate, &EditMask::getfocus, this, [this] { focus = QStringLiteral("stdate"); });
    connect(em_eddate, &EditMask::getfocus, this, [this] { focus = QStringLiteral("eddate"); });
    connect(ddlb_pcode, &DropDownListBox::selectionchanged, this, [this] { focus = QStringLiteral("pcode"); });
    connect(cb_query, &CommandButton::getfocus, this, [this] { focus = QStringLiteral("query"); });
    connect(cb_ws, &CommandButton::getfocus, this, [this] { focus = QStringLiteral("query2"); });
    connect(cb_print, &CommandButton::getfocus, this, [this] { focus = QStringLiteral("print"); });
}

void w_wip_mattran::open()
{
    dw_wip_detail->SetTransObject(Transaction::sqlca());
    em_stdate->setText(String(Today(), QStringLiteral("yyyy-mm-dd")));
    em_eddate->setText(String(Today(), QStringLiteral("yyyy-mm-dd")));

    Transaction &sqlca = Transaction::sqlca();
    long long n = 0;
    if (const auto row = sqlca.selectInto(QStringLiteral("select count ( stock_code ) from stock ")))
        n = row->value(0).toLongLong();
    Cursor cursor(sqlca, QStringLiteral("select stock_code from stock "));
    cursor.open();
    for (long long i = 1; i <= n; ++i) {
        const auto code = cursor.fetch();
        ddlb_pcode->AddItem(code ? code->value(0).toString() : QString());
    }
    cursor.close();
    em_stdate->SetFocus();
}

void w_wip_mattran::window_key(int key, int keyflags)
{
    if (!KeyDown(HostKey::Enter))
        return;
    if (focus == QLatin1String("stdate")) {
        Keyboard::consumeKey();
        em_eddate->SetFocus();
    } else if (focus == QLatin1String("eddate")) {
        Keyboard::consumeKey();
        ddlb_pcode->SetFocus();
    } else if (focus == QLatin1String("pcode")) {
        Keyboard::consumeKey();
        cb_query->SetFocus();
    } else if (focus == QLatin1String("query")) {
        Keyboard::consumeKey();
        cb_query->TriggerEvent(ControlEvent::Clicked);
        cb_print->SetFocus();
    } else if (focus == QLatin1String("print")) {
        Keyboard::consumeKey();
        cb_print->TriggerEvent(ControlEvent::Clicked);
    }
}

QString w_wip_mattran::englishStockName(const QString &stockCode, const QString &fallback)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("01-金仓收发"), QStringLiteral("Gold Stock")},
        {QStringLiteral("02-石仓收发"), QStringLiteral("Stone Stock")},
        {QStringLiteral("03-Tarvel金仓"), QStringLiteral("Tarvel Stock")},
        {QStringLiteral("04-执模收发"), QStringLiteral("Filing Stock")},
        {QStringLiteral("05-镶石收发"), QStringLiteral("Setting Stock")},
        {QStringLiteral("06-执边收发"), QStringLiteral("Finishing Stock")},
        {QStringLiteral("07-打磨收发"), QStringLiteral("Polishing Stock")},
        {QStringLiteral("08-电金收发"), QStringLiteral("Rhodium Stock")},
        {QStringLiteral("12-外工收发"), QStringLiteral("OutSide Stock")},
        {QStringLiteral("20-成品PRODUCT"), QStringLiteral("Product Stock")},
        {QStringLiteral("21-蜡仓收发"), QStringLiteral("Wax Stock")},
    };
    return names.value(stockCode, fallback);
}

void w_wip_mattran::query(const QString &definition, const QString &titleSuffix, const QString &fallbackName)
{
    // The query's own connection lives for this handler only; the rows stay in
    // the report control afterwards.
    Transaction tr_arttype;
    const ConnectionSettings &cn = applicationConnection();
    db_connect(tr_arttype, cn.dbms, cn.database, cn.logPass, cn.serverName, cn.logId, cn.autoCommit, cn.dbParm);

    dw_wip_detail->setDataObject(definition);
    dw_wip_detail->SetTransObject(tr_arttype);
    // Titles go through the quoting helper, so a code with a quote in it still
    // gives its title instead of a Modify that does not parse.
    const QString stock = ddlb_pcode->text();
    auto modify = [this](const QString &object, const QString &text) {
        const QString error = dw_wip_detail->Modify(object + QStringLiteral(".text=") + reports::quoteString(text));
        if (!error.isEmpty())
            throw HostError(ErrModifyFailed, error);
    };
    modify(QStringLiteral("t_title"), stock + titleSuffix);
    const QString str = englishStockName(stock, fallbackName);
    modify(QStringLiteral("t_title_en"), str + QStringLiteral(" Material Transfer Report"));
    if (em_stdate->text() != em_eddate->text())
        modify(QStringLiteral("t_time"), em_stdate->text() + QStringLiteral(" 至 ") + em_eddate->text());
    else
        modify(QStringLiteral("t_time"), em_stdate->text());
    dw_wip_detail->Retrieve({stock, Date(em_stdate->text()), Date(em_eddate->text())});
    tr_arttype.disconnect();
}

void w_wip_mattran::cb_query_clicked()
{
    query(QStringLiteral("d_wip_protran"), QStringLiteral("过货统计报表"), QStringLiteral("Material Transfer Report"));
}

void w_wip_mattran::cb_ws_clicked()
{
    query(QStringLiteral("d_jcjl_mattran_ws"), QStringLiteral("线焊交收明细表"),
          QStringLiteral("Wire-Solder Iss-Rec Detail Report"));
}

void w_wip_mattran::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_wip_detail->SaveAs(s.dw_name);
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_wip_mattran::cb_close_clicked()
{
    Close();
}

} // namespace wip
