#include "app/administratordialog.h"

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

QLineEdit *field(QWidget *parent, const char *name, bool secret)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(secret ? 128 : UserAdmin::maximumCodeLength);
    if (secret)
        e->setEchoMode(QLineEdit::Password);
    return e;
}

} // namespace

AdministratorDialog::AdministratorDialog(Creator creator, QWidget *parent)
    : QDialog(parent)
    , m_creator(std::move(creator))
{
    setObjectName(QStringLiteral("w_create_admin"));
    setWindowTitle(QStringLiteral("建立管理员 Create the administrator"));

    auto *title = new QLabel(QStringLiteral("建立管理员  Create the administrator"), this);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    title->setFont(f);
    auto *text = new QLabel(QStringLiteral("这个数据库还没有用户, 所以还不能登录。请建立第一位管理员: 他有全部权限, "
                                           "可以在「用户与权限」里增加其他用户。\n"
                                           "This database has no user yet, so nobody can log in. Create the first "
                                           "administrator: he holds every right and adds the other users in "
                                           "用户与权限 Users and rights."),
                            this);
    text->setWordWrap(true);
    text->setFixedWidth(460);
    m_database = new QLabel(this);
    m_database->setObjectName(QStringLiteral("st_database"));
    m_code = field(this, "sle_code", false);
    m_name = field(this, "sle_name", false);
    m_name->setMaxLength(60);
    m_password = field(this, "sle_password", true);
    m_again = field(this, "sle_password2", true);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("st_message"));
    m_message->setWordWrap(true);
    m_message->setFixedWidth(460);

    m_ok = new CommandButton(this, QStringLiteral("cb_ok"), QStringLiteral("建立 Create"));
    m_ok->setDefault(true);
    auto *cancel = new CommandButton(this, QStringLiteral("cb_cancel"), QStringLiteral("取消 Cancel"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("数据库 Database"), m_database);
    form->addRow(QStringLiteral("用户编号 User code"), m_code);
    form->addRow(QStringLiteral("姓名 Name"), m_name);
    form->addRow(QStringLiteral("密码 Password"), m_password);
    form->addRow(QStringLiteral("再输入一次 Again"), m_again);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ok, &QPushButton::clicked, this, &AdministratorDialog::cb_ok_clicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_message->setText(QStringLiteral("密码至少 %1 个字。 A password has at least %1 characters.")
                           .arg(UserAdmin::minimumPasswordLength));
    m_code->setFocus();
}

void AdministratorDialog::setDatabaseText(const QString &text)
{
    m_database->setText(text);
}

QString AdministratorDialog::userCode() const
{
    return m_code->text().trimmed();
}

QString AdministratorDialog::message() const
{
    return m_message->text();
}

void AdministratorDialog::tell(const QString &text, QLineEdit *field)
{
    m_message->setText(text);
    if (field) {
        field->setFocus();
        field->selectAll();
    }
}

void AdministratorDialog::cb_ok_clicked()
{
    if (const QString why = UserAdmin::codeProblem(m_code->text()); !why.isEmpty())
        return tell(why, m_code);
    if (const QString why = UserAdmin::passwordProblem(m_password->text()); !why.isEmpty())
        return tell(why, m_password);
    if (m_again->text() != m_password->text()) {
        m_again->clear();
        return tell(QStringLiteral("两次输入的密码不一样。\nThe two passwords differ."), m_again);
    }
    const QString name = m_name->text().trimmed().isEmpty() ? userCode() : m_name->text().trimmed();
    const QString why = m_creator ? m_creator(userCode(), name, m_password->text())
                                  : QStringLiteral("no database");
    if (!why.isEmpty())
        return tell(why, m_code);
    accept();
}

} // namespace wip
