#pragma once

#include "app/loginthrottle.h"

#include <QDialog>
#include <QTimer>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace wip {

// The login at start: user code and password, checked by the function given
// (the users table in the application). A refusal is told through the notifier
// and the dialog stays open with the password cleared; after five refusals in a
// row each further attempt waits longer (LoginThrottle), also after a restart
// when the caller keeps the count (setThrottleStore, restoreThrottle). Cancel rejects the
// dialog, which ends the application.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Outcome { Accepted, Refused, Unavailable };
    struct Check
    {
        Outcome outcome = Outcome::Refused;
        QString message;                 // why, for Unavailable (the database error)
    };
    using Checker = std::function<Check(const QString &userCode, const QString &password)>;
    using Notifier = std::function<void(const QString &title, const QString &text)>;
    // Called after each counted failure and after a success, to keep the count.
    using ThrottleStore = std::function<void(const LoginThrottle &)>;

    explicit LoginDialog(Checker checker, Notifier notifier, QWidget *parent = nullptr);
    ~LoginDialog() override;

    void setUserCode(const QString &code);
    // The count a previous run left: when its wait is not over, the dialog waits
    // for the rest of it before the first attempt.
    void restoreThrottle(int failures, const QDateTime &lastFailure);
    void setThrottleStore(ThrottleStore store) { m_store = std::move(store); }
    QString userCode() const;            // trimmed, as accepted
    bool waiting() const;                // an attempt is held back by the throttle
    const LoginThrottle &throttle() const { return m_throttle; }

    static QString refusedText();        // the message of a wrong code or password

public Q_SLOTS:
    void cb_ok_clicked();

private:
    void startWait(std::chrono::milliseconds wait);
    void tick();
    void updateWaitText();

    Checker m_checker;
    Notifier m_notifier;
    ThrottleStore m_store;
    LoginThrottle m_throttle;
    QTimer m_waitTimer;
    int m_secondsLeft = 0;

    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace wip
