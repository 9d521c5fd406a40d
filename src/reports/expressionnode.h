#pragma once

#include "reports/expression.h"
#include "reports/expressionfunctions.h"
#include "reports/expressionlexer.h"

#include <QString>
#include <QVariant>
#include <algorithm>
#include <memory>
#include <vector>

namespace wip::reports {

enum class AggregateRange { All, Group, Crosstab };

// One node of a parsed expression. The parser builds the tree; the evaluator
// walks it per row. Internal to the expression evaluator.
//
//   "sum(qty for group 1) * material_purate"
//     Binary(*)
//       Aggregate(sum, Group 1)
//         Name(qty)
//       Name(material_purate)
struct Expression::Node
{
    enum class Kind { Literal, Name, Negate, Not, Binary, And, Or, If, Call, Aggregate };

    Kind kind = Kind::Literal;
    QVariant literal;                 // Literal
    QString name;                     // Name (lower case)
    ExprTok op = ExprTok::End;        // Binary: the operator's token
    const BuiltinFunction *function = nullptr; // If, Call, Aggregate
    AggregateRange range = AggregateRange::All; // Aggregate
    int groupLevel = 0;               // Aggregate over AggregateRange::Group
    quint64 aggregateId = 0;          // Aggregate: key of its cached results, unique in the process
    int depth = 1;                    // height of the subtree
    std::vector<std::unique_ptr<Node>> children;

    explicit Node(Kind k) : kind(k) {}

    void add(std::unique_ptr<Node> child)
    {
        depth = std::max(depth, child->depth + 1);
        children.push_back(std::move(child));
    }
};

} // namespace wip::reports
