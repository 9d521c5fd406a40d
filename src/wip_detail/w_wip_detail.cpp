#include "wip_detail/w_wip_detail.h"

#include "reports/datastore.h"
#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/hosterror.h"
#include "runtime/oleobject.h"
#include "runtime/oleworksheet.h"
#include "runtime/sysfunc.h"
#include "runtime/trace.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"
#include "wip_detail/settingmethods.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QVBoxLayout>

namespace wip {

namespace {

const QString kNormalise = QStringLiteral("update proch_new set edtime =NULL WHERE EDTIME < '1900-01-02' ");

} // namespace

w_wip_detail::w_wip_detail(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_wip_detail"));
    setTitle(QStringLiteral("在做资料"));
    resize(1150, 650);
}

void w_wip_detail::create()
{
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("工序"));
    ddlb_pcode = new DropDownListBox(this, QStringLiteral("ddlb_pcode"));
    ddlb_pcode->setMinimumContentsLength(12);
    sle_clientno = new SingleLineEdit(this, QStringLiteral("sle_clientno"));
    sle_clientno->setPlaceholderText(QStringLiteral("客户 Client"));
    sle_clientno->setMaximumWidth(120);
    cb_query = new CommandButton(this, QStringLiteral("cb_query"), QStringLiteral("查询"));
    cb_query->setDefault(true);
    cb_3 = new CommandButton(this, QStringLiteral("cb_3"), QStringLiteral("NEW WIP"));
    cb_4 = new CommandButton(this, QStringLiteral("cb_4"), QStringLiteral("IN HAND"));
    cb_5 = new CommandButton(this, QStringLiteral("cb_5"), QStringLiteral("STONE INHAND"));
    cb_1 = new CommandButton(this, QStringLiteral("cb_1"), QStringLiteral("镶法"));
    cb_1->setVisible(false);
    cb_2 = new CommandButton(this, QStringLiteral("cb_2"), QStringLiteral("镶法EXCL"));
    cb_2->setVisible(false);
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    dw_wip_detail = new reports::ReportControl(this, QStringLiteral("dw_wip_detail"));
    dw_wip_detail->setDataObject(QStringLiteral("d_wip_all_detail"));

    auto *top = new QHBoxLayout;
    top->addWidget(st_1);
    top->addWidget(ddlb_pcode);
    top->addWidget(sle_clientno);
    top->addSpacing(12);
    for (CommandButton *b : {cb_query, cb_3, cb_4, cb_5, cb_1, cb_2, cb_print})
        top->addWidget(b);
    top->addStretch(1);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(dw_wip_detail, 1);

    on(cb_query, &CommandButton::clicked, this, &w_wip_detail::cb_query_clicked);
    on(cb_3, &CommandButton::clicked, this, &w_wip_detail::cb_3_clicked);
    on(cb_4, &CommandButton::clicked, this, &w_wip_detail::cb_4_clicked);
    on(cb_5, &CommandButton::clicked, this, &w_wip_detail::cb_5_clicked);
    on(cb_1, &CommandButton::clicked, this, &w_wip_detail::cb_1_clicked);
    on(cb_2, &CommandButton::clicked, this, &w_wip_detail::cb_2_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_wip_detail::cb_print_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_wip_detail::cb_close_clicked);
}

// The handler's own connection, with the application's connection settings.
bool w_wip_detail::connectOwn(Transaction &tr_arttype)
{
    const ConnectionSettings &cn = applicationConnection();
    return db_connect(tr_arttype, cn.dbms, cn.database, cn.logPass, cn.serverName, cn.logId, cn.autoCommit,
                      cn.dbParm);
}

// Open steps are stored by some desks with a finish time before 1900 instead of
// none; they are made open again.
void w_wip_detail::normaliseProchNew(Transaction &tr_arttype)
{
    tr_arttype.execute(kNormalise);
}

void w_wip_detail::open()
{
    dw_wip_detail->SetTransObject(Transaction::sqlca());
    Transaction tr_arttype;
    if (!connectOwn(tr_arttype))
        return;
    long long gongxu_num = 0;
    if (const auto row = tr_arttype.selectInto(QStringLiteral("select count ( distinct gongxu_code ) from gongxu ")))
        gongxu_num = row->value(0).toLongLong();
    Cursor gongxuitem(tr_arttype, QStringLiteral("select distinct gongxu_code from gongxu "));
    gongxuitem.open();
    for (long long i = 1; i <= gongxu_num; ++i) {
        const auto gongxu_code = gongxuitem.fetch();
        ddlb_pcode->AddItem(gongxu_code ? gongxu_code->value(0).toString() : QString());
    }
    gongxuitem.close();
    tr_arttype.disconnect();
}

void w_wip_detail::cb_query_clicked()
{
    const QString process = Trim(ddlb_pcode->text());
    if (process == QStringLiteral("01-唧腊"))
        dw_wip_detail->setDataObject(QStringLiteral("d_wip_wax"));
    else if (process == QStringLiteral("03-倒模"))
        dw_wip_detail->setDataObject(QStringLiteral("d_wip_DIAOM"));
    else
        dw_wip_detail->setDataObject(QStringLiteral("d_wip_xs"));

    Transaction tr_arttype;
    if (!connectOwn(tr_arttype))
        return;
    dw_wip_detail->SetTransObject(tr_arttype);
    // The department reports have no title object: their Modify changes nothing.
    dw_wip_detail->Modify(QStringLiteral("t_head.text=")
                          + reports::quoteString(ddlb_pcode->text() + QStringLiteral("工序WIP报表")));
    dw_wip_detail->Retrieve({ddlb_pcode->text()});
    tr_arttype.disconnect();
}

void w_wip_detail::cb_3_clicked()
{
    const QString process = Trim(ddlb_pcode->text());
    if (process == QStringLiteral("01-唧腊"))
        dw_wip_detail->setDataObject(QStringLiteral("d_wip_wax"));
    else if (process == QStringLiteral("03-倒模"))
        dw_wip_detail->setDataObject(QStringLiteral("d_wip_DIAOM"));
    else
        dw_wip_detail->setDataObject(QStringLiteral("D_wip_all"));

    Transaction tr_arttype;
    if (!connectOwn(tr_arttype))
        return;
    normaliseProchNew(tr_arttype);
    dw_wip_detail->SetTransObject(tr_arttype);
    dw_wip_detail->Retrieve({ddlb_pcode->text()});
    tr_arttype.disconnect();
}

void w_wip_detail::cb_4_clicked()
{
    Transaction tr_arttype;
    if (!connectOwn(tr_arttype))
        return;

    struct InHand
    {
        const char *process;
        const char *definition;
        bool withArgument;
    };
    static const InHand table[] = {
        {"01-唧腊", "d_wip_wax", true},
        {"03-倒模", "d_wip_DIAOM", true},
        {"04-执模", nullptr, true},     // the customer number decides, below
        {"SPL_FIL", "d_w_wip_detail_SPL_fil_wipp", true},
        {"06-镶石", "d_w_wip_detail_set_wipp", true},
        {"SPL_SET", "d_w_wip_detail_SPL_set_wipp", true},
        {"07-执边", "d_w_wip_detail_fin_wipp", true},
        {"SPL_FIN", "d_w_wip_detail_SPL_fin_wipp", true},
        {"08-打磨", "d_w_wip_detail_pol_wipp", true},
        {"SPL_POL", "d_w_wip_detail_SPL_pol_wipp", true},
        {"12-石仓", "d_bm_qc_ALL", false},
        {"13-金仓", "d_goldstock_inhand", false},
        {"11-外发", "d_bm_outside_ALL", false},
        {"09-电金", "d_bm_dj_all", false},
    };
    const QString process = Trim(ddlb_pcode->text());
    const InHand *chosen = nullptr;
    QStringList known;
    for (const InHand &row : table) {
        known << QString::fromUtf8(row.process);
        if (process == known.last())
            chosen = &row;
    }
    if (!chosen) {
        // Not one of IN HAND's processes: no report, rather than the previous
        // one under the new process name.
        dw_wip_detail->clearReport(QStringLiteral("%1 没有 IN HAND 报表。IN HAND 的工序: %2")
                                       .arg(process.isEmpty() ? QStringLiteral("(没有选工序)") : process,
                                            known.join(QStringLiteral(", "))));
    } else {
        QString definition = QString::fromUtf8(chosen->definition ? chosen->definition : "");
        QVariantList args;
        if (chosen->withArgument)
            args << ddlb_pcode->text();
        if (!chosen->definition) {
            if (Trim(sle_clientno->text()).isEmpty()) {
                definition = QStringLiteral("d_w_wip_detail_fil_wipp");
            } else {
                definition = QStringLiteral("d_wip_pending_KC");
                args = {sle_clientno->text()};
            }
        }
        dw_wip_detail->setDataObject(definition);
        dw_wip_detail->SetTransObject(tr_arttype);
        if (dw_wip_detail->Retrieve(args) == 0)
            dw_wip_detail->setNote(QStringLiteral("没有找到记录: %1 没有在手的货。").arg(process));
    }
    normaliseProchNew(tr_arttype);
    tr_arttype.disconnect();
}

void w_wip_detail::cb_5_clicked()
{
    Transaction tr_arttype;
    if (!connectOwn(tr_arttype))
        return;
    dw_wip_detail->setDataObject(QStringLiteral("d_wip_stone_inhand"));
    dw_wip_detail->SetTransObject(tr_arttype);
    dw_wip_detail->Retrieve();
    tr_arttype.disconnect();
}

void w_wip_detail::cb_1_clicked()
{
    dw_wip_detail->setDataObject(QStringLiteral("d_wip_waycode"));
    dw_wip_detail->SetTransObject(Transaction::sqlca());
    dw_wip_detail->Retrieve();
}

void w_wip_detail::cb_2_clicked()
{
    OleObject ole_object;
    if (ole_object.ConnectToNewObject(QStringLiteral("Excel.Application")) != 0) {
        MessageBox(QStringLiteral("OLE错误"), QStringLiteral("OLE无法连接!"));
        return;
    }
    ole_object.workbooksAdd();
    ole_object.setVisible(true);
    OleWorksheet *ole_workbooks = ole_object.worksheets(1);

    reports::DataStore ds2;
    ds2.setDataObject(QStringLiteral("d_wip_waycode2"));
    ds2.SetTransObject(Transaction::sqlca());
    ds2.Retrieve();
    const int n = ds2.RowCount();

    // A big export shows how far it got and keeps the window painted.
    QProgressDialog progress(QStringLiteral("正在导出镶法 Exporting setting methods..."), QString(), 0, n, this);
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const QString dateLine = String(Today(), QStringLiteral("YYYY-mm-dd")) + QStringLiteral("----WIP WAYCODE---");
    // The pieces of a step stand on the row of its first setting method only, so
    // that they add up once; the stones are per setting method.
    static const QString captions[] = {QStringLiteral("工号"), QStringLiteral("姓名"), QStringLiteral("件数QTY"),
                                       QStringLiteral("KCNO"), QStringLiteral("款号"), QStringLiteral("镶法"),
                                       QStringLiteral("粒数Stones")};
    for (int l_row = 1; l_row <= n; ++l_row) {
        const QString gonghao = ds2.GetItemString(l_row, QStringLiteral("gonghao"));
        const QString name = ds2.GetItemString(l_row, QStringLiteral("name"));
        const bool pieces = !ds2.IsNull(l_row, QStringLiteral("qty"));
        const double s1 = ds2.GetItemNumber(l_row, QStringLiteral("qty"));
        const double stones = ds2.GetItemNumber(l_row, QStringLiteral("stones"));
        const QString kcno = ds2.GetItemString(l_row, QStringLiteral("scno"));
        const QString article_code = ds2.GetItemString(l_row, QStringLiteral("article_code"));
        const QString waycode = settingMethodCellText(ds2.GetItemString(l_row, QStringLiteral("way_code")));

        // The date line and the captions are written with every row, as the
        // sheet has always been filled; with no row they are not written at all.
        ole_workbooks->cells(1, 1).setValue(dateLine);
        for (int c = 0; c < 7; ++c)
            ole_workbooks->cells(2, c + 1).setValue(captions[c]);
        const int r = l_row + 2;
        ole_workbooks->cells(r, 1).setValue(gonghao);
        ole_workbooks->cells(r, 2).setValue(name);
        if (pieces)
            ole_workbooks->cells(r, 3).setValue(s1);
        ole_workbooks->cells(r, 4).setValue(kcno);
        ole_workbooks->cells(r, 5).setValue(article_code);
        ole_workbooks->cells(r, 6).setValue(waycode);
        ole_workbooks->cells(r, 7).setValue(stones);
        if ((l_row & 1023) == 0) {
            progress.setValue(l_row);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    progress.setValue(n);

    const QString file = QStringLiteral("d:\\LAsb.xls");
    try {
        ole_workbooks->saveas(file);
    } catch (const HostError &e) {
        // Besides the trace line, the clerk is told that the export did not happen.
        Trace::problem(e.code(), e.detail());
        MessageBox(QStringLiteral("OLE错误"),
                   QStringLiteral("无法保存文件 Cannot write the file:\n%1\n(%2)")
                       .arg(file, DriveMapping::instance().resolve(file)),
                   MessageIcon::StopSign);
        ole_object.quit();
        ole_object.DisconnectObject();
        return;
    }
    ole_object.quit();
    ole_object.DisconnectObject();
}

void w_wip_detail::cb_print_clicked()
{
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    dw_wip_detail->SaveAs(s.dw_name);
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

void w_wip_detail::cb_close_clicked()
{
    Close();
}

} // namespace wip
