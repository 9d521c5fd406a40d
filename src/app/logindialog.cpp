#include "app/logindialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace wip {

LoginDialog::LoginDialog(Checker checker, Notifier notifier, QWidget *parent)
    : QDialog(parent)
    , m_checker(std::move(checker))
    , m_notifier(std::move(notifier))
{
    setObjectName(QStringLiteral("w_login"));
    setWindowTitle(QStringLiteral("Wip 登录 Login"));

    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("sle_user"));
    m_user->setMaxLength(40);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("sle_password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(128);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("st_message"));
    m_message->setWordWrap(true);

    m_ok = new QPushButton(QStringLiteral("登录 OK"), this);
    m_ok->setObjectName(QStringLiteral("cb_ok"));
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消 Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cb_cancel"));
    m_cancel->setAutoDefault(false);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("用户 User"), m_user);
    form->addRow(QStringLiteral("密码 Password"), m_password);

    auto *title = new QLabel(QStringLiteral("在做资料与订单进度 Work in process"), this);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    title->setFont(f);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    setMinimumWidth(360);

    // The buttons are wired by hand: the box's accepted() would close the dialog
    // before the password is checked.
    connect(m_ok, &QPushButton::clicked, this, &LoginDialog::cb_ok_clicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_waitTimer.setInterval(1000);
    connect(&m_waitTimer, &QTimer::timeout, this, &LoginDialog::tick);

    m_user->setFocus();
}

LoginDialog::~LoginDialog() = default;

QString LoginDialog::refusedText()
{
    return QStringLiteral("用户编号或密码不正确。\nWrong user code or password.");
}

void LoginDialog::setUserCode(const QString &code)
{
    m_user->setText(code);
    if (!code.isEmpty())
        m_password->setFocus();
}

QString LoginDialog::userCode() const
{
    return m_user->text().trimmed();
}

bool LoginDialog::waiting() const
{
    return m_secondsLeft > 0;
}

void LoginDialog::cb_ok_clicked()
{
    if (waiting())
        return;
    const QString code = userCode();
    if (code.isEmpty()) {
        m_message->setText(QStringLiteral("请输入用户编号。 Enter your user code."));
        m_user->setFocus();
        return;
    }

    const Check check = m_checker ? m_checker(code, m_password->text()) : Check{Outcome::Unavailable, {}};
    switch (check.outcome) {
    case Outcome::Accepted:
        m_throttle.recordSuccess();
        if (m_store)
            m_store(m_throttle);
        m_message->clear();
        accept();
        return;
    case Outcome::Unavailable: {
        // Not the user's fault: no count against the throttle.
        const QString text = QStringLiteral("无法检查用户: 数据库不可用。\nThe user cannot be checked: %1")
                                 .arg(check.message.isEmpty() ? QStringLiteral("no database.") : check.message);
        m_message->setText(text);
        if (m_notifier)
            m_notifier(windowTitle(), text);
        return;
    }
    case Outcome::Refused:
        break;
    }

    m_throttle.recordFailure();
    if (m_store)
        m_store(m_throttle);
    m_password->clear();
    m_password->setFocus();
    m_message->setText(refusedText());
    if (m_notifier)
        m_notifier(windowTitle(), refusedText());
    startWait(m_throttle.remaining());
}

void LoginDialog::restoreThrottle(int failures, const QDateTime &lastFailure)
{
    m_throttle.restore(failures, lastFailure);
    startWait(m_throttle.remaining());
}

void LoginDialog::startWait(std::chrono::milliseconds wait)
{
    if (wait.count() <= 0)
        return;
    m_secondsLeft = int((wait.count() + 999) / 1000);
    m_ok->setEnabled(false);
    updateWaitText();
    m_waitTimer.start();
}

void LoginDialog::tick()
{
    if (--m_secondsLeft > 0) {
        updateWaitText();
        return;
    }
    m_waitTimer.stop();
    m_ok->setEnabled(true);
    m_message->setText(refusedText());
    m_password->setFocus();
}

void LoginDialog::updateWaitText()
{
    m_message->setText(refusedText()
                       + QStringLiteral("\n连续 %1 次错误, 请等 %2 秒再试。 %1 failures in a row: wait %2 s.")
                             .arg(m_throttle.failures())
                             .arg(m_secondsLeft));
}

} // namespace wip
