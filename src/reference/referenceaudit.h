#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

namespace wip {
class BatchInserter;
class Transaction;
}

namespace wip::reference {

// The audit trail of reference data: one audit_log row per changed field of a
// row, naming the table (record_table) and the row's code (record_key; a
// style's stone line "R2401/DIA-RD-1.0/钉镶"), with the old and new texts (NULL
// for a row added or deleted). Written on the caller's transaction inside the
// work that makes the change, after the checks, so a change is never stored
// without its rows and a refused or failed save leaves none.
//
// Each entry goes to the database as it is added, many rows a statement, all
// stamped with the same time (whole seconds): an import of a hundred thousand
// codes never holds its audit rows in memory.
//
//   ReferenceAudit audit(tr, {"CLERK", "w_refdata"});
//   audit.add({"material", "18KY", "mname", "18K黄金", "18K黄金 yellow"});
//   if (!audit.finish()) roll back;   // tr's status says why
class ReferenceAudit
{
public:
    // Who changes reference data, and from where: a user code and the window
    // class (w_refdata) or the command (wip import).
    struct Source
    {
        QString user;
        QString source;
    };

    struct Entry
    {
        QString table;
        QString key;
        QString field;
        QString oldValue;   // null: none (added)
        QString newValue;   // null: none (deleted)
    };

    ReferenceAudit(Transaction &tr, const Source &who, const QDateTime &when = QDateTime::currentDateTime());
    ~ReferenceAudit();

    void add(const Entry &entry);
    int count() const { return m_count; }
    // Writes the entries not written yet. False, with tr's status, when a row
    // could not be written: the caller rolls back its change too.
    bool finish();

private:
    Transaction &m_tr;
    Source m_who;
    QString m_stamp;   // the time as the databases' text
    std::unique_ptr<BatchInserter> m_rows;
    int m_count = 0;
    bool m_failed = false;
};

} // namespace wip::reference
