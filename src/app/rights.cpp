#include "app/rights.h"

#include "runtime/appglobals.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"

namespace wip {

QString Rights::lookup(Transaction &tr, const QString &userCode, const QString &module,
                       const QString &function)
{
    if (!tr.isConnected())
        return QString();
    const auto row = tr.selectInto(
        QStringLiteral("select rights from rights where user_code = ? and module = ? and function = ?"),
        {userCode, module, function});
    if (!row) {
        if (tr.sqlCode < 0)
            Trace::write(QStringLiteral("qxpd: rights of %1 for %2/%3 not read: %4")
                             .arg(userCode, module, function, tr.sqlErrText));
        return QString();
    }
    const QVariant value = row->value(0);
    if (value.isNull())
        return QString();
    // A stored empty text is still a row; keep it distinct from "no rights row".
    const QString text = value.toString();
    return text.isNull() ? QStringLiteral("") : text;
}

void Rights::installOnSqlca()
{
    setQxpdFunction([](const QString &userCode, const QString &module, const QString &function) {
        return lookup(Transaction::sqlca(), userCode, module, function);
    });
}

} // namespace wip
