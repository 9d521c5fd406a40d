#include "reports/render/xlsxexport.h"

#include "reports/datastore.h"
#include "reports/displayformat.h"
#include "reports/render/pagemodel.h"
#include "reports/render/picturestore.h"
#include "reports/render/xlsxformats.h"
#include "reports/reportcolumns.h"
#include "reports/reportcriteria.h"
#include "reports/reportruns.h"
#include "reports/retrievalarguments.h"
#include "runtime/decimal.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"
#include "runtime/trace.h"

#include <QBuffer>
#include <QFile>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <optional>

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

    // The worksheet with its heading and captions, the heading's fields
    // evaluated at row 1 of the data the writer was made with.
    void begin(const QString &name)
    {
        const QByteArray utf8 = name.toUtf8();
        m_sheet = workbook_add_worksheet(m_book, utf8.constData());
        if (!m_sheet || m_model.sectionCount() == 0)
            return;
        m_columns = reportColumns(m_data, ColumnUse::Output);
        m_widths = QVector<int>(std::max<qsizetype>(1, m_columns.size()), 8);
        writeHeading(m_model.section(0));
        writeCaptions();
    }

    bool ready() const { return m_sheet && m_model.sectionCount() > 0; }

    // The summary evaluated at row `row` of data (0: a report without rows).
    void summary(const ReportData &data, int row)
    {
        if (ready())
            writeBand(data, m_model.section(0), m_model.section(0).summary, row);
    }

    // The columns as wide as what they show.
    void finish()
    {
        if (!ready())
            return;
        for (int c = 0; c < m_columns.size(); ++c) {
            const int width = m_columns.at(c).picture ? kPictureColumnChars : std::min(kMaxColumnChars, m_widths.at(c) + 2);
            worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr);
        }
    }

    // The whole report, its rows retrieved. False when the person waiting
    // cancelled (LongWork).
    bool write(const QString &name)
    {
        begin(name);
        if (!ready())
            return true;
        const PageModel::Section &s = m_model.section(0);
        for (const PageModel::Run &run : s.runs) {
            if (run.kind == PageModel::RunKind::Detail) {
                for (int r = run.firstRow; r <= run.lastRow; ++r) {
                    writeRow(m_data, r);
                    if (!LongWork::progress(r, m_data.rowCount()))
                        return false;
                }
            } else {
                writeBand(m_data, s, s.templateOf(run), run.kind == PageModel::RunKind::GroupHeader ? run.firstRow : run.lastRow);
            }
        }
        finish();
        return true;
    }

    void writeRow(const ReportData &data, int r)
    {
        bool pictures = false;
        // A row the definition's fill marks: every printed cell of it, blank
        // ones too, so the row reads as one band.
        m_fill = rowFillColor(data, r);
        for (int c = 0; !m_fill.isEmpty() && c < m_columns.size(); ++c)
            worksheet_write_blank(m_sheet, lxw_row_t(m_row), lxw_col_t(c), m_formats.text(m_fill));
        for (int c = 0; c < m_columns.size(); ++c) {
            const ReportColumn &col = m_columns.at(c);
            QVariant v;
            try {
                v = data.item(r, col.name);
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

    // A group header or trailer, or the summary: its items under their columns,
    // its lines of their own in the first column.
    void writeBand(const ReportData &data, const PageModel::Section &s, const PageModel::BandTemplate &band, int row)
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
                    v = row >= 1 ? data.item(row, item.name) : QVariant();
                } catch (const std::exception &) {
                }
                const ComputedField *f = s.data->definition().computedField(item.name);
                value(c, outputValue(v, item.format, ratio(s, item.name)), item.format,
                      f ? f->type : ValueType::Number, true);
            } else {
                const QString t = item.kind == PageModel::ItemKind::Label ? item.name : data.objectText(item.name);
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

// What a report needs of the database and the file to be written as it is
// read: a tabular report whose heading reads no more than its first row.
bool streamsToSheet(const Definition &def, const CompiledDefinition &compiled)
{
    if (!ReportRuns::streams(def, compiled))
        return false;
    for (int i = 0; i < compiled.fields.size(); ++i) {
        if (compiled.fields.at(i).band == Band::Header && !compiled.expressions[size_t(i)]->readsOnlyItsRow())
            return false;
    }
    return true;
}

// A report's worksheets written as its rows are read (ReportRuns): the
// heading with the first run, the rows run by run, the summary with the last
// row once every aggregate is known. Reports that are not read so are
// retrieved whole and written as writeXlsx writes them.
class StreamedBook
{
public:
    StreamedBook(lxw_workbook *book, XlsxFormats &formats, QSet<QString> &names)
        : m_book(book), m_formats(formats), m_names(names)
    {
    }

    ReportRuns::Step report(DataStore &store, const QVariantList &args)
    {
        const Definition &def = store.definition();
        const std::optional<QVariantList> values = RetrievalArguments::complete(def, args);
        if (!values)
            return ReportRuns::Step::NotRetrieved;
        if (def.layout == LayoutKind::Composite) {
            for (int i = 0; i < store.nestedCount(); ++i) {
                DataStore &nested = *store.nestedStore(i);
                const ReportRuns::Step step = report(nested, RetrievalArguments::forNested(def, i, nested.definition(), *values));
                if (step != ReportRuns::Step::Done)
                    return step;
            }
            return ReportRuns::Step::Done;
        }
        const auto compiled = CompiledDefinition::of(store.definitionPtr());
        if (!streamsToSheet(def, *compiled))
            return whole(store, *values);

        ReportRuns runs(store, compiled);
        std::optional<SheetWriter> sheet;
        const auto begin = [&] {
            sheet.emplace(m_book, runs.run(), m_formats);
            sheet->begin(sheetName(ReportCriteria::title(runs.run()), m_names));
        };
        const int before = m_rowsWritten;
        const ReportRuns::Step step = runs.read(*values, StreamedExport::runSize(), [&] {
            if (!sheet)
                begin();
            if (sheet->ready()) {
                const RowWindow &run = runs.run();
                for (int r = run.firstRow(); r <= run.lastRow(); ++r)
                    sheet->writeRow(run, r);
            }
            return true;
        }, [&](int rows) {
            m_rowsWritten = before + rows;
            return LongWork::progress(m_rowsWritten);
        });
        if (step != ReportRuns::Step::Done)
            return step;
        if (!sheet)
            begin();   // no rows: the heading, the captions and the summary's texts
        sheet->summary(runs.last(), runs.rowCount());
        sheet->finish();
        return ReportRuns::Step::Done;
    }

private:
    ReportRuns::Step whole(DataStore &store, const QVariantList &values)
    {
        if (store.Retrieve(values) < 0)
            return ReportRuns::Step::NotRetrieved;
        const bool written = writeReport(m_book, store, m_formats, m_names);
        store.Reset();
        return written ? ReportRuns::Step::Done : ReportRuns::Step::Cancelled;
    }

    lxw_workbook *m_book;
    XlsxFormats &m_formats;
    QSet<QString> &m_names;
    int m_rowsWritten = 0;
};

// A workbook under the file's name, its scratch files in the same folder and
// each row going to them as it is written, not into memory; nullptr with *why.
lxw_workbook *newBook(const QString &file, QString *why)
{
    const QByteArray path = QFile::encodeName(file);
    QByteArray scratch = QFile::encodeName(QFileInfo(file).absolutePath());
    lxw_workbook_options options{};
    options.tmpdir = scratch.data();
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(path.constData(), &options);
    if (!book)
        *why = QStringLiteral("the workbook could not be created");
    return book;
}

// Closes the book; false with *why when it was not written whole.
bool closeBook(lxw_workbook *book, bool complete, QString *why)
{
    if (!complete) {
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
}

} // namespace

bool writeXlsx(const ReportData &data, const QString &fileName, QString *error)
{
    // The workbook is written by name, under a temporary one beside the target.
    const auto writeBook = [&data](const QString &file, QString *why) {
        lxw_workbook *book = newBook(file, why);
        if (!book)
            return false;
        LongWork work(QStringLiteral("正在导出… Exporting…"));
        bool written = true;
        {
            XlsxFormats formats(book);
            QSet<QString> names;
            written = writeReport(book, data, formats, names);
            if (names.isEmpty())
                workbook_add_worksheet(book, nullptr);   // a workbook needs a sheet
        }
        return closeBook(book, written, why);
    };
    QString message;
    if (OutputFile::saveByName(QFileInfo(fileName).absoluteFilePath(), writeBook, &message))
        return true;
    if (error)
        *error = message;
    return false;
}

StreamedExport::Outcome writeXlsx(DataStore &store, const QVariantList &args, const QString &fileName, QString *error)
{
    LongWork work(QStringLiteral("正在导出… Exporting…"));
    ReportRuns::Step step = ReportRuns::Step::Done;
    const auto writeBook = [&](const QString &file, QString *why) {
        for (;;) {
            lxw_workbook *book = newBook(file, why);
            if (!book)
                return false;
            {
                XlsxFormats formats(book);
                QSet<QString> names;
                step = StreamedBook(book, formats, names).report(store, args);
                if (step == ReportRuns::Step::Done && names.isEmpty())
                    workbook_add_worksheet(book, nullptr);   // a workbook needs a sheet
            }
            if (step != ReportRuns::Step::OutOfOrder)
                return closeBook(book, step == ReportRuns::Step::Done, why);
            // The database sorted some rows otherwise than the report does: the
            // report is retrieved whole and sorted here, into a new workbook.
            workbook_close(book);
            Trace::write(QStringLiteral("%1: the database sorts its rows otherwise than the report; "
                                        "retrieved whole to be written").arg(store.definition().name));
            if (store.Retrieve(args) < 0) {
                step = ReportRuns::Step::NotRetrieved;
                return false;
            }
            book = newBook(file, why);
            if (!book)
                return false;
            bool written = true;
            {
                XlsxFormats formats(book);
                QSet<QString> names;
                written = writeReport(book, store, formats, names);
                if (names.isEmpty())
                    workbook_add_worksheet(book, nullptr);
            }
            step = written ? ReportRuns::Step::Done : ReportRuns::Step::Cancelled;
            return closeBook(book, written, why);
        }
    };
    QString message;
    const bool saved = OutputFile::saveByName(QFileInfo(fileName).absoluteFilePath(), writeBook, &message);
    if (saved)
        return StreamedExport::Outcome::Written;
    switch (step) {
    case ReportRuns::Step::NotRetrieved: return StreamedExport::Outcome::NotRetrieved;
    case ReportRuns::Step::Cancelled: return StreamedExport::Outcome::Cancelled;
    default:
        if (error)
            *error = message;
        return StreamedExport::Outcome::NotWritten;
    }
}

} // namespace wip::reports
