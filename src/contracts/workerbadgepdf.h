#pragma once

#include "desk/workerbadge.h"

#include <QList>
#include <QString>

class QIODevice;
class QPagedPaintDevice;
class QPainter;
class QRectF;

namespace wip {

// Prints worker badges into a PDF: cards of 85 x 54 mm, ten to an A4 page (two
// across, five down, cut along the faint lines). Each shows the department, the
// worker's name large, the worker number, and the number as a Code 128 barcode
// with the number beneath it, so that a scanner at the desk types the number.
// No text is smaller than 6 pt.
class WorkerBadgePdf
{
public:
    static constexpr int kPerPage = 10;

    // The file is written whole or not at all (OutputFile): false, with *error
    // saying why (a full disk ...), leaves a file that was there as it was.
    static bool write(const QList<WorkerBadge> &badges, const QString &fileName, QString *error);
    // The same into an open device; fileName only names it in messages.
    static bool write(const QList<WorkerBadge> &badges, QIODevice *device, const QString &fileName, QString *error);
    // The same pages on any paged device; false when it cannot be painted on.
    static bool paint(QPagedPaintDevice &device, const QList<WorkerBadge> &badges);
    // One badge into rect (device units; pxPerMm of the device).
    static void paintBadge(QPainter &painter, const QRectF &rect, double pxPerMm, const WorkerBadge &badge);
};

} // namespace wip
