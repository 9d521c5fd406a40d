#pragma once

#include "import/importcolumn.h"
#include "import/importoutcome.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace wip {
class Transaction;
}

namespace wip::import {

// How an import runs and for whom.
struct ImportOptions
{
    bool dryRun = false;     // check only, write nothing
    bool update = false;     // a code the database has is updated; without it a duplicate
    QString user;            // who imports (the audit trail)
    QString source;          // from where: "wip import", "w_refdata"
    // The user's rights text of a module and function; empty: qxpd(user, ...).
    std::function<QString(const QString &module, const QString &function)> rights;
};

// One kind of data that files import into and export from: its columns and
// the work of checking and writing its records. The layer that owns the data
// plugs its kinds in (ImportKinds::add): the reference data one kind each
// (customers, metals, stones ...), the sales contracts theirs. The file, its
// columns, the right 导入 and the listing of problems are the Importer's.
//
// import() gets the file's rows in the kind's column order and must write all
// or nothing: every record checked against the database and the file (codes
// given twice, codes there already without options.update), every problem
// listed with its row and column, and only then, in one transaction with the
// audit trail, written. With options.dryRun it stops after the checks.
class ImportKind
{
public:
    virtual ~ImportKind() = default;

    virtual QString name() const = 0;          // wip import --kind: "metals"
    virtual QString caption() const = 0;       // "成色 Metals"
    virtual QList<ImportColumn> columns() const = 0;
    // One example row for the kind's template, a text per exported column.
    virtual QStringList example() const = 0;

    // The table is the kind's to keep or let go while it works.
    virtual ImportOutcome import(Transaction &tr, ImportTable table, const ImportOptions &options) = 0;
    // Every record as export writes it: rows of texts, one per exported column.
    virtual std::optional<QList<QStringList>> exportRows(Transaction &tr, QString *error) = 0;

    QList<ImportColumn> exportedColumns() const;
};

} // namespace wip::import
