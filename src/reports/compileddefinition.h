#pragma once

#include "reports/definition.h"
#include "reports/expression.h"
#include "reports/querytemplate.h"

#include <QVector>
#include <memory>
#include <vector>

namespace wip::reports {

// What a definition needs at run time, parsed once and shared by every DataStore
// that shows it: the query split at its placeholders, the computed fields (and a
// crosstab's totals after them) with their parsed expressions, and the crosstab's
// value expressions.
struct CompiledDefinition
{
    QueryTemplate query;
    QVector<ComputedField> fields;                        // computed fields, then crosstab totals
    std::vector<std::unique_ptr<Expression>> expressions; // one per field
    std::vector<std::unique_ptr<Expression>> crosstabValues;

    // The compiled form of a definition, made on first use and kept while the
    // definition lives. An expression that does not parse (the loader refuses
    // those; a definition built in code may have one): HostError(ErrBadExpression).
    // The column a computed field sums over every row when its expression is
    // exactly "sum(column for all)"; empty for any other field or an unknown name.
    QString summedColumn(const QString &field) const;
    // The column a crosstab total sums over the source rows of its pivot row when
    // it adds up the cells of one value ("crosstabsum(n)") and that value sums a
    // column over its cell ("sum(column for crosstab)"): the cells split the row's
    // rows, so their sum is the column's sum over the row. Empty for any other
    // field or an unknown name.
    QString crosstabTotalColumn(const QString &total) const;

    static std::shared_ptr<const CompiledDefinition> of(const std::shared_ptr<const Definition> &definition);
};

} // namespace wip::reports
