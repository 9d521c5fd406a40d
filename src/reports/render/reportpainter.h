#pragma once

#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <functional>
#include <optional>

class QPainter;
class QPaintDevice;

namespace wip::reports {

// Paints a page model onto any QPainter: the continuous layout a screen control
// scrolls through, or one printed page of a Pagination. The painter's units are
// points (the caller scales for its device and zoom); fonts are sized so that text
// comes out at its point size whatever the device's resolution. Only the bands that
// meet the painted area are visited.
//
// Text is never clipped: the layout made every cell wide enough for its value on
// one line, or marked it to wrap, and the painter breaks those lines with the same
// TextMetrics the layout measured them with. Picture cells show their image scaled
// into the cell in proportion, or a crossed box when the file is missing or broken.
class ReportPainter
{
public:
    // Highlights of the screen control: the current row and the SelectRow rows,
    // both filled with the selection colours (the control passes its platform's).
    struct Marks
    {
        int section = 0;
        int currentRow = 0;                   // 0: none
        bool showCurrent = true;
        std::function<bool(int row)> selected;  // SelectRow highlight; empty: none
        std::function<QColor(int row)> background; // a row's colour (invalid: none); empty: none
        QColor highlight = QColor(0, 84, 166);
        QColor highlightedText = QColor(Qt::white);
    };

    // One line of text as it was painted, for whoever checks the painting: the
    // cell it belongs to and the line, in the painter's units (model points),
    // the font set on the painter, and the scale of the page (1 on screen).
    struct PaintedText
    {
        QRectF cell;
        QString text;
        QFont font;
        double pointSize = 0;     // the item's size in the model
        double pageScale = 1;
    };
    using TextObserver = std::function<void(const PaintedText &, QPainter &)>;

    explicit ReportPainter(const PageModel &model) : m_model(model) {}

    // The report font family: covers Chinese as well as Latin text.
    static QString fontFamily();
    // A font of the given point size for painting on `device` with a painter whose
    // units are points.
    static QFont font(double pointSize, bool bold, const QPaintDevice *device);

    // Called for every line of text painted (tests).
    void setTextObserver(TextObserver observer) { m_observer = std::move(observer); }

    // `visible` is the area of the continuous layout to paint, in model points; the
    // painter maps model points to its device.
    void paintContinuous(QPainter &painter, const QRectF &visible, const Marks *marks = nullptr) const;
    // Paints page `index` with the painter's origin at the paper's top-left corner.
    void paintPage(QPainter &painter, const Pagination &pages, int index) const;

    // The text an item shows in a band evaluated at `row` on page `page` of `pageCount`.
    QString itemText(const PageModel::Section &section, const PageModel::Item &item, int row,
                     int page = 1, int pageCount = 1) const;

private:
    struct PageInfo
    {
        int page = 1;
        int count = 1;
        int band = 0;
        int bands = 1;
        double scale = 1;
        std::optional<Pagination::ColumnBand> window;   // the columns of a page across
        double across = 0;      // > 0: the width of lines of their own (the page's footer)
    };
    void paintBand(QPainter &p, const PageModel::Section &s, const PageModel::BandTemplate &band,
                   double top, int row, const PageInfo &info, const QColor &text = Qt::black,
                   double height = -1) const;
    void paintPageNumber(QPainter &p, const Pagination &pages, const Pagination::Page &page,
                         const PageInfo &info) const;
    void paintBody(QPainter &p, const PageModel::Section &s, double from, double to, double top,
                   const PageInfo &info, const Marks *marks) const;
    void paintHeading(QPainter &p, const PageModel::Section &s, double top, int row,
                      const PageInfo &info) const;
    void paintText(QPainter &p, const QRectF &cell, const PageModel::Item &item, const QString &text,
                   const PageInfo &info) const;
    void paintPicture(QPainter &p, const QRectF &cell, const QString &fileName) const;
    QString pageText(const PageModel::Section &s, const PageModel::Item &item, int row, const PageInfo &info) const;

    const PageModel &m_model;
    TextObserver m_observer;
};

} // namespace wip::reports
