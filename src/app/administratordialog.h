#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace wip {

// "建立管理员 Create the administrator": shown instead of the login on a
// database without any user, where no login could succeed. The first
// administrator's code, name and password (twice) are checked here as
// UserAdmin checks them and handed to the creator, which adds the user with
// every right; accepted, the administrator is logged in.
class AdministratorDialog : public QDialog
{
    Q_OBJECT

public:
    // Adds the administrator; "" when done, else why not (shown in the form).
    using Creator = std::function<QString(const QString &code, const QString &name, const QString &password)>;

    explicit AdministratorDialog(Creator creator, QWidget *parent = nullptr);

    void setDatabaseText(const QString &text);    // which database it is for
    QString userCode() const;                     // the code created, once accepted
    QString message() const;                      // what the form says now

public Q_SLOTS:
    void cb_ok_clicked();

private:
    void tell(const QString &text, QLineEdit *field);

    Creator m_creator;
    QLabel *m_database = nullptr;
    QLineEdit *m_code = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_again = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace wip
