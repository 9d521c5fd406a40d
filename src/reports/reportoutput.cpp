#include "reports/reportoutput.h"

#include "reports/columndata.h"

#include "reports/reportcolumns.h"
#include "runtime/decimal.h"

#include "runtime/drivemapping.h"
#include "runtime/hosterror.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"
#include "runtime/sqlvalue.h"
#include "runtime/values.h"

#include <QDateTime>

#include <algorithm>
#include <QJsonArray>
#include <QJsonDocument>

namespace wip::reports {

QJsonValue ReportOutput::jsonValue(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QJsonValue::Null;
    if (Decimal::isDecimal(value))   // the double nearest to the decimal, written in its shortest form
        return Decimal::fromVariant(value)->toDouble();
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toDouble();
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QDateTime:
        return values::dateTimeText(value.toDateTime());
    case QMetaType::QDate:
        return values::dateTimeText(value.toDate().startOfDay());
    default:
        return value.toString();
    }
}

QString ReportOutput::plainText(const QVariant &value)
{
    if (Decimal::isDecimal(value) && !value.isNull())
        return values::numberText(*Decimal::fromVariant(value));
    // The kinds of cell a report holds most, without the detour through JSON.
    switch (value.metaType().id()) {
    case QMetaType::QString: return value.toString();
    case QMetaType::QDateTime: return values::dateTimeText(value.toDateTime());
    default: break;
    }
    const QJsonValue v = jsonValue(value);
    switch (v.type()) {
    case QJsonValue::Null: return QString();
    case QJsonValue::Double: return values::numberText(v.toDouble());
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default: return v.toString();
    }
}

namespace {

// A column as JSON names it: its name, except the value columns of a crosstab,
// which are named as their captions name them, by their column keys ("04-执模",
// "2026-11-05"; with several values, the key and the value's name). Its row keys
// and totals keep their names.
QString jsonColumnName(const Definition &definition, const Column &column)
{
    if (!definition.crosstab || definition.crosstab->rows.contains(column.name, Qt::CaseInsensitive))
        return column.name;
    for (const ComputedField &total : definition.crosstab->totals) {
        if (total.name.compare(column.name, Qt::CaseInsensitive) == 0)
            return column.name;
    }
    QStringList lines;
    for (const QString &line : column.caption) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    return lines.isEmpty() ? column.name : lines.join(QLatin1Char(' '));
}

} // namespace

QJsonObject ReportOutput::toJsonObject(const ReportData &report)
{
    QJsonObject o = jsonHead(report);
    const QVector<Column> columns = report.columns();
    QJsonArray rows;
    for (int row = 1; row <= report.rowCount(); ++row)
        rows.append(jsonRow(report, columns, row));
    o.insert(QStringLiteral("rows"), rows);
    return o;
}

QJsonObject ReportOutput::jsonHead(const ReportData &report)
{
    const Definition &definition = report.definition();
    QJsonObject o;
    o.insert(QStringLiteral("definition"), definition.name);
    QJsonArray names;
    for (const Column &c : report.columns())
        names.append(jsonColumnName(definition, c));
    o.insert(QStringLiteral("columns"), names);
    QJsonObject computed;
    for (const ComputedField &f : definition.computed)
        computed.insert(f.name, jsonValue(outputValue(report.item(1, f.name), f.format, isRatio(definition, f.name))));
    o.insert(QStringLiteral("computed"), computed);
    QJsonObject texts;
    for (const TextObject &t : definition.texts)
        texts.insert(t.name, report.objectText(t.name));
    o.insert(QStringLiteral("texts"), texts);
    QJsonArray nested;
    for (const ReportData *n : report.nested())
        nested.append(toJsonObject(*n));
    o.insert(QStringLiteral("nested"), nested);
    return o;
}

QJsonArray ReportOutput::jsonRow(const ReportData &report, const QVector<Column> &columns, int row)
{
    QJsonArray values;
    for (const Column &c : columns)
        values.append(jsonValue(outputValue(report.item(row, c.name), c.format, false)));
    return values;
}

QByteArray ReportOutput::toJson(const ReportData &report)
{
    return QJsonDocument(toJsonObject(report)).toJson(QJsonDocument::Indented);
}

namespace {

QString csvField(const QString &text)
{
    const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == u'"' || c == u',' || c == u'\n' || c == u'\r';
    });
    if (plain)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void appendCsv(const ReportData &report, bool headings, QString *out)
{
    if (report.definition().layout == LayoutKind::Composite) {
        bool first = true;
        for (const ReportData *n : report.nested()) {
            if (!first)
                out->append(QLatin1String("\r\n"));
            appendCsv(*n, headings, out);
            first = false;
        }
        return;
    }
    const QVector<ReportColumn> columns = reportColumns(report, ColumnUse::Output);
    if (headings)
        out->append(ReportOutput::csvHeading(columns));
    ReportOutput::appendCsvRows(report, columns, 1, report.rowCount(), out);
}

} // namespace

QString ReportOutput::csvHeading(const QVector<ReportColumn> &columns)
{
    QStringList header;
    for (const ReportColumn &c : columns)
        header.append(csvField(headingText(c)));
    return header.join(QLatin1Char(',')) + QLatin1String("\r\n");
}

void ReportOutput::appendCsvRows(const ReportData &report, const QVector<ReportColumn> &columns, int first, int last,
                                 QString *out)
{
    // Columns whose typed values the report holds are read from them: the
    // text plainText gives their values (a ratio is rounded as shown first).
    struct Source
    {
        const ColumnData *values = nullptr;
        int offset = 0;
    };
    std::vector<Source> sources(size_t(columns.size()));
    for (int i = 0; i < columns.size(); ++i) {
        Source &source = sources[size_t(i)];
        if (!columns.at(i).ratio)
            source.values = report.columnValues(columns.at(i).name, &source.offset);
    }
    for (int row = first; row <= last; ++row) {
        bool firstField = true;
        for (int i = 0; i < columns.size(); ++i) {
            if (!firstField)
                out->append(QLatin1Char(','));
            firstField = false;
            const Source &source = sources[size_t(i)];
            if (const ColumnData *values = source.values) {
                const qsizetype at = row - source.offset;
                switch (values->type()) {
                case ValueType::Number:
                    if (!values->isNull(at))
                        out->append(values::numberText(values->decimalAt(at)));
                    continue;
                case ValueType::String:
                    out->append(csvField(values->textAt(at)));
                    continue;
                default:
                    out->append(csvField(plainText(values->value(at))));
                    continue;
                }
            }
            const ReportColumn &c = columns.at(i);
            QVariant value;
            try {
                value = report.item(row, c.name);
            } catch (const std::exception &) {
            }
            out->append(csvField(plainText(outputValue(value, c.format, c.ratio))));
        }
        out->append(QLatin1String("\r\n"));
        if ((row & 1023) == 0 && !LongWork::progress(row, last))
            return;   // the person waiting cancelled: the caller writes nothing
    }
}

QByteArray ReportOutput::toCsv(const ReportData &report, bool headings)
{
    QString text;
    appendCsv(report, headings, &text);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

void ReportOutput::writeFile(const QString &hostPath, const QByteArray &bytes)
{
    const QString path = DriveMapping::instance().resolve(hostPath);
    if (path.isEmpty())
        throw HostError(ErrFileWrite, QStringLiteral("%1: not a path this program may write").arg(hostPath));
    QString message;
    if (!OutputFile::save(path, bytes, &message))
        throw HostError(ErrFileWrite, message);
}

} // namespace wip::reports
