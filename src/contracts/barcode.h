#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace wip {

// A barcode of a ticket code, encoded by libzint and kept as the dark rectangles
// of its drawing, so that it prints sharp at any size: a Code 128 symbol for the
// hand scanners and a QR code for phones and camera readers. Only the bars are
// drawn; the code in text is the caller's.
class Barcode
{
public:
    enum class Kind { Code128, QrCode };

    // Encodes text (UTF-8). An empty text or one the symbology cannot carry
    // gives a barcode that is not valid, with libzint's reason in error().
    Barcode(Kind kind, const QString &text);

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Size of the drawing in libzint's units, quiet zone excluded.
    QSizeF size() const { return m_size; }
    // The width of one module (the narrowest bar) in those units, and the quiet
    // zone a reader needs beside the symbol, in modules (Code 128: 10 on either
    // side; QR code: 4 all round).
    qreal moduleWidth() const { return m_module; }
    int quietZoneModules() const { return m_quietModules; }
    const QList<QRectF> &bars() const { return m_bars; }

    // Paints the bars black into target, scaled to fill it with the quiet zone
    // left white inside it: a Code 128 symbol gets its full height and leaves
    // the zone at both ends, a QR code keeps its square shape, centred, with the
    // zone all round. So a target as wide as a ticket's printable width leaves
    // a reader the white it needs beside the bars. Nothing is painted when not valid.
    void paint(QPainter &painter, const QRectF &target) const;

private:
    QSizeF m_size;
    qreal m_module = 1;
    int m_quietModules = 0;
    QList<QRectF> m_bars;
    QString m_error;
};

} // namespace wip
