#include "runtime/localtimezone.h"

#include <QFileInfo>
#include <QtGlobal>

#include <ctime>

namespace wip {

bool LocalTimeZone::readOnce()
{
#ifdef Q_OS_LINUX
    static const char *const zoneFile = "/etc/localtime";
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo::exists(QString::fromLatin1(zoneFile)))
        return false;
    qputenv("TZ", QByteArray(":") + zoneFile);
    tzset();
    return true;
#else
    return false;
#endif
}

} // namespace wip
