#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>

class QBarSeries;
class QChart;
class QGraphicsSimpleTextItem;
class QValueAxis;

namespace wip {

// The figure of every bar of a bar chart, written just above its bar in a dark
// colour, whole: upright where it fits the bar's width, turned to read upwards
// where it does not (a department's bars are narrow beside eleven others). The
// value axis is raised until the highest figure fits inside the plot, so no
// figure runs into the title or off the chart. The figures follow the plot as
// the chart is resized, and print and export with it (they are items of the
// chart).
//
//     BarFigures figures(chart);
//     figures.show(series, axis);     // after the series and its axes are added
//
// The figures belong to the series shown last; show() again after the chart was
// refilled.
class BarFigures : public QObject
{
    Q_OBJECT
public:
    explicit BarFigures(QChart *chart);
    ~BarFigures() override;

    // Writes the figures of series, whose values are read against axis.
    void show(QBarSeries *series, QValueAxis *axis);

    // What is painted (for tests): each figure's text and the rectangle it takes
    // on the chart.
    struct Figure
    {
        QString text;
        QRectF rect;      // in chart coordinates
        QRectF bar;       // the bar's top edge, likewise (height 0)
        bool upright = true;
    };
    QList<Figure> figures() const;

    static QString text(double value);
    static QColor colour() { return QColor(32, 32, 32); }

private:
    void place();
    void clearItems();
    bool raiseAxis();

    struct Bar
    {
        double value = 0;
        double from = 0, to = 0;     // the bar's sides on the category axis
    };

    QChart *m_chart;
    QPointer<QBarSeries> m_series;
    QPointer<QValueAxis> m_axis;
    QList<Bar> m_bars;
    QList<QGraphicsSimpleTextItem *> m_items;
    QFont m_font;
    bool m_placing = false;
};

} // namespace wip
