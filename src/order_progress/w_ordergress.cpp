#include "order_progress/w_ordergress.h"

#include "order_progress/date_str.h"
#include "reports/catalogue.h"
#include "reports/widgets/contractlineselection.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/stringarray.h"
#include "runtime/drivemapping.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/widgets/checkbox.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/groupbox.h"
#include "runtime/widgets/inputpromptservice.h"
#include "runtime/widgets/listbox.h"
#include "runtime/widgets/multilineedit.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

namespace {

const QString kAllReasons = QStringLiteral("全部 All reasons");

} // namespace

w_ordergress::w_ordergress(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_ordergress"));
    setTitle(QStringLiteral("订单分析"));
    resize(1180, 760);
    // The factory's icon when the C: folder holds it; the application's otherwise.
    const QString icon = DriveMapping::instance().resolve(QStringLiteral("C:\\ZAN\\zan.ico"));
    if (!icon.isEmpty() && QFileInfo(icon).isFile())
        setWindowIcon(QIcon(icon));
}

w_ordergress::~w_ordergress() = default;

void w_ordergress::create()
{
    createControls();
    layOutControls();
    connectEvents();
}

void w_ordergress::createControls()
{
    cb_6 = new CommandButton(this, QStringLiteral("cb_6"), QStringLiteral("订单工费"));
    cb_5 = new CommandButton(this, QStringLiteral("cb_5"), QStringLiteral("已出货"));
    cb_4 = new CommandButton(this, QStringLiteral("cb_4"), QStringLiteral("返回"));
    cb_4->setCancel(true);
    dw_sconh = new reports::ReportControl(this, QStringLiteral("dw_sconh"));
    dw_scond = new reports::ReportControl(this, QStringLiteral("dw_scond"));
    dw_scond->setDataObject(QStringLiteral("d_w_scond"));
    st_4 = new StaticText(this, QStringLiteral("st_4"), QStringLiteral("字印"));
    sle_hallmark = new SingleLineEdit(this, QStringLiteral("sle_hallmark"));
    sle_hallmark->setDisplayOnly(true);
    st_3 = new StaticText(this, QStringLiteral("st_3"), QStringLiteral("备注"));
    mle_remarks = new MultiLineEdit(this, QStringLiteral("mle_remarks"));
    mle_remarks->setDisplayOnly(true);
    p_stylepic = new Picture(this, QStringLiteral("p_stylepic"));
    p_stylepic->setFrameShape(QFrame::Box);
    p_stylepic->setMinimumSize(220, 180);
    cb_3 = new CommandButton(this, QStringLiteral("cb_3"), QStringLiteral("全部"));
    lb_scnoitem = new ListBox(this, QStringLiteral("lb_scnoitem"), true);
    st_5 = new StaticText(this, QStringLiteral("st_5"), QStringLiteral("选取合约 Contracts"));
    st_5->setBuddy(lb_scnoitem);
    cb_2 = new CommandButton(this, QStringLiteral("cb_2"), QStringLiteral("未出货"));
    cb_2->setDefault(true);
    st_2 = new StaticText(this, QStringLiteral("st_2"), QStringLiteral("订单货期"));
    em_deldate1 = new EditMask(this, QStringLiteral("em_deldate1"), QStringLiteral("yyyy-mm-dd"));
    em_deldate1->setAutoSkip(true);
    em_deldate2 = new EditMask(this, QStringLiteral("em_deldate2"), QStringLiteral("yyyy-mm-dd"));
    em_deldate2->setAutoSkip(true);
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("～"));
    cb_1 = new CommandButton(this, QStringLiteral("cb_1"), QStringLiteral("付工人耗"));
    sle_custno = new SingleLineEdit(this, QStringLiteral("sle_custno"));
    sle_custno->setTextCase(SingleLineEdit::TextCase::Upper);
    sle_custno->setEnabled(false);
    cbx_cust = new CheckBox(this, QStringLiteral("cbx_cust"), QStringLiteral("客户"));
    gb_1 = new GroupBox(this, QStringLiteral("gb_1"), QStringLiteral("销售合约资料"));
    gb_2 = new GroupBox(this, QStringLiteral("gb_2"), QStringLiteral("订货明细资料"));
    st_note = new StaticText(this, QStringLiteral("st_note"), QString());
    st_note->setStyleSheet(QStringLiteral("color: #a03000;"));
    m_selection = std::make_unique<reports::ContractLineSelection>(*dw_sconh, *dw_scond, *sle_hallmark, *mle_remarks,
                                                                   *p_stylepic);
}

void w_ordergress::layOutControls()
{
    // The range and customer on top; contracts with the tick list on the left,
    // the lines of the current contract with its details on the right.
    auto *criteria = new QHBoxLayout;
    criteria->addWidget(st_2);
    criteria->addWidget(em_deldate1);
    criteria->addWidget(st_1);
    criteria->addWidget(em_deldate2);
    criteria->addSpacing(12);
    criteria->addWidget(cbx_cust);
    criteria->addWidget(sle_custno);
    criteria->addSpacing(12);
    criteria->addWidget(cb_2);
    criteria->addWidget(cb_3);
    criteria->addSpacing(12);
    criteria->addWidget(st_note, 1);

    auto *headerBox = new QHBoxLayout(gb_1);
    headerBox->addWidget(dw_sconh, 4);
    auto *tickBox = new QVBoxLayout;
    tickBox->addWidget(st_5);
    tickBox->addWidget(lb_scnoitem, 1);
    headerBox->addLayout(tickBox, 1);
    auto *lineBox = new QGridLayout(gb_2);
    lineBox->addWidget(dw_scond, 0, 0, 1, 3);
    lineBox->addWidget(st_4, 1, 0);
    lineBox->addWidget(sle_hallmark, 1, 1);
    lineBox->addWidget(p_stylepic, 1, 2, 2, 1);
    lineBox->addWidget(st_3, 2, 0, Qt::AlignTop);
    lineBox->addWidget(mle_remarks, 2, 1);
    lineBox->setRowStretch(0, 3);
    lineBox->setRowStretch(2, 1);

    auto *panes = new QHBoxLayout;
    panes->addWidget(gb_1, 3);
    panes->addWidget(gb_2, 2);
    auto *buttons = new QHBoxLayout;
    for (CommandButton *b : {cb_1, cb_5, cb_6})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cb_4);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);
}

void w_ordergress::connectEvents()
{
    // cb_5 "已出货" and cb_6 "订单工费" have no handler.
    on(cbx_cust, &CheckBox::clicked, this, &w_ordergress::cbx_cust_clicked);
    on(cb_3, &CommandButton::clicked, this, &w_ordergress::cb_3_clicked);
    on(cb_2, &CommandButton::clicked, this, &w_ordergress::cb_2_clicked);
    on(dw_sconh, &reports::ReportControl::rowfocuschanging, this, &w_ordergress::dw_sconh_rowfocuschanging);
    on(dw_scond, &reports::ReportControl::rowfocuschanging, this, &w_ordergress::dw_scond_rowfocuschanging);
    on(cb_1, &CommandButton::clicked, this, &w_ordergress::cb_1_clicked);
    on(cb_4, &CommandButton::clicked, this, &w_ordergress::cb_4_clicked);
}

void w_ordergress::open()
{
    // Both dates in the mask's own form, so that the box always holds a date it
    // reads back (and hands on) as typed.
    em_deldate1->setText(String(RelativeDate(Today(), -6), QStringLiteral("yyyy-mm-dd")));
    em_deldate2->setText(String(Today(), QStringLiteral("yyyy-mm-dd")));
    em_deldate1->SetFocus();
}

void w_ordergress::cbx_cust_clicked()
{
    if (cbx_cust->checked()) {
        sle_custno->setEnabled(true);
        sle_custno->SetFocus();
    } else {
        sle_custno->setEnabled(false);   // the number typed stays for the next time
    }
}

void w_ordergress::cb_3_clicked() { fillContractList(); }

void w_ordergress::cb_2_clicked() { fillContractList(); }

void w_ordergress::fillContractList()
{
    // d_w_scprogress takes the two dates only; for one customer the window asks
    // the progress reason first: d_w_scprogress2 for one reason, the customer's
    // open contracts whatever their reason for "all".
    QVariantList args{Date(em_deldate1->text()), Date(em_deldate2->text()), sle_custno->text()};
    QString definition = QStringLiteral("d_w_scprogress");
    if (cbx_cust->checked()) {
        const std::optional<QString> reason = chooseReason();
        if (!reason) {
            st_note->setText(QStringLiteral("未选进度原因, 合约列表没有改变。No reason chosen: the list is as it was."));
            return;
        }
        if (reason->isNull()) {
            definition = QStringLiteral("d_w_scprogress2_all");
        } else {
            definition = QStringLiteral("d_w_scprogress2");
            args << *reason;
        }
    }
    st_note->setText(QString());
    dw_sconh->setDataObject(definition);
    dw_sconh->SetTransObject(Transaction::sqlca());
    const int found = dw_sconh->Retrieve(args);
    if (found == 0)
        dw_sconh->setNote(nothingFoundNote());
    lb_scnoitem->Reset();
    const int scnum = dw_sconh->RowCount();
    for (int i = 1; i <= scnum; ++i)
        lb_scnoitem->AddItem(dw_sconh->GetItemString(i, QStringLiteral("scno")));

    // The first contract is current after Retrieve without a focus change of its
    // own: show its lines, so the right-hand side never belongs to an earlier list.
    if (scnum > 0)
        dw_sconh_rowfocuschanging(0, 1);
    else
        m_selection->clear();
}

// The reasons of d_w_scprogress2's remark, after "all"; the last choice is
// offered first. A null string stands for all reasons, nullopt for a cancel.
std::optional<QString> w_ordergress::chooseReason()
{
    QStringList texts{kAllReasons};
    QStringList values{QString()};
    if (const auto definition = reports::Catalogue::instance().find(QStringLiteral("d_w_scprogress2"))) {
        const int at = definition->argumentIndex(QStringLiteral("remark"));
        if (at >= 0) {
            texts += definition->arguments.at(at).choices;
            values += definition->arguments.at(at).choiceValues;
        }
    }
    const std::optional<QString> answer = InputPromptService::askValue(
        title(), QStringLiteral("客户 %1 的进度原因 Progress reason of customer %1:").arg(sle_custno->text()),
        QStringLiteral("string"), texts, m_lastReason.isEmpty() ? kAllReasons : m_lastReason);
    if (!answer)
        return std::nullopt;
    const QString chosen = answer->trimmed();
    m_lastReason = chosen;
    // A reason typed as its code ("7") stands as it is.
    const qsizetype index = texts.indexOf(chosen);
    return index >= 0 ? values.at(index) : chosen;
}

QString w_ordergress::nothingFoundNote() const
{
    const QString range = QStringLiteral("货期在 %1 至 %2 之间").arg(em_deldate1->text(), em_deldate2->text());
    if (!cbx_cust->checked())
        return QStringLiteral("没有找到合约: 没有%1的未出货合约。").arg(range);
    if (Trim(sle_custno->text()).isEmpty())
        return QStringLiteral("没有找到合约: 客户编号是空的, 请输入客户编号, 或不选「客户」。");
    // "All reasons" lists the customer's open contracts whatever their reason,
    // with or without a progress record: no reason to name then.
    if (m_lastReason.isEmpty() || m_lastReason == kAllReasons)
        return QStringLiteral("没有找到合约: 客户 %1 没有%2的未出货合约。").arg(sle_custno->text(), range);
    return QStringLiteral("没有找到合约: 客户 %1 没有%2、进度原因是「%3」的未出货合约。")
        .arg(sle_custno->text(), range, m_lastReason);
}

void w_ordergress::dw_sconh_rowfocuschanging(int currentrow, int newrow)
{
    // The first line is current after Retrieve: show its details now.
    if (m_selection->contractChanging(currentrow, newrow) == reports::ContractLineSelection::Lines)
        dw_scond_rowfocuschanging(0, 1);
}

void w_ordergress::dw_scond_rowfocuschanging(int currentrow, int newrow)
{
    m_selection->lineChanging(currentrow, newrow);
}

QString w_ordergress::scno() const { return m_selection->scno(); }
QString w_ordergress::designNo() const { return m_selection->designNo(); }
long long w_ordergress::scondId() const { return m_selection->scondId(); }
int w_ordergress::sconhCurrentRow() const { return m_selection->sconhCurrentRow(); }
int w_ordergress::scondCurrentRow() const { return m_selection->scondCurrentRow(); }
int w_ordergress::lineCount() const { return m_selection->lineCount(); }
const std::optional<QByteArray> &w_ordergress::lastPictureBytes() const { return m_selection->lastPictureBytes(); }

void w_ordergress::cb_1_clicked()
{
    StringArray &sel = scno_sel();
    for (int j = 1; j <= UpperBound(sel); ++j)
        sel[j] = QString();
    const int scnum = dw_sconh->RowCount();
    int i = 0;
    for (int j = 1; j <= scnum; ++j) {
        if (lb_scnoitem->State(j) == 1)
            sel[++i] = lb_scnoitem->Text(j);
    }
    date_str m_datestr;
    m_datestr.startdate = em_deldate1->text();
    m_datestr.enddate = em_deldate2->text();
    OpenWithParm(QStringLiteral("w_ordergress_detail"), QVariant::fromValue(m_datestr));
}

void w_ordergress::cb_4_clicked() { Close(); }

} // namespace wip
