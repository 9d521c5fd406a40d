#pragma once

#include <QImage>
#include <QString>
#include <optional>

namespace wip::reports {

// The pictures that picture columns name: a value such as "D2429.BMP" is a file of
// the picture folder (drive "P:"), found without regard to case as the factory's
// file server did. A value that would reach outside the folder names no picture.
// Pictures are read once and kept no larger than a cell needs, so a report of
// many rows showing the same designs reads each file once.
class PictureStore
{
public:
    // The local file a value names; nullopt when there is none.
    static std::optional<QString> path(const QString &fileName);
    // The picture, at most `maxSide` pixels on its longer side; a null image when
    // the file is missing or is not a picture.
    static QImage image(const QString &fileName, int maxSide = 320);
    // Forgets what was read (a test that rewrites pictures, a new database).
    static void clear();
};

} // namespace wip::reports
