#pragma once

#include "import/importkind.h"
#include "import/importoutcome.h"
#include "import/sheet.h"

#include <QByteArray>
#include <QString>

namespace wip {
class Transaction;
}

namespace wip::import {

// Imports a file into one kind, and exports a kind into a file.
//
// An import is refused, and writes nothing, when the user lacks the right 导入
// (ImportRights), when the file does not read (SheetReader), when its header
// names a column the kind does not have, names one twice or lacks the code's
// (ColumnMatch), or when anything of its rows is wrong (the kind's checks,
// cells outside the named columns): the outcome then lists every problem.
// Otherwise the kind writes every record in one transaction, or with
// options.dryRun says what it would add and update.
//
//   ImportOutcome o = Importer::importFile(tr, *ImportKinds::find("metals"), "metals.xlsx",
//                                          {.update = true, .user = "ADMIN", .source = "wip import"});
//   print(o.text());   // "已导入 Imported: 增加 3, 更新 1, 不变 12 ..."
class Importer
{
public:
    static ImportOutcome importFile(Transaction &tr, ImportKind &kind, const QString &path,
                                    const ImportOptions &options);
    // The same for a sheet already read; folder: where relative file names in it are.
    static ImportOutcome importSheet(Transaction &tr, ImportKind &kind, Sheet sheet, const QString &folder,
                                     const ImportOptions &options);

    // Writes every record of the kind under its captions (SheetWriter); false
    // with *error. *rows: how many rows were written.
    static bool exportFile(Transaction &tr, ImportKind &kind, const QString &path, int *rows, QString *error);

    // The kind's template: a CSV file of the header and its example row.
    static QByteArray templateCsv(const ImportKind &kind);
};

} // namespace wip::import
