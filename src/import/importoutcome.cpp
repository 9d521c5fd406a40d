#include "import/importoutcome.h"

namespace wip::import {

QString ImportOutcome::counts() const
{
    return QStringLiteral("增加 %1, 更新 %2, 不变 %3 (added %1, updated %2, unchanged %3)")
        .arg(added)
        .arg(updated)
        .arg(unchanged);
}

QString ImportOutcome::text() const
{
    switch (result) {
    case Result::Imported:
        return QStringLiteral("已导入 Imported: ") + counts();
    case Result::Checked:
        return QStringLiteral("检查通过, 没有写入 Checked, nothing written; 导入将 would be: ") + counts();
    case Result::Refused:
        return ImportProblem::listText(problems)
            + QStringLiteral("\n没有导入, %1 处要改正 (refused: nothing was written)").arg(problems.size());
    case Result::Failed:
        break;
    }
    return QStringLiteral("没有导入 (nothing was written): ") + error;
}

} // namespace wip::import
