#pragma once

#include <QString>

namespace wip {

class Transaction;

// The users' rights in the rights table: one text per user, module and function
// ("M05", "H06"). The application installs lookup() on SQLCA as the qxpd of its
// windows (runtime/appglobals.h).
class Rights
{
public:
    // The rights text, trimmed of nothing (the windows trim it); a null QString when
    // the user has no row for that module and function or the look-up fails.
    static QString lookup(Transaction &tr, const QString &userCode, const QString &module,
                          const QString &function);

    // Makes qxpd() answer from the rights table through SQLCA.
    static void installOnSqlca();
};

} // namespace wip
