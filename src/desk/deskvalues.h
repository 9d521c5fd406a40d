#pragma once

#include "desk/deskinput.h"
#include "runtime/decimal.h"
#include "runtime/sqlvalue.h"

#include <QString>
#include <QVariant>

// The small conversions the desk's files share: values read from the step and
// transfer tables, and figures in the words of the desk's messages.
namespace wip::deskvalues {

// The stock that holds what the workers have been issued.
inline const QString kWorkersStock = QStringLiteral("11-工人在做仓");

// A text column's value, trimmed; NULL as empty.
inline QString text(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString().trimmed();
}

// A number column's value as an exact decimal; NULL as 0.
inline Decimal number(const QVariant &value)
{
    return Decimal::fromVariant(fromDbValue(value, ColumnKind::Number)).value_or(Decimal::fromInt(0));
}

inline QVariant num(const Decimal &d) { return d.toVariant(); }
inline Decimal zero() { return Decimal::fromInt(0); }
inline QString count(const Decimal &d) { return DeskInput::count(d); }
inline QString grams(const Decimal &d) { return DeskInput::grams(d); }

} // namespace wip::deskvalues
