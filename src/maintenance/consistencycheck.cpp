#include "maintenance/consistencycheck.h"

#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "desk/scanstation.h"
#include "runtime/cursor.h"
#include "runtime/decimal.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

#include <QMap>
#include <QSet>

namespace wip {

namespace {

const QString kWorkersStock = QStringLiteral("11-工人在做仓");

Decimal number(const QVariant &value)
{
    return Decimal::fromVariant(fromDbValue(value, ColumnKind::Number)).value_or(Decimal::fromInt(0));
}

QDateTime dateTime(const QVariant &value)
{
    return fromDbValue(value, ColumnKind::DateTime).toDateTime();
}

// A bag as the clerk knows it, its ticket "KC1-2" and its metal; a row
// without its line names the contract only.
QString bag(const QVariant &scno, const QVariant &lineNo, const QVariant &metal = {})
{
    QString text = lineNo.isNull() ? scno.toString() : QStringLiteral("%1-%2").arg(scno.toString(), lineNo.toString());
    if (!metal.toString().trimmed().isEmpty())
        text += QStringLiteral(" (%1)").arg(metal.toString().trimmed());
    return text;
}

QString holding(const QVariant &pcs, const QVariant &weight)
{
    return QStringLiteral("%1 pieces and %2 g").arg(DeskInput::count(number(pcs)), DeskInput::grams(number(weight)));
}

// The department a bag counts at in the progress record: the one it is at or
// out from, or, passed on and not received yet, the one it goes to (转出 added
// it to that department's received figure already).
QString countsAt(const QString &place, const QString &gongxu, const QString &next)
{
    return place == QLatin1String("transit") ? next : gongxu;
}

} // namespace

ConsistencyCheck::ConsistencyCheck(Transaction &tr, Options options)
    : m_tr(tr), m_options(options)
{
    if (!m_options.now.isValid())
        m_options.now = QDateTime::currentDateTime();
}

bool ConsistencyCheck::each(const QString &sql, const QVariantList &values, const Row &row)
{
    Cursor cursor(m_tr, sql, values);
    if (!cursor.open()) {
        m_error = m_tr.sqlErrText;
        return false;
    }
    while (const auto r = cursor.fetch())
        row(*r);
    const bool ok = m_tr.sqlCode != -1;
    if (!ok)
        m_error = m_tr.sqlErrText;
    cursor.close();
    return ok;
}

bool ConsistencyCheck::run(QList<Finding> *findings)
{
    return unknownContracts(findings) && negativeHoldings(findings) && transfersNotReceived(findings)
        && progressAgrees(findings);
}

bool ConsistencyCheck::unknownContracts(QList<Finding> *findings)
{
    for (const char *table : {"proch", "proch_new", "work_report", "jcjl_mattran"}) {
        // A row without a contract (raw metal moved between stocks) names none.
        const QString sql = QStringLiteral("select t.scno, count(*) from %1 t where trim(t.scno) <> '' "
                                           "and not exists (select 1 from sconh h where h.scno = t.scno) "
                                           "group by t.scno order by t.scno")
                                .arg(QLatin1String(table));
        const bool ok = each(sql, {}, [&](const QVariantList &r) {
            const qlonglong rows = r.value(1).toLongLong();
            findings->append({QStringLiteral("unknown-contract"),
                              QStringLiteral("%1: %2 %3 contract %4, which the sales contracts (sconh) do not hold")
                                  .arg(QLatin1String(table))
                                  .arg(rows)
                                  .arg(rows == 1 ? QStringLiteral("row names") : QStringLiteral("rows name"),
                                       r.value(0).toString())});
        });
        if (!ok)
            return false;
    }
    return true;
}

bool ConsistencyCheck::negativeHoldings(QList<Finding> *findings)
{
    const auto add = [findings](const QString &text) { findings->append({QStringLiteral("negative-holding"), text}); };
    // An open proch_new row: NULL, or the factory's placeholder before 1900-01-02.
    const QDateTime placeholder(QDate(1900, 1, 2), QTime(0, 0));
    // Grams have three decimals: a sum below half a milligram under nothing is
    // negative, whatever a sum of binary doubles leaves over (SQLite's own sum).
    const double belowNothing = -0.0005;
    const bool steps = each(
        QStringLiteral("select p.gongxu_code, coalesce(p.changhao, ''), p.scno, d.line_no, d.metal, sum(p.qty), "
                       "sum(p.weight) from proch_new p left join scond d on d.scond_id = p.scond_id "
                       "where p.edtime is null or p.edtime < ? "
                       "group by p.gongxu_code, coalesce(p.changhao, ''), p.scno, d.line_no, d.metal "
                       "having sum(p.qty) < 0 or sum(p.weight) < ? order by 1, 2, 3, 4"),
        {placeholder, belowNothing}, [&](const QVariantList &r) {
            const QString who = r.value(1).toString().isEmpty()
                ? QStringLiteral("the desk of %1").arg(r.value(0).toString())
                : QStringLiteral("worker %1 of %2").arg(r.value(1).toString(), r.value(0).toString());
            add(QStringLiteral("%1 holds %2 of bag %3 (open proch_new rows)")
                    .arg(who, holding(r.value(5), r.value(6)), bag(r.value(2), r.value(3), r.value(4))));
        });
    const bool sheets = steps && each(
        QStringLiteral("select w.gongxu, w.changhao, w.scno, d.line_no, w.mcode, sum(w.pen_pcs), sum(w.pen_weight) "
                       "from work_report w left join scond d on d.scond_id = w.scond_id where w.zt = ? "
                       "group by w.gongxu, w.changhao, w.scno, d.line_no, w.mcode "
                       "having sum(w.pen_pcs) < 0 or sum(w.pen_weight) < ? order by 1, 2, 3, 4"),
        {QStringLiteral("PEN"), belowNothing}, [&](const QVariantList &r) {
            add(QStringLiteral("worker %1 of %2 holds %3 of bag %4 (pending work_report lines)")
                    .arg(r.value(1).toString(), r.value(0).toString(), holding(r.value(5), r.value(6)),
                         bag(r.value(2), r.value(3), r.value(4))));
        });
    const bool open = sheets && each(
        QStringLiteral("select worksheet, scno, gongxu_code, changhao, pcs, weight from work_wip "
                       "where pcs < 0 or weight < 0 order by worksheet"),
        {}, [&](const QVariantList &r) {
            add(QStringLiteral("worker %1 of %2 holds %3 of contract %4 on open sheet %5 (work_wip)")
                    .arg(r.value(3).toString(), r.value(2).toString(), holding(r.value(4), r.value(5)),
                         r.value(1).toString(), r.value(0).toString()));
        });
    return open && each(
        QStringLiteral("select b.scno, d.line_no, d.metal, b.place, b.gongxu_code, b.pcs, b.weight from bag_place b "
                       "left join scond d on d.scond_id = b.scond_id where b.pcs < 0 or b.weight < 0 "
                       "order by b.scno, d.line_no"),
        {}, [&](const QVariantList &r) {
            add(QStringLiteral("the desk of %1 holds %2 of bag %3 (bag_place, the bag at: %4)")
                    .arg(r.value(4).toString(), holding(r.value(5), r.value(6)), bag(r.value(0), r.value(1), r.value(2)),
                         r.value(3).toString()));
        });
}

bool ConsistencyCheck::transfersNotReceived(QList<Finding> *findings)
{
    const QDateTime cutoff = m_options.now.addDays(-m_options.days);
    return each(
        QStringLiteral("select t.mattran_no, t.scno, d.line_no, t.fcode, t.tcode, t.ldate, t.qtycal, t.qtyref, t.mcode "
                       "from jcjl_mattran t left join scond d on d.scond_id = t.scond_id "
                       "where t.zt = ? and (t.tcode is null or t.tcode <> ?) and t.ldate < ? "
                       "order by t.ldate, t.mattran_no"),
        {QStringLiteral("BEGIN"), kWorkersStock, cutoff}, [&](const QVariantList &r) {
            const QDateTime sent = dateTime(r.value(5));
            const QString what = r.value(1).toString().isEmpty() ? r.value(8).toString()
                                                                 : QStringLiteral("bag ") + bag(r.value(1), r.value(2));
            findings->append({QStringLiteral("transfer-not-received"),
                              QStringLiteral("%1 of %2 from %3 to %4, sent %5 (%6), not received for %7 days")
                                  .arg(r.value(0).toString(), what, r.value(3).toString(), r.value(4).toString(),
                                       sent.toString(QStringLiteral("yyyy-MM-dd HH:mm")), holding(r.value(6), r.value(7)))
                                  .arg(sent.daysTo(m_options.now))});
        });
}

bool ConsistencyCheck::progressAgrees(QList<Finding> *findings)
{
    // The departments of the chain with a progress figure, and their columns.
    struct Column
    {
        QString gongxu, caption, in, out;
    };
    QList<Column> chain;
    QStringList sums;
    for (const DeskDepartment &d : DeskDepartment::all()) {
        if (const ScanDepartment *s = d.progress.isEmpty() ? nullptr : ScanDepartment::find(d.progress)) {
            chain.append({d.gongxu, d.caption, s->inColumn, s->outColumn});
            sums << QStringLiteral("sum(p.%1), sum(p.%2)").arg(s->inColumn, s->outColumn);
        }
    }
    QMap<QString, QMap<QString, Decimal>> bags;        // contract -> department -> pieces of its bags there
    QMap<QString, QVariantList> progress;              // contract -> the in and out sums, in chain order
    const bool read =
        each(QStringLiteral("select distinct scno from bag_place"), {},
             [&](const QVariantList &r) { bags[r.value(0).toString()]; })
        && each(QStringLiteral("select b.scno, b.place, b.gongxu_code, b.next_gongxu, sum(d.quantity) from bag_place b "
                               "join scond d on d.scond_id = b.scond_id where b.place in (?, ?, ?, ?) "
                               "group by b.scno, b.place, b.gongxu_code, b.next_gongxu"),
                {QStringLiteral("desk"), QStringLiteral("worker"), QStringLiteral("transit"), QStringLiteral("outside")},
                [&](const QVariantList &r) {
                    Decimal &pieces = bags[r.value(0).toString()][countsAt(r.value(1).toString(), r.value(2).toString(),
                                                                             r.value(3).toString())];
                    pieces = pieces + number(r.value(4));
                })
        && each(QStringLiteral("select p.scno, %1 from process p where p.scno in (select b.scno from bag_place b) "
                               "group by p.scno")
                    .arg(sums.join(QStringLiteral(", "))),
                {}, [&](const QVariantList &r) { progress.insert(r.value(0).toString(), r.mid(1)); });
    if (!read)
        return false;
    for (auto contract = bags.cbegin(); contract != bags.cend(); ++contract) {
        const QVariantList figures = progress.value(contract.key());
        for (qsizetype i = 0; i < chain.size(); ++i) {
            const Decimal in = number(figures.value(2 * i)), out = number(figures.value(2 * i + 1));
            const Decimal there = contract->value(chain[i].gongxu, Decimal::fromInt(0));
            if (in - out == there)
                continue;
            findings->append({QStringLiteral("progress-disagrees"),
                              QStringLiteral("%1 at %2: %3 pieces in the progress record (%4 %5 - %6 %7), %8 in its bags "
                                             "there (at the desk, with its workers, out, or passed on to it)")
                                  .arg(contract.key(), chain[i].caption, DeskInput::count(in - out), chain[i].in,
                                       DeskInput::count(in), chain[i].out, DeskInput::count(out),
                                       DeskInput::count(there))});
        }
    }
    return true;
}

} // namespace wip
