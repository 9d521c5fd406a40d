#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace wip {

// The icons drawn for Wip, compiled in as SVG under :/icons/ (src/app/icons/):
// the application's own ("wip"), one per window, the tools and help. Each is
// rendered once per size into a QIcon, so it needs no image plugin and stays
// sharp from a 16 px menu to a 256 px desktop icon.
class AppIcons
{
public:
    static QIcon icon(const QString &name);         // a null QIcon for a name without a file
    static QIcon application() { return icon(QStringLiteral("wip")); }
    static bool exists(const QString &name);
    // The icon drawn at size x size pixels, transparent around it.
    static QImage render(const QString &name, int size);
};

} // namespace wip
