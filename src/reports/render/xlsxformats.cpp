#include "reports/render/xlsxformats.h"

#include "runtime/values.h"

#include <xlsxwriter.h>

namespace wip::reports {

namespace {

bool isMaskChar(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char('.') || c == QLatin1Char(',');
}

// One section of a display format: text before the mask, the mask, text after.
struct Section
{
    QString before, mask, after;
};

Section splitSection(const QString &section)
{
    Section out;
    int first = -1;
    int last = -1;
    for (int i = 0; i < section.size(); ++i) {
        if (isMaskChar(section.at(i)) && (section.at(i) != QLatin1Char('.') || first >= 0 || i + 1 < section.size())) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0) {
        out.before = section;
        return out;
    }
    out.before = section.left(first);
    out.mask = section.mid(first, last - first + 1);
    out.after = section.mid(last + 1);
    return out;
}

QByteArray quoted(const QString &text)
{
    if (text.isEmpty())
        return {};
    QString t = text;
    t.replace(QLatin1Char('"'), QString());
    return '"' + t.toUtf8() + '"';
}

QByteArray sectionFormat(const QString &section)
{
    if (section.trimmed().isEmpty())
        return {};   // a blank section shows nothing (the zero of "#.##;-#.##; ")
    const Section s = splitSection(section);
    if (s.mask.isEmpty())
        return quoted(s.before);
    const int dot = s.mask.indexOf(QLatin1Char('.'));
    const QString decimals = dot >= 0 ? s.mask.mid(dot + 1) : QString();
    const int required = int(decimals.count(QLatin1Char('0')));
    const int optional = int(decimals.count(QLatin1Char('#')));
    QByteArray body;
    if (required == 0 && optional > 0 && !s.mask.contains(QLatin1Char(','))) {
        body = "General";   // decimals as the value needs, no trailing point
    } else {
        body = s.mask.left(dot >= 0 ? dot : s.mask.size()).contains(QLatin1Char(',')) ? "#,##0" : "0";
        if (required + optional > 0)
            body += '.' + QByteArray(required, '0') + QByteArray(optional, '#');
    }
    QByteArray before = s.before == QLatin1String("-") ? QByteArray("-") : quoted(s.before);
    return before + body + quoted(s.after);
}

} // namespace

XlsxFormats::XlsxFormats(lxw_workbook *book)
    : m_book(book)
{
}

lxw_format *XlsxFormats::cached(const QByteArray &plainKey, const QByteArray &numFormat, bool isBold, const QString &fill)
{
    const QByteArray key = fill.isEmpty() ? plainKey : plainKey + "|fill" + fill.toLatin1();
    const auto it = m_formats.constFind(key);
    if (it != m_formats.cend())
        return *it;
    lxw_format *f = workbook_add_format(m_book);
    if (!numFormat.isEmpty())
        format_set_num_format(f, numFormat.constData());
    if (isBold)
        format_set_bold(f);
    if (!fill.isEmpty()) {
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, lxw_color_t(fill.mid(1).toUInt(nullptr, 16)));
    }
    m_formats.insert(key, f);
    return f;
}

lxw_format *XlsxFormats::title()
{
    lxw_format *f = cached("title", {}, true);
    format_set_font_size(f, 14);
    format_set_align(f, LXW_ALIGN_CENTER);
    return f;
}

lxw_format *XlsxFormats::heading(Align align)
{
    const QByteArray key = "heading" + QByteArray::number(int(align));
    lxw_format *f = cached(key, {}, false);
    format_set_align(f, align == Align::Left ? LXW_ALIGN_LEFT : align == Align::Right ? LXW_ALIGN_RIGHT : LXW_ALIGN_CENTER);
    return f;
}

lxw_format *XlsxFormats::caption()
{
    lxw_format *f = cached("caption", {}, true);
    format_set_text_wrap(f);
    format_set_align(f, LXW_ALIGN_CENTER);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    format_set_bottom(f, LXW_BORDER_THIN);
    return f;
}

lxw_format *XlsxFormats::bold()
{
    return cached("bold", {}, true);
}

lxw_format *XlsxFormats::number(const QString &displayFormat, bool isBold, const QString &fill)
{
    const QByteArray numFormat = numberFormat(displayFormat);
    return cached("n" + QByteArray(isBold ? "b" : "") + numFormat, numFormat, isBold, fill);
}

lxw_format *XlsxFormats::date(const QString &displayFormat, ValueType type, bool isBold, const QString &fill)
{
    const QByteArray numFormat = dateFormat(displayFormat, type);
    return cached("d" + QByteArray(isBold ? "b" : "") + numFormat, numFormat, isBold, fill);
}

lxw_format *XlsxFormats::text(const QString &fill)
{
    return fill.isEmpty() ? nullptr : cached("t", {}, false, fill);
}

QByteArray XlsxFormats::numberFormat(const QString &displayFormat)
{
    const QString f = displayFormat.trimmed();
    if (f.isEmpty() || f.startsWith(QLatin1Char('[')))
        return "General";
    const QStringList sections = values::formatSections(displayFormat);
    QList<QByteArray> out;
    for (const QString &section : sections)
        out << sectionFormat(section);
    // One section serves negatives as well; the spreadsheet adds their sign itself.
    return out.join(';');
}

QByteArray XlsxFormats::dateFormat(const QString &displayFormat, ValueType type)
{
    QString f = displayFormat.trimmed().toLower();
    if (f.isEmpty() || f == QLatin1String("[general]"))
        return type == ValueType::DateTime ? "yyyy-mm-dd hh:mm:ss" : "yyyy-mm-dd";
    f.replace(QLatin1String("[shortdate]"), QLatin1String("yyyy-mm-dd"));
    f.replace(QLatin1String("[time]"), QLatin1String("hh:mm:ss"));
    return f.toUtf8();
}

} // namespace wip::reports
