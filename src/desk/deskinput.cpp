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

namespace {

std::optional<Decimal> whole(const QString &text, const QString &field, const QString &unit, QString *why)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    const QString t = text.trimmed();
    if (!digits.match(t).hasMatch()) {
        *why = t.isEmpty() ? QStringLiteral("没有%1").arg(field)
                           : QStringLiteral("%1 \"%2\" 不是整数%3").arg(field, t, unit);
        return std::nullopt;
    }
    return Decimal::fromInt(t.toLongLong());
}

} // namespace

std::optional<Decimal> DeskInput::pieces(const QString &text, const QString &field, QString *why)
{
    return whole(text, field, QStringLiteral("件数"), why);
}

std::optional<Decimal> DeskInput::stones(const QString &text, const QString &field, QString *why)
{
    return whole(text, field, QStringLiteral("粒数"), why);
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
