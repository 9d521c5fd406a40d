#pragma once

#include <QList>
#include <QString>

namespace wip {

class Transaction;

// What the login says on a demo database: the demo users (DemoFactory) that
// are active and still have their public password, with that password, so
// that whoever tries the demo can log in. A factory database, or one whose
// demo passwords were changed, gets no note. Checking a password takes the
// slow hash's time, so the login reads the candidates at once and checks them
// in a thread of its own (text(candidates) needs no database).
class DemoUsersNote
{
public:
    struct Candidate
    {
        QString code;
        QString name;
        QString password;      // the public demo password
        QString storedHash;    // what the users table holds
    };
    // The active demo users of the database, with their stored hashes.
    static QList<Candidate> candidates(Transaction &tr);
    // Rich text for the login; "" when no candidate's password is the public one.
    static QString text(const QList<Candidate> &candidates);
    static QString text(Transaction &tr) { return text(candidates(tr)); }
};

} // namespace wip
