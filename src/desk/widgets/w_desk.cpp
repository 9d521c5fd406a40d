#include "desk/widgets/w_desk.h"

#include "database/closeddays.h"
#include "desk/deskdepartment.h"
#include "desk/deskholdings.h"
#include "desk/deskinput.h"
#include "desk/deskreversal.h"
#include "desk/widgets/resultbanner.h"
#include "desk/widgets/scanquestion.h"
#include "scale/serialscale.h"
#include "runtime/appglobals.h"
#include "runtime/connectionsettings.h"
#include "runtime/settings.h"
#include "runtime/widgets/checkbox.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"
#include "runtime/values.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

#include <utility>

namespace wip {

namespace {

const QString kWindow = QStringLiteral("w_desk");
constexpr int kFirstKey = 116;   // F5: the keys F5 ... F9 choose the actions in DeskFields::choices() order
constexpr int kReverseKey = 121;    // F10: 冲销
constexpr int kCloseDayKey = 122;   // F11: 日结
constexpr int kReopenDayKey = 123;  // F12: 重开日结

QString count(const std::optional<Decimal> &d)
{
    return d ? DeskInput::count(*d) : QString();
}

QString grams(const std::optional<Decimal> &d)
{
    return d ? DeskInput::grams(*d) : QString();
}

QTableWidget *list(QWidget *parent, const QString &name, const QStringList &captions, int stretch)
{
    auto *t = new QTableWidget(0, int(captions.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(captions);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setVisible(false);
    t->setFocusPolicy(Qt::NoFocus);   // the scanner's Enter always reaches the form
    // Codes, places and figures whole; the one long column takes the rest.
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setSectionResizeMode(stretch, QHeaderView::Stretch);
    return t;
}

void setRow(QTableWidget *t, int row, const QStringList &cells, int firstFigure, const QColor &colour = QColor())
{
    for (int c = 0; c < cells.size(); ++c) {
        auto *item = new QTableWidgetItem(cells[c]);
        item->setToolTip(cells[c]);
        if (c >= firstFigure)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (colour.isValid())
            item->setForeground(colour);
        t->setItem(row, c, item);
    }
}

} // namespace

w_desk::w_desk(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(kWindow);
    setTitle(QStringLiteral("部门收发 Department desk"));
    resize(1180, 700);
}

w_desk::~w_desk() = default;

void w_desk::create()
{
    st_dept = new StaticText(this, QStringLiteral("st_dept"), QStringLiteral("部门"));
    ddlb_dept = new DropDownListBox(this, QStringLiteral("ddlb_dept"));
    for (const DeskDepartment &d : DeskDepartment::all()) {
        if (!d.isOutside())
            ddlb_dept->AddItem(d.caption);
    }
    // The department is the desk's: large, and wide enough to read from a step back.
    QFont deptFont = ddlb_dept->font();
    deptFont.setPointSizeF(deptFont.pointSizeF() * 1.3);
    ddlb_dept->setFont(deptFont);
    ddlb_dept->setMinimumContentsLength(6);
    ddlb_dept->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    st_user = new StaticText(this, QStringLiteral("st_user"));
    const QStringList names{QStringLiteral("cb_receive"), QStringLiteral("cb_issue"), QStringLiteral("cb_takeback"),
                            QStringLiteral("cb_pass"), QStringLiteral("cb_outside")};
    for (const DeskChoice c : DeskFields::choices()) {
        const int i = int(m_choiceButtons.size());
        auto *b = new CommandButton(this, names.at(i), QStringLiteral("%1 F%2").arg(DeskFields::choiceText(c)).arg(5 + i));
        b->setCheckable(true);
        // The chosen action stands out at a glance.
        b->setStyleSheet(QStringLiteral("QPushButton:checked { background: #1f5fa8; color: white; font-weight: bold; "
                                        "border: 1px solid #123c6c; border-radius: 3px; }"));
        QFont f = b->font();
        f.setPointSizeF(f.pointSizeF() * 1.3);
        b->setFont(f);
        b->setMinimumHeight(2 * b->fontMetrics().height());
        m_choiceButtons.insert(c, b);
        on(b, &CommandButton::clicked, this, [this, c] { choose(c); });
    }
    st_code = new StaticText(this, QStringLiteral("st_code"), DeskFields::label(m_choice, DeskField::Code));
    sle_code = new SingleLineEdit(this, QStringLiteral("sle_code"));
    sle_code->setPlaceholderText(QStringLiteral("扫描袋卡 Scan a bag ticket"));
    QFont codeFont = sle_code->font();
    codeFont.setPointSizeF(codeFont.pointSizeF() * 1.5);
    sle_code->setFont(codeFont);
    cb_ok = new CommandButton(this, QStringLiteral("cb_ok"), QStringLiteral("确定 Enter"));
    cb_ok->setDefault(true);
    cb_closeday = new CommandButton(this, QStringLiteral("cb_closeday"), QStringLiteral("日结 F11"));
    cb_reopenday = new CommandButton(this, QStringLiteral("cb_reopenday"), QStringLiteral("重开 F12"));
    cb_reverse = new CommandButton(this, QStringLiteral("cb_reverse"), QStringLiteral("冲销 F10"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    createFields();
    st_bag = new StaticText(this, QStringLiteral("st_bag"));
    st_bag->setWordWrap(true);
    QFont bagFont = st_bag->font();
    bagFont.setPointSizeF(bagFont.pointSizeF() * 1.25);
    st_bag->setFont(bagFont);
    st_result = new ResultBanner(this, QStringLiteral("st_result"));
    question = new ScanQuestion(this, QStringLiteral("question"));
    st_holding = new StaticText(this, QStringLiteral("st_holding"));
    st_holding->setWordWrap(true);
    st_scale = new StaticText(this, QStringLiteral("st_scale"));
    st_scale->setVisible(false);
    lv_done = list(this, QStringLiteral("lv_done"),
                   {QStringLiteral("时间"), QStringLiteral("袋卡"), QStringLiteral("动作"), QStringLiteral("结果"),
                    QStringLiteral("袋的位置")},
                   3);
    lv_bags = list(this, QStringLiteral("lv_bags"),
                   {QStringLiteral("袋卡"), QStringLiteral("位置"), QStringLiteral("件数"), QStringLiteral("重量 (克)")}, 1);
    // A click on a list, a button or the department leaves the focus where the
    // next scan goes; Tab still reaches them.
    for (QWidget *w : std::initializer_list<QWidget *>{ddlb_dept, cb_ok, cb_reverse, cb_closeday, cb_reopenday, cb_close})
        w->setFocusPolicy(Qt::TabFocus);
    for (CommandButton *b : std::as_const(m_choiceButtons))
        b->setFocusPolicy(Qt::TabFocus);
    layOut();

    on(ddlb_dept, &DropDownListBox::selectionchanged, this, &w_desk::ddlb_dept_selectionchanged);
    on(cb_ok, &CommandButton::clicked, this, &w_desk::cb_ok_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_desk::cb_close_clicked);
    on(cb_closeday, &CommandButton::clicked, this, &w_desk::cb_closeday_clicked);
    on(cb_reopenday, &CommandButton::clicked, this, &w_desk::cb_reopenday_clicked);
    on(cb_reverse, &CommandButton::clicked, this, &w_desk::cb_reverse_clicked);
    on(this, &Window::key, this, &w_desk::window_key);
    on(question, &ScanQuestion::answered, this, &w_desk::question_answered);
}

void w_desk::createFields()
{
    const auto edit = [this](const QString &name, DeskField f) {
        m_labels.insert(f, new StaticText(this, QStringLiteral("st_") + name.mid(4)));
        return new SingleLineEdit(this, name);
    };
    sle_worker = edit(QStringLiteral("sle_worker"), DeskField::Worker);
    sle_worker->setPlaceholderText(QStringLiteral("扫描工牌或输入工号"));
    sle_pieces = edit(QStringLiteral("sle_pieces"), DeskField::Pieces);
    sle_weight = edit(QStringLiteral("sle_weight"), DeskField::Weight);
    sle_returned = edit(QStringLiteral("sle_returned"), DeskField::Returned);
    sle_unfinished = edit(QStringLiteral("sle_unfinished"), DeskField::UnfinishedWeight);
    st_reason = new StaticText(this, QStringLiteral("st_reason"), QStringLiteral("冲销原因"));
    sle_reason = new SingleLineEdit(this, QStringLiteral("sle_reason"));
    sle_reason->setPlaceholderText(QStringLiteral("冲销时必须写明原因"));
    sle_reason->setEnabled(false);
    cbx_unfinished = new CheckBox(this, QStringLiteral("cbx_unfinished"));
    cbx_unfinished->setFocusPolicy(Qt::TabFocus);
    for (SingleLineEdit *e : {sle_weight, sle_returned, sle_unfinished})
        e->setPlaceholderText(QStringLiteral("克"));
    QFont big = sle_weight->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    for (SingleLineEdit *e : {sle_worker, sle_pieces, sle_weight, sle_returned, sle_unfinished})
        e->setFont(big);
    // A box changed with the mouse or Space: the fields that follow it change.
    connect(cbx_unfinished, &QCheckBox::toggled, this, [this] { showChoice(); });
    connect(sle_pieces, &QLineEdit::textChanged, this, [this] { showChoice(); });
}

void w_desk::layOut()
{
    auto *top = new QHBoxLayout;
    top->addWidget(st_dept);
    top->addWidget(ddlb_dept);
    top->addSpacing(16);
    for (const DeskChoice c : DeskFields::choices())
        top->addWidget(m_choiceButtons.value(c));
    top->addStretch(1);
    top->addWidget(st_user);
    auto *scan = new QHBoxLayout;
    scan->addWidget(st_code);
    scan->addWidget(sle_code, 1);
    scan->addWidget(cb_ok);
    auto *form = new QGridLayout;
    const auto put = [form, this](int row, int column, DeskField f, QWidget *w) {
        form->addWidget(m_labels.value(f), row, column);
        form->addWidget(w, row, column + 1);
    };
    put(0, 0, DeskField::Worker, sle_worker);
    put(0, 2, DeskField::Pieces, sle_pieces);
    put(0, 4, DeskField::Weight, sle_weight);
    put(1, 0, DeskField::Returned, sle_returned);
    form->addWidget(cbx_unfinished, 1, 2, 1, 2);
    put(1, 4, DeskField::UnfinishedWeight, sle_unfinished);
    form->addWidget(st_reason, 2, 0);
    form->addWidget(sle_reason, 2, 1, 1, 3);
    form->addWidget(st_scale, 2, 4, 1, 2);
    for (int c : {1, 3, 5})
        form->setColumnStretch(c, 1);
    auto *lists = new QHBoxLayout;
    lists->addWidget(lv_done, 3);
    auto *bags = new QVBoxLayout;
    bags->addWidget(st_holding);
    bags->addWidget(lv_bags, 1);
    lists->addLayout(bags, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cb_reverse);
    buttons->addWidget(cb_closeday);
    buttons->addWidget(cb_reopenday);
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(scan);
    layout->addLayout(form);
    layout->addWidget(st_bag);
    layout->addWidget(st_result);
    layout->addWidget(question);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
}

void w_desk::open()
{
    // A connection of its own: each action commits at once, whatever work SQLCA holds.
    const ConnectionSettings &cn = applicationConnection();
    const bool connected =
        db_connect(m_tr, cn.dbms, cn.database, cn.logPass, cn.serverName, cn.logId, cn.autoCommit, cn.dbParm);
    m_rights = RightsCatalogue::rightsOf([](const QString &module, const QString &function) {
        return qxpd(user_code(), module, function);
    });
    QString why;
    const auto tolerance = DeskInput::weight(Settings().deskTolerance(), QStringLiteral("desk/tolerance"), &why);
    if (!connected)
        m_deskProblem = QStringLiteral("数据库连接未成功: ") + m_tr.sqlErrText;
    else if (!tolerance)
        m_deskProblem = QStringLiteral("设置 ") + why;
    if (m_deskProblem.isEmpty())
        m_desk = std::make_unique<Desk>(m_tr, AuditSource::window(kWindow), m_rights, Desk::Options{*tolerance, {}});
    st_user->setText(QStringLiteral("用户 %1").arg(user_code()));
    const QString mine = Settings().deskDepartment(user_code());
    if (mine.isEmpty() || ddlb_dept->SelectItem(mine) == 0)
        ddlb_dept->SelectItem(1);
    openScale();
    showChoice();
    refreshHoldings();
    showIdle();
    sle_code->SetFocus();
}

// The scale of the settings, if one is set: each stable weight goes into the
// weight field being filled, and what the scale is doing shows under the
// weight (moving, empty, silent, a port that will not open). Without a port
// the weights are typed and nothing is shown.
void w_desk::openScale()
{
    m_scale = new SerialScale(this);
    on(m_scale, &SerialScale::stableWeight, this, [this](const QString &grams) {
        QString why;
        if (const auto weight = DeskInput::weight(grams, QStringLiteral("秤 Scale"), &why))
            setScaleWeight(*weight);
    });
    on(m_scale, &SerialScale::stateChanged, this, [this](SerialScale::State state, const QString &text) {
        st_scale->setText(QStringLiteral("秤 ") + text);
        st_scale->setVisible(state != SerialScale::State::Closed);
    });
    m_scale->openFromSettings();
    st_scale->setText(QStringLiteral("秤 ") + m_scale->statusText());
    st_scale->setVisible(m_scale->state() != SerialScale::State::Closed);
}

const DeskDepartment *w_desk::department() const
{
    return DeskDepartment::find(ddlb_dept->text());
}

QWidget *w_desk::fieldWidget(DeskField field) const
{
    switch (field) {
    case DeskField::Code: return sle_code;
    case DeskField::Worker: return sle_worker;
    case DeskField::Pieces: return sle_pieces;
    case DeskField::Weight: return sle_weight;
    case DeskField::Returned: return sle_returned;
    case DeskField::UnfinishedToDesk: return cbx_unfinished;
    case DeskField::UnfinishedWeight: return sle_unfinished;
    }
    return sle_code;
}

std::optional<DeskField> w_desk::fieldOf(const QWidget *widget) const
{
    for (const DeskField f : DeskFields::used(DeskChoice::TakeBack)) {
        if (fieldWidget(f) == widget)
            return f;
    }
    return std::nullopt;
}

void w_desk::focusField(DeskField field)
{
    QWidget *w = fieldWidget(field);
    w->setFocus(Qt::OtherFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->selectAll();   // a default shown is replaced by what is typed
}

// The fields and captions of the chosen action; those it does not ask are greyed.
void w_desk::showChoice()
{
    for (auto it = m_choiceButtons.cbegin(); it != m_choiceButtons.cend(); ++it)
        it.value()->setChecked(it.key() == m_choice && !m_reversing);
    const DeskRequest typed = request();
    const QList<DeskField> chain = DeskFields::chain(m_choice, typed, held());
    for (const DeskField f : DeskFields::used(DeskChoice::TakeBack)) {
        if (f == DeskField::Code)
            continue;
        fieldWidget(f)->setEnabled(chain.contains(f));
        if (f == DeskField::UnfinishedToDesk)
            cbx_unfinished->setText(DeskFields::label(m_choice, f));
        else
            m_labels.value(f)->setText(DeskFields::label(m_choice, f));
    }
}

QString w_desk::prompt() const
{
    return QStringLiteral("%1 %2: 请扫描袋卡").arg(ddlb_dept->text(), DeskFields::choiceText(m_choice));
}

// Waiting for a scan: what to scan, or, red and silent, why no action can be done.
void w_desk::showIdle(const QString &before)
{
    if (!m_deskProblem.isEmpty())
        st_result->showRefused(m_deskProblem, false);
    else if (!Desk::mayAct(m_rights))
        st_result->showRefused(QStringLiteral("用户 %1 没有部门收发的权限 (扫描或销售合约), 收发会被拒绝。").arg(user_code()),
                               false);
    else
        st_result->showReady(before + prompt());
}

void w_desk::choose(DeskChoice choice)
{
    dismissQuestion();
    leaveReversal();
    m_choice = choice;
    clearEntry();
    showIdle();
    sle_code->SetFocus();
}

void w_desk::ddlb_dept_selectionchanged(int)
{
    dismissQuestion();
    Settings settings;
    settings.setDeskDepartment(user_code(), ddlb_dept->text());
    settings.sync();
    leaveReversal();
    clearEntry();
    refreshHoldings();
    showIdle();
    sle_code->SetFocus();
}

void w_desk::window_key(int key, int keyflags)
{
    if (keyflags != KeyFlags::None)
        return;
    const QList<DeskChoice> choices = DeskFields::choices();
    if (key >= kFirstKey && key < kFirstKey + choices.size()) {
        Keyboard::consumeKey();
        choose(choices.at(key - kFirstKey));
    } else if (key == kCloseDayKey) {
        Keyboard::consumeKey();
        cb_closeday_clicked();
    } else if (key == kReopenDayKey) {
        Keyboard::consumeKey();
        cb_reopenday_clicked();
    } else if (key == kReverseKey) {
        Keyboard::consumeKey();
        cb_reverse_clicked();
    } else if (key == HostKey::Escape && !question->isOpen() && m_reversing) {
        // Esc leaves 冲销 (and a bag shown for it); the window stays.
        Keyboard::consumeKey();
        leaveReversal();
        clearEntry();
        showIdle(QStringLiteral("没有冲销。"));
        sle_code->SetFocus();
    } else if (key == HostKey::Escape && !question->isOpen() && m_look) {
        // Esc drops the entry under way and the window stays; with none, Esc closes it.
        Keyboard::consumeKey();
        clearEntry();
        showIdle(QStringLiteral("已取消。"));
        sle_code->SetFocus();
    }
}

// 日结: which day of the department is closed is asked in the window.
void w_desk::cb_closeday_clicked()
{
    dismissQuestion();
    clearEntry();
    const DeskDepartment *dept = department();
    if (!dept || !m_tr.isConnected()) {
        st_result->showRefused(m_deskProblem.isEmpty() ? QStringLiteral("没有部门, 不能日结") : m_deskProblem);
        sle_code->SetFocus();
        return;
    }
    if (!(m_rights & Right::Supervisor)) {
        st_result->showRefused(QStringLiteral("用户 %1 没有主管权限, 不能日结").arg(user_code()));
        sle_code->SetFocus();
        return;
    }
    m_pending = {Asking::CloseDay, DeskRequest(), std::nullopt, QDate()};
    st_result->showReady(QStringLiteral("日结 Close day: 请回答下面的问题。"));
    question->askDate(QStringLiteral("日结 %1: 打印本日报表后关闭这一天, 之后这一天不能再改动。\n关闭哪一天?").arg(dept->caption),
                      QStringLiteral("是, 日结 (F2)"), QDate::currentDate());
}

// 冲销: the next scan is the bag whose last action here is to be reversed.
void w_desk::cb_reverse_clicked()
{
    dismissQuestion();
    clearEntry();
    leaveReversal();
    const DeskDepartment *dept = department();
    if (!dept || !m_desk) {
        st_result->showRefused(m_deskProblem.isEmpty() ? QStringLiteral("没有部门, 不能冲销") : m_deskProblem);
        sle_code->SetFocus();
        return;
    }
    if (!(m_rights & Right::Supervisor)) {
        st_result->showRefused(QStringLiteral("用户 %1 没有主管权限, 不能冲销").arg(user_code()));
        sle_code->SetFocus();
        return;
    }
    m_reversing = true;
    for (CommandButton *b : std::as_const(m_choiceButtons))
        b->setChecked(false);
    cb_reverse->setCheckable(true);
    cb_reverse->setChecked(true);
    st_result->showReady(QStringLiteral("%1 冲销 Reverse: 请扫描要冲销的袋卡 (只冲销袋在本部门的最后一步; Esc 取消)")
                             .arg(dept->caption));
    sle_code->SetFocus();
}

// The bag scanned for 冲销: what its last action here was, or why it cannot be reversed.
void w_desk::reverseScanned()
{
    const QString code = sle_code->text().trimmed();
    const DeskDepartment *dept = department();
    if (code.isEmpty() || !dept || !m_desk) {
        sle_code->SetFocus();
        return;
    }
    m_reverseCode.clear();
    sle_reason->clear();
    sle_reason->setEnabled(false);
    const DeskReversal::Plan plan =
        DeskReversal(m_tr, AuditSource::window(kWindow), m_rights).look(code, dept->caption);
    if (!plan.ok()) {
        sle_code->clear();
        st_bag->clear();
        st_result->showRefused(plan.message);
        sle_code->SetFocus();
        return;
    }
    m_reverseCode = code;
    st_bag->setText(QStringLiteral("袋卡 %1 冲销: %2").arg(code, plan.what));
    st_result->showReady(QStringLiteral("袋卡 %1 冲销: 请输入原因, Enter").arg(code));
    sle_reason->setEnabled(true);
    sle_reason->setFocus(Qt::OtherFocusReason);
}

// The reason given: asked once more, with what will be reversed.
void w_desk::reverseReason()
{
    const QString reason = sle_reason->text().trimmed();
    if (reason.isEmpty()) {
        st_result->showRefused(QStringLiteral("袋卡 %1: 冲销须写明原因").arg(m_reverseCode));
        sle_reason->setFocus(Qt::OtherFocusReason);
        return;
    }
    const DeskDepartment *dept = department();
    DeskRequest r;
    r.action = DeskAction::Reverse;
    r.code = m_reverseCode;
    r.department = dept ? dept->caption : QString();
    r.reason = reason;
    m_pending = {Asking::Reverse, r, std::nullopt};
    st_result->showReady(QStringLiteral("袋卡 %1 冲销: 请回答下面的问题。").arg(m_reverseCode));
    question->ask(QStringLiteral("%1\n原因: %2\n冲销这一步吗? 原来的记录保留, 另写冲销记录。").arg(st_bag->text(), reason),
                  QStringLiteral("是, 冲销 (F2)"));
    sle_code->SetFocus();
}

void w_desk::leaveReversal()
{
    m_reversing = false;
    m_reverseCode.clear();
    if (sle_reason) {
        sle_reason->clear();
        sle_reason->setEnabled(false);
    }
    if (cb_reverse) {
        cb_reverse->setChecked(false);
        cb_reverse->setCheckable(false);
    }
}

void w_desk::closeDay(const QDate &day)
{
    const DeskDepartment *dept = department();
    const ClosedDays::Outcome o = ClosedDays::close(m_tr, AuditSource::window(kWindow), m_rights,
                                                    dept ? dept->caption : QString(), day);
    if (o.done)
        st_result->showDone(o.message);
    else
        st_result->showRefused(o.message);
}

// 重开: the administrator says which day of the department, then confirms it.
void w_desk::cb_reopenday_clicked()
{
    dismissQuestion();
    clearEntry();
    const DeskDepartment *dept = department();
    if (!dept || !m_tr.isConnected()) {
        st_result->showRefused(m_deskProblem.isEmpty() ? QStringLiteral("没有部门, 不能重开日结") : m_deskProblem);
        sle_code->SetFocus();
        return;
    }
    if (!(m_rights & Right::Users)) {
        st_result->showRefused(QStringLiteral("用户 %1 不是管理员 (用户权限), 不能重开日结").arg(user_code()));
        sle_code->SetFocus();
        return;
    }
    QString error;
    const std::optional<QDate> last = ClosedDays::lastClosed(m_tr, dept->caption, &error);
    if (!error.isEmpty()) {
        st_result->showRefused(QStringLiteral("读取日结未成功: ") + error);
        sle_code->SetFocus();
        return;
    }
    m_pending = {Asking::ReopenDay, DeskRequest(), std::nullopt, QDate()};
    st_result->showReady(QStringLiteral("重开日结 Reopen a day: 请回答下面的问题。"));
    question->askDate(QStringLiteral("重开日结 %1: 重开后这一天又可以改动, 已打印的日报表可能不再相符。\n重开哪一天?")
                          .arg(dept->caption),
                      QStringLiteral("下一步 (F2)"), last.value_or(QDate::currentDate()));
}

// The day said: reopened only after a second yes that names who closed it.
void w_desk::confirmReopen(const QDate &day)
{
    const DeskDepartment *dept = department();
    const QString caption = dept ? dept->caption : QString();
    QString error;
    const auto closed = ClosedDays::find(m_tr, caption, day, &error);
    if (!closed) {
        st_result->showRefused(error.isEmpty()
                                   ? QStringLiteral("%1 %2 没有日结, 不用重开").arg(caption, values::dateText(day))
                                   : QStringLiteral("读取日结未成功: ") + error);
        return;
    }
    m_pending = {Asking::ReopenConfirm, DeskRequest(), std::nullopt, day};
    st_result->showReady(QStringLiteral("重开日结 %1 %2: 请确认。").arg(caption, values::dateText(day)));
    question->ask(QStringLiteral("确认重开 %1 %2 吗? 它由 %3 于 %4 日结。\n重开会记入修改记录。")
                      .arg(caption, values::dateText(day), closed->closedBy,
                           closed->closedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
                  QStringLiteral("是, 重开 (F2)"));
}

void w_desk::reopenDay(const QDate &day)
{
    const DeskDepartment *dept = department();
    const ClosedDays::Outcome o = ClosedDays::reopen(m_tr, AuditSource::window(kWindow), m_rights,
                                                     dept ? dept->caption : QString(), day);
    if (o.done)
        st_result->showDone(o.message);
    else
        st_result->showRefused(o.message);
}

void w_desk::cb_close_clicked()
{
    dismissQuestion();
    Close();
}

// Enter: the next field of the action, or, on its last field, the action.
void w_desk::cb_ok_clicked()
{
    if (question->isOpen() && (m_pending.asking == Asking::CloseDay || m_pending.asking == Asking::ReopenDay)) {
        st_result->showRefused(question->refusal(QString()));   // the day is being typed: the focus stays there
        return;
    }
    if (m_reversing && !question->isOpen()) {
        if (focusWidget() == sle_reason && !m_reverseCode.isEmpty())
            reverseReason();
        else
            reverseScanned();
        return;
    }
    if (question->isOpen()) {
        // A scan is never the question's answer: refused, and scanned again after.
        const QString code = sle_code->text().trimmed();
        sle_code->clear();
        st_result->showRefused(question->refusal(code));
        sle_code->SetFocus();
        return;
    }
    const DeskField at = fieldOf(focusWidget()).value_or(DeskField::Code);
    if (at == DeskField::Code || !m_look) {
        scanned();
        return;
    }
    if (const auto next = DeskFields::next(m_choice, request(), held(), at)) {
        if (st_result->state() == ResultBanner::State::Ready)
            st_result->showReady(QStringLiteral("袋卡 %1 %2: 请输入%3")
                                     .arg(m_look->ticket.code, DeskFields::choiceText(m_choice),
                                          DeskFields::label(m_choice, *next)));
        focusField(*next);
    } else {
        perform();
    }
}

// The ticket scanned: where the bag is, whether the action fits there, and the
// fields of the action with what they start from.
void w_desk::scanned()
{
    const QString code = sle_code->text().trimmed();
    const DeskDepartment *dept = department();
    if (code.isEmpty() || !dept) {
        sle_code->SetFocus();
        return;
    }
    // A weight the scale gave before the ticket was scanned stays for this bag.
    const QString weighed = sle_weight->text();
    clearEntry();
    sle_weight->setText(weighed);
    sle_code->setText(code);
    const DeskLook look = DeskLook::read(m_tr, code);
    QString refusal = look.found() ? look.misfit(DeskFields::action(m_choice), *dept, m_choice == DeskChoice::Outside)
                                   : look.message;
    if (!refusal.isEmpty()) {
        sle_weight->clear();
        if (look.found())
            st_bag->setText(QStringLiteral("袋卡 %1 · %2 · %3").arg(look.ticket.code, look.lineText(), look.place.describe()));
        sle_code->clear();
        st_result->showRefused(refusal);
        sle_code->SetFocus();
        return;
    }
    if (repeatsLastTakeBack(look)) {
        m_pending = {Asking::Repeat, DeskRequest(), look, QDate()};
        st_result->showRefused(QStringLiteral("袋卡 %1 刚刚已在这里收回过: 请回答下面的问题。").arg(look.ticket.code));
        question->ask(QStringLiteral("袋卡 %1 刚刚已收回过, %2。\n再收回一次吗?").arg(look.ticket.code, look.place.describe()),
                      QStringLiteral("是, 再收回 (F2)"));
        sle_code->clear();
        sle_code->SetFocus();
        return;
    }
    beginEntry(look);
}

void w_desk::beginEntry(const DeskLook &look)
{
    m_look = look;
    sle_code->setText(look.ticket.code);
    const DeskAction action = DeskFields::action(m_choice);
    sle_pieces->setText(count(look.defaultPieces(action)));
    if (m_choice == DeskChoice::TakeBack)
        sle_worker->setText(look.place.changhao);
    QString text = QStringLiteral("袋卡 %1 · %2 · %3").arg(look.ticket.code, look.lineText(), look.place.describe());
    const auto weight = look.referenceWeight(action);
    if (action == DeskAction::Receive && weight)
        text += QStringLiteral(" · 送出 %1 件 %2 克").arg(count(look.sentPcs), grams(weight));
    else if (action == DeskAction::TakeBack && weight)
        text += QStringLiteral(" · 工人手中 %1 件 %2 克").arg(count(look.heldPcs), grams(weight));
    st_bag->setText(text);
    showChoice();
    const auto next = DeskFields::next(m_choice, request(), held(), DeskField::Code);
    st_result->showReady(QStringLiteral("袋卡 %1 %2: 请输入%3")
                             .arg(look.ticket.code, DeskFields::choiceText(m_choice),
                                  DeskFields::label(m_choice, next.value_or(DeskField::Weight))));
    focusField(next.value_or(DeskField::Weight));
}

// A second take-back of a bag this window took back a moment ago, whose pieces
// stayed with the worker, may be a ticket scanned twice: asked before it goes on.
bool w_desk::repeatsLastTakeBack(const DeskLook &look) const
{
    if (m_choice != DeskChoice::TakeBack)
        return false;
    for (auto it = m_outcomes.crbegin(); it != m_outcomes.crend(); ++it) {
        if (it->ticket.code != look.ticket.code || !it->done())
            continue;
        return it->action == DeskAction::TakeBack && it->after.place == BagPlace::Place::Worker
            && it->after.noteNo == look.place.noteNo;
    }
    return false;
}

DeskRequest w_desk::request() const
{
    const DeskDepartment *dept = department();
    return DeskFields::request(m_choice, dept ? dept->caption : QString(), held(), [this](DeskField f) {
        if (f == DeskField::UnfinishedToDesk)
            return DeskFields::Value{QString(), cbx_unfinished->isChecked()};
        const auto *edit = qobject_cast<const QLineEdit *>(fieldWidget(f));
        return DeskFields::Value{edit ? edit->text() : QString(), false};
    });
}

std::optional<Decimal> w_desk::held() const
{
    return m_look ? m_look->heldPcs : std::nullopt;
}

void w_desk::perform()
{
    const DeskRequest r = request();
    if (!m_desk) {
        clearEntry();
        st_result->showRefused(m_deskProblem);
        sle_code->SetFocus();
        return;
    }
    const DeskOutcome o = m_desk->act(r);
    if (!ask(o, r))
        report(o);
}

// A refusal that a yes can lift becomes a question: a weight received off what
// was sent, or a gain when the user holds the supervisor right and every piece is back.
bool w_desk::ask(const DeskOutcome &o, const DeskRequest &r)
{
    const bool difference = o.result == DeskOutcome::Result::WeightDifference;
    QString why;
    const bool piecesStay = held() && !r.unfinishedToDesk && !r.pieces.isEmpty()
        && DeskInput::pieces(r.pieces, QString(), &why).value_or(*held()) < *held();
    const bool gain = o.result == DeskOutcome::Result::Gain && (m_rights & Right::Supervisor) && !piecesStay;
    if (!difference && !gain)
        return false;
    m_pending = {difference ? Asking::Difference : Asking::Gain, r, m_look, QDate()};
    st_result->showRefused(QStringLiteral("袋卡 %1 还没有%2: 请回答下面的问题。").arg(r.code, DeskFields::choiceText(m_choice)));
    if (difference)
        question->ask(o.message + QStringLiteral("\n按收到的重量接收吗?"), QStringLiteral("是, 确认重量 (F2)"));
    else
        question->ask(o.message + QStringLiteral("\n由主管 %1 确认增重吗?").arg(user_code()), QStringLiteral("是, 主管确认 (F2)"));
    sle_code->clear();
    sle_code->SetFocus();
    return true;
}

void w_desk::question_answered(bool yes)
{
    Pending p = std::exchange(m_pending, Pending{});
    const QDate day = question->date();
    sle_code->SetFocus();
    if (p.asking == Asking::CloseDay) {
        if (yes)
            closeDay(day);
        else
            showIdle(QStringLiteral("没有日结。"));
        return;
    }
    if (p.asking == Asking::ReopenDay || p.asking == Asking::ReopenConfirm) {
        if (!yes)
            showIdle(QStringLiteral("没有重开日结。"));
        else if (p.asking == Asking::ReopenDay)
            confirmReopen(day);
        else
            reopenDay(p.day);
        return;
    }
    if (p.asking == Asking::Reverse) {
        const QString code = p.request.code;
        leaveReversal();
        showChoice();
        if (yes)
            act(p.request);
        else
            showIdle(QStringLiteral("袋卡 %1 没有冲销。").arg(code));
        return;
    }
    if (p.asking == Asking::Repeat) {
        if (yes && p.look)
            beginEntry(*p.look);
        else
            showIdle(QStringLiteral("袋卡 %1 没有再收回。").arg(p.look ? p.look->ticket.code : QString()));
        return;
    }
    if (p.asking == Asking::Nothing)
        return;
    if (!yes) {
        clearEntry();
        showIdle(QStringLiteral("袋卡 %1 没有%2。").arg(p.request.code, DeskRequest::actionText(p.request.action)));
        return;
    }
    if (p.asking == Asking::Difference)
        p.request.confirmDifference = true;
    else
        p.request.gainConfirmedBy = user_code();
    act(p.request);
}

void w_desk::act(const DeskRequest &r)
{
    if (m_desk)
        report(m_desk->act(r));
}

void w_desk::report(const DeskOutcome &o)
{
    addLine(o);
    clearEntry();
    if (o.done()) {
        st_result->showDone(o.message);
        st_bag->setText(QStringLiteral("袋卡 %1 现在: %2").arg(o.ticket.code, o.after.describe()));
        refreshHoldings();
    } else {
        QString text = o.message;
        if (o.result == DeskOutcome::Result::Gain && !(m_rights & Right::Supervisor))
            text += QStringLiteral(" (须由有主管权限的用户在收发确认)");
        st_result->showRefused(text);
        if (o.before.stored() || o.before.place != BagPlace::Place::None)
            st_bag->setText(QStringLiteral("袋卡 %1: %2").arg(o.ticket.code, o.before.describe()));
    }
    sle_code->SetFocus();
}

void w_desk::clearEntry()
{
    m_look.reset();
    for (SingleLineEdit *e : {sle_code, sle_worker, sle_pieces, sle_weight, sle_returned, sle_unfinished})
        e->clear();
    cbx_unfinished->setChecked(false);
    showChoice();
}

void w_desk::dismissQuestion()
{
    if (question && question->isOpen())
        question->answer(false);
}

void w_desk::setScaleWeight(const Decimal &grams)
{
    if (question->isOpen())
        return;
    const std::optional<DeskField> at = fieldOf(focusWidget());
    QWidget *target = at && DeskFields::isWeight(*at) ? fieldWidget(*at) : sle_weight;
    if (auto *edit = qobject_cast<QLineEdit *>(target); edit && edit->isEnabled())
        edit->setText(DeskInput::grams(grams));
}

// Newest first, so that the last action is always in sight; refusals in red.
void w_desk::addLine(const DeskOutcome &o)
{
    m_outcomes.append(o);
    lv_done->insertRow(0);
    const QString action = o.action == DeskAction::PassOn && o.after.place == BagPlace::Place::Outside
        ? QStringLiteral("外发")
        : DeskRequest::actionText(o.action);
    setRow(lv_done, 0,
           {QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), o.ticket.code, action,
            o.done() ? QStringLiteral("完成") : QStringLiteral("拒绝: ") + o.message,
            (o.done() ? o.after : o.before).describe()},
           99, o.done() ? QColor() : QColor(0xc0, 0x16, 0x1c));
}

void w_desk::refreshHoldings()
{
    const DeskDepartment *dept = department();
    QList<DeskHoldings::Bag> bags;
    QString error;
    lv_bags->setRowCount(0);
    if (!dept || !m_tr.isConnected() || !DeskHoldings::read(m_tr, *dept, &bags, &error)) {
        st_holding->setText(error.isEmpty() ? QString() : QStringLiteral("读取本部门的袋未成功: ") + error);
        return;
    }
    st_holding->setText(DeskHoldings::describe(DeskHoldings::totals(bags)));
    lv_bags->setRowCount(int(bags.size()));
    for (int i = 0; i < bags.size(); ++i) {
        const DeskHoldings::Bag &b = bags.at(i);
        const bool worker = b.place.place == BagPlace::Place::Worker;
        const bool sent = b.place.place == BagPlace::Place::Transit || b.place.place == BagPlace::Place::Outside;
        const QString pcs = worker ? count(b.workerPcs) : sent ? count(b.sentPcs) : DeskInput::count(b.place.pcs);
        const QString weight = worker ? grams(b.workerWeight) : sent ? grams(b.sentWeight) : DeskInput::grams(b.place.weight);
        setRow(lv_bags, i, {b.code, b.place.describe(), pcs, weight}, 2);
    }
}

} // namespace wip
