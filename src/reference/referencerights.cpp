#include "reference/referencerights.h"

#include "database/rightscatalogue.h"
#include "runtime/appglobals.h"

namespace wip::reference {

bool ReferenceRights::mayEdit(const QString &userCode)
{
    if (userCode.trimmed().isEmpty())
        return false;
    return RightsCatalogue::has(Right::ReferenceData, [&userCode](const QString &module, const QString &function) {
        return qxpd(userCode, module, function);
    });
}

QString ReferenceRights::refusal(const QString &userCode)
{
    return QStringLiteral("用户 %1 没有资料 (reference data) 的权限, 不能增加、修改或停用。").arg(userCode);
}

} // namespace wip::reference
