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
    const int written = writeDemoPictures(pictures, zanFolder, &why);
    if (written < 0) {
        if (error)
            *error = QStringLiteral("The demo pictures cannot be written to the picture folder %1 (P:): %2")
                         .arg(QDir::toNativeSeparators(pictures), why);
        return false;
    }
    if (summary)
        *summary = QStringLiteral("Wrote %1 pictures: style pictures in %2 (P:), %3 in %4.")
                       .arg(written)
                       .arg(QDir::toNativeSeparators(pictures), AppPaths::fallbackPictureName(),
                            QDir::toNativeSeparators(zanFolder));
    return true;
}

} // namespace wip
