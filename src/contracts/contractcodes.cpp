#include "contracts/contractcodes.h"

#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

namespace wip {

QString ContractCodes::hallmarkFor(const QString &type, const std::optional<Decimal> &purity)
{
    if (!purity || !purity->isValid() || purity->sign() <= 0)
        return QString();
    const QString fineness = values::numberText((*purity * Decimal::fromInt(1000)).rounded(0));
    return type.trimmed().compare(QLatin1String("PT"), Qt::CaseInsensitive) == 0 ? QStringLiteral("PT") + fineness
                                                                                 : fineness;
}

bool ContractCodes::read(Transaction &tr)
{
    m_articles.clear();
    m_metals.clear();
    Cursor articles(tr, QStringLiteral("select article_code from article where article_code is not null "
                                       "order by article_code"));
    if (!articles.open())
        return false;
    while (const auto row = articles.fetch())
        m_articles << row->at(0).toString();
    if (tr.sqlCode == -1)
        return false;
    articles.close();
    Cursor metals(tr, QStringLiteral("select mcode, mtype, purate from material where mtype in ('GOLD', 'PT') "
                                     "order by mcode"));
    if (!metals.open())
        return false;
    while (const auto row = metals.fetch()) {
        const QString type = row->at(1).toString();
        m_metals.append({row->at(0).toString(), type,
                         hallmarkFor(type, Decimal::fromVariant(fromDbValue(row->at(2), ColumnKind::Number)))});
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
