#include "daily_output/barfigures.h"

#include <QBarSeries>
#include <QBarSet>
#include <QBrush>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QValueAxis>
#include <cmath>

namespace wip {

namespace {

constexpr double kGap = 3;            // pixels between a bar's top and its figure

} // namespace

BarFigures::BarFigures(QChart *chart)
    : QObject(chart)
    , m_chart(chart)
    , m_font(QStringLiteral("WenQuanYi Micro Hei"))
{
    m_font.setPointSize(9);
    connect(m_chart, &QChart::plotAreaChanged, this, &BarFigures::place);
}

BarFigures::~BarFigures() = default;

QString BarFigures::text(double value)
{
    // Pieces and stones are whole; a figure with a fraction keeps one place.
    if (std::abs(value - std::round(value)) < 1e-9)
        return QString::number(std::llround(value));
    return QString::number(value, 'f', 1);
}

void BarFigures::clearItems()
{
    for (QGraphicsSimpleTextItem *item : std::as_const(m_items))
        delete item;
    m_items.clear();
    m_bars.clear();
}

void BarFigures::show(QBarSeries *series, QValueAxis *axis)
{
    clearItems();
    m_series = series;
    m_axis = axis;
    if (!series || !axis)
        return;
    // Qt's own labels are white and cut to the bar: these replace them.
    series->setLabelsVisible(false);
    const QList<QBarSet *> sets = series->barSets();
    const int n = int(sets.size());
    const double width = series->barWidth();
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < sets.at(j)->count(); ++i) {
            Bar bar;
            bar.value = sets.at(j)->at(i);
            bar.from = i - width / 2 + j * width / n;
            bar.to = bar.from + width / n;
            m_bars.append(bar);
            auto *item = new QGraphicsSimpleTextItem(text(bar.value), m_chart);
            item->setFont(m_font);
            item->setBrush(colour());
            item->setZValue(100);
            m_items.append(item);
        }
    }
    place();
}

// Raises the value axis until every figure fits between its bar and the top of
// the plot; true when the axis changed.
bool BarFigures::raiseAxis()
{
    const double height = m_chart->plotArea().height();
    if (height <= 0)
        return false;
    const QFontMetricsF metrics(m_font);
    double needed = 0;
    for (int k = 0; k < m_bars.size(); ++k) {
        const Bar &bar = m_bars.at(k);
        const QPointF left = m_chart->mapToPosition(QPointF(bar.from, 0), m_series);
        const QPointF right = m_chart->mapToPosition(QPointF(bar.to, 0), m_series);
        const double wide = metrics.horizontalAdvance(m_items.at(k)->text());
        const double extent = (wide <= right.x() - left.x() + 2 ? metrics.height() : wide) + kGap;
        // value / top * height + extent <= height, kept sensible on a tiny plot.
        const double room = std::max(height - extent, height / 5);
        needed = std::max(needed, bar.value * height / room);
    }
    if (needed <= m_axis->max() && needed > m_axis->max() * 0.6)
        return false;
    const double before = m_axis->max();
    m_axis->setRange(0, needed > 0 ? needed : 10);
    m_axis->applyNiceNumbers();
    return std::abs(m_axis->max() - before) > 1e-9;
}

void BarFigures::place()
{
    if (m_placing || !m_series || !m_axis || m_items.isEmpty())
        return;
    m_placing = true;
    // A raised axis moves the bars down: measure again on the new scale.
    for (int pass = 0; pass < 3 && raiseAxis(); ++pass) {
    }
    const QFontMetricsF metrics(m_font);
    for (int k = 0; k < m_bars.size(); ++k) {
        const Bar &bar = m_bars.at(k);
        QGraphicsSimpleTextItem *item = m_items.at(k);
        const QPointF top = m_chart->mapToPosition(QPointF((bar.from + bar.to) / 2, bar.value), m_series);
        const double barWidth = m_chart->mapToPosition(QPointF(bar.to, 0), m_series).x()
                              - m_chart->mapToPosition(QPointF(bar.from, 0), m_series).x();
        const double wide = metrics.horizontalAdvance(item->text());
        const double high = metrics.height();
        if (wide <= barWidth + 2) {
            item->setRotation(0);
            item->setPos(top.x() - wide / 2, top.y() - kGap - high);
        } else {
            // Turned a quarter to the left: the text reads upwards from the bar.
            item->setRotation(-90);
            item->setPos(top.x() - high / 2, top.y() - kGap);
        }
    }
    m_placing = false;
}

QList<BarFigures::Figure> BarFigures::figures() const
{
    QList<Figure> list;
    for (int k = 0; k < m_items.size(); ++k) {
        const QGraphicsSimpleTextItem *item = m_items.at(k);
        const Bar &bar = m_bars.at(k);
        Figure f;
        f.text = item->text();
        f.rect = item->mapRectToParent(item->boundingRect());
        const QPointF left = m_chart->mapToPosition(QPointF(bar.from, bar.value), m_series);
        const QPointF right = m_chart->mapToPosition(QPointF(bar.to, bar.value), m_series);
        f.bar = QRectF(left, QSizeF(right.x() - left.x(), 0));
        f.upright = item->rotation() == 0;
        list.append(f);
    }
    return list;
}

} // namespace wip
