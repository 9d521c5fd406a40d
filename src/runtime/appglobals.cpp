#include "runtime/appglobals.h"

#include <utility>

namespace wip {

namespace {

QxpdFunction &installedQxpd()
{
    static QxpdFunction function;
    return function;
}

} // namespace

QString &user_code()
{
    static QString code;
    return code;
}

void setQxpdFunction(QxpdFunction function)
{
    installedQxpd() = std::move(function);
}

QString qxpd(const QString &userCode, const QString &module, const QString &function)
{
    const QxpdFunction &f = installedQxpd();
    if (!f)
        return QString();
    return f(userCode, module, function);
}

} // namespace wip
