#include "database/demopictures.h"

#include "database/demofactory.h"
#include "runtime/outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace wip {

namespace {

// Segments a..g of a seven-segment digit, as lines in a 1 x 2 cell.
void drawDigit(QPainter &p, QChar c, QPointF at, double w)
{
    static const char *const segments[10] = {"abcdef", "bc", "abged", "abgcd", "fgbc",
                                             "afgcd", "afgedc", "abc", "abcdefg", "abcdfg"};
    const double h = 2 * w;
    const QPointF tl = at, tr = at + QPointF(w, 0), ml = at + QPointF(0, h / 2), mr = at + QPointF(w, h / 2),
                  bl = at + QPointF(0, h), br = at + QPointF(w, h);
    if (c == QLatin1Char('D')) {
        QPainterPath d;
        d.moveTo(tl);
        d.lineTo(at + QPointF(w / 2, 0));
        d.quadTo(tr + QPointF(w / 2, h / 2), at + QPointF(w / 2, h));
        d.lineTo(bl);
        d.closeSubpath();
        p.drawPath(d);
        return;
    }
    if (!c.isDigit())
        return;
    for (const char *s = segments[c.digitValue()]; *s; ++s) {
        switch (*s) {
        case 'a': p.drawLine(tl, tr); break;
        case 'b': p.drawLine(tr, mr); break;
        case 'c': p.drawLine(mr, br); break;
        case 'd': p.drawLine(bl, br); break;
        case 'e': p.drawLine(ml, bl); break;
        case 'f': p.drawLine(tl, ml); break;
        case 'g': p.drawLine(ml, mr); break;
        }
    }
}

QImage drawPicture(const QString &label, int variant)
{
    QImage image(160, 120, QImage::Format_RGB888);
    image.fill(QColor(250, 248, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A piece of jewellery: a ring, a drop or a pair of studs.
    p.setPen(QPen(QColor(190, 150, 40), 5));
    switch (variant % 3) {
    case 0:
        p.drawEllipse(QPointF(80, 48), 30, 24);
        break;
    case 1:
        p.drawLine(QPointF(80, 10), QPointF(80, 28));
        p.drawEllipse(QPointF(80, 48), 14, 20);
        break;
    default:
        p.drawEllipse(QPointF(58, 48), 12, 12);
        p.drawEllipse(QPointF(102, 48), 12, 12);
        break;
    }
    p.setBrush(QColor(120, 170, 230));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(80, 26 + (variant % 3 == 1 ? 22 : 0)), 6, 6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    const double w = 10, gap = 6;
    double x = 80 - (label.size() * (w + gap) - gap) / 2;
    for (const QChar c : label) {
        drawDigit(p, c, QPointF(x, 86), w);
        x += w + gap;
    }
    return image;
}

} // namespace

int writeDemoPictures(const QString &folder, const QString &zanFolder, QString *error, int *kept)
{
    for (const QString &f : {folder, zanFolder}) {
        if (!QDir().mkpath(f)) {
            if (error)
                *error = QStringLiteral("cannot create the folder %1").arg(f);
            return -1;
        }
    }
    if (kept)
        *kept = 0;
    // A picture already there may be the factory's own: it is never replaced.
    int written = 0;
    const auto put = [&](const QString &path, const QImage &image) {
        if (QFileInfo::exists(path)) {
            if (kept)
                ++*kept;
            return true;
        }
        OutputFile out(path);
        if (out.open() && image.save(&out, "BMP") && out.commit()) {
            ++written;
            return true;
        }
        if (error)
            *error = out.failed() ? out.message() : QStringLiteral("cannot write %1").arg(path);
        return false;
    };
    const QStringList designs = DemoFactory::designNumbers();
    for (int i = 0; i < designs.size(); ++i) {
        if (i % 8 == 7)
            continue;
        if (!put(QDir(folder).filePath(designs[i] + QStringLiteral(".bmp")), drawPicture(designs[i], i)))
            return -1;
    }
    if (!put(QDir(zanFolder).filePath(QStringLiteral("ZAN.BMP")), drawPicture(QString(), 0)))
        return -1;
    return written;
}

} // namespace wip
