#include "app/w_users.h"

#include "runtime/appglobals.h"
#include "runtime/transaction.h"
#include "runtime/widgets/checkbox.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/groupbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace wip {

namespace {

const QString kTitle = QStringLiteral("用户与权限");

// The object names of the rights' check boxes: cbx_add, cbx_scan ...
QString boxName(const RightsCatalogue::Entry &e)
{
    return QStringLiteral("cbx_") + e.name;
}

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

w_users::w_users()
{
    setTitle(QStringLiteral("用户与权限 Users and rights"));
}

void w_users::create()
{
    createControls();
    layOutControls();
    connectEvents();
}

void w_users::createControls()
{
    dw_users = new QTableWidget(0, 5, this);
    dw_users->setObjectName(QStringLiteral("dw_users"));
    dw_users->setHorizontalHeaderLabels({QStringLiteral("编号 Code"), QStringLiteral("姓名 Name"),
                                         QStringLiteral("状态 State"), QStringLiteral("密码 Password"),
                                         QStringLiteral("权限 Rights")});
    dw_users->setSelectionBehavior(QAbstractItemView::SelectRows);
    dw_users->setSelectionMode(QAbstractItemView::SingleSelection);
    dw_users->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dw_users->verticalHeader()->hide();
    dw_users->horizontalHeader()->setStretchLastSection(true);
    dw_users->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    dw_users->setMinimumSize(560, 300);

    gb_user = new GroupBox(this, QStringLiteral("gb_user"), QStringLiteral("用户 User"));
    st_code = new StaticText(gb_user, QStringLiteral("st_code"), QStringLiteral("用户编号 Code"));
    sle_code = new SingleLineEdit(gb_user, QStringLiteral("sle_code"));
    sle_code->setMaxLength(UserAdmin::maximumCodeLength);
    st_name = new StaticText(gb_user, QStringLiteral("st_name"), QStringLiteral("姓名 Name"));
    sle_name = new SingleLineEdit(gb_user, QStringLiteral("sle_name"));
    sle_name->setMaxLength(60);
    st_password = new StaticText(gb_user, QStringLiteral("st_password"), QStringLiteral("密码 Password"));
    sle_password = new SingleLineEdit(gb_user, QStringLiteral("sle_password"));
    sle_password->setEchoMode(QLineEdit::Password);
    sle_password->setMaxLength(128);
    st_password_hint = new StaticText(gb_user, QStringLiteral("st_password_hint"),
                                      QStringLiteral("新用户的第一个密码, 或重设的密码 (至少 %1 个字);\n"
                                                     "用户下次登录时要改掉。 A new user's first password, or a "
                                                     "reset one\n(at least %1 characters), changed at the next login.")
                                          .arg(UserAdmin::minimumPasswordLength));
    gb_rights = new GroupBox(this, QStringLiteral("gb_rights"), QStringLiteral("权限 Rights"));
    for (const RightsCatalogue::Entry &e : RightsCatalogue::all())
        m_boxes.insert(e.right, new CheckBox(gb_rights, boxName(e), e.caption));

    cb_new = new CommandButton(this, QStringLiteral("cb_new"), QStringLiteral("新用户 &New"));
    cb_add = new CommandButton(this, QStringLiteral("cb_add"), QStringLiteral("增加用户 &Add user"));
    cb_active = new CommandButton(this, QStringLiteral("cb_active"), QStringLiteral("停用 &Disable"));
    cb_reset = new CommandButton(this, QStringLiteral("cb_reset"), QStringLiteral("重设密码 &Reset password"));
    cb_rights = new CommandButton(this, QStringLiteral("cb_rights"), QStringLiteral("保存权限 &Save rights"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    st_status = new StaticText(this, QStringLiteral("st_status"));
    st_status->setWordWrap(true);
}

// The rights window by window: the window's name, then its boxes in a row.
QLayout *w_users::rightsLayout()
{
    auto *grid = new QGridLayout;
    QStringList groups;
    QMap<QString, QHBoxLayout *> rows;
    for (const RightsCatalogue::Entry &e : RightsCatalogue::all()) {
        if (!rows.contains(e.group)) {
            const int row = int(groups.size());
            groups << e.group;
            grid->addWidget(new StaticText(gb_rights, QStringLiteral("st_group_%1").arg(row), e.group), row, 0);
            auto *boxes = new QHBoxLayout;
            grid->addLayout(boxes, row, 1);
            rows.insert(e.group, boxes);
        }
        rows.value(e.group)->addWidget(m_boxes.value(e.right));
    }
    for (QHBoxLayout *boxes : std::as_const(rows))
        boxes->addStretch(1);
    grid->setColumnStretch(1, 1);
    return grid;
}

void w_users::layOutControls()
{
    auto *userForm = new QFormLayout(gb_user);
    userForm->addRow(st_code, sle_code);
    userForm->addRow(st_name, sle_name);
    userForm->addRow(st_password, sle_password);
    userForm->addRow(st_password_hint);
    gb_rights->setLayout(rightsLayout());

    auto *side = new QVBoxLayout;
    side->addWidget(gb_user);
    side->addWidget(gb_rights);
    side->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(dw_users, 1);
    top->addLayout(side);
    auto *buttons = new QHBoxLayout;
    for (CommandButton *b : {cb_new, cb_add, cb_active, cb_reset, cb_rights})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    layout->addWidget(st_status);
}

void w_users::connectEvents()
{
    on(dw_users, &QTableWidget::itemSelectionChanged, this, &w_users::dw_users_rowchanged);
    on(cb_new, &CommandButton::clicked, this, &w_users::cb_new_clicked);
    on(cb_add, &CommandButton::clicked, this, &w_users::cb_add_clicked);
    on(cb_active, &CommandButton::clicked, this, &w_users::cb_active_clicked);
    on(cb_reset, &CommandButton::clicked, this, &w_users::cb_reset_clicked);
    on(cb_rights, &CommandButton::clicked, this, &w_users::cb_rights_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_users::cb_close_clicked);
}

UserAdmin w_users::admin() const
{
    return UserAdmin(Transaction::sqlca(), AuditSource::window(QStringLiteral("w_users")));
}

void w_users::open()
{
    m_mayManage = RightsCatalogue::has(Right::Users, [](const QString &module, const QString &function) {
        return qxpd(user_code(), module, function);
    });
    if (!m_mayManage) {
        // Nothing of the users is shown (the list stays empty), and nothing can be changed.
        for (QWidget *w : std::initializer_list<QWidget *>{gb_user, gb_rights, cb_new, cb_add, cb_active, cb_reset,
                                                           cb_rights})
            w->setEnabled(false);
        tell(QStringLiteral("用户 %1 没有「用户」权限, 不能管理用户与权限。\n"
                            "The user %1 holds no users right: users and rights cannot be managed here.")
                 .arg(user_code()));
        cb_close->SetFocus();
        return;
    }
    refresh(QString());
    cb_new_clicked();
}

void w_users::refresh(const QString &select)
{
    UserAdmin users = admin();
    const auto list = users.users();
    if (!list) {
        refuse(users);
        return;
    }
    m_users = *list;
    const QSignalBlocker quiet(dw_users);
    dw_users->clearSelection();
    dw_users->setRowCount(int(m_users.size()));
    for (int row = 0; row < m_users.size(); ++row) {
        const UserInfo &u = m_users.at(row);
        dw_users->setItem(row, 0, cell(u.code));
        dw_users->setItem(row, 1, cell(u.name));
        dw_users->setItem(row, 2, cell(u.active ? QStringLiteral("在用 active") : QStringLiteral("停用 disabled")));
        dw_users->setItem(row, 3, cell(u.mustChange ? QStringLiteral("须更改 to change") : QString()));
        // The rights in their Chinese words; all of them in the tip.
        QTableWidgetItem *rights = cell(RightsCatalogue::describe(u.rights, true));
        rights->setToolTip(RightsCatalogue::describe(u.rights));
        dw_users->setItem(row, 4, rights);
        if (u.code == select)
            dw_users->selectRow(row);
    }
    dw_users->resizeColumnsToContents();
    m_shown = select;
    showUser(shownInfo());
}

const UserInfo *w_users::shownInfo() const
{
    for (const UserInfo &u : m_users) {
        if (!m_shown.isEmpty() && u.code == m_shown)
            return &u;
    }
    return nullptr;
}

void w_users::showUser(const UserInfo *user)
{
    m_shown = user ? user->code : QString();
    sle_code->setText(user ? user->code : QString());
    sle_code->setDisplayOnly(user != nullptr);
    sle_name->setText(user ? user->name : QString());
    sle_name->setDisplayOnly(user != nullptr);
    sle_password->clear();
    tickRights(user ? user->rights : Rights());
    updateButtons();
}

void w_users::updateButtons()
{
    const UserInfo *user = shownInfo();
    cb_add->setEnabled(!user);
    cb_active->setEnabled(user);
    cb_reset->setEnabled(user);
    cb_rights->setEnabled(user);
    cb_active->setText(user && !user->active ? QStringLiteral("启用 &Enable") : QStringLiteral("停用 &Disable"));
}

Rights w_users::tickedRights() const
{
    Rights rights;
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it) {
        if (it.value()->isChecked())
            rights |= it.key();
    }
    return rights;
}

void w_users::tickRights(Rights rights)
{
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        it.value()->setChecked(rights & it.key());
}

QString w_users::status() const
{
    return st_status->text();
}

void w_users::tell(const QString &text)
{
    st_status->setText(text);
}

void w_users::refuse(const UserAdmin &admin)
{
    tell(QString());
    MessageBox(kTitle, admin.error(), MessageIcon::Exclamation);
}

void w_users::dw_users_rowchanged()
{
    const QList<QTableWidgetItem *> chosen = dw_users->selectedItems();
    const int row = chosen.isEmpty() ? -1 : chosen.first()->row();
    showUser(row >= 0 && row < m_users.size() ? &m_users.at(row) : nullptr);
    tell(QString());
}

void w_users::cb_new_clicked()
{
    {
        const QSignalBlocker quiet(dw_users);
        dw_users->clearSelection();
    }
    showUser(nullptr);
    sle_code->SetFocus();
}

void w_users::cb_add_clicked()
{
    const QString code = sle_code->text().trimmed();
    UserAdmin users = admin();
    if (!users.addUser(code, sle_name->text().trimmed().isEmpty() ? code : sle_name->text(), sle_password->text(),
                       tickedRights(), true))
        return refuse(users);
    refresh(code);
    tell(QStringLiteral("已增加用户 %1, 第一次登录时要改密码。\nAdded the user %1; the password is changed at the "
                        "first login.")
             .arg(code));
}

void w_users::cb_active_clicked()
{
    const UserInfo *user = shownInfo();
    if (!user)
        return;
    const QString code = user->code;
    const bool active = !user->active;
    if (!active
        && MessageBox(kTitle,
                      QStringLiteral("停用用户 %1? 停用后不能登录, 也不能运行命令。\n"
                                     "Disable the user %1? A disabled user can neither log in nor run commands.")
                          .arg(code),
                      MessageIcon::Question, MessageButtons::YesNo, 2)
               != 1)
        return;
    UserAdmin users = admin();
    if (!users.setActive(code, active))
        return refuse(users);
    refresh(code);
    tell(active ? QStringLiteral("用户 %1 已启用。 The user %1 is active again.").arg(code)
                : QStringLiteral("用户 %1 已停用。 The user %1 is disabled.").arg(code));
}

void w_users::cb_reset_clicked()
{
    const UserInfo *user = shownInfo();
    if (!user)
        return;
    const QString code = user->code;
    UserAdmin users = admin();
    if (!users.resetPassword(code, sle_password->text())) {
        sle_password->SetFocus();
        return refuse(users);
    }
    refresh(code);
    tell(QStringLiteral("已重设 %1 的密码, 下次登录时要更改。\nSet a new password of %1; it is changed at the next "
                        "login.")
             .arg(code));
}

void w_users::cb_rights_clicked()
{
    const UserInfo *user = shownInfo();
    if (!user)
        return;
    const QString code = user->code;
    const Rights rights = tickedRights();
    UserAdmin users = admin();
    if (!users.setRights(code, rights))
        return refuse(users);
    refresh(code);
    tell(QStringLiteral("已保存 %1 的权限: %2\nSaved the rights of %1.")
             .arg(code, rights ? RightsCatalogue::describe(rights) : QStringLiteral("无 none")));
}

void w_users::cb_close_clicked()
{
    Close();
}

} // namespace wip
