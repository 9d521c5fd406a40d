#include "desk/widgets/deskfields.h"

#include "desk/deskinput.h"

namespace wip {

using F = DeskField;

DeskAction DeskFields::action(DeskChoice choice)
{
    switch (choice) {
    case DeskChoice::Receive: return DeskAction::Receive;
    case DeskChoice::Issue: return DeskAction::Issue;
    case DeskChoice::TakeBack: return DeskAction::TakeBack;
    case DeskChoice::PassOn:
    case DeskChoice::Outside: return DeskAction::PassOn;
    }
    return DeskAction::Receive;
}

QString DeskFields::choiceText(DeskChoice choice)
{
    return choice == DeskChoice::Outside ? QStringLiteral("外发") : DeskRequest::actionText(action(choice));
}

QList<DeskChoice> DeskFields::choices()
{
    return {DeskChoice::Receive, DeskChoice::Issue, DeskChoice::TakeBack, DeskChoice::PassOn, DeskChoice::Outside};
}

QList<DeskField> DeskFields::used(DeskChoice choice)
{
    switch (choice) {
    case DeskChoice::Receive:
    case DeskChoice::PassOn:
        return {F::Code, F::Pieces, F::Weight};
    case DeskChoice::Issue:
    case DeskChoice::Outside:
        return {F::Code, F::Worker, F::Pieces, F::Weight};
    case DeskChoice::TakeBack:
        return {F::Code, F::Worker, F::Pieces, F::Weight, F::Returned, F::UnfinishedToDesk, F::UnfinishedWeight};
    }
    return {F::Code};
}

QList<DeskField> DeskFields::chain(DeskChoice choice, const DeskRequest &typed, std::optional<Decimal> held)
{
    QList<DeskField> fields = used(choice);
    if (choice != DeskChoice::TakeBack)
        return fields;
    // Where unfinished pieces go is asked only when fewer pieces come back than the worker holds.
    QString why;
    const auto pieces = typed.pieces.trimmed().isEmpty() ? std::nullopt
                                                          : DeskInput::pieces(typed.pieces, QString(), &why);
    const bool fewer = pieces && held && *pieces < *held;
    if (!fewer)
        fields.removeAll(F::UnfinishedToDesk);
    if (!fewer || !typed.unfinishedToDesk)
        fields.removeAll(F::UnfinishedWeight);
    return fields;
}

std::optional<DeskField> DeskFields::next(DeskChoice choice, const DeskRequest &typed, std::optional<Decimal> held,
                                          DeskField from)
{
    const QList<DeskField> fields = chain(choice, typed, held);
    const qsizetype at = fields.indexOf(from);
    if (at < 0)
        return fields.value(1, F::Code);   // a field the choice does not ask: back into the chain
    if (at + 1 >= fields.size())
        return std::nullopt;
    return fields.at(at + 1);
}

QString DeskFields::label(DeskChoice choice, DeskField field)
{
    switch (field) {
    case F::Code: return QStringLiteral("袋卡");
    case F::Worker: return choice == DeskChoice::Outside ? QStringLiteral("外发厂") : QStringLiteral("工人");
    case F::Pieces: return choice == DeskChoice::TakeBack ? QStringLiteral("完成件数") : QStringLiteral("件数");
    case F::Weight:
        switch (choice) {
        case DeskChoice::Receive: return QStringLiteral("收到重量");
        case DeskChoice::Issue: return QStringLiteral("发出重量");
        case DeskChoice::TakeBack: return QStringLiteral("完成重量");
        default: return QStringLiteral("转出重量");
        }
    case F::Returned: return QStringLiteral("回料重量");
    case F::UnfinishedToDesk: return QStringLiteral("未完成件退回收发");
    case F::UnfinishedWeight: return QStringLiteral("未完成件重量");
    }
    return QString();
}

bool DeskFields::isWeight(DeskField field)
{
    return field == F::Weight || field == F::Returned || field == F::UnfinishedWeight;
}

void DeskFields::set(DeskRequest *r, DeskField field, const QString &text, bool checked)
{
    switch (field) {
    case F::Code: r->code = text.trimmed(); break;
    case F::Worker: r->worker = text.trimmed(); break;
    case F::Pieces: r->pieces = text.trimmed(); break;
    case F::Weight: r->weight = text.trimmed(); break;
    case F::Returned: r->returned = text.trimmed(); break;
    case F::UnfinishedToDesk: r->unfinishedToDesk = checked; break;
    case F::UnfinishedWeight: r->unfinishedWeight = text.trimmed(); break;
    }
}

DeskRequest DeskFields::start(DeskChoice choice, const QString &department)
{
    DeskRequest r;
    r.action = action(choice);
    r.toOutside = choice == DeskChoice::Outside;
    r.department = department;
    return r;
}

DeskRequest DeskFields::request(DeskChoice choice, const QString &department, std::optional<Decimal> held,
                                const std::function<Value(DeskField)> &read)
{
    DeskRequest typed = start(choice, department);
    for (const DeskField f : used(choice)) {
        const Value v = read(f);
        set(&typed, f, v.text, v.checked);
    }
    DeskRequest r = start(choice, department);
    for (const DeskField f : chain(choice, typed, held)) {
        const Value v = read(f);
        set(&r, f, v.text, v.checked);
    }
    return r;
}

} // namespace wip
