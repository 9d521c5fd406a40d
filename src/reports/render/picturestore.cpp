#include "reports/render/picturestore.h"

#include "runtime/drivemapping.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>

namespace wip::reports {

namespace {

const QString kPictureFolder = QStringLiteral("P:\\");
constexpr int kMaxKept = 512;

struct Cache
{
    QHash<QString, QImage> images;             // "side|lower-case name" -> picture (null: none)
    QHash<QString, QString> folderNames;       // lower-case name -> name in the folder
    QString listedFolder;
};

Cache &cache()
{
    static Cache c;
    return c;
}

} // namespace

std::optional<QString> PictureStore::path(const QString &fileName)
{
    const QString name = fileName.trimmed();
    if (name.isEmpty())
        return std::nullopt;
    const std::optional<QString> exact = DriveMapping::instance().confinedResolve(kPictureFolder, name);
    if (!exact)
        return std::nullopt;
    if (QFileInfo(*exact).isFile())
        return exact;
    // The same name in another case ("D2429.BMP" for d2429.bmp).
    Cache &c = cache();
    const QString folder = QFileInfo(*exact).absolutePath();
    if (c.listedFolder != folder) {
        c.folderNames.clear();
        for (const QString &entry : QDir(folder).entryList(QDir::Files))
            c.folderNames.insert(entry.toLower(), entry);
        c.listedFolder = folder;
    }
    const auto it = c.folderNames.constFind(name.toLower());
    if (it == c.folderNames.cend())
        return std::nullopt;
    return QDir(folder).filePath(*it);
}

QImage PictureStore::image(const QString &fileName, int maxSide)
{
    Cache &c = cache();
    const QString key = QStringLiteral("%1|%2").arg(maxSide).arg(fileName.trimmed().toLower());
    const auto it = c.images.constFind(key);
    if (it != c.images.cend())
        return *it;
    QImage picture;
    if (const std::optional<QString> file = path(fileName)) {
        QImageReader reader(*file);
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        if (size.isValid() && std::max(size.width(), size.height()) > maxSide)
            reader.setScaledSize(size.scaled(maxSide, maxSide, Qt::KeepAspectRatio));
        picture = reader.read();
    }
    if (c.images.size() >= kMaxKept)
        c.images.clear();
    c.images.insert(key, picture);
    return picture;
}

void PictureStore::clear()
{
    Cache &c = cache();
    c.images.clear();
    c.folderNames.clear();
    c.listedFolder.clear();
}

} // namespace wip::reports
