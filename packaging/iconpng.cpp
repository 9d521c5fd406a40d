// Draws an SVG icon as PNG files of the hicolor icon theme's sizes, for the
// package: iconpng ICON.svg OUTPUT_FOLDER NAME writes
// OUTPUT_FOLDER/<N>x<N>/apps/NAME.png for each size.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char **argv)
{
    if (argc != 4) {
        QTextStream(stderr) << "usage: iconpng ICON.svg OUTPUT_FOLDER NAME" << Qt::endl;
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        QTextStream(stderr) << "iconpng: cannot read " << argv[1] << Qt::endl;
        return 1;
    }
    const QString output = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(output).arg(size);
        if (!QDir().mkpath(folder) || !image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"))) {
            QTextStream(stderr) << "iconpng: cannot write into " << folder << Qt::endl;
            return 1;
        }
    }
    return 0;
}
