#include "desk/deskinput.h"

#include <QRegularExpression>

namespace wip {

std::optional<Decimal> DeskInput::weight(const QString &text, const QString &field, QString *why)
{
    static const QRegularExpression grams(QStringLiteral("^(\\d{1,9})(?:\\.(\\d{1,3}))?$"));
    const QString t = text.trimmed();
    const QRegularExpressionMatch m = grams.match(t);
    if (!m.hasMatch()) {
        *why = t.isEmpty() ? QStringLiteral("没有%1").arg(field)
                           : QStringLiteral("%1 \"%2\" 不是最多三位小数的克数").arg(field, t);
        return std::nullopt;
    }
    const QString decimals = m.captured(2);
    const qint64 units = QString(m.captured(1) + decimals).toLongLong();
    return Decimal::fromUnits(units, int(decimals.size()));
}

std::optional<Decimal> DeskInput::pieces(const QString &text, const QString &field, QString *why)
{
    static const QRegularExpression whole(QStringLiteral("^\\d{1,9}$"));
    const QString t = text.trimmed();
    if (!whole.match(t).hasMatch()) {
        *why = t.isEmpty() ? QStringLiteral("没有%1").arg(field)
                           : QStringLiteral("%1 \"%2\" 不是整数件数").arg(field, t);
        return std::nullopt;
    }
    return Decimal::fromInt(t.toLongLong());
}

QString DeskInput::grams(const Decimal &value)
{
    if (!value.isValid())
        return QString();
    Decimal g = value.rounded(3);
    qint64 units = g.units();
    for (int s = g.scale(); s < 3; ++s)
        units *= 10;
    return Decimal::fromUnits(units, 3).toString();
}

QString DeskInput::count(const Decimal &value)
{
    return value.isValid() ? value.normalized().toString() : QString();
}

} // namespace wip
