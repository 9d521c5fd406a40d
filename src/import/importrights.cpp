#include "import/importrights.h"

#include "runtime/appglobals.h"

namespace wip::import {

QString ImportRights::module()
{
    return QStringLiteral("M10");
}

QString ImportRights::function()
{
    return QStringLiteral("H03");
}

bool ImportRights::granted(const Lookup &lookup)
{
    const auto grants = [](const QString &text) { return text.trimmed().endsWith(QLatin1Char('A')); };
    return grants(lookup(module(), function())) || grants(lookup(QStringLiteral("M05"), QStringLiteral("H06")));
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
