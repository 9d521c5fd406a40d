#include "order_progress/paretolabels.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QBrush>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>

#include <cmath>

namespace wip {

namespace {

constexpr double kGap = 3;   // pixels between a figure and what it belongs to

bool coversAny(const QRectF &rect, const QList<QRectF> &others)
{
    for (const QRectF &o : others) {
        if (rect.intersects(o))
            return true;
    }
    return false;
}

} // namespace

ParetoLabels::ParetoLabels(QChart *chart)
    : QObject(chart)
    , m_chart(chart)
    , m_font(QStringLiteral("WenQuanYi Micro Hei"))
{
    setObjectName(QStringLiteral("pareto_labels"));
    m_font.setPointSize(9);
    connect(m_chart, &QChart::plotAreaChanged, this, &ParetoLabels::place);
}

ParetoLabels::~ParetoLabels() = default;

ParetoLabels *ParetoLabels::of(QChart *chart)
{
    auto *labels = chart->findChild<ParetoLabels *>(QStringLiteral("pareto_labels"), Qt::FindDirectChildrenOnly);
    return labels ? labels : new ParetoLabels(chart);
}

QString ParetoLabels::percentText(double value)
{
    const bool whole = std::abs(value - std::round(value)) < 1e-9;
    return QString::number(value, 'f', whole ? 0 : 1) + QLatin1Char('%');
}

QGraphicsSimpleTextItem *ParetoLabels::makeItem(const QString &text)
{
    auto *item = new QGraphicsSimpleTextItem(text, m_chart);
    item->setFont(m_font);
    item->setBrush(QColor(32, 32, 32));
    item->setZValue(100);
    return item;
}

void ParetoLabels::clear()
{
    qDeleteAll(m_counts);
    qDeleteAll(m_percents);
    m_counts.clear();
    m_percents.clear();
    m_totals.clear();
    m_bars = nullptr;
    m_line = nullptr;
}

void ParetoLabels::show(QAbstractBarSeries *bars, QLineSeries *line)
{
    clear();
    m_bars = bars;
    m_line = line;
    if (bars) {
        // Qt's own labels are cut to the bar and placed without regard to the line.
        bars->setLabelsVisible(false);
        for (const QBarSet *set : bars->barSets()) {
            for (int i = 0; i < set->count(); ++i) {
                if (m_totals.size() <= i)
                    m_totals.append(0);
                m_totals[i] += set->at(i);
            }
        }
        for (double total : std::as_const(m_totals))
            m_counts.append(total > 0 ? makeItem(QString::number(total, 'f', m_decimals)) : nullptr);
    }
    if (line) {
        line->setPointLabelsVisible(false);
        // In the line's colour: a percentage is never read as a count.
        for (const QPointF &p : line->points()) {
            m_percents.append(makeItem(percentText(p.y())));
            m_percents.last()->setBrush(line->color().darker(130));
        }
    }
    place();
}

QList<QRectF> ParetoLabels::barRects() const
{
    QList<QRectF> rects;
    if (!m_bars)
        return rects;
    const double half = m_bars->barWidth() / 2;
    for (int i = 0; i < m_totals.size(); ++i) {
        if (m_totals.at(i) <= 0)
            continue;
        const QPointF topLeft = m_chart->mapToPosition(QPointF(i - half, m_totals.at(i)), m_bars);
        const QPointF bottomRight = m_chart->mapToPosition(QPointF(i + half, 0), m_bars);
        rects.append(QRectF(topLeft, bottomRight).normalized());
    }
    return rects;
}

void ParetoLabels::place()
{
    if (!m_bars)
        return;
    const QFontMetricsF metrics(m_font);
    const double high = metrics.height();
    const QRectF plot = m_chart->plotArea();
    QList<QRectF> taken = barRects();
    QList<double> countWidths;
    for (int i = 0; i < m_counts.size(); ++i) {
        QGraphicsSimpleTextItem *item = m_counts.at(i);
        countWidths.append(item ? metrics.horizontalAdvance(item->text()) : 0);
        if (!item)
            continue;
        const QPointF top = m_chart->mapToPosition(QPointF(i, m_totals.at(i)), m_bars);
        const double wide = countWidths.last();
        const QRectF rect(top.x() - wide / 2, top.y() - kGap - high, wide, high);
        item->setPos(rect.topLeft());
        taken.append(rect);
    }
    if (!m_line)
        return;
    const QList<QPointF> points = m_line->points();
    for (int k = 0; k < m_percents.size() && k < points.size(); ++k) {
        QGraphicsSimpleTextItem *item = m_percents.at(k);
        const QPointF p = m_chart->mapToPosition(points.at(k), m_line);
        const double wide = metrics.horizontalAdvance(item->text());
        // A point stands at or above its bar's top, where the bar's count is.
        const double pastCount = countWidths.value(int(std::lround(points.at(k).x()))) / 2 + 3 * kGap;
        const QList<QRectF> candidates = {
            {p.x() - wide / 2, p.y() - kGap - high, wide, high},          // above
            {p.x() + pastCount, p.y() - kGap - high, wide, high},         // above, right of the count
            {p.x() - pastCount - wide, p.y() - kGap - high, wide, high},  // above, left of the count
            {p.x() + 2 * kGap, p.y() - high / 2, wide, high},             // right
            {p.x() - 2 * kGap - wide, p.y() - high / 2, wide, high},      // left
            {p.x() - wide / 2, p.y() + kGap, wide, high},                 // below
        };
        QRectF chosen;
        for (const QRectF &c : candidates) {
            if (!plot.contains(c))
                continue;
            if (chosen.isNull())
                chosen = c;   // inside the plot at least
            if (!coversAny(c, taken)) {
                chosen = c;
                break;
            }
        }
        if (chosen.isNull())
            chosen = candidates.first();
        item->setPos(chosen.topLeft());
        taken.append(chosen);
    }
}

QList<ParetoLabels::Label> ParetoLabels::labels() const
{
    QList<Label> list;
    for (const QGraphicsSimpleTextItem *item : m_counts) {
        if (item)
            list.append({item->text(), item->mapRectToParent(item->boundingRect()), false});
    }
    for (const QGraphicsSimpleTextItem *item : m_percents)
        list.append({item->text(), item->mapRectToParent(item->boundingRect()), true});
    return list;
}

} // namespace wip
