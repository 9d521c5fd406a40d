#pragma once

#include "app/loginthrottle.h"
#include "runtime/transaction.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace wip {

class DatabaseChoice;

// The login at start: user code and password, checked by the function given
// (the users table in the application), and the database they are checked in.
// A refusal is told through the notifier and the dialog stays open with the
// password cleared; after five refusals in a row each further attempt waits
// longer (LoginThrottle), also after a restart when the caller keeps the count
// (setThrottleStore, restoreThrottle). Cancel rejects the dialog, which ends the
// application.
//
// The database: the dialog shows the one in use and, behind "数据库 Database…",
// lets the clerk choose the embedded file or the factory's server. A choice that
// differs from the connected database is handed to the connector when OK is
// pressed, before the user is checked; a connector's refusal (a server that does
// not answer, a file that is no Wip database) is told like a refusal of the
// login but is not counted against the clerk; a database without any user ends
// the dialog with NoUsers. A disabled user is told so (only when the password
// was right) and not counted either.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    // Disabled: the code and password are right but the user is disabled.
    enum class Outcome { Accepted, Refused, Unavailable, Disabled };
    struct Check
    {
        Outcome outcome = Outcome::Refused;
        QString message;                 // why, for Unavailable (the database error)
        QString userCode;                // Accepted: the code as the users table spells it
        bool mustChange = false;         // Accepted: the password is to be changed now
        bool noUsers = false;            // the connector's database has no user at all
    };
    // The dialog's result when the database chosen holds no user: the caller
    // shows the form that creates the administrator instead.
    static constexpr int NoUsers = 2;
    using Checker = std::function<Check(const QString &userCode, const QString &password)>;
    using Notifier = std::function<void(const QString &title, const QString &text)>;
    // Called after each counted failure and after a success, to keep the count.
    using ThrottleStore = std::function<void(const LoginThrottle &)>;
    // Connects the application to the database chosen; Accepted, or Unavailable with why.
    using Connector = std::function<Check(const ConnectionSettings &settings, bool savePassword)>;

    explicit LoginDialog(Checker checker, Notifier notifier, QWidget *parent = nullptr);
    ~LoginDialog() override;

    void setUserCode(const QString &code);
    // The count a previous run left: when its wait is not over, the dialog waits
    // for the rest of it before the first attempt.
    void restoreThrottle(int failures, const QDateTime &lastFailure);
    void setThrottleStore(ThrottleStore store) { m_store = std::move(store); }
    QString userCode() const;            // trimmed as typed; as stored once accepted
    QString password() const;            // as typed (a forced change takes it as the old one)
    bool mustChange() const { return m_mustChange; }   // once accepted
    // The demo database's users and their public passwords, shown under the
    // fields (an empty text hides the note).
    void setDemoUsers(const QString &text);
    QString demoUsers() const;
    bool waiting() const;                // an attempt is held back by the throttle
    const LoginThrottle &throttle() const { return m_throttle; }

    // The database in use (connected: the application is connected to it) and
    // the embedded file of this computer.
    void setDatabase(const ConnectionSettings &current, bool connected, bool savePassword,
                     const QString &embeddedFile);
    void setConnector(Connector connector) { m_connector = std::move(connector); }
    // Opens the database part with the message: the database of the start could not be used.
    void showDatabaseProblem(const QString &text);
    ConnectionSettings database() const; // as chosen
    bool savePassword() const;
    bool databaseShown() const;

    static QString refusedText();        // the message of a wrong code or password

public Q_SLOTS:
    void cb_ok_clicked();

private:
    bool ensureDatabase();
    void toggleDatabase();
    void updateDatabaseText();
    void startWait(std::chrono::milliseconds wait);
    void tick();
    void updateWaitText();
    void tell(const QString &text);

    Checker m_checker;
    Notifier m_notifier;
    ThrottleStore m_store;
    Connector m_connector;
    LoginThrottle m_throttle;
    QTimer m_waitTimer;
    int m_secondsLeft = 0;
    std::optional<ConnectionSettings> m_connected;
    QString m_acceptedCode;
    bool m_mustChange = false;

    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLabel *m_databaseText = nullptr;
    QPushButton *m_databaseButton = nullptr;
    DatabaseChoice *m_choice = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_wait = nullptr;
    QLabel *m_demoUsers = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace wip
