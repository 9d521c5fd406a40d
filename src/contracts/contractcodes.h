#pragma once

#include "runtime/decimal.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace wip {

class Transaction;

// The codes a contract line is made of, for the lists of the sales-contract
// forms: the articles of the styles in use, and the metals in use (the gold
// and platinum of the materials) with the hallmark a line of each is stamped
// with by default: the metal's own, or else its fineness in thousandths
// ("750", "PT950" for platinum, reference::Fineness).
class ContractCodes
{
public:
    struct Metal
    {
        QString code;
        QString type;        // GOLD, PT
        QString hallmark;    // "" when the purity is unknown
    };

    // False, with tr's status, when they cannot be read.
    bool read(Transaction &tr);

    const QStringList &articles() const { return m_articles; }
    const QList<Metal> &metals() const { return m_metals; }
    // The hallmark of a metal code ("" for an unknown one).
    QString hallmarkOf(const QString &metal) const;

    // 0.750 GOLD -> "750", 0.95 PT -> "PT950", no purity -> "".
    static QString hallmarkFor(const QString &type, const std::optional<Decimal> &purity);

private:
    QStringList m_articles;
    QList<Metal> m_metals;
};

} // namespace wip
