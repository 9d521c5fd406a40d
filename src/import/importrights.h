#pragma once

#include <QString>

#include <functional>

namespace wip::import {

// Who may import files: the one place that asks for the right "导入 import"
// (RightsCatalogue's Right::Import). Exporting needs no right: it shows what the
// reference-data window shows.
class ImportRights
{
public:
    using Lookup = std::function<QString(const QString &module, const QString &function)>;

    // Whether the rights texts that lookup gives grant importing.
    static bool granted(const Lookup &lookup);
    // The same for a user through qxpd (the application's rights look-up).
    static bool mayImport(const QString &userCode);
    static QString refusal(const QString &userCode);
};

} // namespace wip::import
