#include "app/buildinfo.h"

#include "wip_buildinfo.h"

namespace wip {

QString BuildInfo::version()
{
    return QStringLiteral(WIP_VERSION_TEXT);
}

QString BuildInfo::commit()
{
    return QStringLiteral(WIP_COMMIT_TEXT);
}

QString BuildInfo::versionLine()
{
    const QString line = QStringLiteral("wip ") + version();
    return commit().isEmpty() ? line : line + QStringLiteral(" (commit %1)").arg(commit());
}

} // namespace wip
