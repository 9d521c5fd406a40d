#include "contracts/workerbadgepdf.h"

#include "contracts/barcode.h"
#include "runtime/outputfile.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace wip {

namespace {

constexpr int kResolution = 600;          // dots per inch of the PDF's drawing
constexpr double kBadgeWidth = 85;        // mm: the size of a bank card, for the card holders
constexpr double kBadgeHeight = 54;
constexpr double kMinTextPt = 6;
constexpr double kMmPerPt = 25.4 / 72;
// Bars wider than this make a symbol longer than a hand scanner's window at
// the distance it is held from a badge on a lanyard.
constexpr double kMaxModuleMm = 0.5;

// A font of the badge at pt points (pixels of a device of pxPerMm).
QFont font(double pt, double pxPerMm, bool bold = false)
{
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPixelSize(qMax(1, qRound(pt * kMmPerPt * pxPerMm)));
    f.setBold(bold);
    return f;
}

// The worker's name as large as fits the width, from 20 pt down to the smallest
// readable size (a longer one is elided there).
QFont nameFont(const QString &name, double width, double pxPerMm)
{
    for (double pt = 20; pt > kMinTextPt; pt -= 1) {
        const QFont f = font(pt, pxPerMm, true);
        if (QFontMetricsF(f).horizontalAdvance(name) <= width)
            return f;
    }
    return font(kMinTextPt, pxPerMm, true);
}

// The symbol across at most width, centred, with bars no wider than kMaxModuleMm.
QRectF codeArea(const Barcode &code, const QRectF &area, double pxPerMm)
{
    const double modules = code.size().width() / code.moduleWidth() + 2 * code.quietZoneModules();
    const double width = qMin(area.width(), modules * kMaxModuleMm * pxPerMm);
    return QRectF(area.center().x() - width / 2, area.top(), width, area.height());
}

void drawLine(QPainter &p, const QRectF &box, const QFont &f, const QString &text, Qt::Alignment align)
{
    p.setFont(f);
    p.drawText(box, align | Qt::AlignVCenter, QFontMetricsF(f).elidedText(text, Qt::ElideRight, box.width()));
}

} // namespace

void WorkerBadgePdf::paintBadge(QPainter &p, const QRectF &rect, double pxPerMm, const WorkerBadge &b)
{
    const double mm = pxPerMm;
    const QRectF r = rect.adjusted(4 * mm, 3 * mm, -4 * mm, -3 * mm);
    p.setPen(Qt::black);

    // The head: what the card is, and the department at the right.
    const QFont small = font(7, mm);
    const double headHeight = QFontMetricsF(small).height();
    const QRectF head(r.left(), r.top(), r.width(), headHeight);
    drawLine(p, QRectF(head.left(), head.top(), head.width() * 0.4, head.height()), small,
             QStringLiteral("工牌 Worker badge"), Qt::AlignLeft);
    const QString department = b.department == b.gongxu ? b.gongxu : b.department + QLatin1Char(' ') + b.gongxu;
    drawLine(p, QRectF(head.left() + head.width() * 0.4, head.top(), head.width() * 0.6, head.height()),
             font(8, mm, true), department, Qt::AlignRight);
    p.setPen(QPen(Qt::black, 0.2 * mm));
    p.drawLine(QPointF(r.left(), head.bottom() + mm), QPointF(r.right(), head.bottom() + mm));

    // The name large, the number beneath it.
    const QFont nameF = nameFont(b.name, r.width(), mm);
    const double nameHeight = QFontMetricsF(nameF).height();
    const QRectF name(r.left(), head.bottom() + 2 * mm, r.width(), nameHeight);
    drawLine(p, name, nameF, b.name, Qt::AlignLeft);
    const QFont numberF = font(11, mm);
    const QRectF number(r.left(), name.bottom(), r.width(), QFontMetricsF(numberF).height());
    drawLine(p, number, numberF, QStringLiteral("工号 No. %1").arg(b.number), Qt::AlignLeft);

    // The barcode across the bottom with the number beneath it.
    const QFont codeF = font(8, mm);
    const double codeTextHeight = QFontMetricsF(codeF).height();
    const QRectF bars(r.left(), number.bottom() + 2 * mm, r.width(),
                      r.bottom() - codeTextHeight - number.bottom() - 3 * mm);
    const Barcode code(Barcode::Kind::Code128, b.number);
    code.paint(p, codeArea(code, bars, mm));
    drawLine(p, QRectF(r.left(), r.bottom() - codeTextHeight, r.width(), codeTextHeight), codeF, b.number,
             Qt::AlignHCenter);
}

bool WorkerBadgePdf::write(const QList<WorkerBadge> &badges, const QString &fileName, QString *error)
{
    OutputFile out(fileName);
    if (out.open() && write(badges, &out, fileName, error) && out.commit())
        return true;
    if (out.failed())
        *error = out.message();
    return false;
}

bool WorkerBadgePdf::write(const QList<WorkerBadge> &badges, QIODevice *device, const QString &fileName,
                           QString *error)
{
    QPdfWriter writer(device);
    writer.setCreator(QStringLiteral("Wip"));
    writer.setTitle(QStringLiteral("工牌 Worker badges"));
    writer.setResolution(kResolution);
    if (!paint(writer, badges)) {
        *error = QStringLiteral("cannot write %1").arg(QFileInfo(fileName).absoluteFilePath());
        return false;
    }
    return true;
}

bool WorkerBadgePdf::paint(QPagedPaintDevice &device, const QList<WorkerBadge> &badges)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                                     QPageLayout::Millimeter));
    QPainter p;
    if (!p.begin(&device))
        return false;
    const double mm = device.logicalDpiX() / 25.4;
    const QSizeF card(kBadgeWidth * mm, kBadgeHeight * mm);
    // Two across and five down, the block centred on the sheet.
    const QPointF origin((device.width() - 2 * card.width()) / 2, (device.height() - 5 * card.height()) / 2);
    for (int i = 0; i < badges.size(); ++i) {
        const int slot = i % kPerPage;
        if (i > 0 && slot == 0)
            device.newPage();
        const QRectF cell(origin + QPointF((slot % 2) * card.width(), (slot / 2) * card.height()), card);
        p.setPen(QPen(Qt::lightGray, 0.2 * mm, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(cell);
        paintBadge(p, cell, mm, badges.at(i));
    }
    return p.end();
}

} // namespace wip
