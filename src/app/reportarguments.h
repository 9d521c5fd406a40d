#pragma once

#include "reports/definition.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVariantList>
#include <optional>

namespace wip {

// Turns the report command's --arg NAME=VALUE pairs into the retrieval values of
// a definition, in the order the definition declares its arguments. Names match
// without regard to case. A string is taken as given, a number must read as one,
// a date as YYYY-MM-DD (a date-time also as YYYY-MM-DD HH:MM:SS); a list argument
// collects every --arg of its name (none gives an empty list). A name the
// definition does not declare, a missing or repeated single argument, or a value
// of the wrong kind is refused with a message naming it.
class ReportArguments
{
public:
    static std::optional<QVariantList> bind(const reports::Definition &definition,
                                            const QList<QPair<QString, QString>> &given,
                                            QString *error);
};

} // namespace wip
