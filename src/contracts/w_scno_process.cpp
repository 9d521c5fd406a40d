#include "contracts/w_scno_process.h"

#include "contracts/contractimportkind.h"
#include "desk/contractwrites.h"
#include "desk/progresspropagation.h"
#include "database/rightscatalogue.h"
#include "import/importrights.h"
#include "import/widgets/kindfileactions.h"
#include "reports/datastore.h"
#include "reports/widgets/contractlineselection.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/s_preview.h"
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

w_scno_process::~w_scno_process() = default;

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
    createControls();
    layOutControls();
    connectEvents();
}

void w_scno_process::createControls()
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
    cb_tickets = new CommandButton(this, QStringLiteral("cb_tickets"), QStringLiteral("打印袋卡"));
    cb_audit = new CommandButton(this, QStringLiteral("cb_audit"), QStringLiteral("变更记录"));
    cb_import = new CommandButton(this, QStringLiteral("cb_import"), QStringLiteral("导入 Import"));
    cb_import->setEnabled(false);
    cb_export = new CommandButton(this, QStringLiteral("cb_export"), QStringLiteral("导出 Export"));
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
    m_selection = std::make_unique<reports::ContractLineSelection>(*dw_sconh, *dw_scond, *sle_hallmark, *mle_remarks,
                                                                   *p_stylepic);
}

void w_scno_process::layOutControls()
{
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
                             cb_pomat, cb_printpo, cb_tickets, cb_audit, cb_import, cb_export})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *panes = new QHBoxLayout;
    panes->addWidget(gb_1, 2);
    panes->addWidget(gb_2, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);
}

void w_scno_process::connectEvents()
{
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
    on(cb_tickets, &CommandButton::clicked, this, &w_scno_process::cb_tickets_clicked);
    on(cb_audit, &CommandButton::clicked, this, &w_scno_process::cb_audit_clicked);
    on(cb_import, &CommandButton::clicked, this, &w_scno_process::cb_import_clicked);
    on(cb_export, &CommandButton::clicked, this, &w_scno_process::cb_export_clicked);
}

void w_scno_process::open()
{
    dw_sconh->SetTransObject(Transaction::sqlca());
    dw_sconh->Retrieve();
    flag_add = 0;
    flag_edit = 0;
    flag_del = 0;

    // The rights text's last letter and its second and third characters, read as
    // RightsCatalogue says: "A" and "08" everything, "02" add, "03" edit, "04"
    // delete as they always were, and "23", "24", "34" two of them.
    const QString ztbm = Trim(qxpd(user_code(), QStringLiteral("M05"), QStringLiteral("H06")));
    const Rights granted = RightsCatalogue::contractRights(ztbm);
    if (granted & Right::ContractAdd) {
        cb_scond_add->setEnabled(true);
        flag_add = 1;
        cb_printpo->setEnabled(true);
    }
    if (granted & Right::ContractEdit) {
        cb_printpo->setEnabled(true);
        flag_edit = 1;
    }
    if (granted & Right::ContractDelete) {
        cb_scond_del->setEnabled(true);
        cb_printpo->setEnabled(true);
        flag_del = 1;
    }
    // The contract forms: a new contract needs the add right; the form of the
    // chosen contract does what the user's rights allow with its header and
    // lines. Deleting a header stays closed: its lines and progress would stay
    // behind without it.
    cb_sconh_add->setEnabled(bool(granted & Right::ContractAdd));
    cb_sconh_edit->setEnabled(bool(granted));
    cb_import->setEnabled(import::ImportRights::mayImport(user_code()));

    // Retrieve makes the first contract current without announcing it; show its
    // lines now rather than leaving the right-hand side empty until a click.
    if (dw_sconh->RowCount() > 0)
        dw_sconh_rowfocuschanging(0, 1);
    else
        updateProcessControls();
}

void w_scno_process::dw_sconh_rowfocuschanging(int currentrow, int newrow)
{
    // Typed progress is never dropped without asking, nor left on screen under
    // another contract: it is saved, dropped, or the clerk stays on this contract.
    if (newrow >= 1 && newrow <= dw_sconh->RowCount() && !offerToSave()) {
        dw_sconh->preventRowChange();
        return;
    }
    switch (m_selection->contractChanging(currentrow, newrow)) {
    case reports::ContractLineSelection::Ignored:
        return;
    case reports::ContractLineSelection::NoLines:
        // No line, so no progress record shown: the grid is cleared and read-only.
        dw_process->Reset();
        updateProcessControls();
        return;
    case reports::ContractLineSelection::Lines:
        // The first line is current after Retrieve without a focus change of its
        // own: show it, so hallmark, picture and progress belong to this contract.
        dw_scond_rowfocuschanging(0, 1);
        return;
    }
}

void w_scno_process::dw_scond_rowfocuschanging(int currentrow, int newrow)
{
    if (newrow >= 1 && newrow <= dw_scond->RowCount() && !offerToSave()) {
        dw_scond->preventRowChange();
        return;
    }
    if (m_selection->lineChanging(currentrow, newrow))
        retrieveProcessRecord();
}

void w_scno_process::retrieveProcessRecord()
{
    dw_process->SetTransObject(Transaction::sqlca());
    dw_process->Reset();
    dw_process->Retrieve({m_selection->scno()});
    updateProcessControls();
}

void w_scno_process::updateProcessControls()
{
    const bool hasLine = m_selection->lineCount() > 0;
    const bool hasRecord = dw_process->RowCount() > 0;
    const bool mayType = hasLine && hasRecord && cb_printpo->isEnabled();
    dw_process->setEditable(mayType);
    ddlb_1->setEnabled(mayType);
    cb_scond_add->setEnabled(hasLine && !hasRecord && flag_add == 1);
    showReason();
    // An empty grid says why it is empty.
    const QString scno = m_selection->scno();
    if (hasRecord)
        dw_process->setNote(QString());
    else if (scno.isEmpty())
        dw_process->setNote(QStringLiteral("没有选定合约。"));
    else if (!hasLine)
        dw_process->setNote(QStringLiteral("合约 %1 没有订货明细, 没有进度资料。").arg(scno));
    else if (dw_process->store().DeletedCount() > 0)
        dw_process->setNote(QStringLiteral("合约 %1 的进度资料已删除, 按「更新7」保存删除。").arg(scno));
    else if (cb_scond_add->isEnabled())
        dw_process->setNote(QStringLiteral("合约 %1 还没有进度资料, 按「增加5」加一条。").arg(scno));
    else
        dw_process->setNote(QStringLiteral("合约 %1 还没有进度资料。").arg(scno));
}

void w_scno_process::showReason()
{
    // The entry the record names in bz, or else the one of its code in remark;
    // no choice when the record has neither (or there is no record).
    int index = 0;
    if (dw_process->RowCount() > 0) {
        index = ddlb_1->FindItem(Trim(dw_process->GetItemString(1, QStringLiteral("bz"))));
        const QString code = Trim(dw_process->GetItemString(1, QStringLiteral("remark")));
        for (int i = 1; index == 0 && !code.isEmpty() && i <= ddlb_1->TotalItems(); ++i) {
            if (Left(ddlb_1->Text(i), 1) == code)
                index = i;
        }
    }
    ddlb_1->SelectItem(index);
}

QString w_scno_process::scno() const { return m_selection->scno(); }
QString w_scno_process::designNo() const { return m_selection->designNo(); }
long long w_scno_process::scondId() const { return m_selection->scondId(); }
int w_scno_process::sconhCurrentRow() const { return m_selection->sconhCurrentRow(); }
int w_scno_process::scondCurrentRow() const { return m_selection->scondCurrentRow(); }
int w_scno_process::lineCount() const { return m_selection->lineCount(); }
const std::optional<QByteArray> &w_scno_process::lastPictureBytes() const { return m_selection->lastPictureBytes(); }

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
    dw_process->SetItem(newrow, QStringLiteral("scno"), m_selection->scno());
    for (const char *column : {"wax_in", "wax_out", "casting_in", "casting_out", "filing_in", "filing_out",
                               "setting_in", "setting_out", "finishing_in", "finishing_out", "polishing_in",
                               "polishing_out", "rhodium_in", "rhodium_out"})
        dw_process->SetItem(newrow, QString::fromLatin1(column), 0);
    cb_scond_add->setEnabled(false);
    updateProcessControls();
}

void w_scno_process::cb_scond_del_clicked()
{
    if (dw_process->RowCount() < 1) {
        MessageBox(QStringLiteral("警告"), QStringLiteral("没有数据可删除!"));
        return;
    }
    // As for a contract header: the clerk confirms; "更新&7" then writes the deletion.
    if (MessageBox(QStringLiteral("确认"), QStringLiteral("真的要删除此行记录吗?按是将永久删除并无法恢复!"),
                   MessageIcon::Question, MessageButtons::YesNo)
        != 1) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("用户终止操作!"));
        return;
    }
    dw_process->DeleteRow(0);
    updateProcessControls();
}

bool w_scno_process::processModified()
{
    if (!dw_process)
        return false;
    dw_process->AcceptText();
    return dw_process->store().ModifiedCount() > 0 || dw_process->store().DeletedCount() > 0;
}

QString w_scno_process::notTheChosenContract() const
{
    // The chosen contract is the current row of the contract list, as it stands now.
    const QString chosen = m_selection->scno();
    const int current = dw_sconh->GetRow();
    const QString listed = current > 0 ? dw_sconh->GetItemString(current, QStringLiteral("scno")) : QString();
    if (chosen.isEmpty() || listed != chosen || m_selection->lineCount() < 1)
        return QStringLiteral("没有选定合约, 进度资料没有保存!");
    const reports::DataStore &process = dw_process->store();
    QStringList others;
    for (int row = 1; row <= process.RowCount(); ++row)
        others << process.GetItemString(row, QStringLiteral("scno"));
    for (int row = 1; row <= process.DeletedCount(); ++row)
        others << process.deletedItem(row, QStringLiteral("scno")).toString();
    others.removeAll(chosen);
    if (others.isEmpty())
        return QString();
    return QStringLiteral("进度资料属于合约 %1, 不是所选合约 %2, 没有保存!").arg(others.first(), chosen);
}

bool w_scno_process::saveProcess()
{
    if (dw_process->AcceptText() != 1) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return false;
    }
    // Checked again now: the record must be the chosen contract's.
    if (const QString why = notTheChosenContract(); !why.isEmpty()) {
        MessageBox(QStringLiteral("信息"), why, MessageIcon::Exclamation);
        return false;
    }
    Transaction &sqlca = Transaction::sqlca();
    // Work SQLCA holds from before (or lost with its connection) is ended first:
    // the save is then whole on its own, and its rows count as saved only once
    // its own COMMIT is through.
    if (sqlca.hasOpenWork() && !sqlca.commit()) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return false;
    }
    QString closed;
    if (ContractWrites::saveProcess(dw_process->store(), sqlca, AuditSource::window(QStringLiteral("w_scno_process")),
                                    QVariant(), &closed)
        != ContractWrites::SaveResult::Saved) {
        // Nothing was written and every row is kept as typed: a failure, a header
        // another clerk has just deleted, a record another clerk has just added,
        // or a department's closed day (said with the day and who closed it).
        if (sqlca.hasOpenWork())
            sqlca.rollback();
        MessageBox(QStringLiteral("信息"), closed.isEmpty() ? QStringLiteral("保存数据未成功!")
                                                            : QStringLiteral("保存数据未成功!\n") + closed,
                   MessageIcon::Exclamation);
        return false;
    }
    // Read back: a new record gets its process_id from the database.
    retrieveProcessRecord();
    MessageBox(QStringLiteral("恭喜"), QStringLiteral("保存数据成功!"));
    return true;
}

bool w_scno_process::offerToSave()
{
    // Only a user who may update the record (cb_printpo enabled by the rights) is asked.
    if (!cb_printpo || !cb_printpo->isEnabled() || !processModified())
        return true;
    const int answer = MessageBox(QStringLiteral("确认"), QStringLiteral("进度资料已修改, 要保存吗?"),
                                  MessageIcon::Question, MessageButtons::YesNoCancel);
    // Yes saves (a failed save keeps the record as typed), No drops the changes,
    // Cancel keeps them and stays.
    if (answer == 2)
        dw_process->Reset();
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
    OpenWithParm(QStringLiteral("w_pomatuse"), m_selection->scno());
}

void w_scno_process::cb_sconh_add_clicked()
{
    Open(QStringLiteral("w_sconh_add"));
}

void w_scno_process::cb_sconh_edit_clicked()
{
    OpenWithParm(QStringLiteral("w_sconh_edit"), m_selection->scno());
}

void w_scno_process::cb_sconh_del_clicked()
{
    // Unsaved progress is settled first; Cancel leaves everything as it is.
    if (!offerToSave())
        return;
    if (MessageBox(QStringLiteral("确认"), QStringLiteral("真的要删除此行记录吗?按是将永久删除并无法恢复!"),
                   MessageIcon::Question, MessageButtons::YesNo)
        != 1) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("用户终止操作!"));
        return;
    }
    // Rolled back when nothing was deleted; a deletion whose commit fails is not
    // announced as done.
    if (!ContractWrites::deleteHeader(m_selection->scno(), Transaction::sqlca()))
        MessageBox(QStringLiteral("信息"), QStringLiteral("删除数据未成功!"));
    else
        MessageBox(QStringLiteral("恭喜"), QStringLiteral("删除数据成功!"));
    const int headers = dw_sconh->Retrieve();
    // The list starts again at its first contract: show that one, not the lines
    // of a contract that may be gone. A list that could not be read leaves the
    // window as it was.
    if (headers > 0) {
        dw_sconh_rowfocuschanging(0, 1);
    } else if (headers == 0) {
        m_selection->clear();
        dw_process->Reset();
        updateProcessControls();
    }
}

void w_scno_process::contractSaved(const QString &scno)
{
    const int headers = dw_sconh->Retrieve();
    if (headers < 1)
        return;
    int row = 1;
    for (int r = 1; r <= headers; ++r) {
        if (dw_sconh->GetItemString(r, QStringLiteral("scno")) == scno)
            row = r;
    }
    // Moving to the row shows its lines; on the row already, they are shown again.
    if (dw_sconh->GetRow() != row)
        dw_sconh->ScrollToRow(row);
    else
        dw_sconh_rowfocuschanging(0, row);
}

void w_scno_process::cb_close_clicked()
{
    Close();
}

bool w_scno_process::closeQuery()
{
    bool leave = true;
    Dispatcher::run(this, "closequery", [&] { leave = offerToSave(); });
    return leave;
}

// The bag tickets of the contract in their print preview; a contract without
// lines is said so first, and no preview opens.
void w_scno_process::cb_tickets_clicked()
{
    if (scno().isEmpty())
        return;
    const auto lines = Transaction::sqlca().selectInto(QStringLiteral("select count(*) from scond where scno = ?"),
                                                       {scno()});
    if (lines && lines->at(0).toLongLong() == 0) {
        MessageBox(QStringLiteral("打印袋卡"), QStringLiteral("合约 %1 没有订货明细, 没有袋卡可打印!").arg(scno()),
                   MessageIcon::Exclamation);
        return;
    }
    OpenWithParm(QStringLiteral("w_bagticket_preview"), QStringList{scno()});
}

// The contract's change record, newest first, in the print preview.
void w_scno_process::cb_audit_clicked()
{
    if (scno().isEmpty())
        return;
    reports::DataStore audit(QStringLiteral("d_audit_log"));
    audit.SetTransObject(Transaction::sqlca());
    audit.Retrieve({scno()});
    audit.setObjectText(QStringLiteral("t_title"), QStringLiteral("变更记录 Change record ") + scno());
    reports::s_preview s;
    s.dw_name = QStringLiteral("temp.psr");
    audit.SaveAs(s.dw_name, reports::SaveAsType::PSReport, true);
    OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s));
}

// Contracts with their lines from a file; the list is read again and shows them.
void w_scno_process::cb_import_clicked()
{
    // Typed progress is settled first, as the record is read again afterwards.
    const bool typed = processModified();
    if (!offerToSave())
        return;
    ContractImportKind kind;
    const import::KindFileActions::Done done =
        import::KindFileActions::importFile(this, kind, windowClassName(), QStringLiteral("合约"));
    if (done.written)
        contractSaved(scno());
    else if (typed && m_selection->lineCount() > 0)
        retrieveProcessRecord();   // the record as saved, not the changes dropped
}

// Every contract with its lines, as 导入 reads them back.
void w_scno_process::cb_export_clicked()
{
    ContractImportKind kind;
    import::KindFileActions::exportFile(this, kind);
}

} // namespace wip
