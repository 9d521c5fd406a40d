#pragma once

#include "reports/reportcolumns.h"
#include "reports/reportdata.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace wip::reports {

// The report as data for other programs: the JSON and CSV of `wip report` and of
// SaveAs. Values are the raw typed values, not their display formats.
class ReportOutput
{
public:
    // {"definition", "columns", "rows", "computed", "texts", "nested"}: rows as arrays
    // in column order, dates as "YYYY-MM-DD HH:MM:SS", NULL as null, each computed
    // field as read in row 1 (null without rows), nested reports as objects of the same kind.
    static QJsonObject toJsonObject(const ReportData &report);
    static QByteArray toJson(const ReportData &report);   // indented UTF-8
    // The object without "rows" (a report written as it is read adds them), its
    // computed fields as read in row 1 of report.
    static QJsonObject jsonHead(const ReportData &report);
    // One row's values in the columns' order, as "rows" holds them.
    static QJsonArray jsonRow(const ReportData &report, const QVector<Column> &columns, int row);

    // The printed columns (computed columns of the rows included, ids, tick and
    // hidden columns left out): captions (a column without one by its spoken
    // name) as the header line, then one line per row of raw values (a picture
    // column: the file name); RFC 4180 quoting, CRLF line ends, UTF-8 with a byte-order mark so
    // spreadsheet programs read Chinese. A composite gives its nested reports one
    // after the other, separated by an empty line.
    static QByteArray toCsv(const ReportData &report, bool headings = true);
    // The pieces of the CSV of a tabular report: its heading line, and the lines
    // of rows [first, last], each ended by CRLF.
    static QString csvHeading(const QVector<ReportColumn> &columns);
    static void appendCsvRows(const ReportData &report, const QVector<ReportColumn> &columns, int first, int last,
                              QString *out);

    // A typed value as JSON: numbers, texts, "YYYY-MM-DD HH:MM:SS", null.
    static QJsonValue jsonValue(const QVariant &value);
    // A typed value as CSV text (unquoted).
    static QString plainText(const QVariant &value);

    // Writes bytes to a host path (drive letters mapped by the runtime), replacing
    // the file whole or not at all (OutputFile). Failure: HostError(ErrFileWrite)
    // whose detail names the file and why (a full disk, a folder not to be written).
    static void writeFile(const QString &hostPath, const QByteArray &bytes);
};

} // namespace wip::reports
