#pragma once

#include "database/rightscatalogue.h"
#include "database/useradmin.h"
#include "runtime/widgets/window.h"

#include <QMap>

class QTableWidget;

namespace wip {

class CheckBox;
class CommandButton;
class GroupBox;
class SingleLineEdit;
class StaticText;

// 用户与权限 Users and rights: the users of the database with their state and
// rights. An administrator (the users right) adds a user with a first
// password, disables or enables one (users are never deleted: the audit trail
// names them), sets a new password (changed at the user's next login), and
// ticks the user's rights window by window in plain words, stored as the
// rights texts the windows read (RightsCatalogue). Every change is one
// transaction with its audit rows (UserAdmin). A user without the users right
// sees why and nothing else.
class w_users : public Window
{
    Q_OBJECT
public:
    w_users();

    void open() override;

    void cb_new_clicked();
    void cb_add_clicked();
    void cb_active_clicked();
    void cb_reset_clicked();
    void cb_rights_clicked();
    void cb_close_clicked();
    void dw_users_rowchanged();

    // The user shown in the form (empty for a new one) and the rights ticked.
    QString shownUser() const { return m_shown; }
    Rights tickedRights() const;
    void tickRights(Rights rights);
    QString status() const;
    bool mayManage() const { return m_mayManage; }

protected:
    void create() override;

private:
    void createControls();
    void layOutControls();
    void connectEvents();
    QLayout *rightsLayout();
    void refresh(const QString &select);
    void showUser(const UserInfo *user);
    void updateButtons();
    void tell(const QString &text);
    void refuse(const UserAdmin &admin);
    UserAdmin admin() const;
    const UserInfo *shownInfo() const;

    QList<UserInfo> m_users;
    QString m_shown;
    bool m_mayManage = false;

    QTableWidget *dw_users = nullptr;
    GroupBox *gb_user = nullptr;
    StaticText *st_code = nullptr;
    SingleLineEdit *sle_code = nullptr;
    StaticText *st_name = nullptr;
    SingleLineEdit *sle_name = nullptr;
    StaticText *st_password = nullptr;
    SingleLineEdit *sle_password = nullptr;
    StaticText *st_password_hint = nullptr;
    GroupBox *gb_rights = nullptr;
    QMap<Right, CheckBox *> m_boxes;
    CommandButton *cb_new = nullptr;
    CommandButton *cb_add = nullptr;
    CommandButton *cb_active = nullptr;
    CommandButton *cb_reset = nullptr;
    CommandButton *cb_rights = nullptr;
    CommandButton *cb_close = nullptr;
    StaticText *st_status = nullptr;
};

} // namespace wip
