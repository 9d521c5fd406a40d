#pragma once

#include "reports/expression.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace wip::reports {

// What a built-in function sees besides its arguments: the rows and the row.
struct EvalEnv
{
    const ExpressionContext &context;
    int row;
};

enum class AggregateKind { None, Sum, Count, Avg, Min, Max };

// One entry of the table of built-in functions: its name (lower case), the
// number of arguments the parser accepts, and what computes it. if() and the
// aggregates have no impl: the evaluator runs them over the tree.
struct BuiltinFunction
{
    using Impl = QVariant (*)(const QVariantList &args, const EvalEnv &env);

    const char *name;
    int minArgs;
    int maxArgs;
    Impl impl;
    AggregateKind aggregate = AggregateKind::None;
};

// The built-in function of that lower-case name, or nullptr.
const BuiltinFunction *findBuiltinFunction(const QString &lowerName);

} // namespace wip::reports
