#include "import/importkind.h"

namespace wip::import {

QList<ImportColumn> ImportKind::exportedColumns() const
{
    QList<ImportColumn> list;
    for (const ImportColumn &c : columns()) {
        if (c.exported)
            list << c;
    }
    return list;
}

} // namespace wip::import
