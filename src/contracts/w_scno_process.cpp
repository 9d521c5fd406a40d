#include "contracts/w_scno_process.h"

#include "contracts/contractwrites.h"
#include "contracts/progresspropagation.h"
#include "reports/widgets/orderlinedetails.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/hosterror.h"
#include "runtime/sysfunc.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/groupbox.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/multilineedit.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"
#include "runtime/widgets/widgethandles.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

w_scno_process::w_scno_process(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_scno_process"));
    setTitle(QStringLiteral("销售合约"));
    resize(1180, 760);
}

const QStringList &w_scno_process::reasonEntries()
{
    static const QStringList entries = {
        QStringLiteral("1-无石Stone delay"),     QStringLiteral("2-未齐石stone pending"),
        QStringLiteral("3-烂石stone broken"),    QStringLiteral("4-迟上金gold delay"),
        QStringLiteral("5-KC报废Int Rej"),       QStringLiteral("6-QOR报废QC Rej"),
        QStringLiteral("7-接单迟Issue Delay"),   QStringLiteral("8-发出车石"),
        QStringLiteral("9-车石完成"),
    };
    return entries;
}

void w_scno_process::create()
{
    ddlb_1 = new DropDownListBox(this, QStringLiteral("ddlb_1"));
    for (const QString &entry : reasonEntries())
        ddlb_1->AddItem(entry);
    dw_process = new reports::ReportControl(this, QStringLiteral("dw_process"));
    dw_process->setDataObject(QStringLiteral("d_w_process_input"));
    cb_pomat = new CommandButton(this, QStringLiteral("cb_pomat"), QStringLiteral("物料&4"));
    cb_printpo = new CommandButton(this, QStringLiteral("cb_printpo"), QStringLiteral("更新&7"));
    cb_printpo->setEnabled(false);
    cb_sconh_find = new CommandButton(this, QStringLiteral("cb_sconh_find"), QStringLiteral("查找&0"));
    cb_scond_del = new CommandButton(this, QStringLiteral("cb_scond_del"), QStringLiteral("删除&6"));
    cb_scond_del->setEnabled(false);
    cb_scond_add = new CommandButton(this, QStringLiteral("cb_scond_add"), QStringLiteral("增加&5"));
    cb_scond_add->setEnabled(false);
    cb_sconh_del = new CommandButton(this, QStringLiteral("cb_sconh_del"), QStringLiteral("删除&3"));
    cb_sconh_del->setEnabled(false);
    cb_sconh_edit = new CommandButton(this, QStringLiteral("cb_sconh_edit"), QStringLiteral("修改&2"));
    cb_sconh_edit->setEnabled(false);
    cb_sconh_add = new CommandButton(this, QStringLiteral("cb_sconh_add"), QStringLiteral("增加&1"));
    cb_sconh_add->setEnabled(false);
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回&8"));
    cb_close->setCancel(true);
    p_stylepic = new Picture(this, QStringLiteral("p_stylepic"));
    p_stylepic->setFrameShape(QFrame::Box);
    p_stylepic->setMinimumSize(180, 140);
    mle_remarks = new MultiLineEdit(this, QStringLiteral("mle_remarks"));
    mle_remarks->setDisplayOnly(true);
    mle_remarks->setMaximumHeight(72);
    st_2 = new StaticText(this, QStringLiteral("st_2"), QStringLiteral("备注"));
    sle_hallmark = new SingleLineEdit(this, QStringLiteral("sle_hallmark"));
    sle_hallmark->setDisplayOnly(true);
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("字印"));
    dw_scond = new reports::ReportControl(this, QStringLiteral("dw_scond"));
    dw_scond->setDataObject(QStringLiteral("d_w_scond"));
    dw_sconh = new reports::ReportControl(this, QStringLiteral("dw_sconh"));
    dw_sconh->setDataObject(QStringLiteral("d_w_sconh"));
    gb_1 = new GroupBox(this, QStringLiteral("gb_1"), QStringLiteral("销售合约资料"));
    gb_2 = new GroupBox(this, QStringLiteral("gb_2"), QStringLiteral("订货明细资料"));

    // Headers on the left; lines, line details and the progress record on the right.
    auto *headerBox = new QVBoxLayout(gb_1);
    headerBox->addWidget(dw_sconh);
    auto *lineBox = new QGridLayout(gb_2);
    lineBox->addWidget(dw_scond, 0, 0, 1, 4);
    lineBox->addWidget(st_1, 1, 0);
    lineBox->addWidget(sle_hallmark, 1, 1);
    lineBox->addWidget(p_stylepic, 1, 2, 3, 2);
    lineBox->addWidget(st_2, 2, 0);
    lineBox->addWidget(mle_remarks, 2, 1);
    lineBox->addWidget(ddlb_1, 3, 1);
    lineBox->addWidget(dw_process, 4, 0, 1, 4);
    lineBox->setColumnStretch(1, 1);
    lineBox->setRowStretch(0, 2);
    lineBox->setRowStretch(4, 4);
    auto *buttons = new QHBoxLayout;
    for (CommandButton *b : {cb_sconh_add, cb_sconh_edit, cb_sconh_del, cb_sconh_find, cb_scond_add, cb_scond_del,
                             cb_pomat, cb_printpo})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *panes = new QHBoxLayout;
    panes->addWidget(gb_1, 2);
    panes->addWidget(gb_2, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);

    on(dw_sconh, &reports::ReportControl::rowfocuschanging, this, &w_scno_process::dw_sconh_rowfocuschanging);
    on(dw_scond, &reports::ReportControl::rowfocuschanging, this, &w_scno_process::dw_scond_rowfocuschanging);
    on(dw_process, &reports::ReportControl::key, this, &w_scno_process::dw_process_key);
    on(dw_process, &reports::ReportControl::itemchanged, this, &w_scno_process::dw_process_itemchanged);
    on(ddlb_1, &DropDownListBox::selectionchanged, this, &w_scno_process::ddlb_1_selectionchanged);
    on(cb_scond_add, &CommandButton::clicked, this, &w_scno_process::cb_scond_add_clicked);
    on(cb_scond_del, &CommandButton::clicked, this, &w_scno_process::cb_scond_del_clicked);
    on(cb_printpo, &CommandButton::clicked, this, &w_scno_process::cb_printpo_clicked);
    on(cb_printpo, &CommandButton::getfocus, this, &w_scno_process::cb_printpo_getfocus);
    on(cb_sconh_find, &CommandButton::clicked, this, &w_scno_process::cb_sconh_find_clicked);
    on(cb_pomat, &CommandButton::clicked, this, &w_scno_process::cb_pomat_clicked);
    on(cb_sconh_add, &CommandButton::clicked, this, &w_scno_process::cb_sconh_add_clicked);
    on(cb_sconh_edit, &CommandButton::clicked, this, &w_scno_process::cb_sconh_edit_clicked);
    on(cb_sconh_del, &CommandButton::clicked, this, &w_scno_process::cb_sconh_del_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_scno_process::cb_close_clicked);
}

void w_scno_process::open()
{
    dw_sconh->SetTransObject(Transaction::sqlca());
    dw_sconh->Retrieve();
    flag_add = 0;
    flag_edit = 0;
    flag_del = 0;

    const QString ztbm = Trim(qxpd(user_code(), QStringLiteral("M05"), QStringLiteral("H06")));
    const QString qx = Right(ztbm, 1);
    const QString zt = Mid(ztbm, 2, 2);
    // Each test is false when an operand is null (no rights text at all).
    auto is = [](const QString &value, const char *wanted) {
        return !value.isNull() && value == QLatin1String(wanted);
    };
    if (is(qx, "B") && is(zt, "02")) {
        cb_scond_add->setEnabled(true);
        flag_add = 1;
        cb_printpo->setEnabled(true);
    }
    if (is(qx, "B") && is(zt, "03")) {
        cb_printpo->setEnabled(true);
        flag_edit = 1;
    }
    if (is(qx, "B") && is(zt, "04")) {
        cb_scond_del->setEnabled(true);
        cb_printpo->setEnabled(true);
        flag_del = 1;
    }
    if (is(qx, "A") || (is(qx, "B") && is(zt, "08"))) {
        flag_del = 1;
        flag_edit = 1;
        flag_add = 1;
        cb_scond_add->setEnabled(true);
        cb_printpo->setEnabled(true);
        cb_scond_del->setEnabled(true);
    }

    // Retrieve makes the first contract current without announcing it; show its
    // lines now rather than leaving the right-hand side empty until a click.
    if (dw_sconh->RowCount() > 0)
        dw_sconh_rowfocuschanging(0, 1);
}

void w_scno_process::dw_sconh_rowfocuschanging(int currentrow, int newrow)
{
    if (currentrow >= 1 && currentrow <= dw_sconh->RowCount())
        dw_sconh->SelectRow(currentrow, false);
    if (newrow >= 1 && newrow <= dw_sconh->RowCount())
        dw_sconh->SelectRow(newrow, true);
    if (newrow < 1)
        return;
    m_sconh_currow = newrow;
    m_scno = dw_sconh->GetItemString(newrow, QStringLiteral("scno"));

    dw_scond->SetTransObject(Transaction::sqlca());
    dw_scond->Reset();
    dw_scond->Retrieve({m_scno});
    count_dw2 = dw_scond->RowCount();
    if (count_dw2 < 1) {
        m_scond_id = -1;
        m_design_no = QString();
        sle_hallmark->setText(QString());
        mle_remarks->setText(QString());
        p_stylepic->setVisible(false);
        m_pictureBytes.reset();
        return;
    }
    // The first line is current after Retrieve without a focus change of its own:
    // show it, so hallmark, picture and progress belong to this contract.
    dw_scond_rowfocuschanging(0, 1);
}

void w_scno_process::dw_scond_rowfocuschanging(int currentrow, int newrow)
{
    if (currentrow >= 1 && currentrow <= dw_scond->RowCount())
        dw_scond->SelectRow(currentrow, false);
    if (newrow >= 1 && newrow <= dw_scond->RowCount())
        dw_scond->SelectRow(newrow, true);
    if (dw_scond->RowCount() < 1)
        return;
    m_scond_currrow = newrow;
    m_scond_id = static_cast<long long>(dw_scond->GetItemNumber(newrow, QStringLiteral("scond_id")));
    m_design_no = dw_scond->GetItemString(newrow, QStringLiteral("design_no"));

    m_pictureBytes = reports::OrderLineDetails::show(Transaction::sqlca(), m_scond_id, m_design_no, *sle_hallmark,
                                                     *mle_remarks, *p_stylepic);

    // Typed progress is not dropped without asking; a record that could not be
    // saved stays on screen as typed.
    if (!offerToSave(false))
        return;
    dw_process->SetTransObject(Transaction::sqlca());
    dw_process->Reset();
    dw_process->Retrieve({m_scno});
    cb_scond_add->setEnabled(dw_process->RowCount() < 1);
}

void w_scno_process::dw_process_key(int key, int keyflags)
{
    if (key == HostKey::Enter && keyflags == KeyFlags::None) {
        Send(Handle(dw_process), HostMessage::KeyDown, HostKey::Tab, 9);
        Keyboard::consumeKey();   // returns 2: the control does nothing more with Enter
    }
}

void w_scno_process::dw_process_itemchanged(int row, const QString &dwo, const QString &data)
{
    dw_process->AcceptText();
    const QDateTime dt = DateTime(Today(), Now());
    ProgressPropagation::apply(dw_process->store(), row, dwo, dt);
}

void w_scno_process::ddlb_1_selectionchanged(int index)
{
    QString str = Trim(ddlb_1->text());
    const QString str1 = Trim(ddlb_1->text());
    str = Left(str, 1);
    dw_process->SetItem(1, QStringLiteral("remark"), str);
    dw_process->SetItem(1, QStringLiteral("bz"), str1);
}

void w_scno_process::cb_scond_add_clicked()
{
    const int newrow = dw_process->InsertRow(0);
    dw_process->SetItem(newrow, QStringLiteral("scno"), m_scno);
    for (const char *column : {"wax_in", "wax_out", "casting_in", "casting_out", "filing_in", "filing_out",
                               "setting_in", "setting_out", "finishing_in", "finishing_out", "polishing_in",
                               "polishing_out", "rhodium_in", "rhodium_out"})
        dw_process->SetItem(newrow, QString::fromLatin1(column), 0);
    cb_scond_add->setEnabled(false);
}

void w_scno_process::cb_scond_del_clicked()
{
    if (dw_process->RowCount() < 1) {
        MessageBox(QStringLiteral("警告"), QStringLiteral("没有数据可删除!"));
        return;
    }
    dw_process->DeleteRow(0);
}

bool w_scno_process::processModified()
{
    if (!dw_process)
        return false;
    dw_process->AcceptText();
    return dw_process->store().ModifiedCount() > 0 || dw_process->store().DeletedCount() > 0;
}

bool w_scno_process::saveProcess()
{
    if (dw_process->AcceptText() != 1) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return false;
    }
    Transaction &sqlca = Transaction::sqlca();
    // Work SQLCA holds from before is committed first: the save is then whole on
    // its own, and its rows count as saved only once its own COMMIT is through.
    if (sqlca.inTransaction() && !sqlca.commit()) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return false;
    }
    if (ContractWrites::saveProcess(dw_process->store(), sqlca) != ContractWrites::SaveResult::Saved) {
        // Nothing was written and every row is kept as typed: a failure, a header
        // another clerk has just deleted, or a record another clerk has just added.
        if (sqlca.inTransaction())
            sqlca.rollback();
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return false;
    }
    // Read back: a new record gets its process_id from the database.
    dw_process->Retrieve({m_scno});
    cb_scond_add->setEnabled(dw_process->RowCount() < 1);
    MessageBox(QStringLiteral("恭喜"), QStringLiteral("保存数据成功!"));
    return true;
}

bool w_scno_process::offerToSave(bool canStay)
{
    // Only a user who may update the record (cb_printpo enabled by the rights) is asked.
    if (!cb_printpo || !cb_printpo->isEnabled() || !processModified())
        return true;
    const int answer = MessageBox(QStringLiteral("确认"), QStringLiteral("进度资料已修改, 要保存吗?"),
                                  MessageIcon::Question,
                                  canStay ? MessageButtons::YesNoCancel : MessageButtons::YesNo);
    // Yes saves (a failed save keeps the record as typed), No drops the changes,
    // Cancel keeps them and stays.
    return answer == 1 ? saveProcess() : answer == 2;
}

void w_scno_process::cb_printpo_clicked()
{
    saveProcess();
}

void w_scno_process::cb_printpo_getfocus()
{
    cb_printpo->setDefault(true);
}

void w_scno_process::cb_sconh_find_clicked()
{
    Open(QStringLiteral("w_scno_process_search"));
}

void w_scno_process::cb_pomat_clicked()
{
    OpenWithParm(QStringLiteral("w_pomatuse"), m_scno);
}

void w_scno_process::cb_sconh_add_clicked()
{
    Open(QStringLiteral("w_sconh_add"));
}

void w_scno_process::cb_sconh_edit_clicked()
{
    OpenWithParm(QStringLiteral("w_sconh_edit"), m_scno);
}

void w_scno_process::cb_sconh_del_clicked()
{
    if (MessageBox(QStringLiteral("确认"), QStringLiteral("真的要删除此行记录吗?按是将永久删除并无法恢复!"),
                   MessageIcon::Question, MessageButtons::YesNo)
        != 1) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("用户终止操作!"));
        return;
    }
    // Rolled back when nothing was deleted; a deletion whose commit fails is not
    // announced as done.
    if (!ContractWrites::deleteHeader(m_scno, Transaction::sqlca()))
        MessageBox(QStringLiteral("信息"), QStringLiteral("删除数据未成功!"));
    else
        MessageBox(QStringLiteral("恭喜"), QStringLiteral("删除数据成功!"));
    dw_sconh->Retrieve();
    // The list starts again at its first contract: show that one, not the lines
    // of a contract that may be gone.
    if (dw_sconh->RowCount() > 0)
        dw_sconh_rowfocuschanging(0, 1);
}

void w_scno_process::cb_close_clicked()
{
    Close();
}

void w_scno_process::closeEvent(QCloseEvent *event)
{
    bool leave = true;
    Dispatcher::run(this, "closequery", [&] { leave = offerToSave(true); });
    if (!leave) {
        event->ignore();
        return;
    }
    Window::closeEvent(event);
}

} // namespace wip
