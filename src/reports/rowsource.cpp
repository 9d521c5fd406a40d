#include "reports/rowsource.h"

#include "reports/qtrowsource.h"
#include "reports/sqliterowsource.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip::reports {

std::unique_ptr<RowSource> RowSource::open(Transaction &transaction, const QString &sql, const QVariantList &values,
                                           QString *error)
{
    const DbKind kind = transaction.kind();
    QVector<QVariant> bound;
    bound.reserve(values.size());
    for (const QVariant &v : values)
        bound.append(toDbValue(v, kind));
    if (kind == DbKind::SQLite && SqliteRowSource::usable(transaction.database()))
        return SqliteRowSource::open(transaction.database(), sql, bound, error);
    return QtRowSource::open(transaction.database(), sql, bound, error);
}

int RowSource::columnIndex(const QString &name) const
{
    const QStringList names = columnNames();
    for (int c = 0; c < names.size(); ++c) {
        if (names.at(c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

} // namespace wip::reports
