#include "reports/render/xlsxexport.h"

#include "reports/displayformat.h"
#include "reports/render/pagemodel.h"
#include "reports/render/picturestore.h"
#include "reports/render/xlsxformats.h"
#include "reports/reportcolumns.h"
#include "reports/reportcriteria.h"
#include "runtime/decimal.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"

#include <QBuffer>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>

namespace wip::reports {

namespace {

constexpr double kPictureRowHeight = 42;   // points
constexpr int kPictureColumnChars = 11;
constexpr int kMaxColumnChars = 60;

QString sheetName(const QString &name, QSet<QString> &used)
{
    QString base = name.simplified();
    for (QChar bad : QStringLiteral("[]:*?/\\'"))
        base.replace(bad, QLatin1Char('_'));
    if (base.isEmpty())
        base = QStringLiteral("report");
    base = base.left(31);
    QString candidate = base;
    for (int n = 2; used.contains(candidate.toLower()); ++n) {
        const QString suffix = QStringLiteral("_%1").arg(n);
        candidate = base.left(31 - suffix.size()) + suffix;
    }
    used.insert(candidate.toLower());
    return candidate;
}

// How wide a text is in a spreadsheet's character units: Chinese counts double.
int displayChars(const QString &text)
{
    int widest = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        int n = 0;
        for (const QChar c : line)
            n += c.unicode() >= 0x2E80 ? 2 : 1;
        widest = std::max(widest, n);
    }
    return widest;
}

// One report into one worksheet: title and heading lines, the criteria, the
// captions (frozen), then the body as the report prints it - rows, group
// headers and trailers with their sums, the summary.
class SheetWriter
{
public:
    SheetWriter(lxw_workbook *book, const ReportData &data, XlsxFormats &formats)
        : m_book(book), m_data(data), m_formats(formats),
          m_model(data, PageModel::Options{9, PageModel::Purpose::Export, 7})
    {
    }

    // False when the person waiting cancelled (LongWork).
    bool write(const QString &name)
    {
        const QByteArray utf8 = name.toUtf8();
        m_sheet = workbook_add_worksheet(m_book, utf8.constData());
        if (!m_sheet || m_model.sectionCount() == 0)
            return true;
        const PageModel::Section &s = m_model.section(0);
        m_columns = reportColumns(m_data, ColumnUse::Output);
        m_widths = QVector<int>(std::max<qsizetype>(1, m_columns.size()), 8);
        writeHeading(s);
        writeCaptions();
        for (const PageModel::Run &run : s.runs) {
            if (run.kind == PageModel::RunKind::Detail) {
                for (int r = run.firstRow; r <= run.lastRow; ++r) {
                    writeRow(r);
                    if (!LongWork::progress(r, m_data.rowCount()))
                        return false;
                }
            } else {
                writeBand(s, s.templateOf(run), run.kind == PageModel::RunKind::GroupHeader ? run.firstRow : run.lastRow);
            }
        }
        for (int c = 0; c < m_columns.size(); ++c) {
            const int width = m_columns.at(c).picture ? kPictureColumnChars : std::min(kMaxColumnChars, m_widths.at(c) + 2);
            worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr);
        }
        return true;
    }

private:
    void text(int col, const QString &value, lxw_format *format)
    {
        const QByteArray utf8 = value.toUtf8();
        worksheet_write_string(m_sheet, lxw_row_t(m_row), lxw_col_t(col), utf8.constData(), format);
    }

    // A line of the heading across the report's columns.
    void headingLine(const QString &value, lxw_format *format)
    {
        const int last = std::max(0, int(m_columns.size()) - 1);
        const QByteArray utf8 = value.toUtf8();
        if (last > 0)
            worksheet_merge_range(m_sheet, lxw_row_t(m_row), 0, lxw_row_t(m_row), lxw_col_t(last), utf8.constData(), format);
        else
            worksheet_write_string(m_sheet, lxw_row_t(m_row), 0, utf8.constData(), format);
        ++m_row;
    }

    void writeHeading(const PageModel::Section &s)
    {
        const QString title = ReportCriteria::title(m_data);
        headingLine(title, m_formats.title());
        for (const PageModel::Item &item : s.header.items) {
            QString value = item.kind == PageModel::ItemKind::Label ? item.name : m_data.objectText(item.name);
            if (item.kind == PageModel::ItemKind::PageField || item.kind == PageModel::ItemKind::Computed)
                value = headerField(s, item);
            value = value.simplified();
            if (value.isEmpty() || value == title)
                continue;
            headingLine(value, m_formats.heading(item.align));
        }
        headingLine(QStringLiteral("导出 Exported: %1").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
                    m_formats.heading(Align::Left));
    }

    QString headerField(const PageModel::Section &s, const PageModel::Item &item) const
    {
        if (item.expression < 0 || item.expression >= int(s.expressions.size()) || !s.expressions[item.expression])
            return QString();
        try {
            return formatValue(s.expressions[item.expression]->evaluate(m_data, std::max(1, std::min(1, m_data.rowCount()))),
                               item.format);
        } catch (const std::exception &) {
            return QString();
        }
    }

    void writeCaptions()
    {
        int lines = 1;
        for (int c = 0; c < m_columns.size(); ++c) {
            const ReportColumn &col = m_columns.at(c);
            QStringList parts;
            for (const QString &line : col.caption) {
                if (!line.trimmed().isEmpty())
                    parts << line.trimmed();
            }
            const QString caption = parts.isEmpty() ? spokenName(col.name) : parts.join(QLatin1Char('\n'));
            lines = std::max(lines, int(parts.size()));
            text(c, caption, m_formats.caption());
            m_widths[c] = std::max(m_widths[c], displayChars(caption));
        }
        worksheet_set_row(m_sheet, lxw_row_t(m_row), 15.0 * lines + 2, nullptr);
        ++m_row;
        worksheet_freeze_panes(m_sheet, lxw_row_t(m_row), 0);
    }

    void writeRow(int r)
    {
        bool pictures = false;
        // A row the definition's fill marks: every printed cell of it, blank
        // ones too, so the row reads as one band.
        m_fill = rowFillColor(m_data, r);
        for (int c = 0; !m_fill.isEmpty() && c < m_columns.size(); ++c)
            worksheet_write_blank(m_sheet, lxw_row_t(m_row), lxw_col_t(c), m_formats.text(m_fill));
        for (int c = 0; c < m_columns.size(); ++c) {
            const ReportColumn &col = m_columns.at(c);
            QVariant v;
            try {
                v = m_data.item(r, col.name);
            } catch (const std::exception &) {
                continue;
            }
            if (col.picture && !v.toString().trimmed().isEmpty()) {
                pictures = writePicture(c, v.toString()) || pictures;
                continue;
            }
            value(c, outputValue(v, col.format, col.ratio), col.format, col.type, false);
        }
        if (pictures)
            worksheet_set_row(m_sheet, lxw_row_t(m_row), kPictureRowHeight, nullptr);
        m_fill.clear();
        ++m_row;
    }

    // A group header or trailer, or the summary: its items under their columns,
    // its lines of their own in the first column.
    void writeBand(const PageModel::Section &s, const PageModel::BandTemplate &band, int row)
    {
        if (band.isEmpty())
            return;
        QSet<int> taken;
        for (const PageModel::Item &item : band.items) {
            const int c = item.across ? 0 : item.column;
            if (c < 0 || taken.contains(c))
                continue;
            taken.insert(c);
            if (item.kind == PageModel::ItemKind::Computed) {
                QVariant v;
                try {
                    v = row >= 1 ? m_data.item(row, item.name) : QVariant();
                } catch (const std::exception &) {
                }
                const ComputedField *f = s.data->definition().computedField(item.name);
                value(c, outputValue(v, item.format, ratio(s, item.name)), item.format,
                      f ? f->type : ValueType::Number, true);
            } else {
                const QString t = item.kind == PageModel::ItemKind::Label ? item.name : m_data.objectText(item.name);
                if (!t.isEmpty())
                    text(c, t, m_formats.bold());
            }
        }
        ++m_row;
    }

    // Whether a field of a band is a ratio, worked out once per field.
    bool ratio(const PageModel::Section &s, const QString &field)
    {
        auto it = m_ratios.constFind(field);
        if (it == m_ratios.cend())
            it = m_ratios.insert(field, isRatio(s.data->definition(), field));
        return *it;
    }

    void value(int c, const QVariant &v, const QString &format, ValueType type, bool bold)
    {
        if (!v.isValid() || v.isNull())
            return;
        if (c < m_widths.size())
            m_widths[c] = std::max(m_widths[c], displayChars(formatValue(v, format)));
        // A workbook holds doubles: the one nearest to the exact value, which its
        // number format only shows (the values come through outputValue).
        if (Decimal::isDecimal(v)) {
            worksheet_write_number(m_sheet, lxw_row_t(m_row), lxw_col_t(c), Decimal::fromVariant(v)->toDouble(),
                                   m_formats.number(format, bold, m_fill));
            return;
        }
        switch (v.metaType().id()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            worksheet_write_number(m_sheet, lxw_row_t(m_row), lxw_col_t(c), v.toDouble(), m_formats.number(format, bold, m_fill));
            return;
        case QMetaType::QDate:
        case QMetaType::QDateTime: {
            const QDateTime dt = v.metaType().id() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime();
            if (!dt.isValid())
                return;
            lxw_datetime x{dt.date().year(), dt.date().month(), dt.date().day(),
                           dt.time().hour(), dt.time().minute(), double(dt.time().second())};
            worksheet_write_datetime(m_sheet, lxw_row_t(m_row), lxw_col_t(c), &x, m_formats.date(format, type, bold, m_fill));
            return;
        }
        default:
            text(c, v.toString(), bold ? m_formats.bold() : m_formats.text(m_fill));
        }
    }

    // The picture scaled into its cell; a missing or broken file leaves its name.
    bool writePicture(int c, const QString &fileName)
    {
        const QImage image = PictureStore::image(fileName, 160);
        if (image.isNull()) {
            text(c, fileName, nullptr);
            return false;
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        // Cell of kPictureColumnChars characters (about 7 pixels each) by the row's height.
        const double cellW = kPictureColumnChars * 7.0 + 5;
        const double cellH = kPictureRowHeight * 96.0 / 72.0;
        const double scale = std::min((cellW - 4) / image.width(), (cellH - 4) / image.height());
        lxw_image_options options{};
        options.x_offset = int(std::max(2.0, (cellW - image.width() * scale) / 2));
        options.y_offset = 2;
        options.x_scale = scale;
        options.y_scale = scale;
        options.object_position = LXW_OBJECT_MOVE_AND_SIZE;
        worksheet_insert_image_buffer_opt(m_sheet, lxw_row_t(m_row), lxw_col_t(c),
                                          reinterpret_cast<const unsigned char *>(png.constData()), size_t(png.size()),
                                          &options);
        return true;
    }

    lxw_workbook *m_book;
    const ReportData &m_data;
    XlsxFormats &m_formats;
    const PageModel m_model;
    lxw_worksheet *m_sheet = nullptr;
    QVector<ReportColumn> m_columns;
    QVector<int> m_widths;
    QHash<QString, bool> m_ratios;
    QString m_fill;      // the background of the row being written; empty: none
    int m_row = 0;
};

bool writeReport(lxw_workbook *book, const ReportData &data, XlsxFormats &formats, QSet<QString> &names)
{
    if (data.definition().layout == LayoutKind::Composite) {
        for (const ReportData *nested : data.nested()) {
            if (nested && !writeReport(book, *nested, formats, names))
                return false;
        }
        return true;
    }
    return SheetWriter(book, data, formats).write(sheetName(ReportCriteria::title(data), names));
}

} // namespace

bool writeXlsx(const ReportData &data, const QString &fileName, QString *error)
{
    // The workbook is written by name, under a temporary one beside the target,
    // with the library's own scratch files in the same folder.
    const auto writeBook = [&data](const QString &file, QString *why) {
        const QByteArray path = QFile::encodeName(file);
        QByteArray scratch = QFile::encodeName(QFileInfo(file).absolutePath());
        lxw_workbook_options options{};
        options.tmpdir = scratch.data();
        // Each row goes to the scratch file as it is written, not into memory.
        options.constant_memory = LXW_TRUE;
        lxw_workbook *book = workbook_new_opt(path.constData(), &options);
        if (!book) {
            *why = QStringLiteral("the workbook could not be created");
            return false;
        }
        LongWork work(QStringLiteral("正在导出… Exporting…"));
        bool written = true;
        {
            XlsxFormats formats(book);
            QSet<QString> names;
            written = writeReport(book, data, formats, names);
            if (names.isEmpty())
                workbook_add_worksheet(book, nullptr);   // a workbook needs a sheet
        }
        if (!written) {
            workbook_close(book);
            *why = QStringLiteral("cancelled");
            return false;
        }
        const lxw_error result = workbook_close(book);
        if (result != LXW_NO_ERROR) {
            *why = QString::fromUtf8(lxw_strerror(result));
            return false;
        }
        return true;
    };
    QString message;
    if (OutputFile::saveByName(QFileInfo(fileName).absoluteFilePath(), writeBook, &message))
        return true;
    if (error)
        *error = message;
    return false;
}

} // namespace wip::reports
