#include "runtime/widgets/desktopfileopener.h"

#include "runtime/fileopener.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace wip {

void installDesktopFileOpener()
{
    FileOpener::setHandler([](const QString &localPath) {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            return false;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(localPath));
    });
}

} // namespace wip
