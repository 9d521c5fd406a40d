#include "desk/workercheck.h"

#include "desk/deskvalues.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

using deskvalues::text;

} // namespace

WorkerCheck::Verdict WorkerCheck::check(Transaction &tr, const QString &changhao, const QString &gongxu,
                                        QString *name, QString *why)
{
    if (changhao.trimmed().isEmpty()) {
        *why = QStringLiteral("没有工号");
        return Verdict::Unknown;
    }
    const auto row = tr.selectInto(
        QStringLiteral("select xingming, gongxu_code, active from worker where changhao = ?"), {changhao});
    if (!row) {
        if (tr.sqlCode != 100) {
            *why = QStringLiteral("读取工人 %1 未成功: %2").arg(changhao, tr.sqlErrText);
            return Verdict::Failed;
        }
        *why = QStringLiteral("没有工号 %1 的工人").arg(changhao);
        return Verdict::Unknown;
    }
    *name = text(row->at(0));
    if (!row->at(2).isNull() && row->at(2).toInt() == 0) {
        *why = QStringLiteral("工人 %1 %2 已停用").arg(changhao, *name);
        return Verdict::Inactive;
    }
    if (text(row->at(1)) != gongxu) {
        *why = QStringLiteral("工人 %1 %2 属于 %3, 不是 %4").arg(changhao, *name, text(row->at(1)), gongxu);
        return Verdict::OtherDepartment;
    }
    if (name->isEmpty())
        *name = changhao;
    return Verdict::Ok;
}

} // namespace wip
