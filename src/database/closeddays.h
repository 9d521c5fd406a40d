#pragma once

#include "database/auditlog.h"
#include "database/rightscatalogue.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace wip {

class Transaction;

// The days a department's supervisor has closed (table closed_day), once the
// day's report is printed: nothing of that department dated in a closed day
// is written any more. A change is dated by the moment it is made - a desk
// action by its own time, a progress save, a scan and an import by the moment
// they are saved - and counts for the department whose figures it changes.
// A mistake found after closing is corrected by a new entry on an open day
// that reverses it (DeskReversal), never by editing the closed rows.
//
//   if (const auto closed = ClosedDays::find(tr, "执模", when.date()))
//       refuse(ClosedDays::refusal(*closed));   // "执模 2026-12-08 已日结 (主管 SUP1 ...)"
//
// Closing needs the supervisor right, reopening the administrator's (the
// users right); each is one transaction with its audit row (day:close,
// day:reopen), or refused with nothing written. A day after today cannot be
// closed. Departments are named by their captions; which captions exist is
// the caller's to check.
class ClosedDays
{
public:
    struct Closed
    {
        QString department;
        QDate day;
        QString closedBy;
        QDateTime closedAt;
    };
    struct Outcome
    {
        bool done = false;
        QString message;   // one line: what was done or why not
    };

    // The closing that stands for the department's day; nullopt when the day is
    // open, or, with *error set, when it cannot be read.
    static std::optional<Closed> find(Transaction &tr, const QString &department, const QDate &day,
                                      QString *error = nullptr);
    // Why a change dated `when` at the department is refused: empty when its
    // day is open; the day and who closed it when closed; the database's text
    // when it cannot be read (a change is refused then too).
    static QString refusal(Transaction &tr, const QString &department, const QDateTime &when);
    static QString refusal(const Closed &closed);
    // The department's latest day that stands closed; nullopt when none is, or,
    // with *error set, when it cannot be read.
    static std::optional<QDate> lastClosed(Transaction &tr, const QString &department, QString *error = nullptr);

    static Outcome close(Transaction &tr, const AuditSource &who, Rights rights, const QString &department,
                         const QDate &day, const QDateTime &now = QDateTime::currentDateTime());
    static Outcome reopen(Transaction &tr, const AuditSource &who, Rights rights, const QString &department,
                          const QDate &day, const QDateTime &now = QDateTime::currentDateTime());
};

} // namespace wip
