#pragma once

#include <QDialog>

class QPushButton;

namespace wip {

// The first start of Wip on a computer without a database: the clerk chooses
// between trying the demo factory (its users and passwords are then shown in
// the login), starting the factory's own database (empty but for the fixed
// codes; the administrator is created next) and, where offered, the factory's
// PostgreSQL server (the login opens at its database part). Nothing is made
// before the choice; cancelling ends the start.
class FirstStartDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Choice { Cancel, Demo, Own, Server };

    explicit FirstStartDialog(bool offerServer, QWidget *parent = nullptr);

    Choice choice() const { return m_choice; }

private:
    void choose(Choice choice);

    Choice m_choice = Choice::Cancel;
    QPushButton *m_demo = nullptr;
    QPushButton *m_own = nullptr;
    QPushButton *m_server = nullptr;
};

} // namespace wip
