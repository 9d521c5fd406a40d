#include "reports/render/xlsxexport.h"

#include "reports/render/reportcolumns.h"
#include "runtime/decimal.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>
#include <xlsxwriter.h>

namespace wip::reports {

namespace {

// Number format of a spreadsheet cell from a display format: as many decimals as
// its first section shows ("####.#" -> "0.0").
QByteArray numberFormat(const QString &format)
{
    const QString first = format.section(QLatin1Char(';'), 0, 0);
    const int dot = first.indexOf(QLatin1Char('.'));
    QByteArray out = first.contains(QLatin1Char(',')) ? "#,##0" : "0";
    if (dot >= 0) {
        int decimals = 0;
        for (int i = dot + 1; i < first.size() && (first[i] == QLatin1Char('#') || first[i] == QLatin1Char('0')); ++i)
            ++decimals;
        if (decimals > 0)
            out += '.' + QByteArray(decimals, '0');
    }
    return out;
}

bool showsTime(const QString &format, ValueType type)
{
    const QString f = format.toLower();
    if (f.isEmpty() || f == QLatin1String("[general]"))
        return type == ValueType::DateTime;
    return f.contains(QLatin1String("[time]")) || f.contains(QLatin1Char('h'));
}

QString sheetName(const QString &name, QSet<QString> &used)
{
    QString base = name;
    for (QChar bad : QStringLiteral("[]:*?/\\"))
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

class SheetWriter
{
public:
    explicit SheetWriter(lxw_workbook *book) : m_book(book)
    {
        m_caption = workbook_add_format(book);
        format_set_bold(m_caption);
        format_set_text_wrap(m_caption);
        m_date = workbook_add_format(book);
        format_set_num_format(m_date, "yyyy-mm-dd");
        m_dateTime = workbook_add_format(book);
        format_set_num_format(m_dateTime, "yyyy-mm-dd hh:mm:ss");
    }

    void write(const ReportData &data)
    {
        if (data.definition().layout == LayoutKind::Composite) {
            for (const ReportData *nested : data.nested()) {
                if (nested)
                    write(*nested);
            }
            return;
        }
        const QByteArray name = sheetName(data.definition().name, m_names).toUtf8();
        lxw_worksheet *sheet = workbook_add_worksheet(m_book, name.constData());
        if (!sheet)
            return;
        const QVector<ReportColumn> columns = reportColumns(data);
        QVector<lxw_format *> numberFormats;
        for (int c = 0; c < columns.size(); ++c) {
            const ReportColumn &col = columns.at(c);
            QStringList lines;
            for (const QString &line : col.caption)
                lines << line.trimmed();
            const QString caption = lines.isEmpty() ? col.name : lines.join(QLatin1Char(' '));
            worksheet_write_string(sheet, 0, lxw_col_t(c), caption.toUtf8().constData(), m_caption);
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), std::max(8, std::min(40, int(caption.size()) + 4)), nullptr);
            lxw_format *nf = workbook_add_format(m_book);
            format_set_num_format(nf, numberFormat(col.format).constData());
            numberFormats << nf;
        }
        for (int r = 1; r <= data.rowCount(); ++r) {
            for (int c = 0; c < columns.size(); ++c) {
                const ReportColumn &col = columns.at(c);
                QVariant v;
                try {
                    v = data.item(r, col.name);
                } catch (const std::exception &) {
                    continue;
                }
                writeCell(sheet, lxw_row_t(r), lxw_col_t(c), v, col, numberFormats.at(c));
            }
        }
    }

private:
    void writeCell(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t col, const QVariant &v,
                   const ReportColumn &column, lxw_format *numberFormat)
    {
        if (!v.isValid() || v.isNull())
            return;
        if (Decimal::isDecimal(v)) {   // the double nearest to the decimal: a workbook holds doubles
            worksheet_write_number(sheet, row, col, v.toDouble(), numberFormat);
            return;
        }
        switch (v.metaType().id()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            worksheet_write_number(sheet, row, col, v.toDouble(), numberFormat);
            return;
        case QMetaType::QDate:
        case QMetaType::QDateTime: {
            const QDateTime dt = v.metaType().id() == QMetaType::QDate
                ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime();
            if (!dt.isValid())
                return;
            lxw_datetime x{dt.date().year(), dt.date().month(), dt.date().day(),
                           dt.time().hour(), dt.time().minute(), double(dt.time().second())};
            worksheet_write_datetime(sheet, row, col, &x,
                                     showsTime(column.format, column.type) ? m_dateTime : m_date);
            return;
        }
        default:
            worksheet_write_string(sheet, row, col, v.toString().toUtf8().constData(), nullptr);
        }
    }

    lxw_workbook *m_book;
    lxw_format *m_caption;
    lxw_format *m_date;
    lxw_format *m_dateTime;
    QSet<QString> m_names;
};

} // namespace

bool writeXlsx(const ReportData &data, const QString &fileName, QString *error)
{
    const QByteArray path = QFileInfo(fileName).absoluteFilePath().toUtf8();
    lxw_workbook *book = workbook_new(path.constData());
    if (!book) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(fileName);
        return false;
    }
    SheetWriter writer(book);
    writer.write(data);
    const lxw_error result = workbook_close(book);
    if (result != LXW_NO_ERROR) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(fileName, QString::fromUtf8(lxw_strerror(result)));
        return false;
    }
    return true;
}

} // namespace wip::reports
