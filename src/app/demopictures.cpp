#include "app/demopictures.h"

#include "app/apppaths.h"
#include "database/demopictures.h"
#include "runtime/drivemapping.h"

#include <QDir>

namespace wip {

bool DemoPictures::write(QString *summary, QString *error)
{
    const QString pictures = DriveMapping::instance().folder(QLatin1Char('P'));
    const QString zanFolder = AppPaths::dataFolder();
    QString why;
    int kept = 0;
    const int written = writeDemoPictures(pictures, zanFolder, &why, &kept);
    if (written < 0) {
        if (error)
            *error = QStringLiteral("The demo pictures cannot be written to the picture folder %1 (P:): %2")
                         .arg(QDir::toNativeSeparators(pictures), why);
        return false;
    }
    if (summary) {
        const QString where = QStringLiteral("style pictures in %1 (P:), %2 in %3")
                                  .arg(QDir::toNativeSeparators(pictures), AppPaths::fallbackPictureName(),
                                       QDir::toNativeSeparators(zanFolder));
        if (written == 0)
            *summary = QStringLiteral("The demo pictures are there already (%1); none was replaced.").arg(where);
        else if (kept == 0)
            *summary = QStringLiteral("Wrote %1 pictures: %2.").arg(written).arg(where);
        else
            *summary = QStringLiteral("Wrote %1 pictures: %2; kept the %3 that were there.")
                           .arg(written).arg(where).arg(kept);
    }
    return true;
}

} // namespace wip
