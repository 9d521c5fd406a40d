#pragma once

#include "contracts/contractline.h"
#include "contracts/contractsave.h"
#include "database/auditlog.h"

#include <QList>

namespace wip {

class Transaction;

// A contract new to the database with its lines, all of them new; a line's
// lineNo above 0 is the number it keeps, 0 gives it the next one.
struct NewContract
{
    ContractHeader header;
    QList<ContractLine> lines;
};

// Writes new contracts and their lines many rows a statement (BatchInserter),
// inside the caller's transaction, with the audit rows ContractSave writes for
// a contract it adds: each field of the header and of every line, against
// none. The checks are the caller's (ContractLineRules): this only writes.
//
// Lines keep the numbers they are given; the others are numbered after the
// highest of their contract, in their order, and the contract's counter is set
// above them all:
//
//   given line numbers   3, 0, 1, 0     written as   3, 4, 1, 5     next_line_no 6
//
// Keys of new lines are taken as ContractSave takes them, above every key the
// lines and the audit trail hold (SQLite) or from the sequence (PostgreSQL).
class ContractBulkWriter
{
public:
    ContractBulkWriter(Transaction &tr, const AuditSource &who);

    // False with tr's status when a statement fails; the caller rolls back.
    bool write(const QList<NewContract> &contracts);

    // The numbers the lines of one contract get, as described above.
    static QList<int> numbers(const QList<ContractLine> &lines, int *next);

private:
    bool newLineIds(qsizetype count, QList<qlonglong> *ids);

    Transaction &m_tr;
    AuditSource m_who;
};

} // namespace wip
