#pragma once

#include "reports/definition.h"
#include "reports/querytemplate.h"
#include "runtime/transaction.h"

#include <QVariant>
#include <QVariantList>

#include <functional>
#include <optional>

namespace wip::reports {

// Asked by Retrieve for each argument that got no value. Returns the value, or
// nullopt when the user cancels (Retrieve then returns -1). Set once by the UI.
using ArgumentPrompter =
    std::function<std::optional<QVariant>(const Argument &argument, const Definition &definition)>;
void setArgumentPrompter(ArgumentPrompter prompter);
const ArgumentPrompter &argumentPrompter();

// The values a retrieval binds to a definition's arguments.
//
// A date argument is a whole calendar day. Where it ends a range it stands for
// the day's last moment, so that "between :a and :b" takes every row from a at
// 00:00:00 up to, not including, the day after b - the afternoon of b as well
// as its midnight - and a time stamp of b never falls out of a report or of the
// day's recomputation. The bound comes from the comparison around each
// placeholder (QueryTemplate::DayBound): the start of a range, ">=" and "<" take
// midnight; the end of a range, "<=" and ">" take the last moment, which is
// written "yyyy-mm-dd 23:59:59.999999": PostgreSQL's timestamps stop at the
// microsecond, and SQLite's date texts of that day all sort before it. Rows
// stamped at midnight count as they always did.
class RetrievalArguments
{
public:
    // The definition's arguments in order: the given values (those beyond the
    // arguments ignored), the missing ones asked of the ArgumentPrompter.
    // nullopt when one is not given (no prompter, or the user cancels).
    static std::optional<QVariantList> complete(const Definition &definition, const QVariantList &given);

    // The values a nested report of a composite is retrieved with: those the
    // nested entry names, else by the nested report's argument names where the
    // composite has them, else by position.
    static QVariantList forNested(const Definition &composite, int nestedIndex, const Definition &nested,
                                  const QVariantList &values);

    // A value as its argument's type (lists as QVariantList, dates as QDate).
    // A value that cannot be one: HostError(ErrBadArgument) naming the argument.
    static QVariant typed(const Argument &argument, const QVariant &value, const QString &definition);
    // Every value of complete() in its argument's type.
    static QVariantList typed(const Definition &definition, const QVariantList &values);

    // What a typed value binds as at a placeholder with that day bound.
    static QVariant bindable(const Argument &argument, const QVariant &typed, QueryTemplate::DayBound bound, DbKind kind);
};

} // namespace wip::reports
