#pragma once

#include "import/importkind.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace wip::import {

// The kinds that this program imports and exports, as the layers that own them
// added them at start (reference::addImportKinds(), the contracts' kind).
class ImportKinds
{
public:
    // Adds a kind; one of the same name is replaced.
    static void add(std::unique_ptr<ImportKind> kind);
    static ImportKind *find(const QString &name);   // without regard to case; nullptr when unknown
    static QList<ImportKind *> all();
    static QStringList names();
};

} // namespace wip::import
