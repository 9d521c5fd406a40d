#include "contracts/contractline.h"

namespace wip {

const QList<LineField> &LineField::all()
{
    using K = Kind;
    static const QList<LineField> list = {
        {QStringLiteral("design_no"), QStringLiteral("款号"), K::Text, 30, false},
        {QStringLiteral("article_code"), QStringLiteral("货号"), K::Article, 30, true},
        {QStringLiteral("metal"), QStringLiteral("成色"), K::Metal, 20, true},
        {QStringLiteral("size"), QStringLiteral("尺寸"), K::Text, 20, false},
        {QStringLiteral("finding"), QStringLiteral("配件"), K::Text, 30, false},
        {QStringLiteral("rhodium"), QStringLiteral("电金"), K::Text, 30, false},
        {QStringLiteral("quantity"), QStringLiteral("数量"), K::Pieces, 12, true},
        {QStringLiteral("metal_netwt"), QStringLiteral("净金重"), K::Weight, 16, false},
        {QStringLiteral("hallmark"), QStringLiteral("字印"), K::Text, 40, false},
        {QStringLiteral("unit_labprice"), QStringLiteral("工费单价"), K::Money, 16, false},
        {QStringLiteral("remarks"), QStringLiteral("备注"), K::Text, 200, false},
    };
    return list;
}

const LineField *LineField::find(const QString &column)
{
    for (const LineField &f : all()) {
        if (f.column == column)
            return &f;
    }
    return nullptr;
}

void ContractLine::setText(const QString &column, const QString &text)
{
    texts.insert(column, text);
    if (state == State::Stored || state == State::Changed)
        state = changedColumns().isEmpty() ? State::Stored : State::Changed;
}

QStringList ContractLine::changedColumns() const
{
    QStringList columns;
    for (const LineField &f : LineField::all()) {
        if (state == State::New ? !texts.value(f.column).trimmed().isEmpty()
                                : texts.value(f.column).trimmed() != stored.value(f.column).trimmed())
            columns << f.column;
    }
    return columns;
}

QString ContractLine::name(int newIndex) const
{
    return isNew() ? QStringLiteral("新增第 %1 行").arg(newIndex) : QStringLiteral("第 %1 行").arg(lineNo);
}

} // namespace wip
