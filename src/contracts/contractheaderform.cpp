#include "contracts/contractheaderform.h"

#include "contracts/contractcodes.h"
#include "contracts/contractlinespanel.h"
#include "contracts/contractsave.h"
#include "contracts/w_scno_process.h"
#include "runtime/appglobals.h"
#include "runtime/hosterror.h"
#include "runtime/sysfunc.h"
#include "runtime/transaction.h"
#include "runtime/values.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QGridLayout>
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

// At most this many problems in one message; the rest are counted.
constexpr int kShownProblems = 15;

QString problemText(const QStringList &problems)
{
    QStringList shown = problems.mid(0, kShownProblems);
    if (problems.size() > kShownProblems)
        shown << QStringLiteral("…… 还有 %1 个问题").arg(problems.size() - kShownProblems);
    return QStringLiteral("没有保存, 请先改正:\n") + shown.join(QLatin1Char('\n'));
}

} // namespace

ContractHeaderForm::ContractHeaderForm(Mode mode, QWidget *parent)
    : Window(parent)
    , m_mode(mode)
{
    setTitle(mode == Mode::Add ? QStringLiteral("增加销售合约") : QStringLiteral("修改销售合约"));
    resize(1040, 620);
}

void ContractHeaderForm::create()
{
    createControls();
    layOutControls();
    on(cb_save, &CommandButton::clicked, this, &ContractHeaderForm::cb_save_clicked);
    on(cb_close, &CommandButton::clicked, this, &ContractHeaderForm::cb_close_clicked);
}

void ContractHeaderForm::createControls()
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
    st_note = new StaticText(this, QStringLiteral("st_note"));
    st_note->setWordWrap(true);
    st_note->hide();
    m_lines = new ContractLinesPanel(this);
    cb_save = new CommandButton(this, QStringLiteral("cb_save"), QStringLiteral("保存"));
    cb_save->setDefault(true);
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    if (m_mode == Mode::Edit)
        sle_scno->setDisplayOnly(true);   // the contract number is the key of its lines
}

void ContractHeaderForm::layOutControls()
{
    auto *header = new QGridLayout;
    header->addWidget(st_scno, 0, 0);
    header->addWidget(sle_scno, 0, 1);
    header->addWidget(st_custno, 0, 2);
    header->addWidget(sle_custno, 0, 3);
    header->addWidget(st_custorder, 0, 4);
    header->addWidget(sle_custorder, 0, 5);
    header->addWidget(st_issdate, 1, 0);
    header->addWidget(em_issdate, 1, 1);
    header->addWidget(st_deldate, 1, 2);
    header->addWidget(em_deldate, 1, 3);
    for (int c : {1, 3, 5})
        header->setColumnStretch(c, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cb_save);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(st_note);
    layout->addWidget(m_lines, 1);
    layout->addLayout(buttons);
}

void ContractHeaderForm::open()
{
    m_rights = RightsCatalogue::contractRights(Trim(qxpd(user_code(), QStringLiteral("M05"), QStringLiteral("H06"))));
    ContractCodes codes;
    if (codes.read(Transaction::sqlca()))
        m_lines->setCodes(codes);
    if (m_mode == Mode::Add) {
        m_lines->setRights(m_rights & Right::ContractAdd);
        if (!(m_rights & Right::ContractAdd))
            showReadOnly(QStringLiteral("用户 %1 没有增加销售合约的权限, 只能看。").arg(user_code()));
        else
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
        showReadOnly(QString());
        return;
    }
    if (!readContract())
        throw HostError(ErrRowOutOfRange, QStringLiteral("sconh ") + m_scno);
    m_lines->setRights(m_rights);
    if (!m_rights)
        showReadOnly(QStringLiteral("用户 %1 没有修改销售合约的权限, 只能看。").arg(user_code()));
    else if (!(m_rights & Right::ContractEdit))
        showReadOnly(QStringLiteral("用户 %1 只有%2的权限: 合约表头只能看。")
                         .arg(user_code(), RightsCatalogue::describe(m_rights, true)));
    else
        sle_custno->SetFocus();
}

// The header and lines of m_scno into the form; false when there is no header.
bool ContractHeaderForm::readContract()
{
    Transaction &sqlca = Transaction::sqlca();
    const auto row = sqlca.selectInto(
        QStringLiteral("select cust_no, cust_order, issdate, deldate from sconh where scno = ?"), {m_scno});
    if (!row)
        return false;
    sle_scno->setText(m_scno);
    sle_custno->setText(row->at(0).toString());
    sle_custorder->setText(row->at(1).toString());
    if (const QDate d = dateOf(row->at(2)); d.isValid())
        em_issdate->setText(values::dateText(d));
    if (const QDate d = dateOf(row->at(3)); d.isValid())
        em_deldate->setText(values::dateText(d));
    QList<ContractLine> lines;
    if (!ContractSave::readLines(sqlca, m_scno, &lines))
        throw HostError(ErrGeneric, QStringLiteral("scond ") + m_scno);
    m_lines->setLines(lines);
    return true;
}

// The header only shown; why, above the lines. The lines follow the rights the
// panel was given; without any, the form saves nothing.
void ContractHeaderForm::showReadOnly(const QString &why)
{
    for (SingleLineEdit *field : {sle_scno, sle_custno, sle_custorder})
        field->setDisplayOnly(true);
    for (EditMask *field : {em_issdate, em_deldate})
        field->setEnabled(false);
    st_note->setText(why);
    st_note->setVisible(!why.isEmpty());
    const bool mayChangeLines = m_mode == Mode::Edit && !m_scno.isEmpty() && bool(m_rights);
    cb_save->setEnabled(mayChangeLines);
    if (!mayChangeLines)
        cb_close->SetFocus();
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
    const ContractHeader header{m_mode == Mode::Add ? Trim(sle_scno->text()) : m_scno, Trim(sle_custno->text()),
                                Trim(sle_custorder->text()), em_issdate->date(), em_deldate->date()};
    QList<ContractLine> lines = m_lines->lines();
    ContractSave contract(sqlca, AuditSource::window(windowClassName()), m_rights);
    switch (contract.save(m_mode == Mode::Add, header, &lines)) {
    case ContractSave::Result::Refused:
        MessageBox(QStringLiteral("警告"), problemText(contract.problems()), MessageIcon::Exclamation);
        return false;
    case ContractSave::Result::Failed:
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return false;
    case ContractSave::Result::Saved:
        break;
    }
    // Work SQLCA held before holds the contract too: saved only when that COMMIT is.
    if (sqlca.inTransaction() && !sqlca.commit()) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!"), MessageIcon::Exclamation);
        return false;
    }
    m_lines->setLines(lines);
    return true;
}

void ContractHeaderForm::refreshContractList()
{
    if (auto *w = qobject_cast<w_scno_process *>(Window::findLatest(QStringLiteral("w_scno_process"))))
        w->contractSaved(m_mode == Mode::Add ? Trim(sle_scno->text()) : m_scno);
}

void ContractHeaderForm::cb_save_clicked()
{
    const QString problem = validate();
    if (!problem.isEmpty()) {
        MessageBox(QStringLiteral("警告"), problem, MessageIcon::Exclamation);
        return;
    }
    if (!save())
        return;
    m_saved = true;
    refreshContractList();
    MessageBox(QStringLiteral("恭喜"), QStringLiteral("保存数据成功!"));
    Close();
}

void ContractHeaderForm::cb_close_clicked()
{
    Close();
}

bool ContractHeaderForm::closeQuery()
{
    if (m_saved || !m_lines || !m_lines->isModified() || !cb_save->isEnabled())
        return true;
    bool leave = true;
    Dispatcher::run(this, "closequery", [&] {
        const int answer = MessageBox(QStringLiteral("确认"), QStringLiteral("订货明细已修改, 要保存吗?"),
                                      MessageIcon::Question, MessageButtons::YesNoCancel);
        if (answer == 1) {
            const QString problem = validate();
            if (!problem.isEmpty())
                MessageBox(QStringLiteral("警告"), problem, MessageIcon::Exclamation);
            leave = problem.isEmpty() && save();
            if (leave)
                refreshContractList();
        } else {
            leave = answer == 2;
        }
    });
    return leave;
}

} // namespace wip
