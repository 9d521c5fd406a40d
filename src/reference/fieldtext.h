#pragma once

#include "reference/refkind.h"

#include <QString>
#include <QVariant>

#include <optional>

namespace wip::reference {

// The text of a reference-data field and the value its column keeps, both ways:
//
//   Decimal  "0.75" <-> 0.750 (shown with the field's places: "0.750")
//   Active   "1", "是", "Y", "yes", "true", "" <-> 1;  "0", "否", "N", "no", "false" <-> 0
//   others   the text without the blanks around it; "" <-> NULL
//
// canonical() is what two texts are compared by, to tell a change from a row
// read back as it was ("0.750" and "0.75" are the same purity).
class FieldText
{
public:
    static QString fromDb(const RefKind::Field &field, const QVariant &value);
    static QVariant toDb(const RefKind::Field &field, const QString &text);
    static QString canonical(const RefKind::Field &field, const QString &text);
    // Whether an Active text means in use; nullopt for a text that says neither.
    static std::optional<bool> active(const QString &text);
};

} // namespace wip::reference
