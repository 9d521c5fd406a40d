#include "contracts/contractcodes.h"

#include "reference/fineness.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip {

QString ContractCodes::hallmarkFor(const QString &type, const std::optional<Decimal> &purity)
{
    if (!purity || !purity->isValid() || purity->sign() <= 0)
        return QString();
    return reference::Fineness::hallmarkFor(type.trimmed().toUpper(), *purity);
}

bool ContractCodes::read(Transaction &tr)
{
    m_articles.clear();
    m_metals.clear();
    // The codes in use (active NULL or 1): an inactive one is given to no new line.
    Cursor articles(tr, QStringLiteral("select article_code from article where article_code is not null "
                                       "and coalesce(active, 1) <> 0 order by article_code"));
    if (!articles.open())
        return false;
    while (const auto row = articles.fetch())
        m_articles << row->at(0).toString();
    if (tr.sqlCode == -1)
        return false;
    articles.close();
    Cursor metals(tr, QStringLiteral("select mcode, mtype, purate, hallmark from material "
                                     "where mtype in ('GOLD', 'PT') and coalesce(active, 1) <> 0 order by mcode"));
    if (!metals.open())
        return false;
    while (const auto row = metals.fetch()) {
        // The metal's own hallmark, or else the one its purity gives.
        const QString type = row->at(1).toString();
        QString hallmark = row->at(3).toString().trimmed();
        if (hallmark.isEmpty())
            hallmark = hallmarkFor(type, Decimal::fromVariant(fromDbValue(row->at(2), ColumnKind::Number)));
        m_metals.append({row->at(0).toString(), type, hallmark});
    }
    const bool ok = tr.sqlCode != -1;
    metals.close();
    return ok;
}

QString ContractCodes::hallmarkOf(const QString &metal) const
{
    for (const Metal &m : m_metals) {
        if (m.code == metal.trimmed())
            return m.hallmark;
    }
    return QString();
}

} // namespace wip
