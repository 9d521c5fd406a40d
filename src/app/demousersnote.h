#pragma once

#include <QString>

namespace wip {

class Transaction;

// What the login says on a demo database: the demo users (DemoFactory) that
// are active and still have their public password, with that password, so
// that whoever tries the demo can log in. A factory database, or one whose
// demo passwords were changed, gets no note.
class DemoUsersNote
{
public:
    // Rich text for the login; "" when no demo user logs in with its demo password.
    static QString text(Transaction &tr);
};

} // namespace wip
