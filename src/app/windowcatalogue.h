#pragma once

#include "database/rightscatalogue.h"

#include <QString>
#include <QVector>

namespace wip {

// What the application says about each of its windows, one line per window
// class: the launcher's name for it (which tells windows with the same title
// apart), the spoken name of the status bar and tool tips, its icon, and
// whether the launcher offers it (to every user, or to those holding one of the
// rights it needs). A window added to the application is one more
// line here; a class that this build does not register is shown greyed.
struct WindowInfo
{
    QString className;   // w_wip_today ...
    QString caption;     // 在做资料 (部门) ...
    QString hint;        // 产量统计报表: 部门过货统计 ...
    QString icon;        // a name of AppIcons
    bool inLauncher = false;
    Rights needs = {};   // offered only to a user holding one of these rights (none: to everyone)
};

class WindowCatalogue
{
public:
    static const QVector<WindowInfo> &all();
    static QVector<WindowInfo> launcherEntries();      // in the launcher's order
    static const WindowInfo *find(const QString &className);   // nullptr when not listed

    // Gives the runtime the icon of each listed window class (Window::setClassIcon).
    static void registerIcons();
};

} // namespace wip
