#include "contracts/bagticketpdf.h"

#include "contracts/barcode.h"
#include "reports/displayformat.h"
#include "reports/widgets/orderlinedetails.h"
#include "runtime/outputfile.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include <algorithm>

namespace wip {

namespace {

constexpr int kResolution = 600;   // dots per inch of the PDF's drawing
// Below this the QR code's modules get too fine for a phone to read.
constexpr double kMinLabelWidth = 50;
constexpr double kMinLabelHeight = 30;
// No text of a ticket is printed smaller than this: on a small label the fields
// that do not fit at it are left out, the least needed first, and the code is
// not repeated beneath a QR code too narrow for it.
constexpr double kMinTextPt = 6;
constexpr double kMmPerPt = 25.4 / 72;

QString fontFamily()
{
    return QStringLiteral("WenQuanYi Micro Hei");
}

QString number(const QVariant &v)
{
    return v.isNull() ? QString() : reports::generalText(v);
}

// A weight in grams to the milligram, as every report shows weights: "512.500 g".
QString grams(const QVariant &v)
{
    return v.isNull() ? QString() : reports::formatValue(v, QStringLiteral("0.000")) + QStringLiteral(" g");
}

// The caption and value lines of a ticket, in print order, each with its rank:
// on a label too small for all, the lines of the lowest ranks are left out (the
// contract number stays in the ticket code of the title and beneath the codes).
struct Field
{
    QString caption, value;
    int rank;   // 0 is kept longest
};

QList<Field> fields(const BagTicket &t)
{
    return {
        {QStringLiteral("合约 KCNO"), t.scno, 9},
        {QStringLiteral("客户 Cust."), t.custNo, 6},
        {QStringLiteral("客户订单 PO"), t.custOrder, 7},
        {QStringLiteral("款号 Design"), t.designNo, 0},
        {QStringLiteral("货号 Article"), t.articleCode, 8},
        {QStringLiteral("成色 Metal"), t.metal, 1},
        {QStringLiteral("尺寸 Size"), t.size, 3},
        {QStringLiteral("数量 Qty"), number(t.quantity), 2},
        {QStringLiteral("净重 Net wt"), grams(t.metalNetwt), 4},
        {QStringLiteral("字印 Hallmark"), t.hallmark, 10},
        {QStringLiteral("交货 Delivery"), t.delivery.isValid() ? t.delivery.toString(Qt::ISODate) : QString(), 5},
    };
}

// A barcode with its code in text beneath, inside area, in the painter's font.
// The text is made smaller where it would be wider than the area, down to
// minFontPx; narrower still, the symbol takes the whole area without it.
void paintCode(QPainter &p, const Barcode &code, const QRectF &area, const QString &text, double minFontPx)
{
    QFont f = p.font();
    const double wide = QFontMetricsF(f).horizontalAdvance(text);
    if (wide > area.width())
        f.setPixelSize(qMax(1, int(f.pixelSize() * area.width() / wide)));
    if (f.pixelSize() < qRound(minFontPx)) {
        code.paint(p, area);
        return;
    }
    const double fontPx = f.pixelSize();
    const QRectF textBox(area.left(), area.bottom() - fontPx * 1.3, area.width(), fontPx * 1.3);
    code.paint(p, QRectF(area.left(), area.top(), area.width(), textBox.top() - area.top() - fontPx * 0.2));
    p.save();
    p.setFont(f);
    p.drawText(textBox, Qt::AlignHCenter | Qt::AlignVCenter, text);
    p.restore();
}

void paintPicture(QPainter &p, const QRectF &box, const QString &designNo)
{
    const std::optional<QByteArray> bytes = reports::OrderLineDetails::readStylePicture(designNo);
    QImage image;
    if (!bytes || !image.loadFromData(*bytes))
        return;
    const QSizeF fitted = QSizeF(image.size()).scaled(box.size(), Qt::KeepAspectRatio);
    p.drawImage(QRectF(box.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted), image);
}

void setFontPx(QPainter &p, double px, bool bold = false)
{
    QFont f(fontFamily());
    f.setPixelSize(qMax(1, qRound(px)));
    f.setBold(bold);
    p.setFont(f);
}

// The height of a line of the ticket's font per pixel of its size.
double lineSpacing()
{
    QFont f(fontFamily());
    f.setPixelSize(100);
    return QFontMetricsF(f).height() / 100;
}

} // namespace

void BagTicketPdf::paintTicket(QPainter &p, const QRectF &rect, double pxPerMm, const BagTicket &t)
{
    const double mm = pxPerMm;
    const double minPx = kMinTextPt * kMmPerPt * mm;
    const QRectF r = rect.adjusted(3 * mm, 3 * mm, -3 * mm, -3 * mm);
    // Sizes follow the ticket's height: a larger label gets larger text, the
    // smallest one text of at least kMinTextPt.
    const double unit = qBound(minPx, r.height() / 22.0, 3.6 * mm);
    p.setPen(Qt::black);

    setFontPx(p, unit * 1.6, true);
    const QRectF title(r.left(), r.top(), r.width(), unit * 2.2);
    p.drawText(title, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("袋卡 %1").arg(t.code));

    // The Code 128 symbol across the whole width at the bottom, where its bars are
    // widest; above it the fields on the left, the QR code and the picture on the right.
    const double codeHeight = qBound(8 * mm, r.height() * 0.22, 20 * mm);
    setFontPx(p, unit);
    paintCode(p, Barcode(Barcode::Kind::Code128, t.code),
              QRectF(r.left(), r.bottom() - codeHeight, r.width(), codeHeight), t.code, minPx);
    const QRectF middle(r.left(), title.bottom() + unit * 0.4, r.width(),
                        r.bottom() - codeHeight - unit - title.bottom() - unit * 0.4);
    const double side = qMin(r.width() * 0.32, middle.height());
    const QRectF right(middle.right() - side, middle.top(), side, middle.height());
    paintCode(p, Barcode(Barcode::Kind::QrCode, t.code), QRectF(right.topLeft(), QSizeF(side, side)), t.code, minPx);
    if (right.height() - side > 10 * mm)
        paintPicture(p, right.adjusted(0, side + unit, 0, 0), t.designNo);

    // As many fields as fit at a readable size, kept in their print order.
    QList<Field> lines = fields(t);
    const QRectF left(middle.left(), middle.top(), right.left() - middle.left() - 2 * mm, middle.height());
    const double spacing = lineSpacing();
    const int room = qMax(1, int(left.height() / (minPx * spacing)));
    if (lines.size() > room) {
        QList<int> ranks;
        for (const Field &f : lines)
            ranks << f.rank;
        std::sort(ranks.begin(), ranks.end());
        const int keepBelow = ranks.at(room);
        lines.removeIf([keepBelow](const Field &f) { return f.rank >= keepBelow; });
    }
    const double fieldPx = qMax(minPx, qMin(unit, left.height() / (lines.size() * spacing)));
    const double lineHeight = fieldPx * spacing;
    setFontPx(p, fieldPx);
    const double captionWidth = left.width() * 0.42;
    for (int i = 0; i < lines.size(); ++i) {
        const double y = left.top() + i * lineHeight;
        p.drawText(QRectF(left.left(), y, captionWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(lines[i].caption, Qt::ElideRight, int(captionWidth)));
        const QRectF value(left.left() + captionWidth, y, left.width() - captionWidth, lineHeight);
        p.drawText(value, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(lines[i].value, Qt::ElideRight, int(value.width())));
    }
}

bool BagTicketPdf::parseLabelSize(const QString &text, QSizeF *mm, QString *error)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*[xX*]\\s*(\\d+(?:\\.\\d+)?)\\s*$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch()) {
        *error = QStringLiteral("--label needs WIDTHxHEIGHT in millimetres, e.g. 100x70, not \"%1\".").arg(text);
        return false;
    }
    const QSizeF size(m.captured(1).toDouble(), m.captured(2).toDouble());
    if (size.width() < kMinLabelWidth || size.height() < kMinLabelHeight) {
        *error = QStringLiteral("A label of %1 x %2 mm is too small for the barcodes; use at least %3 x %4 mm.")
                     .arg(size.width()).arg(size.height()).arg(kMinLabelWidth).arg(kMinLabelHeight);
        return false;
    }
    *mm = size;
    return true;
}

bool BagTicketPdf::write(const QList<BagTicket> &tickets, const QString &fileName, const QSizeF &labelMm,
                         QString *error)
{
    OutputFile out(fileName);
    if (out.open() && write(tickets, &out, fileName, labelMm, error) && out.commit())
        return true;
    if (out.failed())
        *error = out.message();
    return false;
}

bool BagTicketPdf::write(const QList<BagTicket> &tickets, QIODevice *device, const QString &fileName,
                         const QSizeF &labelMm, QString *error)
{
    QPdfWriter writer(device);
    writer.setCreator(QStringLiteral("Wip"));
    writer.setTitle(QStringLiteral("袋卡 Bag tickets"));
    writer.setResolution(kResolution);
    if (!paint(writer, tickets, labelMm)) {
        *error = QStringLiteral("cannot write %1").arg(QFileInfo(fileName).absoluteFilePath());
        return false;
    }
    return true;
}

bool BagTicketPdf::paint(QPagedPaintDevice &device, const QList<BagTicket> &tickets, const QSizeF &labelMm)
{
    const bool labels = !labelMm.isEmpty();
    // A page size is given upright; a label wider than high is that size turned.
    const bool wide = labelMm.width() > labelMm.height();
    const QPageSize size = labels ? QPageSize(wide ? labelMm.transposed() : labelMm, QPageSize::Millimeter)
                                  : QPageSize(QPageSize::A4);
    device.setPageLayout(QPageLayout(size, wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(),
                                     QPageLayout::Millimeter));
    QPainter p;
    if (!p.begin(&device))
        return false;
    const double pxPerMm = device.logicalDpiX() / 25.4;
    const QRectF page(QPointF(0, 0), QSizeF(device.width(), device.height()));
    const int perPage = labels ? 1 : 4;
    for (int i = 0; i < tickets.size(); ++i) {
        const int slot = i % perPage;
        if (i > 0 && slot == 0)
            device.newPage();
        QRectF cell = page;
        if (!labels) {
            cell = QRectF(page.left() + (slot % 2) * page.width() / 2, page.top() + (slot / 2) * page.height() / 2,
                          page.width() / 2, page.height() / 2);
            p.setPen(QPen(Qt::lightGray, 0.2 * pxPerMm, Qt::DashLine));
            p.drawRect(cell);
        }
        paintTicket(p, cell, pxPerMm, tickets.at(i));
    }
    return p.end();
}

} // namespace wip
