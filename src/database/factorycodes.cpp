#include "database/factorycodes.h"

#include "database/batchinserter.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace wip {

namespace {

// The (code, name) pairs a code table holds; false when it cannot be read.
bool existing(QSqlDatabase &db, const QString &sql, QSet<QString> *pairs, QSet<QString> *codes, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        *error = q.lastError().text();
        return false;
    }
    while (q.next()) {
        codes->insert(q.value(0).toString());
        pairs->insert(q.value(0).toString() + QLatin1Char('\n') + q.value(1).toString());
    }
    return true;
}

bool writeTable(QSqlDatabase db, DbKind kind, const QString &table, const QStringList &columns,
                const QList<FactoryCodes::Code> &codes, bool byCode, bool onlyIntoEmpty, QString *error)
{
    QSet<QString> pairs;
    QSet<QString> present;
    if (!existing(db, QStringLiteral("select %1 from %2").arg(columns.join(QStringLiteral(", ")), table), &pairs,
                  &present, error))
        return false;
    if (onlyIntoEmpty && !present.isEmpty())
        return true;
    BatchInserter rows(db, kind, table, columns);
    for (const FactoryCodes::Code &c : codes) {
        const bool there = byCode ? present.contains(c.code) : pairs.contains(c.code + QLatin1Char('\n') + c.name);
        if (!there)
            rows.add({c.code, c.name});
    }
    if (rows.flush())
        return true;
    *error = rows.error();
    return false;
}

} // namespace

const QList<FactoryCodes::Code> &FactoryCodes::processCodes()
{
    static const QList<Code> list = {
        {QStringLiteral("01-唧腊"), QStringLiteral("WAX")},
        {QStringLiteral("02-修腊"), QStringLiteral("WAX TRIM")},
        {QStringLiteral("03-倒模"), QStringLiteral("CASTING")},
        {QStringLiteral("04-执模"), QStringLiteral("FILING")},
        {QStringLiteral("05-出水"), QStringLiteral("PICKLING")},
        {QStringLiteral("06-镶石"), QStringLiteral("SETTING")},
        {QStringLiteral("07-执边"), QStringLiteral("FINISHING")},
        {QStringLiteral("08-打磨"), QStringLiteral("POLISHING")},
        {QStringLiteral("09-电金"), QStringLiteral("PLATING")},
        {QStringLiteral("11-外发"), QStringLiteral("OUTSIDE")},
        {QStringLiteral("12-石仓"), QStringLiteral("STONE STORE")},
        {QStringLiteral("13-金仓"), QStringLiteral("GOLD STORE")},
        {QStringLiteral("20-出货"), QStringLiteral("SHIPPING")},
        {QStringLiteral("SPL_FIL"), QStringLiteral("SPECIAL FILING")},
        {QStringLiteral("SPL_SET"), QStringLiteral("SPECIAL SETTING")},
        {QStringLiteral("SPL_FIN"), QStringLiteral("SPECIAL FINISHING")},
        {QStringLiteral("SPL_POL"), QStringLiteral("SPECIAL POLISHING")},
        // The factory lists filing twice (two filing rooms); the windows show it once.
        {QStringLiteral("04-执模"), QStringLiteral("FILING ROOM 2")},
    };
    return list;
}

const QList<FactoryCodes::Code> &FactoryCodes::stockCodes()
{
    static const QList<Code> list = {
        {QStringLiteral("01-金仓收发"), QStringLiteral("Gold Stock")},
        {QStringLiteral("02-石仓收发"), QStringLiteral("Stone Stock")},
        {QStringLiteral("03-Tarvel金仓"), QStringLiteral("Tarvel Stock")},
        {QStringLiteral("04-执模收发"), QStringLiteral("Filing Stock")},
        {QStringLiteral("05-镶石收发"), QStringLiteral("Setting Stock")},
        {QStringLiteral("06-执边收发"), QStringLiteral("Finishing Stock")},
        {QStringLiteral("07-打磨收发"), QStringLiteral("Polishing Stock")},
        {QStringLiteral("08-电金收发"), QStringLiteral("Rhodium Stock")},
        {QStringLiteral("12-外工收发"), QStringLiteral("OutSide Stock")},
        {QStringLiteral("20-成品PRODUCT"), QStringLiteral("Product Stock")},
        {QStringLiteral("21-蜡仓收发"), QStringLiteral("Wax Stock")},
    };
    return list;
}

bool FactoryCodes::write(QSqlDatabase db, DbKind kind, bool onlyIntoEmpty, QString *error)
{
    return writeTable(db, kind, QStringLiteral("gongxu"), {QStringLiteral("gongxu_code"), QStringLiteral("gongxu_name")},
                      processCodes(), false, onlyIntoEmpty, error)
        && writeTable(db, kind, QStringLiteral("stock"), {QStringLiteral("stock_code"), QStringLiteral("stock_name")},
                      stockCodes(), true, onlyIntoEmpty, error);
}

} // namespace wip
