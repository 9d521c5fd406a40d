#pragma once

#include <QString>

namespace wip::reference {

// Who may add, edit, deactivate and delete reference data: the one place of the
// reference layer that reads the right "资料 reference data", which the rights
// catalogue names (Right::ReferenceData, the text qxpd(user, "M10", "H02")
// ending in "A"; 用户与权限 and `wip user grant` write it).
class ReferenceRights
{
public:
    static bool mayEdit(const QString &userCode);
    // The refusal shown for a user without the right.
    static QString refusal(const QString &userCode);
};

} // namespace wip::reference
