#include "reports/valuecompare.h"

#include "runtime/decimal.h"

#include <QDateTime>

namespace wip::reports {

namespace {

bool isNumeric(int type)
{
    switch (type) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

} // namespace

int compareValues(const QVariant &a, const QVariant &b)
{
    const bool an = a.isNull();
    const bool bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const int ta = a.metaType().id();
    const int tb = b.metaType().id();
    if ((isNumeric(ta) || Decimal::isDecimal(a)) && (isNumeric(tb) || Decimal::isDecimal(b)))
        return Decimal::compare(*Decimal::fromVariant(a), *Decimal::fromVariant(b));
    if ((ta == QMetaType::QDateTime || ta == QMetaType::QDate) && (tb == QMetaType::QDateTime || tb == QMetaType::QDate)) {
        const QDateTime x = ta == QMetaType::QDate ? a.toDate().startOfDay() : a.toDateTime();
        const QDateTime y = tb == QMetaType::QDate ? b.toDate().startOfDay() : b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (ta == QMetaType::QString && tb == QMetaType::QString)
        return QString::compare(*static_cast<const QString *>(a.constData()),
                                *static_cast<const QString *>(b.constData()));
    return QString::compare(a.toString(), b.toString());
}

SortKey sortKey(const QVariant &value)
{
    SortKey key;
    key.value = &value;
    if (value.isNull())
        return key;
    const int type = value.metaType().id();
    if (Decimal::isDecimal(value)) {
        key.kind = SortKey::Kind::Decimal;
        key.decimal = static_cast<const Decimal *>(value.constData());
    } else if (isNumeric(type)) {
        key.kind = SortKey::Kind::Number;
        key.number = value.toDouble();
    } else if (type == QMetaType::QDateTime || type == QMetaType::QDate) {
        // Wall-clock order, as compareValues gives for the date-times of one column.
        const QDateTime dt = type == QMetaType::QDate ? value.toDate().startOfDay() : value.toDateTime();
        key.kind = SortKey::Kind::Number;
        key.number = double(dt.date().toJulianDay()) * 86400000.0 + double(dt.time().msecsSinceStartOfDay());
    } else if (type == QMetaType::QString) {
        key.kind = SortKey::Kind::Text;
        key.text = static_cast<const QString *>(value.constData());
    } else {
        key.kind = SortKey::Kind::Other;
    }
    return key;
}

int compareSortKeys(const SortKey &a, const SortKey &b)
{
    if (a.kind != b.kind) {
        if (a.kind == SortKey::Kind::Null || b.kind == SortKey::Kind::Null)
            return a.kind == SortKey::Kind::Null ? -1 : 1;
        return compareValues(*a.value, *b.value);
    }
    switch (a.kind) {
    case SortKey::Kind::Null:
        return 0;
    case SortKey::Kind::Number:
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    case SortKey::Kind::Decimal:
        return Decimal::compare(*a.decimal, *b.decimal);
    case SortKey::Kind::Text:
        return QString::compare(*a.text, *b.text);
    case SortKey::Kind::Other:
        return compareValues(*a.value, *b.value);
    }
    return 0;
}

} // namespace wip::reports
