#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

namespace wip {

class Transaction;

// Who changes progress or contract headers, and from where: the user's code and
// the window class ("w_scno_process") or command ("wip scan").
struct AuditSource
{
    QString user;
    QString source;
    // The logged-in user (user_code) in window `window`.
    static AuditSource window(const QString &window);
};

// The audit trail: one row of audit_log per changed field of a process record,
// contract header or line (under its scond_id), user or rights text
// (UserAdmin), written on the caller's transaction inside the work that makes
// the change, so a change is never stored
// without its rows and a change rolled back takes its rows with it. Rows are
// only ever added.
class AuditLog
{
public:
    struct Change
    {
        QString scno;       // empty: the change belongs to no contract (NULL)
        QVariant scondId;   // the order line, when the change belongs to one
        QString field;
        QVariant oldValue;  // null: there was none (a record added)
        QVariant newValue;  // null: there is none now (a record deleted)
    };
    using Record = QMap<QString, QVariant>;   // column name (lower case) -> value

    // One change per field whose value differs between before and after (an
    // empty map stands for no record: every non-null value of the other one).
    static QList<Change> diff(const QString &scno, const QVariant &scondId, const Record &before,
                              const Record &after);
    // Writes the changes on tr (inside the caller's open work), stamped `when`.
    // False, with tr's status, when a row cannot be written: the caller rolls
    // back its change too.
    static bool write(Transaction &tr, const AuditSource &who, const QList<Change> &changes,
                      const QDateTime &when = QDateTime::currentDateTime());

    // The contract header of scno as stored (sconh columns but the key), values
    // typed as the schema says; an empty map when there is no header. False
    // when it cannot be read.
    static bool readHeader(Transaction &tr, const QString &scno, Record *header);
    // The contract line scond_id as stored (scond columns but the key and the
    // contract number, which the change carries); empty when there is none.
    static bool readLine(Transaction &tr, long long scondId, Record *line);

    // The text a value is kept as: numbers without needless decimals, dates
    // "yyyy-MM-dd HH:mm:ss", null as null.
    static QVariant text(const QVariant &value);
};

} // namespace wip
