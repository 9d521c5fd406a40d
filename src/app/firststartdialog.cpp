#include "app/firststartdialog.h"

#include "runtime/widgets/commandbutton.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace wip {

namespace {

// One answer: its button and, below it, what it makes.
QPushButton *answer(QWidget *parent, QVBoxLayout *layout, const char *name, const QString &text,
                    const QString &description)
{
    auto *button = new CommandButton(parent, QString::fromLatin1(name), text);
    QFont f = button->font();
    f.setBold(true);
    button->setFont(f);
    auto *label = new QLabel(description, parent);
    label->setObjectName(QStringLiteral("st_") + QString::fromLatin1(name).mid(3));
    label->setContentsMargins(24, 0, 0, 8);
    auto *row = new QHBoxLayout;
    row->addWidget(button);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addWidget(label);
    return button;
}

} // namespace

FirstStartDialog::FirstStartDialog(bool offerServer, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("w_first_start"));
    setWindowTitle(QStringLiteral("Wip 第一次启动 First start"));

    auto *title = new QLabel(QStringLiteral("欢迎使用 Wip  Welcome to Wip"), this);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    title->setFont(f);
    auto *text = new QLabel(QStringLiteral("这台电脑还没有 Wip 的数据库。请选择:\n"
                                           "This computer has no Wip database yet. Choose one:"),
                            this);
    text->setObjectName(QStringLiteral("st_text"));

    auto *answers = new QVBoxLayout;
    m_demo = answer(this, answers, "cb_demo", QStringLiteral("试用示范工厂  Try the demo factory"),
                    QStringLiteral("虚构的合约、进度和用户, 登录窗口会列出示范用户和密码。\n"
                                   "Made-up contracts, progress and users; the login lists the demo users\n"
                                   "and their passwords."));
    m_own = answer(this, answers, "cb_own", QStringLiteral("建立本厂的数据库  Start the factory's own database"),
                   QStringLiteral("空的数据库, 带部门、工序与仓位代码; 接着建立管理员。\n"
                                  "An empty database with the department, process and stock codes;\n"
                                  "next you create its administrator."));
    QWidget *serverPart = new QWidget(this);
    auto *server = new QVBoxLayout(serverPart);
    server->setContentsMargins(0, 0, 0, 0);
    m_server = answer(serverPart, server, "cb_server", QStringLiteral("连接工厂服务器…  Use the factory's server…"),
                      QStringLiteral("数据库在工厂的 PostgreSQL 服务器上: 在登录窗口填写服务器。\n"
                                     "The database is on the factory's PostgreSQL server: fill it in at the login."));
    serverPart->setVisible(offerServer);
    auto *cancel = new CommandButton(this, QStringLiteral("cb_cancel"), QStringLiteral("取消 Cancel"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addLayout(answers);
    layout->addWidget(serverPart);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_demo, &QPushButton::clicked, this, [this] { choose(Choice::Demo); });
    connect(m_own, &QPushButton::clicked, this, [this] { choose(Choice::Own); });
    connect(m_server, &QPushButton::clicked, this, [this] { choose(Choice::Server); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_demo->setDefault(true);
    m_demo->setFocus();
}

void FirstStartDialog::choose(Choice choice)
{
    m_choice = choice;
    accept();
}

} // namespace wip
