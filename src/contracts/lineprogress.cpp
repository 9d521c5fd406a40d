#include "contracts/lineprogress.h"

#include "runtime/cursor.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

#include <QMap>
#include <QPair>

namespace wip {

namespace {

// A figure as stored or as the audit trail keeps it (text); NULL and anything
// not a number count as 0.
Decimal figure(const QVariant &value)
{
    if (value.isNull())
        return Decimal::fromInt(0);
    std::optional<Decimal> d = Decimal::fromVariant(value);
    if (!d && value.typeId() == QMetaType::QString)
        d = values::parseNumber(value.toString());
    return d && d->isValid() ? *d : Decimal::fromInt(0);
}

} // namespace

const QStringList &LineProgress::pieceColumns()
{
    static const QStringList columns = {"wax_in",      "wax_out",      "casting_in",    "casting_out",
                                        "filing_in",   "filing_out",   "setting_in",    "setting_out",
                                        "finishing_in", "finishing_out", "polishing_in", "polishing_out",
                                        "rhodium_in",  "rhodium_out"};
    return columns;
}

bool LineProgress::read(Transaction &tr, const QString &scno, ContractLineRules::Progress *progress)
{
    *progress = ContractLineRules::Progress();
    progress->contract = Decimal::fromInt(0);
    return readContract(tr, scno, &progress->contract) && readLines(tr, scno, progress);
}

bool LineProgress::readContract(Transaction &tr, const QString &scno, Decimal *pieces)
{
    Cursor record(tr, QStringLiteral("select %1 from process where scno = ?").arg(pieceColumns().join(", ")), {scno});
    if (!record.open())
        return false;
    while (const auto row = record.fetch()) {
        for (const QVariant &v : *row)
            *pieces = qMax(*pieces, figure(v));
    }
    if (tr.sqlCode == -1)
        return false;
    record.close();
    for (const char *table : {"proch", "proch_new"}) {
        const auto steps = tr.selectInto(
            QStringLiteral("select max(t.pieces) from (select sum(coalesce(qty, 0)) as pieces from %1 "
                           "where scno = ? group by gongxu_code) t").arg(QLatin1String(table)),
            {scno});
        if (!steps)
            return false;
        *pieces = qMax(*pieces, figure(steps->at(0)));
    }
    return true;
}

bool LineProgress::readLines(Transaction &tr, const QString &scno, ContractLineRules::Progress *progress)
{
    Cursor rows(tr, QStringLiteral("select scond_id, field, old_value, new_value from audit_log "
                                   "where scno = ? and scond_id is not null order by audit_id"),
                {scno});
    if (!rows.open())
        return false;
    QMap<QPair<long long, QString>, Decimal> moved;   // (line, column) -> pieces moved, net
    QMap<long long, int> standing;                     // line -> scans less undos
    while (const auto row = rows.fetch()) {
        const long long line = row->at(0).toLongLong();
        const QString field = row->at(1).toString();
        if (field.startsWith(QLatin1String("scan:"))) {
            standing[line] += row->at(3).isNull() ? -1 : 1;
        } else if (pieceColumns().contains(field)) {
            Decimal &net = moved[{line, field}];
            net = (net.isValid() ? net : Decimal::fromInt(0)) + figure(row->at(3)) - figure(row->at(2));
        }
    }
    if (tr.sqlCode == -1)
        return false;
    rows.close();
    for (auto it = moved.cbegin(); it != moved.cend(); ++it) {
        Decimal &most = progress->linePieces[it.key().first];
        most = qMax(most.isValid() ? most : Decimal::fromInt(0), it.value());
    }
    for (auto it = standing.cbegin(); it != standing.cend(); ++it) {
        if (it.value() > 0)
            progress->scanned.insert(it.key());
    }
    return true;
}

} // namespace wip
