#pragma once

#include <QString>

namespace wip::reference {

// Why a row cannot be saved: the row's line, the field and the reason, and for a
// stone line of a style its number. text() is what the clerk reads:
//   "第 3 行 成色 Purity: 1.2 不在 0 与 1 之间 (18K 为 0.750)"
//   "第 2 行 镶石第 1 行 石料 Stone: 没有石料 XX-1"
struct RefProblem
{
    int line = 0;        // 0: not about one row (the user's rights)
    QString field;       // the field's name ("purate"); empty when about the whole row
    QString caption;     // the field's caption ("成色 Purity")
    QString reason;
    int stone = 0;       // 1 ...: the stone line of a style

    QString text() const;
};

} // namespace wip::reference
