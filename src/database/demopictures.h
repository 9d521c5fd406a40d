#pragma once

#include <QString>

namespace wip {

// Writes the style pictures of the demo factory: "<design_no>.bmp" in `folder` for
// most demo designs (every eighth design has none, so the windows fall back to the
// default picture) and the default "ZAN.BMP" in `zanFolder`. Small 24-bit BMP
// files, each drawn with its design number, without fonts (a seven-segment
// drawing), so it works headless. Folders are created when missing. A file that
// is already there is kept as it is (it may be the factory's own picture) and
// counted in *kept; each new one is written whole or not at all.
// Returns the number of files written, or -1 with *error set.
int writeDemoPictures(const QString &folder, const QString &zanFolder, QString *error = nullptr,
                      int *kept = nullptr);

} // namespace wip
