#include "contracts/barcode.h"

#include <QPainter>

#include <zint.h>

#include <memory>

namespace wip {

Barcode::Barcode(Kind kind, const QString &text)
{
    if (text.isEmpty()) {
        m_error = QStringLiteral("no text to encode");
        return;
    }
    std::unique_ptr<zint_symbol, void (*)(zint_symbol *)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol) {
        m_error = QStringLiteral("libzint has no memory");
        return;
    }
    symbol->symbology = kind == Kind::Code128 ? BARCODE_CODE128 : BARCODE_QRCODE;
    symbol->input_mode = UNICODE_MODE;
    symbol->show_hrt = 0;
    if (kind == Kind::QrCode)
        symbol->option_1 = 2;   // error correction M: readable with a smudge or a crease
    const QByteArray utf8 = text.toUtf8();
    const int rc = ZBarcode_Encode_and_Buffer_Vector(symbol.get(), reinterpret_cast<const unsigned char *>(utf8.constData()),
                                                     int(utf8.size()), 0);
    if (rc >= ZINT_ERROR || !symbol->vector) {
        m_error = QString::fromUtf8(symbol->errtxt);
        if (m_error.isEmpty())
            m_error = QStringLiteral("libzint error %1").arg(rc);
        return;
    }
    m_size = QSizeF(symbol->vector->width, symbol->vector->height);
    m_module = m_size.width();
    for (const zint_vector_rect *r = symbol->vector->rectangles; r; r = r->next) {
        m_bars.append(QRectF(r->x, r->y, r->width, r->height));
        m_module = qMin(m_module, double(r->width));   // the narrowest bar is one module wide
    }
    m_quietModules = kind == Kind::Code128 ? 10 : 4;
}

void Barcode::paint(QPainter &painter, const QRectF &target) const
{
    if (!isValid() || m_size.isEmpty())
        return;
    // The quiet zone, in libzint's units: across for Code 128, all round for a QR code.
    const qreal quiet = m_quietModules * m_module;
    const bool square = m_size.width() == m_size.height();
    const QSizeF whole(m_size.width() + 2 * quiet, m_size.height() + (square ? 2 * quiet : 0));
    qreal sx = target.width() / whole.width();
    qreal sy = target.height() / whole.height();
    QPointF origin = target.topLeft() + QPointF(quiet * sx, square ? quiet * sy : 0);
    if (square) {   // a square symbol stays square, centred
        sx = sy = qMin(sx, sy);
        origin = target.center() - QPointF(m_size.width() * sx / 2, m_size.height() * sy / 2);
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (const QRectF &bar : m_bars)
        painter.drawRect(QRectF(origin.x() + bar.x() * sx, origin.y() + bar.y() * sy, bar.width() * sx,
                                bar.height() * sy));
    painter.restore();
}

} // namespace wip
