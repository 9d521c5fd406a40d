#include "reports/valuecompare.h"

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
    if (isNumeric(ta) && isNumeric(tb)) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
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

} // namespace wip::reports
