#include "contracts/contractheaderform.h"

#include "database/auditlog.h"
#include "contracts/w_scno_process.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/hosterror.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"
#include "runtime/values.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace wip {

namespace {

// A date column as read: a timestamp (PostgreSQL) or "yyyy-mm-dd hh:mm:ss" text (SQLite).
QDate dateOf(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    return values::parseDate(value.toString()).value_or(QDate());
}

} // namespace

ContractHeaderForm::ContractHeaderForm(Mode mode, QWidget *parent)
    : Window(parent)
    , m_mode(mode)
{
    setTitle(mode == Mode::Add ? QStringLiteral("增加销售合约") : QStringLiteral("修改销售合约"));
}

void ContractHeaderForm::create()
{
    st_scno = new StaticText(this, QStringLiteral("st_scno"), QStringLiteral("KCNO"));
    sle_scno = new SingleLineEdit(this, QStringLiteral("sle_scno"));
    sle_scno->setTextCase(SingleLineEdit::TextCase::Upper);
    sle_scno->setMaxLength(20);
    st_custno = new StaticText(this, QStringLiteral("st_custno"), QStringLiteral("客户编号"));
    sle_custno = new SingleLineEdit(this, QStringLiteral("sle_custno"));
    sle_custno->setMaxLength(20);
    st_custorder = new StaticText(this, QStringLiteral("st_custorder"), QStringLiteral("客单编号"));
    sle_custorder = new SingleLineEdit(this, QStringLiteral("sle_custorder"));
    sle_custorder->setMaxLength(30);
    st_issdate = new StaticText(this, QStringLiteral("st_issdate"), QStringLiteral("接单日期"));
    em_issdate = new EditMask(this, QStringLiteral("em_issdate"));
    st_deldate = new StaticText(this, QStringLiteral("st_deldate"), QStringLiteral("订单货期"));
    em_deldate = new EditMask(this, QStringLiteral("em_deldate"));
    cb_save = new CommandButton(this, QStringLiteral("cb_save"), QStringLiteral("保存"));
    cb_save->setDefault(true);
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    if (m_mode == Mode::Edit)
        sle_scno->setDisplayOnly(true);   // the contract number is the key of its lines

    auto *form = new QFormLayout;
    form->addRow(st_scno, sle_scno);
    form->addRow(st_custno, sle_custno);
    form->addRow(st_custorder, sle_custorder);
    form->addRow(st_issdate, em_issdate);
    form->addRow(st_deldate, em_deldate);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cb_save);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    on(cb_save, &CommandButton::clicked, this, &ContractHeaderForm::cb_save_clicked);
    on(cb_close, &CommandButton::clicked, this, &ContractHeaderForm::cb_close_clicked);
}

void ContractHeaderForm::open()
{
    if (m_mode == Mode::Add) {
        sle_scno->SetFocus();
        return;
    }
    // The contract asked for, or the one the sales-contract window is on.
    m_scno = message().powerObjectParm.toString();
    if (m_scno.isEmpty()) {
        if (auto *w = qobject_cast<w_scno_process *>(Window::findLatest(QStringLiteral("w_scno_process"))))
            m_scno = w->scno();
    }
    // No contract to change (a factory without contracts yet): an empty form
    // that saves nothing.
    if (m_scno.isEmpty()) {
        for (SingleLineEdit *field : {sle_custno, sle_custorder})
            field->setDisplayOnly(true);
        for (EditMask *field : {em_issdate, em_deldate})
            field->setEnabled(false);
        cb_save->setEnabled(false);
        cb_close->SetFocus();
        return;
    }
    const auto row = Transaction::sqlca().selectInto(
        QStringLiteral("select cust_no, cust_order, issdate, deldate from sconh where scno = ?"), {m_scno});
    if (!row)
        throw HostError(ErrRowOutOfRange, QStringLiteral("sconh ") + m_scno);
    sle_scno->setText(m_scno);
    sle_custno->setText(row->at(0).toString());
    sle_custorder->setText(row->at(1).toString());
    if (const QDate d = dateOf(row->at(2)); d.isValid())
        em_issdate->setText(values::dateText(d));
    if (const QDate d = dateOf(row->at(3)); d.isValid())
        em_deldate->setText(values::dateText(d));
    sle_custno->SetFocus();
}

QString ContractHeaderForm::validate() const
{
    const QString scno = Trim(sle_scno->text());
    if (scno.isEmpty())
        return QStringLiteral("请输入KCNO!");
    if (Trim(sle_custno->text()).isEmpty())
        return QStringLiteral("请输入客户编号!");
    if (em_deldate->date() < em_issdate->date())
        return QStringLiteral("订单货期不能早于接单日期!");
    if (m_mode == Mode::Add) {
        const auto row = Transaction::sqlca().selectInto(QStringLiteral("select count(*) from sconh where scno = ?"),
                                                         {scno});
        if (row && row->at(0).toLongLong() > 0)
            return QStringLiteral("KCNO已存在!");
    }
    return QString();
}

bool ContractHeaderForm::save()
{
    Transaction &sqlca = Transaction::sqlca();
    const QDateTime iss(em_issdate->date(), QTime(0, 0));
    const QDateTime del(em_deldate->date(), QTime(0, 0));
    const QString scno = Trim(sle_scno->text());
    TransactionGuard guard(sqlca);
    // The header before and after, for the audit trail written in the same work.
    AuditLog::Record before;
    AuditLog::Record after;
    bool ok = false;
    if (m_mode == Mode::Add) {
        ok = sqlca.execute(QStringLiteral("insert into sconh (scno, cust_no, cust_order, issdate, deldate, take) "
                                          "values (?, ?, ?, ?, ?, 0)"),
                           {scno, Trim(sle_custno->text()), Trim(sle_custorder->text()), iss, del});
    } else {
        ok = AuditLog::readHeader(sqlca, m_scno, &before)
            && sqlca.execute(QStringLiteral("update sconh set cust_no = ?, cust_order = ?, issdate = ?, deldate = ? "
                                          "where scno = ?"),
                           {Trim(sle_custno->text()), Trim(sle_custorder->text()), iss, del, m_scno})
            && sqlca.sqlNRows > 0;
    }
    const QString key = m_mode == Mode::Add ? scno : m_scno;
    ok = ok && AuditLog::readHeader(sqlca, key, &after)
        && AuditLog::write(sqlca, AuditSource::window(windowClassName()), AuditLog::diff(key, QVariant(), before, after));
    if (!ok) {
        guard.rollback();
        return false;
    }
    if (!guard.commit())
        return false;
    // Work SQLCA held before holds the header too: saved only when that COMMIT is.
    return !sqlca.inTransaction() || sqlca.commit();
}

void ContractHeaderForm::refreshContractList()
{
    if (Window *w = Window::findLatest(QStringLiteral("w_scno_process"))) {
        if (auto *dw = w->findChild<reports::ReportControl *>(QStringLiteral("dw_sconh")))
            dw->Retrieve();
    }
}

void ContractHeaderForm::cb_save_clicked()
{
    const QString problem = validate();
    if (!problem.isEmpty()) {
        MessageBox(QStringLiteral("警告"), problem, MessageIcon::Exclamation);
        return;
    }
    if (!save()) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return;
    }
    refreshContractList();
    MessageBox(QStringLiteral("恭喜"), QStringLiteral("保存数据成功!"));
    Close();
}

void ContractHeaderForm::cb_close_clicked()
{
    Close();
}

} // namespace wip
