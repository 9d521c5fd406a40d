#include "reports/render/columnsizer.h"

#include "reports/columndata.h"
#include "reports/displayformat.h"
#include "reports/render/textmetrics.h"

#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {

constexpr double kMinChars = 4;         // no column is narrower than four characters
constexpr double kCaptionWrapEm = 8;    // a caption longer than this and its values wraps
constexpr double kLongWordEm = 20;      // a longer word may break between characters
constexpr double kMinAcrossEm = 8;      // a column on pages across is at least this wide
constexpr double kKeepWholeEm = 10;     // a value this short never wraps (codes, order numbers)
constexpr double kKeepCaptionEm = 6;    // nor does a caption line this short ("客户编号")

} // namespace

ColumnSizer::ColumnSizer(const QVector<ReportColumn> &columns, double fontSize)
    : m_columns(columns), m_measures(size_t(columns.size())), m_fontSize(fontSize)
{
    const TextMetrics &bold = TextMetrics::of(fontSize, true);
    const TextMetrics &regular = TextMetrics::of(fontSize, false);
    const double digit = regular.width(u"0");
    for (int i = 0; i < columns.size(); ++i) {
        const ReportColumn &c = columns.at(i);
        Measure &m = m_measures[size_t(i)];
        for (const QString &line : c.caption) {
            const QString text = line.trimmed();
            m.captionLine = std::max(m.captionLine, bold.width(text));
            m.captionWord = std::max(m.captionWord, bold.widestWord(text));
        }
        m.given = c.width > 0 ? c.width * digit : 0;
        m.wraps = c.type == ValueType::String && !c.picture;
        m.picture = c.picture;
    }
}

QString ColumnSizer::cellText(const ReportData &data, int row, const ReportColumn &column)
{
    try {
        return formatValue(data.item(row, column.name), column.format);
    } catch (const std::exception &) {
        return QString();   // a value that cannot be read shows as blank
    }
}

void ColumnSizer::takeValues(const ColumnSizer &other)
{
    for (int i = 0; i < count() && i < other.count(); ++i) {
        Measure &m = m_measures[size_t(i)];
        const Measure &o = other.measure(i);
        m.valuesWidth = std::max(m.valuesWidth, o.valuesWidth);
        m.valuesWord = std::max(m.valuesWord, o.valuesWord);
        m.breaks = m.breaks || o.breaks;
    }
}

bool ColumnSizer::measureRows(const ReportData &data, int first, int last)
{
    first = std::max(1, first);
    last = std::min(last, data.rowCount());
    if (first > last)
        return false;
    const TextMetrics &metrics = TextMetrics::of(m_fontSize, false);
    const double longWord = kLongWordEm * m_fontSize;
    bool grew = false;
    for (int i = 0; i < count(); ++i) {
        const ReportColumn &c = m_columns.at(i);
        if (c.picture)
            continue;
        Measure &m = m_measures[size_t(i)];
        const double before = natural(i);
        // Texts and numbers straight from the typed values where the data keeps them.
        int offset = 0;
        const ColumnData *values = c.computed ? nullptr : data.columnValues(c.name, &offset);
        if (values && values->type() != ValueType::String && values->type() != ValueType::Number)
            values = nullptr;
        const NumberFormat number(c.format);
        for (int row = first; row <= last; ++row) {
            const QString text = !values                                ? cellText(data, row, c)
                                 : values->type() == ValueType::String ? values->textAt(row - offset)
                                                                       : number(values->decimalAt(row - offset));
            if (text.isEmpty())
                continue;
            const double w = metrics.widestLine(text);
            m.breaks = m.breaks || text.contains(QLatin1Char('\n'));
            if (w > m.valuesWidth)
                m.valuesWidth = w;
            // Words are looked at only where they could set the minimum.
            if (!m.wraps)
                m.valuesWord = m.valuesWidth;
            else if (w > m.valuesWord && m.valuesWord < longWord)
                m.valuesWord = std::min(longWord, std::max(m.valuesWord, metrics.widestWord(text)));
        }
        grew = grew || natural(i) > before + 1e-9;
    }
    return grew;
}

bool ColumnSizer::measureUnder(int i, const QString &text, double fontSize, bool bold)
{
    if (i < 0 || i >= count() || text.isEmpty())
        return false;
    Measure &m = m_measures[size_t(i)];
    const double w = TextMetrics::of(fontSize, bold).widestLine(text);
    if (w <= m.under)
        return false;
    const double before = natural(i);
    m.under = w;
    return natural(i) > before + 1e-9;
}

double ColumnSizer::minimum(int i) const
{
    const Measure &m = measure(i);
    if (m.picture)
        return pictureWidth;
    const double digit = TextMetrics::of(m_fontSize, false).width(u"0");
    const double caption = std::max(m.captionWord, std::min(m.captionLine, kKeepCaptionEm * m_fontSize));
    const double values = m.wraps ? std::max(m.valuesWord, std::min(m.valuesWidth, kKeepWholeEm * m_fontSize))
                                  : m.valuesWidth;
    return std::ceil(std::max({kMinChars * digit, caption, m.under, values}) + 2 * padding);
}

double ColumnSizer::natural(int i) const
{
    const Measure &m = measure(i);
    if (m.picture)
        return std::max(pictureWidth, std::ceil(m.captionWord + 2 * padding));
    // A caption much longer than the values wraps rather than widening the column.
    const double caption = std::max(m.captionWord, std::min(m.captionLine, std::max(m.valuesWidth, kCaptionWrapEm * m_fontSize)));
    const double w = std::max({m.valuesWidth, caption, m.given, m.under});
    return std::max(minimum(i), std::ceil(w + 2 * padding));
}

ColumnSizer::Fit ColumnSizer::fit(double target, double keyWidth) const
{
    Fit out;
    double total = 0;
    double totalMin = 0;
    for (int i = 0; i < count(); ++i) {
        out.widths << natural(i);
        total += natural(i);
        totalMin += minimum(i);
    }
    if (target <= 0 || total <= target + 1e-9)
        return out;
    if (totalMin <= target + 1e-9) {
        // The widest columns give way first: every column is cut to a common
        // level, but never below its minimum. The level is found by halving.
        double low = 0;
        double high = *std::max_element(out.widths.begin(), out.widths.end());
        for (int step = 0; step < 60; ++step) {
            const double level = (low + high) / 2;
            double sum = 0;
            for (int i = 0; i < count(); ++i)
                sum += std::max(minimum(i), std::min(natural(i), level));
            (sum > target ? high : low) = level;
        }
        for (int i = 0; i < count(); ++i)
            out.widths[i] = std::floor(std::max(minimum(i), std::min(natural(i), low)));
        return out;
    }
    // Pages across: each column as it comes, but none wider than a page beside the keys.
    out.across = true;
    const double cap = std::max(kMinAcrossEm * m_fontSize, target - keyWidth);
    for (int i = 0; i < count(); ++i)
        out.widths[i] = std::min(natural(i), std::max(cap, measure(i).picture ? pictureWidth : 0.0));
    return out;
}

} // namespace wip::reports
