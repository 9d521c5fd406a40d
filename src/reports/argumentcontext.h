#pragma once

#include "reports/definition.h"
#include "reports/expression.h"

#include <QVariantList>

namespace wip::reports {

// The retrieval values of a report as names an expression reads: a heading text
// that follows the arguments ("pcode + '过货统计报表'") evaluates over one row
// whose items are the arguments, dates as the start of their day, a list as its
// values joined by ", ".
//
//   d_wip_protran retrieved with ("05-镶石收发", 2004-05-01, 2004-05-31):
//   item(1, "pcode") = "05-镶石收发", item(1, "stdate") = 2004-05-01 00:00:00
class ArgumentContext : public ExpressionContext
{
public:
    // values: one per argument of definition, in its order (as Retrieve kept them).
    ArgumentContext(const Definition &definition, const QVariantList &values);

    int rowCount() const override { return 1; }
    bool hasName(const QString &name) const override;
    QVariant item(int row, const QString &name) const override;
    std::pair<int, int> groupRange(int, int) const override { return {1, 1}; }

    // The text of expression over the values; empty when it does not parse or
    // gives NULL. Dates read as yyyy-mm-dd through string(date, 'yyyy-mm-dd').
    static QString text(const QString &expression, const Definition &definition, const QVariantList &values);

private:
    const Definition &m_definition;
    QVariantList m_values;
};

} // namespace wip::reports
