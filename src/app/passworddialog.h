#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;

namespace wip {

// "更改密码 Change password": a user changes his own password, with the old
// one, from the main window; or, forced, right after a login with a password
// someone else set (the old one is the one just typed and not asked again),
// where cancelling ends the start. The new password is typed twice and checked
// as UserAdmin checks it before the changer stores it.
class PasswordDialog : public QDialog
{
    Q_OBJECT

public:
    // Stores the new password; "" when done, else why not (shown in the dialog).
    using Changer = std::function<QString(const QString &oldPassword, const QString &newPassword)>;

    // forcedOld: the password of the login just made, for a forced change; a
    // null QString asks for the old password.
    PasswordDialog(const QString &userCode, Changer changer, const QString &forcedOld = QString(),
                   QWidget *parent = nullptr);

    QString message() const;

public Q_SLOTS:
    void cb_ok_clicked();

private:
    void tell(const QString &text, QLineEdit *field);

    Changer m_changer;
    QString m_forcedOld;
    QLineEdit *m_old = nullptr;
    QLineEdit *m_new = nullptr;
    QLineEdit *m_again = nullptr;
    QLabel *m_message = nullptr;
};

} // namespace wip
