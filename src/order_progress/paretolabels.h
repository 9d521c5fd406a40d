#pragma once

#include <QFont>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>

class QAbstractBarSeries;
class QChart;
class QGraphicsSimpleTextItem;
class QLineSeries;

namespace wip {

// The figures of a Pareto chart, placed so that none covers another: each bar's
// count just above its bar, and each point's cumulative percentage beside its
// point where it covers no count, no bar and no other percentage - above the
// point when that is free, else beside the count, to the right or to the left
// of the point, or below it; percentages in the line's colour. They
// follow the plot as the chart is resized, and print with it (they are items of
// the chart).
//
//     ParetoLabels::of(chart)->show(bars, cumulative);   // after both have their axes
class ParetoLabels : public QObject
{
    Q_OBJECT
public:
    explicit ParetoLabels(QChart *chart);
    ~ParetoLabels() override;

    // The chart's labels, made on first use.
    static ParetoLabels *of(QChart *chart);

    // Labels the bars of bars (one bar per category: the sum of its sets) and
    // the points of line (nullptr: none); replaces what was shown.
    void show(QAbstractBarSeries *bars, QLineSeries *line);
    // The places each bar's figure shows (0 unless set: counts).
    void setDecimals(int places) { m_decimals = places; }
    void clear();

    struct Label
    {
        QString text;
        QRectF rect;          // in chart coordinates
        bool percent = false;
    };
    QList<Label> labels() const;
    // The rectangles of the bars, in chart coordinates.
    QList<QRectF> barRects() const;

    static QString percentText(double value);

private:
    void place();
    QGraphicsSimpleTextItem *makeItem(const QString &text);

    QChart *m_chart;
    QPointer<QAbstractBarSeries> m_bars;
    QPointer<QLineSeries> m_line;
    QList<double> m_totals;                       // per category
    QList<QGraphicsSimpleTextItem *> m_counts;    // per category, nullptr for an empty one
    QList<QGraphicsSimpleTextItem *> m_percents;  // per point
    QFont m_font;
    int m_decimals = 0;
};

} // namespace wip
