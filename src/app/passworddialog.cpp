#include "app/passworddialog.h"

#include "database/useradmin.h"
#include "runtime/widgets/commandbutton.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <utility>

namespace wip {

namespace {

QLineEdit *secret(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setEchoMode(QLineEdit::Password);
    e->setMaxLength(128);
    return e;
}

} // namespace

PasswordDialog::PasswordDialog(const QString &userCode, Changer changer, const QString &forcedOld, QWidget *parent)
    : QDialog(parent)
    , m_changer(std::move(changer))
    , m_forcedOld(forcedOld)
{
    setObjectName(QStringLiteral("w_password"));
    setWindowTitle(QStringLiteral("更改密码 Change password"));
    const bool forced = !forcedOld.isNull();

    auto *text = new QLabel(this);
    text->setObjectName(QStringLiteral("st_text"));
    text->setWordWrap(true);
    text->setFixedWidth(420);
    text->setText(forced ? QStringLiteral("用户 %1 的密码是别人设的, 请现在改成只有您知道的密码。\n"
                                          "The password of %1 was set by someone else: choose your own now.")
                               .arg(userCode)
                         : QStringLiteral("更改用户 %1 的密码。\nChange the password of %1.").arg(userCode));
    m_old = secret(this, "sle_old");
    m_new = secret(this, "sle_new");
    m_again = secret(this, "sle_new2");
    m_message = new QLabel(QStringLiteral("新密码至少 %1 个字。 The new password has at least %1 characters.")
                               .arg(UserAdmin::minimumPasswordLength),
                           this);
    m_message->setObjectName(QStringLiteral("st_message"));
    m_message->setWordWrap(true);
    m_message->setFixedWidth(420);

    auto *ok = new CommandButton(this, QStringLiteral("cb_ok"), QStringLiteral("确定 OK"));
    ok->setDefault(true);
    auto *cancel = new CommandButton(this, QStringLiteral("cb_cancel"), QStringLiteral("取消 Cancel"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);

    auto *form = new QFormLayout;
    if (forced)
        m_old->hide();
    else
        form->addRow(QStringLiteral("旧密码 Old password"), m_old);
    form->addRow(QStringLiteral("新密码 New password"), m_new);
    form->addRow(QStringLiteral("再输入一次 Again"), m_again);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &PasswordDialog::cb_ok_clicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    (forced ? m_new : m_old)->setFocus();
}

QString PasswordDialog::message() const
{
    return m_message->text();
}

void PasswordDialog::tell(const QString &text, QLineEdit *field)
{
    m_message->setText(text);
    field->setFocus();
    field->selectAll();
}

void PasswordDialog::cb_ok_clicked()
{
    if (const QString why = UserAdmin::passwordProblem(m_new->text()); !why.isEmpty())
        return tell(why, m_new);
    if (m_again->text() != m_new->text()) {
        m_again->clear();
        return tell(QStringLiteral("两次输入的新密码不一样。\nThe two new passwords differ."), m_again);
    }
    const QString old = m_forcedOld.isNull() ? m_old->text() : m_forcedOld;
    const QString why = m_changer ? m_changer(old, m_new->text()) : QStringLiteral("no database");
    if (!why.isEmpty())
        return tell(why, m_forcedOld.isNull() && why.contains(QStringLiteral("旧密码")) ? m_old : m_new);
    accept();
}

} // namespace wip
