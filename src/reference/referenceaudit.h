#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace wip {
class Transaction;
}

namespace wip::reference {

// The audit trail of reference data: one audit_log row per changed field of a
// row, naming the table (record_table) and the row's code (record_key; a
// style's stone line "R2401/DIA-RD-1.0/钉镶"), with the old and new texts (NULL
// for a row added or deleted). Written on the caller's transaction inside the
// work that makes the change, after the checks, so a change is never stored
// without its rows and a refused or failed save leaves none.
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

    void add(const Entry &entry) { m_entries.append(entry); }
    const QList<Entry> &entries() const { return m_entries; }

    // Writes every entry, stamped `when` (whole seconds), many rows a statement.
    // False, with tr's status, when a row cannot be written: the caller rolls
    // back its change too.
    bool write(Transaction &tr, const Source &who, const QDateTime &when = QDateTime::currentDateTime()) const;

private:
    QList<Entry> m_entries;
};

} // namespace wip::reference
