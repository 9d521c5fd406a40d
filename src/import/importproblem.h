#pragma once

#include <QList>
#include <QString>

namespace wip::import {

// Why a file, or one of its rows, cannot be imported: the row's number as the
// spreadsheet program shows it, the column's caption and the reason.
//   "第 4 行 成色 Purity: 1.2 不在 0 与 1 之间 (18K 为 0.750)"
//   "第 1 行 Colour: 没有这一列 ..."   (a header the kind does not have)
//   "用户 VIEW 没有导入 (import) 的权限"   (line 0: about the whole file)
struct ImportProblem
{
    int line = 0;
    QString column;
    QString reason;

    QString text() const;

    // Every problem a line, ordered by row, at most `limit` of them and then
    // "… and N more".
    static QString listText(QList<ImportProblem> problems, int limit = 50);
};

} // namespace wip::import
