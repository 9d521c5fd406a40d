#pragma once

#include "maintenance/finding.h"

#include <QList>
#include <QStringList>

namespace wip {

class Transaction;

// The database's own check of its storage, on the connection of tr; it reads
// only.
//
// SQLite: pragma integrity_check (every page, every index against its table)
// and pragma foreign_key_check, each line it reports a finding.
//
// PostgreSQL: the extension amcheck, where the database has it: every B-tree
// index checked (bt_index_check) and, with amcheck 1.3 or later, every table's
// pages (verify_heapam); each problem a finding. A database without the
// extension is not changed to get it (it is a superuser's to add): a note says
// so, and whether the server offers it.
class IntegrityCheck
{
public:
    // False with *error when the check itself could not run.
    static bool run(Transaction &tr, QList<Finding> *findings, QStringList *notes, QString *error);
};

} // namespace wip
