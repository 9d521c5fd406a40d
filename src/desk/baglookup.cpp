#include "desk/baglookup.h"

#include "runtime/transaction.h"

namespace wip {

namespace {

bool refuse(DeskOutcome::Result *result, QString *message, DeskOutcome::Result r, const QString &m)
{
    *result = r;
    *message = m;
    return false;
}

} // namespace

bool BagLookup::open(Transaction &tr, const QString &code, BagTicket *ticket, BagPlace *place,
                     DeskOutcome::Result *result, QString *message)
{
    using R = DeskOutcome::Result;
    QString scno;
    int position = 0;
    if (!BagTicket::parseCode(code, &scno, &position))
        return refuse(result, message, R::UnknownBag, QStringLiteral("未知的袋卡 %1").arg(code));
    // The header is locked and read once: its invoice, and what the ticket takes.
    const QString lock = QStringLiteral("select inv_no, %1 from sconh where scno = ?%2")
                             .arg(BagTicket::headerColumns(),
                                  tr.kind() == DbKind::PostgreSQL ? QStringLiteral(" for update") : QString());
    const auto header = tr.selectInto(lock, {scno});
    if (!header)
        return tr.sqlCode == 100
            ? refuse(result, message, R::UnknownBag, QStringLiteral("未知的袋卡 %1: 没有合约 %2").arg(code, scno))
            : refuse(result, message, R::Failed, QStringLiteral("读取合约 %1 未成功: %2").arg(scno, tr.sqlErrText));
    const QString invoice = header->at(0).toString().trimmed();
    if (!invoice.isEmpty())
        return refuse(result, message, R::Invoiced,
                      QStringLiteral("合约 %1 已开发票 (%2), 不能再收发!").arg(scno, invoice));
    QString error;
    switch (BagTicket::find(tr, code, ticket, &error, header->mid(1))) {
    case BagTicket::Lookup::Found:
        break;
    case BagTicket::Lookup::LineDeleted:
        return refuse(result, message, R::UnknownBag,
                      QStringLiteral("袋卡 %1: 合约 %2 的第 %3 行明细已删除").arg(code, scno).arg(position));
    case BagTicket::Lookup::Failed:
        return refuse(result, message, R::Failed, QStringLiteral("读取袋卡 %1 的明细未成功: %2").arg(code, error));
    default:
        return refuse(result, message, R::UnknownBag,
                      QStringLiteral("未知的袋卡 %1: 合约 %2 没有第 %3 行明细").arg(code, scno).arg(position));
    }
    if (!BagPlace::read(tr, ticket->scondId, place))
        return refuse(result, message, R::Failed, QStringLiteral("读取袋的位置未成功: ") + tr.sqlErrText);
    return true;
}

} // namespace wip
