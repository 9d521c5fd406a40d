#include "reports/render/textmetrics.h"

#include <QImage>
#include <QPaintDevice>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace wip::reports {

namespace {

// A device of 72 dots per inch: one pixel is one point, the model's unit.
const QImage &pointDevice()
{
    static const QImage image = [] {
        QImage i(4, 4, QImage::Format_RGB32);
        const int dotsPerMeter = int(std::lround(72 / 0.0254));
        i.setDotsPerMeterX(dotsPerMeter);
        i.setDotsPerMeterY(dotsPerMeter);
        return i;
    }();
    return image;
}

bool needsShaping(char16_t c)
{
    return QChar::isSurrogate(c) || (c >= 0x300 && QChar::isMark(c));
}

// Positions after which a line may break (the end of the text included).
std::vector<int> breakPositions(const QString &text)
{
    std::vector<int> out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    while (finder.toNextBoundary() > 0)
        out.push_back(int(finder.position()));
    if (out.empty() || out.back() != text.size())
        out.push_back(int(text.size()));
    return out;
}

QStringView rightTrimmed(QStringView s)
{
    while (!s.isEmpty() && s.back().isSpace())
        s.chop(1);
    return s;
}

} // namespace

const TextMetrics &TextMetrics::of(double pointSize, bool bold)
{
    // Sizes in tenths of a point are plenty: the layout uses whole points.
    static std::map<std::pair<int, bool>, std::unique_ptr<TextMetrics>> cache;
    const std::pair<int, bool> key{int(std::lround(pointSize * 10)), bold};
    auto &entry = cache[key];
    if (!entry)
        entry.reset(new TextMetrics(key.first / 10.0, bold));
    return *entry;
}

QString TextMetrics::fontFamily()
{
    return QStringLiteral("WenQuanYi Micro Hei");
}

QFont TextMetrics::font(double pointSize, bool bold, const QPaintDevice *device)
{
    // The last fonts made, shared: a report paints in two or three.
    struct Made
    {
        double pointSize;
        bool bold;
        int dpi;
        QFont font;
    };
    thread_local std::vector<Made> made;
    const int dpi = device ? device->logicalDpiY() : 72;
    for (const Made &m : made) {
        if (m.pointSize == pointSize && m.bold == bold && m.dpi == dpi)
            return m.font;
    }
    if (made.size() >= 8)
        made.erase(made.begin());
    made.push_back(Made{pointSize, bold, dpi, newFont(pointSize, bold, dpi)});
    return made.back().font;
}

QFont TextMetrics::newFont(double pointSize, bool bold, int dpi)
{
    QFont f(fontFamily());
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(pointSize * 72.0 / std::max(1, dpi));
    f.setBold(bold);
    // Widths are sums of the characters' advances, as they are measured.
    f.setKerning(false);
    return f;
}

TextMetrics::TextMetrics(double pointSize, bool bold)
    : m_pointSize(pointSize), m_bold(bold), m_font(font(pointSize, bold, &pointDevice()))
{
    m_metrics = std::make_unique<QFontMetricsF>(m_font, &pointDevice());
    m_ascent = m_metrics->ascent();
    m_descent = m_metrics->descent();
    m_latin.fill(-1.f);
}

double TextMetrics::charWidth(char16_t c) const
{
    if (c < m_latin.size()) {
        float &w = m_latin[c];
        if (w < 0)
            w = float(m_metrics->horizontalAdvance(QChar(c)));
        return w;
    }
    auto it = m_other.constFind(c);
    if (it == m_other.cend())
        it = m_other.insert(c, float(m_metrics->horizontalAdvance(QChar(c))));
    return *it;
}

double TextMetrics::width(QStringView text) const
{
    double w = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\r')
            continue;
        if (needsShaping(u))
            return m_metrics->horizontalAdvance(text.toString());
        w += charWidth(u);
    }
    return w;
}

double TextMetrics::widestLine(const QString &text) const
{
    if (!text.contains(QLatin1Char('\n')))
        return width(text);
    double widest = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n')))
        widest = std::max(widest, width(line));
    return widest;
}

double TextMetrics::widestWord(const QString &text) const
{
    double widest = 0;
    int start = 0;
    for (const int pos : breakPositions(text)) {
        widest = std::max(widest, width(rightTrimmed(QStringView(text).mid(start, pos - start))));
        start = pos;
    }
    return widest;
}

QStringList TextMetrics::wrap(const QString &text, double limit) const
{
    QStringList lines;
    for (QStringView para : QStringView(text).split(QLatin1Char('\n'))) {
        if (para.endsWith(QLatin1Char('\r')))
            para.chop(1);
        para = rightTrimmed(para);
        if (width(para) <= limit) {
            lines << para.toString();
            continue;
        }
        const QString p = para.toString();
        const std::vector<int> breaks = breakPositions(p);
        int start = 0;
        size_t bi = 0;
        while (start < p.size()) {
            // The furthest break whose line still fits.
            int fit = -1;
            while (bi < breaks.size()) {
                const int pos = breaks[bi];
                if (pos <= start) {
                    ++bi;
                    continue;
                }
                if (width(rightTrimmed(QStringView(p).mid(start, pos - start))) > limit)
                    break;
                fit = pos;
                ++bi;
            }
            if (fit < 0) {
                // One word wider than the line: as many characters as fit, at least one.
                int end = start + 1;
                if (QChar::isHighSurrogate(p.at(start).unicode()) && end < p.size())
                    ++end;
                while (end < p.size() && width(QStringView(p).mid(start, end + 1 - start)) <= limit)
                    ++end;
                while (end < p.size() && (QChar::isLowSurrogate(p.at(end).unicode()) || p.at(end).isMark()))
                    ++end;
                fit = end;
            }
            lines << rightTrimmed(QStringView(p).mid(start, fit - start)).toString();
            start = fit;
            while (start < p.size() && p.at(start).isSpace())
                ++start;
        }
    }
    return lines;
}

int TextMetrics::lineCount(const QString &text, double limit) const
{
    if (!text.contains(QLatin1Char('\n')) && width(text) <= limit)
        return 1;
    return int(wrap(text, limit).size());
}

} // namespace wip::reports
