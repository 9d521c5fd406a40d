#pragma once

#include "desk/bagticket.h"

#include <QList>
#include <QSizeF>
#include <QString>

class QIODevice;
class QPagedPaintDevice;
class QPainter;
class QRectF;

namespace wip {

// Prints bag tickets into a PDF: four to an A4 page (two across, two down, cut
// along the faint lines), or one per page of a label printer's label size.
// Each ticket shows the contract, customer and customer order, the line's
// design, article, metal, size, quantity, net weight, hallmark and delivery
// date, the style picture, and its code as a Code 128 barcode and a QR code,
// each with the code in text beneath.
class BagTicketPdf
{
public:
    // labelMm empty: A4 sheets; otherwise the label's width and height in mm.
    // The file is written whole or not at all (OutputFile): false, with *error
    // saying why (a full disk ...), leaves a file that was there as it was.
    static bool write(const QList<BagTicket> &tickets, const QString &fileName, const QSizeF &labelMm,
                      QString *error);
    // The same into an open device; fileName only names it in messages.
    static bool write(const QList<BagTicket> &tickets, QIODevice *device, const QString &fileName,
                      const QSizeF &labelMm, QString *error);

    // The same pages on any paged device (a printer, the print preview's):
    // sets its page layout, paints every ticket. False when it cannot be painted on.
    static bool paint(QPagedPaintDevice &device, const QList<BagTicket> &tickets, const QSizeF &labelMm);

    // "60x40" (millimetres, 'x' or '*', decimals allowed) into a size; false when
    // it is not one, or smaller than 50 x 30 mm, too small for the codes to scan.
    static bool parseLabelSize(const QString &text, QSizeF *mm, QString *error);

    // One ticket into rect (device units; pxPerMm of the device).
    static void paintTicket(QPainter &painter, const QRectF &rect, double pxPerMm, const BagTicket &ticket);
};

} // namespace wip
