#pragma once

#include "runtime/transaction.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace wip {

// The factory's fixed code families that the report definitions and windows name
// in their queries: the department and process codes (table gongxu, filing
// listed twice for the two filing rooms) and the stock codes (table stock, the
// stores and the departments' issue-and-receipt desks). Every new database holds
// them, with or without the demo factory, so that every window and report works
// on the first day. The delay reasons ("1-无石Stone delay" ...) are no table: the
// progress window and the definitions carry them.
class FactoryCodes
{
public:
    struct Code
    {
        QString code;
        QString name;
    };
    static const QList<Code> &processCodes();
    static const QList<Code> &stockCodes();

    // Writes the codes each table lacks (a process code by code and name, a
    // stock code by code) inside the caller's transaction. onlyIntoEmpty: a table
    // that holds any row is left as it is (a factory may have removed a code).
    // False with *error when a row cannot be written.
    static bool write(QSqlDatabase db, DbKind kind, bool onlyIntoEmpty, QString *error);
};

} // namespace wip
