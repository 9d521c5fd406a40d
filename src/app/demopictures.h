#pragma once

#include <QString>

namespace wip {

// Puts the demo factory's pictures where the windows look for them: the style
// pictures "<design>.bmp" into the picture folder (drive P: of the drive mapping)
// and the fallback picture "ZAN.BMP" into the application's data folder, which
// is the desktop application's working folder. A picture that is there already
// is never replaced: it may be the factory's own.
class DemoPictures
{
public:
    // summary: where the pictures went; error: what could not be written.
    static bool write(QString *summary, QString *error);
};

} // namespace wip
