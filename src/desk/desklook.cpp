#include "desk/desklook.h"

#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "desk/deskrows.h"
#include "runtime/transaction.h"

namespace wip {

using Place = BagPlace::Place;

DeskLook DeskLook::read(Transaction &tr, const QString &code)
{
    DeskLook look;
    QString error;
    const QString c = code.trimmed();
    switch (BagTicket::find(tr, c, &look.ticket, &error)) {
    case BagTicket::Lookup::Found:
        break;
    case BagTicket::Lookup::Failed:
        look.message = QStringLiteral("读取袋卡 %1 未成功: %2").arg(c, error);
        return look;
    case BagTicket::Lookup::NoContract:
        look.result = Result::UnknownBag;
        look.message = QStringLiteral("未知的袋卡 %1: 没有合约 %2").arg(c, look.ticket.scno);
        return look;
    case BagTicket::Lookup::LineDeleted:
        look.result = Result::UnknownBag;
        look.message = QStringLiteral("袋卡 %1: 合约 %2 的第 %3 行明细已删除").arg(c, look.ticket.scno).arg(look.ticket.lineNo);
        return look;
    default:
        look.result = Result::UnknownBag;
        look.message = QStringLiteral("未知的袋卡 %1").arg(c);
        return look;
    }
    if (!BagPlace::read(tr, look.ticket.scondId, &look.place)) {
        look.message = QStringLiteral("读取袋的位置未成功: ") + tr.sqlErrText;
        return look;
    }
    if (const auto q = Decimal::fromVariant(look.ticket.quantity); q && q->sign() > 0 && q->normalized().scale() == 0)
        look.linePcs = *q;
    DeskRows rows(tr, look.ticket, QString(), QString(), QDateTime());
    Decimal pcs, weight;
    if (look.place.place == Place::Worker) {
        DeskRows::Held held;
        if (rows.heldOnSheet(look.place.noteNo, &held)) {
            look.heldPcs = held.pcs;
            look.heldWeight = held.weight;
        }
    } else if ((look.place.place == Place::Transit || look.place.place == Place::Outside)
               && rows.sentOnTransfer(look.place.noteNo, &pcs, &weight)) {
        look.sentPcs = pcs;
        look.sentWeight = weight;
    }
    look.result = Result::Found;
    return look;
}

QString DeskLook::misfit(DeskAction action, const DeskDepartment &dept, bool toOutside) const
{
    const BagPlace &b = place;
    const QString code = ticket.code;
    const bool here = b.gongxu == dept.gongxu;
    const auto cannot = [&](const QString &verb) {
        return QStringLiteral("袋卡 %1 %2, 不能在%3%4").arg(code, b.describe(), dept.caption, verb);
    };
    switch (action) {
    case DeskAction::Receive:
        if ((dept.isFirst() && b.place == Place::None) || (b.place == Place::Transit && b.nextGongxu == dept.gongxu)
            || (b.place == Place::Outside && here))
            return QString();
        return cannot(QStringLiteral("接收"));
    case DeskAction::Issue:
        if (b.place == Place::Worker && here)
            return QStringLiteral("袋卡 %1 已%2, 收回后才能再发出").arg(code, b.describe());
        return b.place == Place::Desk && here ? QString() : cannot(QStringLiteral("发出"));
    case DeskAction::TakeBack:
        return b.place == Place::Worker && here ? QString() : cannot(QStringLiteral("收回"));
    case DeskAction::PassOn:
        if (b.place == Place::Worker && here)
            return QStringLiteral("袋卡 %1 %2, 收回后才能转出").arg(code, b.describe());
        return b.place == Place::Desk && here && (toOutside || dept.next()) ? QString() : cannot(QStringLiteral("转出"));
    case DeskAction::Reverse:
        return b.gongxu == dept.gongxu && (b.place == Place::Desk || b.place == Place::Worker)
            ? QString()
            : cannot(QStringLiteral("冲销"));
    }
    return QString();
}

std::optional<Decimal> DeskLook::defaultPieces(DeskAction action) const
{
    switch (action) {
    case DeskAction::Receive:
        return place.place == Place::None ? linePcs : sentPcs;
    case DeskAction::Issue:
    case DeskAction::PassOn:
        return place.place == Place::Desk || place.place == Place::Worker ? std::optional<Decimal>(place.pcs) : std::nullopt;
    case DeskAction::TakeBack:
        return heldPcs;
    case DeskAction::Reverse:
        break;
    }
    return std::nullopt;
}

std::optional<Decimal> DeskLook::referenceWeight(DeskAction action) const
{
    switch (action) {
    case DeskAction::Receive:
        return sentWeight;
    case DeskAction::Issue:
    case DeskAction::PassOn:
        return place.place == Place::Desk || place.place == Place::Worker ? std::optional<Decimal>(place.weight) : std::nullopt;
    case DeskAction::TakeBack:
        return heldWeight;
    case DeskAction::Reverse:
        break;
    }
    return std::nullopt;
}

QString DeskLook::lineText() const
{
    QStringList parts{QStringLiteral("%1 第 %2 行").arg(ticket.scno).arg(ticket.lineNo)};
    for (const QString &s : {ticket.metal, ticket.articleCode.isEmpty() ? ticket.designNo : ticket.articleCode}) {
        if (!s.trimmed().isEmpty())
            parts << s.trimmed();
    }
    if (linePcs)
        parts << QStringLiteral("%1 件").arg(DeskInput::count(*linePcs));
    return parts.join(QLatin1Char(' '));
}

} // namespace wip
