#pragma once

#include <QString>

#include <functional>

namespace wip::import {

// Who may import files: the one place that reads the right "导入 import".
//
// The right is the rights text qxpd(user, "M10", "H03"): a text ending in "A"
// grants it. An administrator, whose sales-contract rights qxpd(user, "M05",
// "H06") end in "A", holds every right and so this one. Exporting needs no right:
// it shows what the window shows.
class ImportRights
{
public:
    using Lookup = std::function<QString(const QString &module, const QString &function)>;

    static QString module();     // "M10"
    static QString function();   // "H03"

    // Whether the rights texts that lookup gives grant importing.
    static bool granted(const Lookup &lookup);
    // The same for a user through qxpd (the application's rights look-up).
    static bool mayImport(const QString &userCode);
    static QString refusal(const QString &userCode);
};

} // namespace wip::import
