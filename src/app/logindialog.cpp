#include "app/logindialog.h"

#include "app/databasechoice.h"
#include "runtime/widgets/commandbutton.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <utility>

namespace wip {

namespace {

constexpr int kDatabaseTextWidth = 300;

// What the clerk reads of a database: the file, or the server and database
// with its user, never the password.
QString databaseText(const ConnectionSettings &s)
{
    if (s.kind() == DbKind::PostgreSQL)
        return QStringLiteral("服务器 %1 / %2 (%3)").arg(s.serverName, s.database, s.logId);
    return QStringLiteral("文件 %1").arg(QDir::toNativeSeparators(s.database));
}

bool sameDatabase(const ConnectionSettings &a, const ConnectionSettings &b)
{
    if (a.kind() == DbKind::SQLite && b.kind() == DbKind::SQLite)
        return QDir::cleanPath(a.database) == QDir::cleanPath(b.database);
    return a.toUrl(true) == b.toUrl(true);
}

} // namespace

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

    m_databaseText = new QLabel(this);
    m_databaseText->setObjectName(QStringLiteral("st_database"));
    m_databaseText->setMinimumWidth(kDatabaseTextWidth);
    m_databaseButton = new CommandButton(this, QStringLiteral("cb_database"), QStringLiteral("更改 &Database…"));
    m_databaseButton->setCheckable(true);
    m_choice = new DatabaseChoice(this);
    m_choice->hide();

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("st_message"));
    m_message->setWordWrap(true);
    m_wait = new QLabel(this);
    m_wait->setObjectName(QStringLiteral("st_wait"));
    m_wait->hide();
    m_demoUsers = new QLabel(this);
    m_demoUsers->setObjectName(QStringLiteral("st_demo_users"));
    m_demoUsers->setTextFormat(Qt::RichText);
    m_demoUsers->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_demoUsers->hide();

    m_ok = new CommandButton(this, QStringLiteral("cb_ok"), QStringLiteral("登录 OK"));
    m_ok->setDefault(true);
    m_cancel = new CommandButton(this, QStringLiteral("cb_cancel"), QStringLiteral("取消 Cancel"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);

    auto *databaseRow = new QHBoxLayout;
    databaseRow->addWidget(m_databaseText, 1);
    databaseRow->addWidget(m_databaseButton);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("用户 User"), m_user);
    form->addRow(QStringLiteral("密码 Password"), m_password);
    form->addRow(QStringLiteral("数据库 Database"), databaseRow);

    auto *title = new QLabel(QStringLiteral("在做资料与订单进度 Work in process"), this);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    title->setFont(f);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(m_demoUsers);
    layout->addWidget(m_choice);
    layout->addWidget(m_message);
    layout->addWidget(m_wait);
    layout->addWidget(buttons);
    // The dialog takes the size its contents need: the database part, a long
    // message and the countdown all fit.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_message->setFixedWidth(440);

    // The buttons are wired by hand: the box's accepted() would close the dialog
    // before the password is checked.
    connect(m_ok, &QPushButton::clicked, this, &LoginDialog::cb_ok_clicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_databaseButton, &QPushButton::clicked, this, &LoginDialog::toggleDatabase);

    m_waitTimer.setInterval(1000);
    connect(&m_waitTimer, &QTimer::timeout, this, &LoginDialog::tick);

    updateDatabaseText();
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
    return m_acceptedCode.isEmpty() ? m_user->text().trimmed() : m_acceptedCode;
}

QString LoginDialog::password() const
{
    return m_password->text();
}

void LoginDialog::setDemoUsers(const QString &text)
{
    m_demoUsers->setText(text);
    m_demoUsers->setVisible(!text.isEmpty());
}

QString LoginDialog::demoUsers() const
{
    return m_demoUsers->isVisible() ? m_demoUsers->text() : QString();
}

bool LoginDialog::waiting() const
{
    return m_secondsLeft > 0;
}

void LoginDialog::setDatabase(const ConnectionSettings &current, bool connected, bool savePassword,
                              const QString &embeddedFile)
{
    m_choice->setEmbeddedFile(embeddedFile);
    m_choice->setChoice(current, savePassword);
    m_connected = connected ? std::optional<ConnectionSettings>(current) : std::nullopt;
    updateDatabaseText();
}

void LoginDialog::showDatabaseProblem(const QString &text)
{
    m_message->setText(text);
    m_databaseButton->setChecked(true);
    m_choice->show();
    m_choice->focusFirstEmptyField();
}

ConnectionSettings LoginDialog::database() const
{
    return m_choice->choice();
}

bool LoginDialog::savePassword() const
{
    return m_choice->savePassword();
}

bool LoginDialog::databaseShown() const
{
    return m_choice->isVisible();
}

void LoginDialog::toggleDatabase()
{
    m_choice->setVisible(m_databaseButton->isChecked());
    if (m_choice->isVisible())
        m_choice->focusFirstEmptyField();
    else
        m_password->setFocus();
}

void LoginDialog::updateDatabaseText()
{
    // A long path is shortened in its middle; the whole of it is the tool tip.
    const QString text = m_connected ? databaseText(*m_connected) : QStringLiteral("未连接 not connected");
    m_databaseText->setToolTip(text);
    m_databaseText->setText(m_databaseText->fontMetrics().elidedText(text, Qt::ElideMiddle, kDatabaseTextWidth));
}

void LoginDialog::tell(const QString &text)
{
    m_message->setText(text);
    if (m_notifier)
        m_notifier(windowTitle(), text);
}

bool LoginDialog::ensureDatabase()
{
    // Without a connector the caller keeps the database to itself.
    if (!m_connector)
        return true;
    const ConnectionSettings chosen = m_choice->choice();
    if (m_connected && sameDatabase(*m_connected, chosen))
        return true;
    const QString incomplete = m_choice->problem();
    if (!incomplete.isEmpty()) {
        showDatabaseProblem(incomplete);
        return false;
    }
    m_message->setText(QStringLiteral("正在连接… Connecting to %1 …").arg(databaseText(chosen)));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Check check = m_connector(chosen, m_choice->savePassword());
    QApplication::restoreOverrideCursor();
    if (check.outcome == Outcome::Accepted && check.noUsers) {
        m_connected = chosen;
        done(NoUsers);
        return false;
    }
    if (check.outcome != Outcome::Accepted) {
        m_connected.reset();
        updateDatabaseText();
        showDatabaseProblem(check.message);
        if (m_notifier)
            m_notifier(windowTitle(), check.message);
        return false;
    }
    m_connected = chosen;
    updateDatabaseText();
    m_message->clear();
    return true;
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
    // Not the clerk's fault when the database cannot be used: no count against the throttle.
    if (!ensureDatabase())
        return;

    const Check check =
        m_checker ? m_checker(code, m_password->text()) : Check{Outcome::Unavailable, {}, {}, false, false};
    switch (check.outcome) {
    case Outcome::Accepted:
        m_throttle.recordSuccess();
        if (m_store)
            m_store(m_throttle);
        m_acceptedCode = check.userCode;
        m_mustChange = check.mustChange;
        m_message->clear();
        accept();
        return;
    case Outcome::Disabled:
        m_password->clear();
        tell(QStringLiteral("用户 %1 已停用, 不能登录。\nThe user %1 is disabled and cannot log in.").arg(code));
        return;
    case Outcome::Unavailable:
        tell(QStringLiteral("无法检查用户: 数据库不可用。\nThe user cannot be checked: %1")
                 .arg(check.message.isEmpty() ? QStringLiteral("no database.") : check.message));
        return;
    case Outcome::Refused:
        break;
    }

    m_throttle.recordFailure();
    if (m_store)
        m_store(m_throttle);
    m_password->clear();
    m_password->setFocus();
    tell(refusedText());
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
    m_message->setText(refusedText());
    updateWaitText();
    m_wait->show();
    m_waitTimer.start();
}

void LoginDialog::tick()
{
    if (--m_secondsLeft > 0) {
        updateWaitText();
        return;
    }
    m_waitTimer.stop();
    m_wait->hide();
    m_ok->setEnabled(true);
    m_password->setFocus();
}

void LoginDialog::updateWaitText()
{
    // Two short lines of their own: the countdown never wraps or runs out of the dialog.
    m_wait->setText(QStringLiteral("连续 %1 次错误, 请等 %2 秒再试。\n%1 failures in a row: wait %2 s.")
                        .arg(m_throttle.failures())
                        .arg(m_secondsLeft));
}

} // namespace wip
