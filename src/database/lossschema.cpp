#include "database/lossschema.h"

#include "database/batchinserter.h"
#include "runtime/values.h"

#include <QSqlError>
#include <QSqlQuery>

namespace wip {

QList<TableDef> LossSchema::tables()
{
    using T = ColumnType;
    QList<TableDef> t;
    t.append({"loss_allowance",
              "the loss allowed at a process step in percent of the metal issued, per process and metal "
              "(a metal code, a family 18K/PT950, or NULL: the process's default)",
              {{"allowance_key", T::Text}, {"gongxu_code", T::Text}, {"metal", T::Text}, {"rate", T::Number}},
              {"allowance_key"}});
    t.append({"metal_recovery",
              "metal a refinery gave back from a department's sweepings and filings over a period "
              "(period_start to period_end, whole days): grams, who entered it and when",
              {{"recovery_key", T::Text}, {"gongxu_code", T::Text}, {"mcode", T::Text},
               {"period_start", T::DateTime}, {"period_end", T::DateTime}, {"grams", T::Number},
               {"entered_by", T::Text}, {"entered_at", T::DateTime}},
              {"recovery_key"}});
    return t;
}

QList<IndexDef> LossSchema::indexes()
{
    return {
        {"ix_loss_allowance_gongxu", "loss_allowance", {"gongxu_code", "metal"}},
        {"ix_metal_recovery_end", "metal_recovery", {"period_end", "gongxu_code"}},
    };
}

QList<ViewDef> LossSchema::views()
{
    return {{"view_metal_family",
             "each metal's family: a gold's karat (18K = purity 0.750 x 24), a platinum's PT and thousandths (PT950)",
             "select mcode, case when mtype = 'PT' then 'PT' || cast(cast(round(purate * 1000) as integer) as text) "
             "else cast(cast(round(purate * 24) as integer) as text) || 'K' end as family "
             "from material where mtype in ('GOLD', 'PT') and purate is not null"}};
}

const QList<LossSchema::Allowance> &LossSchema::startingAllowances()
{
    // Casting loses in the flask and the sprue, filing and polishing the most at
    // the bench; platinum is worked harder and lost less, low karats more.
    static const QList<Allowance> list = {
        {QStringLiteral("03-倒模"), QString(), QStringLiteral("1.5")},
        {QStringLiteral("03-倒模"), QStringLiteral("PT950"), QStringLiteral("1")},
        {QStringLiteral("04-执模"), QString(), QStringLiteral("1.5")},
        {QStringLiteral("04-执模"), QStringLiteral("18K"), QStringLiteral("1.2")},
        {QStringLiteral("04-执模"), QStringLiteral("14K"), QStringLiteral("1.4")},
        {QStringLiteral("04-执模"), QStringLiteral("9K"), QStringLiteral("1.8")},
        {QStringLiteral("04-执模"), QStringLiteral("PT950"), QStringLiteral("0.8")},
        {QStringLiteral("04-执模"), QStringLiteral("PT900"), QStringLiteral("0.9")},
        {QStringLiteral("06-镶石"), QString(), QStringLiteral("0.5")},
        {QStringLiteral("06-镶石"), QStringLiteral("PT950"), QStringLiteral("0.3")},
        {QStringLiteral("07-执边"), QString(), QStringLiteral("0.8")},
        {QStringLiteral("07-执边"), QStringLiteral("PT950"), QStringLiteral("0.5")},
        {QStringLiteral("08-打磨"), QString(), QStringLiteral("1")},
        {QStringLiteral("08-打磨"), QStringLiteral("18K"), QStringLiteral("0.9")},
        {QStringLiteral("08-打磨"), QStringLiteral("PT950"), QStringLiteral("0.6")},
        {QStringLiteral("09-电金"), QString(), QStringLiteral("0.1")},
    };
    return list;
}

QString LossSchema::allowanceKey(const QString &process, const QString &metal)
{
    return process + QLatin1Char('/') + (metal.isEmpty() ? QStringLiteral("*") : metal);
}

bool LossSchema::writeStartingAllowances(QSqlDatabase db, DbKind kind, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select count(*) from loss_allowance")) || !q.next()) {
        *error = q.lastError().text();
        return false;
    }
    if (q.value(0).toLongLong() > 0)
        return true;
    BatchInserter rows(db, kind, QStringLiteral("loss_allowance"),
                       {QStringLiteral("allowance_key"), QStringLiteral("gongxu_code"), QStringLiteral("metal"),
                        QStringLiteral("rate")});
    for (const Allowance &a : startingAllowances()) {
        if (!rows.add({allowanceKey(a.process, a.metal), a.process, a.metal.isEmpty() ? QVariant() : QVariant(a.metal),
                       values::parseNumber(a.rate)->toVariant()}))
            break;
    }
    if (rows.flush())
        return true;
    *error = rows.error();
    return false;
}

} // namespace wip
