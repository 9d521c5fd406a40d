#include "import/importrights.h"

#include "database/rightscatalogue.h"
#include "runtime/appglobals.h"

namespace wip::import {

bool ImportRights::granted(const Lookup &lookup)
{
    return RightsCatalogue::has(Right::Import, lookup);
}

bool ImportRights::mayImport(const QString &userCode)
{
    if (userCode.trimmed().isEmpty())
        return false;
    return granted([&](const QString &m, const QString &f) { return qxpd(userCode, m, f); });
}

QString ImportRights::refusal(const QString &userCode)
{
    return QStringLiteral("用户 %1 没有导入 (import) 的权限, 不能导入文件。").arg(userCode);
}

} // namespace wip::import
