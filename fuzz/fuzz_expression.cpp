// Fuzzes the expression parser and evaluator: any text either parses or is
// refused with a message, and a parsed expression evaluates on every row of a
// small report (and on the row 0 of a report without rows) without a fault.
#include "fuzzsupport.h"

#include "reports/expression.h"

using wip::fuzz::TableContext;
using wip::reports::Expression;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const TableContext table;
    const QString text = wip::fuzz::textOf(data, size);

    QString error;
    const auto expression = Expression::parse(text, &error);
    if (!expression) {
        WIP_FUZZ_CHECK(!error.isEmpty(), text);
        return 0;
    }
    (void)expression->text();
    (void)expression->referencedNames();
    (void)expression->hasAggregate();
    for (int row = 0; row <= table.rowCount(); ++row) {
        const QVariant value = expression->evaluate(table, row);
        (void)Expression::isTrue(value);
        (void)expression->test(table, row);
    }
    return 0;
}
