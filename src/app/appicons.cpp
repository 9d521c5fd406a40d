#include "app/appicons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace wip {

namespace {

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

} // namespace

bool AppIcons::exists(const QString &name)
{
    return !name.isEmpty() && QFile::exists(resourcePath(name));
}

QImage AppIcons::render(const QString &name, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid())
        return QImage();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return image;
}

QIcon AppIcons::icon(const QString &name)
{
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(name);
    if (found != cache.cend())
        return *found;
    QIcon icon;
    if (exists(name)) {
        for (int size : {16, 20, 24, 32, 48, 64, 128, 256}) {
            const QImage image = render(name, size);
            if (!image.isNull())
                icon.addPixmap(QPixmap::fromImage(image));
        }
    }
    cache.insert(name, icon);
    return icon;
}

} // namespace wip
