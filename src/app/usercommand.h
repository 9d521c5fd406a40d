#pragma once

#include "app/commandline.h"
#include "database/auditlog.h"

#include <QTextStream>

namespace wip {

class Transaction;

// `wip user add|disable|enable|passwd|grant|list`: users and rights from the
// command line, for the administrator of the database server (who reaches the
// database by its URL, and so needs no Wip login to change its tables). Each
// change goes through UserAdmin, with its audit rows naming the account of the
// machine ("os:<login>") and the source "wip user". Passwords come from
// WIP_PASSWORD or are typed twice on the terminal (PasswordPrompt). Exit code
// 0 when done, 1 when refused or failed (with why on err).
class UserCommand
{
public:
    static int run(const CommandLine::Options &options, QTextStream &out, QTextStream &err);

    // Adds the first administrator, with every right, on tr (init-db --admin).
    // 0 when added, 1 after saying why on err.
    static int addAdministrator(Transaction &tr, const QString &code, const QString &name, const QString &password,
                                QTextStream &out, QTextStream &err);

    // Who changes users from the command line: the machine's account.
    static AuditSource commandSource(const QString &command);
};

} // namespace wip
