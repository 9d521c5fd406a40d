#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <memory>

class QPaintDevice;

namespace wip::reports {

// Widths of text in the report font, in points, exactly as the painter lays the
// text out: the same family (with Qt's fallback for characters it lacks), the same
// weight, no kerning. Layout measures with it and the painter breaks lines with it,
// so a text that the layout gave a cell of its width fits that cell on paper, on
// screen and in PDF alike.
//
// Every value of a report is measured, so widths are summed from a per-character
// cache (an array for Latin text, a hash for the rest); text that needs shaping
// (surrogate pairs, combining marks) is measured whole.
//
//   TextMetrics::of(9, false).width("QOR-PO7000")       ~ 53.2 points
//   TextMetrics::of(9, false).wrap("小计Subtotal", 30)  -> {"小计", "Subtota", "l"}
class TextMetrics
{
public:
    // Metrics of the report font at a point size, regular or bold. The reference
    // stays valid for the life of the program.
    static const TextMetrics &of(double pointSize, bool bold);

    // The report font family: covers Chinese as well as Latin text.
    static QString fontFamily();
    // A font of `pointSize` for painting on `device` with a painter whose units are
    // points (the painter maps points to the device; the font undoes the device's
    // own point-to-pixel step).
    static QFont font(double pointSize, bool bold, const QPaintDevice *device);

    double pointSize() const { return m_pointSize; }
    bool bold() const { return m_bold; }
    // Width of one line of text (line breaks count as nothing; use wrap for those).
    double width(QStringView text) const;
    // Width of the widest line of a text with line breaks.
    double widestLine(const QString &text) const;
    // Width of the widest piece that wrap() keeps whole: a word of Latin letters or
    // digits; a Chinese character stands alone.
    double widestWord(const QString &text) const;
    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }

    // The lines a text breaks into within `width`: at line breaks, after spaces,
    // around Chinese characters, after hyphens; a word wider than the width is
    // broken between its characters, so no character is ever lost or cut.
    // Spaces at the ends of lines are dropped.
    QStringList wrap(const QString &text, double width) const;
    int lineCount(const QString &text, double width) const;

private:
    static QFont newFont(double pointSize, bool bold, int dpi);
    TextMetrics(double pointSize, bool bold);
    double charWidth(char16_t c) const;

    double m_pointSize;
    bool m_bold;
    QFont m_font;
    std::unique_ptr<QFontMetricsF> m_metrics;
    double m_ascent = 0;
    double m_descent = 0;
    mutable std::array<float, 256> m_latin;   // < 0: not measured yet
    mutable QHash<char16_t, float> m_other;
};

} // namespace wip::reports
