#pragma once

#include "import/importoutcome.h"

#include <QString>

class QWidget;

namespace wip::import {

class ImportKind;

// What the 导入 Import and 导出 Export buttons of a window do with the files of
// one kind (ImportKind), the same in every window that offers them:
//
// importFile asks for a CSV file or workbook (starting in the exports folder,
// D:), checks the whole file without writing, and either shows every problem
// with its row and column, or says what it would add, update and leave as it is
// and asks; only a 是 imports it, all or nothing, audited under `source`. Work
// SQLCA held before holds the import too: it counts as imported only when that
// COMMIT is through.
//
// exportFile asks where (D:, "<kind>.xlsx"; xlsx or CSV), writes every record
// of the kind under the captions import reads, and says how many rows went
// where.
//
// Both say the outcome in a message box and give the window a line for its
// status bar; the window enables 导入 for users with the right 导入
// (ImportRights), and reads its rows again after an import.
class KindFileActions
{
public:
    struct Done
    {
        bool written = false;   // the import wrote its rows, the export its file
        QString status;          // for the window's status line; empty when the clerk cancelled
        ImportOutcome outcome;   // of the import
    };

    // noun: what the question counts ("代码", "合约").
    static Done importFile(QWidget *parent, ImportKind &kind, const QString &source, const QString &noun);
    // note: said after where the rows went (" (已保存的资料, 不含未保存的修改)").
    static Done exportFile(QWidget *parent, ImportKind &kind, const QString &note = QString());
};

} // namespace wip::import
