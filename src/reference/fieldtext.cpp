#include "reference/fieldtext.h"

#include "runtime/decimal.h"
#include "runtime/sqlvalue.h"
#include "runtime/values.h"

namespace wip::reference {

namespace {

// The decimal with exactly `places` places: 0.75 at 3 is "0.750".
QString withPlaces(const Decimal &d, int places)
{
    if (places < 0)
        return values::numberText(d);
    const Decimal r = d.rounded(places);
    qint64 units = r.units();
    for (int s = r.scale(); s < places; ++s)
        units *= 10;
    return Decimal::fromUnits(units, places).toString();
}

} // namespace

QString FieldText::fromDb(const RefKind::Field &field, const QVariant &value)
{
    using F = RefKind::FieldType;
    if (field.type == F::Active)
        return value.isNull() || value.toString().trimmed() != QLatin1String("0") ? QStringLiteral("1") : QStringLiteral("0");
    if (value.isNull())
        return QString();
    if (field.type == F::Decimal) {
        const QVariant number = fromDbValue(value, ColumnKind::Number);
        const std::optional<Decimal> d = Decimal::fromVariant(number);
        return d && d->isValid() ? withPlaces(*d, field.places) : QString();
    }
    if (field.type == F::Date || field.type == F::Moment) {
        const QDateTime at = fromDbValue(value, ColumnKind::DateTime).toDateTime();
        return field.type == F::Date ? values::dateText(at.date()) : values::dateTimeText(at);
    }
    return value.toString();
}

QVariant FieldText::toDb(const RefKind::Field &field, const QString &text)
{
    using F = RefKind::FieldType;
    const QString t = text.trimmed();
    if (field.type == F::Active)
        return active(t).value_or(true) ? 1 : 0;
    if (t.isEmpty())
        return field.type == F::Decimal ? Decimal::null() : QVariant(QMetaType::fromType<QString>());
    if (field.type == F::Decimal) {
        const std::optional<Decimal> d = values::parseNumber(t);
        return d ? d->normalized().toVariant() : Decimal::null();
    }
    if (field.type == F::Date) {
        const std::optional<QDate> day = values::parseDate(t);
        return day ? QVariant(QDateTime(*day, QTime(0, 0))) : QVariant(t);
    }
    if (field.type == F::Moment) {
        const std::optional<QDateTime> at = values::parseDateTime(t);
        return at ? QVariant(*at) : QVariant(t);
    }
    return t;
}

QString FieldText::canonical(const RefKind::Field &field, const QString &text)
{
    using F = RefKind::FieldType;
    const QString t = text.trimmed();
    if (field.type == F::Active)
        return active(t).value_or(true) ? QStringLiteral("1") : QStringLiteral("0");
    if (field.type == F::Decimal && !t.isEmpty()) {
        if (const std::optional<Decimal> d = values::parseNumber(t); d && d->isValid())
            return values::numberText(*d);
    }
    if (field.type == F::Date && !t.isEmpty()) {
        if (const std::optional<QDate> day = values::parseDate(t))
            return values::dateText(*day);
    }
    if (field.type == F::Moment && !t.isEmpty()) {
        if (const std::optional<QDateTime> at = values::parseDateTime(t))
            return values::dateTimeText(*at);
    }
    return t;
}

std::optional<bool> FieldText::active(const QString &text)
{
    const QString t = text.trimmed().toLower();
    static const QStringList yes{QString(), QStringLiteral("1"), QStringLiteral("是"), QStringLiteral("y"),
                                 QStringLiteral("yes"), QStringLiteral("true"), QStringLiteral("使用中")};
    static const QStringList no{QStringLiteral("0"), QStringLiteral("否"), QStringLiteral("n"), QStringLiteral("no"),
                                QStringLiteral("false"), QStringLiteral("停用")};
    if (yes.contains(t))
        return true;
    if (no.contains(t))
        return false;
    return std::nullopt;
}

} // namespace wip::reference
