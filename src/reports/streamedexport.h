#pragma once

#include <QString>
#include <QVariantList>

#include <functional>

class QIODevice;

namespace wip::reports {

class DataStore;
struct Definition;

// A report's CSV or JSON written to its file as the rows are read from the
// database, a run of rows at a time, so that a month of a big factory's work
// takes the memory of one run whatever its number of rows. The bytes are those
// ReportOutput gives for the report retrieved whole (toCsv, toJson); the JSON's
// computed fields, which come before the rows, are gathered while the rows go
// by (Expression::Totals), the rows waiting in a temporary file meanwhile.
//
// Tabular reports without groups or a crosstab are read so (streams()); a
// composite reads each nested report so where it can. Any other report, and
// one whose rows the database does not sort as the report does (SortedRows),
// is retrieved whole as before, with the same result.
class StreamedExport
{
public:
    enum class Format { Csv, Json };
    enum class Outcome {
        Written,
        NotRetrieved,   // a database error (the transaction and the trace say which)
        NotWritten,     // the file could not be written (*error says why)
        Cancelled,      // the caller's progress said stop: no file was written
    };

    // Whether the definition's rows can be written as they are read.
    static bool streams(const Definition &definition);

    // Called after each run of rows with the rows written so far; false stops.
    using Progress = std::function<bool(int rowsWritten)>;

    // Retrieves store's report (its definition, texts and transaction set, not
    // retrieved) with args and writes it to path whole or not at all
    // (OutputFile); empty path: standard output, CSV without its byte-order mark.
    // A definition column the query does not return: HostError(ErrUnknownColumn).
    static Outcome save(DataStore &store, const QVariantList &args, Format format, const QString &path,
                        QString *error, const Progress &progress = {});

    // Rows per run (tests make it small so that runs meet inside a report).
    static void setRunSize(int rows);
    static int runSize();
};

} // namespace wip::reports
