#include "contracts/w_scan_station.h"

#include "contracts/resultbanner.h"
#include "contracts/scanquestion.h"
#include "database/rightscatalogue.h"
#include "reports/displayformat.h"
#include "runtime/appglobals.h"
#include "runtime/decimal.h"
#include "runtime/values.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

#include <utility>

namespace wip {

namespace {

const QString kWindow = QStringLiteral("w_scan_station");

QString figure(const QVariant &v)
{
    return v.isNull() ? QString() : reports::generalText(v);
}

QString inWork(const ScanOutcome &o)
{
    if (o.received.isNull() && o.transferred.isNull())
        return QString();
    const auto number = [](const QVariant &v) { return Decimal::fromVariant(v).value_or(Decimal::fromInt(0)); };
    return values::numberText(number(o.received) - number(o.transferred));
}

} // namespace

w_scan_station::w_scan_station(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(kWindow);
    setTitle(QStringLiteral("扫描站 Scan station"));
    resize(1100, 640);
}

w_scan_station::~w_scan_station() = default;

void w_scan_station::create()
{
    st_dept = new StaticText(this, QStringLiteral("st_dept"), QStringLiteral("部门"));
    ddlb_dept = new DropDownListBox(this, QStringLiteral("ddlb_dept"));
    for (const ScanDepartment &d : ScanDepartment::all())
        ddlb_dept->AddItem(d.caption);
    st_action = new StaticText(this, QStringLiteral("st_action"), QStringLiteral("动作"));
    ddlb_action = new DropDownListBox(this, QStringLiteral("ddlb_action"));
    st_code = new StaticText(this, QStringLiteral("st_code"), QStringLiteral("袋卡"));
    sle_code = new SingleLineEdit(this, QStringLiteral("sle_code"));
    sle_code->setPlaceholderText(QStringLiteral("扫描袋卡 Scan a bag ticket"));
    QFont codeFont = sle_code->font();
    codeFont.setPointSizeF(codeFont.pointSizeF() * 1.5);
    sle_code->setFont(codeFont);
    cb_scan = new CommandButton(this, QStringLiteral("cb_scan"), QStringLiteral("扫描"));
    cb_scan->setDefault(true);
    cb_undo = new CommandButton(this, QStringLiteral("cb_undo"), QStringLiteral("撤销"));
    cb_undo->setEnabled(false);
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    st_result = new ResultBanner(this, QStringLiteral("st_result"));
    question = new ScanQuestion(this, QStringLiteral("question"));
    lv_scans = new QTableWidget(0, 9, this);
    lv_scans->setObjectName(QStringLiteral("lv_scans"));
    lv_scans->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("袋卡"), QStringLiteral("部门"),
                                         QStringLiteral("动作"), QStringLiteral("数量"), QStringLiteral("接收"),
                                         QStringLiteral("转出"), QStringLiteral("在做"), QStringLiteral("下部门接收")});
    lv_scans->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv_scans->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv_scans->verticalHeader()->setVisible(false);
    // The columns share the window's width; the figures stand right-aligned under each other.
    // The time and the ticket code (a long contract number) always whole.
    lv_scans->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    lv_scans->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lv_scans->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lv_scans->setFocusPolicy(Qt::NoFocus);   // the scanner's Enter always reaches the code field
    // A mouse click on a list or a button leaves the focus in the code field, so
    // the next scan is typed there; Tab still reaches them.
    for (QWidget *w : std::initializer_list<QWidget *>{ddlb_dept, ddlb_action, cb_scan, cb_undo, cb_close})
        w->setFocusPolicy(Qt::TabFocus);

    auto *top = new QGridLayout;
    top->addWidget(st_dept, 0, 0);
    top->addWidget(ddlb_dept, 0, 1);
    top->addWidget(st_action, 0, 2);
    top->addWidget(ddlb_action, 0, 3);
    top->addWidget(st_code, 1, 0);
    top->addWidget(sle_code, 1, 1, 1, 3);
    top->addWidget(cb_scan, 1, 4);
    top->setColumnStretch(1, 1);
    top->setColumnStretch(3, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cb_undo);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(st_result);
    layout->addWidget(question);
    layout->addWidget(lv_scans, 1);
    layout->addLayout(buttons);

    on(ddlb_dept, &DropDownListBox::selectionchanged, this, &w_scan_station::ddlb_dept_selectionchanged);
    on(ddlb_action, &DropDownListBox::selectionchanged, this, &w_scan_station::ddlb_action_selectionchanged);
    on(cb_scan, &CommandButton::clicked, this, &w_scan_station::cb_scan_clicked);
    on(cb_undo, &CommandButton::clicked, this, &w_scan_station::cb_undo_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_scan_station::cb_close_clicked);
    on(question, &ScanQuestion::answered, this, &w_scan_station::question_answered);
}

void w_scan_station::open()
{
    // A connection of its own: each scan commits at once, whatever work SQLCA holds.
    const ConnectionSettings &cn = applicationConnection();
    const bool connected =
        db_connect(m_tr, cn.dbms, cn.database, cn.logPass, cn.serverName, cn.logId, cn.autoCommit, cn.dbParm);
    const QString rights = qxpd(user_code(), QStringLiteral("M05"), QStringLiteral("H06"));
    const bool scanRight = RightsCatalogue::has(Right::Scan, [](const QString &module, const QString &function) {
        return qxpd(user_code(), module, function);
    });
    m_station = std::make_unique<ScanStation>(m_tr, AuditSource::window(kWindow), rights, scanRight);
    ddlb_dept->SelectItem(1);
    ddlb_dept_selectionchanged(1);
    if (!connected) {
        st_result->showRefused(QStringLiteral("数据库连接未成功: ") + m_tr.sqlErrText, false);
        cb_scan->setEnabled(false);
    } else if (!scanRight && !ScanStation::mayUpdate(rights)) {
        st_result->showRefused(QStringLiteral("用户 %1 没有更新销售合约进度的权限, 不能扫描。").arg(user_code()), false);
    }
    sle_code->SetFocus();
}

void w_scan_station::ddlb_dept_selectionchanged(int)
{
    // Another department: the question about a scan of the last one is answered no.
    dismissQuestion();
    // "接收" is where pieces enter the chain: 唧蜡 only.
    const QString keep = ddlb_action->text();
    ddlb_action->Reset();
    ddlb_action->AddItem(ScanStation::actionText(ScanAction::Out));
    if (ddlb_dept->text() == ScanDepartment::all().first().caption)
        ddlb_action->AddItem(ScanStation::actionText(ScanAction::In));
    if (ddlb_action->SelectItem(keep) == 0)
        ddlb_action->SelectItem(1);
    st_result->showReady(QStringLiteral("%1 %2: 请扫描袋卡").arg(ddlb_dept->text(), ddlb_action->text()));
    sle_code->SetFocus();
}

void w_scan_station::ddlb_action_selectionchanged(int)
{
    dismissQuestion();
    st_result->showReady(QStringLiteral("%1 %2: 请扫描袋卡").arg(ddlb_dept->text(), ddlb_action->text()));
    sle_code->SetFocus();
}

const ScanDepartment *w_scan_station::department() const
{
    return ScanDepartment::find(ddlb_dept->text());
}

ScanAction w_scan_station::action() const
{
    return ddlb_action->text() == ScanStation::actionText(ScanAction::In) ? ScanAction::In : ScanAction::Out;
}

void w_scan_station::cb_scan_clicked()
{
    const QString code = sle_code->text().trimmed();
    sle_code->setText(QString());
    sle_code->SetFocus();
    // A scan is never the question's answer: it is refused, and scanned again after.
    if (question->isOpen()) {
        st_result->showRefused(question->refusal(code));
        return;
    }
    const ScanDepartment *d = department();
    if (code.isEmpty() || !d || !m_station)
        return;
    const ScanOutcome o = m_station->scan(code, *d, action());
    if (o.result != ScanOutcome::Result::Duplicate) {
        record(o);
        return;
    }
    m_pending = {code, d, action()};
    cb_undo->setEnabled(false);
    st_result->showRefused(QStringLiteral("袋卡 %1 已扫描过, 这次没有记录: 请回答下面的问题。").arg(code));
    question->ask(o.message + QStringLiteral("\n再记录一次吗?"));
}

void w_scan_station::question_answered(bool yes)
{
    const Pending p = std::exchange(m_pending, Pending{});
    sle_code->SetFocus();
    cb_undo->setEnabled(!m_scans.isEmpty());
    if (!p.department || !m_station)
        return;
    if (yes)
        record(m_station->scan(p.code, *p.department, p.action, true));
    else
        st_result->showReady(QStringLiteral("袋卡 %1 没有再记录。请扫描下一张。").arg(p.code));
}

void w_scan_station::dismissQuestion()
{
    if (question && question->isOpen())
        question->answer(false);
}

void w_scan_station::record(const ScanOutcome &o)
{
    report(o);
    if (o.done()) {
        m_scans.append(o);
        addLine(o, false);
    }
    cb_undo->setEnabled(!m_scans.isEmpty());
}

void w_scan_station::cb_undo_clicked()
{
    sle_code->SetFocus();
    if (m_scans.isEmpty() || !m_station || question->isOpen())
        return;
    const ScanOutcome o = m_station->undo(m_scans.last());
    report(o);
    if (o.done()) {
        m_scans.removeLast();
        addLine(o, true);
    }
    cb_undo->setEnabled(!m_scans.isEmpty());
}

void w_scan_station::cb_close_clicked()
{
    dismissQuestion();
    Close();
}

void w_scan_station::report(const ScanOutcome &o)
{
    if (o.done())
        st_result->showDone(o.message);
    else
        st_result->showRefused(o.message);
}

// Newest first, so the last scan is always in sight. Columns from the quantity on are figures.
constexpr int kFirstFigureColumn = 4;
void w_scan_station::addLine(const ScanOutcome &o, bool undone)
{
    lv_scans->insertRow(0);
    QString quantity = figure(o.added);
    if (!o.stonesPerPiece.isNull())
        quantity += QStringLiteral(" 粒");
    const QStringList cells{QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                            o.ticket.code,
                            o.department,
                            undone ? QStringLiteral("撤销") + ScanStation::actionText(o.action)
                                   : ScanStation::actionText(o.action),
                            undone ? QStringLiteral("-") + quantity : quantity,
                            figure(o.received),
                            figure(o.transferred),
                            inWork(o),
                            figure(o.nextReceived)};
    for (int c = 0; c < cells.size(); ++c) {
        auto *item = new QTableWidgetItem(cells[c]);
        if (c >= kFirstFigureColumn)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lv_scans->setItem(0, c, item);
    }
}

} // namespace wip
