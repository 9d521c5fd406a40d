#include "reports/streamedexport.h"

#include "reports/columndata.h"
#include "reports/compileddefinition.h"
#include "reports/datastore.h"
#include "reports/indentedjson.h"
#include "reports/reportcolumns.h"
#include "reports/reportoutput.h"
#include "reports/retrievalarguments.h"
#include "reports/reportruns.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"
#include "runtime/trace.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryFile>

namespace wip::reports {

namespace {

int g_runSize = 4096;

using Step = ReportRuns::Step;

const QByteArray kRowIndent(8, ' ');     // a row's brackets inside "rows", below the object's own indent
const QByteArray kValueIndent(12, ' ');  // a row's values

// Qt's indented document of an object split where one of its top-level arrays,
// given empty, holds its elements: the text up to and including "[\n", and the
// text from the array's closing bracket on (without the document's last newline).
std::pair<QByteArray, QByteArray> splitAt(const QJsonObject &object, const char *key)
{
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (text.endsWith('\n'))
        text.chop(1);
    const QByteArray open = QByteArray("\n    \"") + key + "\": [\n";
    const qsizetype at = text.indexOf(QByteArray(open + "    ]"));
    Q_ASSERT(at >= 0);
    const qsizetype split = at + open.size();
    return {text.left(split), text.mid(split)};
}

// A value of a column as ReportOutput::jsonValue gives it, written as
// IndentedJson writes it, from the column's typed values.
void appendJson(QByteArray *out, const ColumnData &values, qsizetype at)
{
    switch (values.type()) {
    case ValueType::Number:
        if (values.isNull(at))
            out->append("null");
        else
            IndentedJson::appendNumber(out, values.decimalAt(at).toDouble());
        return;
    case ValueType::String:
        if (values.textAt(at).isNull())
            out->append("null");
        else
            IndentedJson::appendString(out, values.textAt(at));
        return;
    default:
        IndentedJson::appendValue(out, ReportOutput::jsonValue(values.value(at)));
        return;
    }
}

class Exporter
{
public:
    Exporter(StreamedExport::Format format, QIODevice &out, const StreamedExport::Progress &progress)
        : m_format(format)
        , m_out(out)
        , m_progress(progress)
    {
    }

    // The report of store, retrieved with args, its JSON object moved right by indent.
    Step report(DataStore &store, const QVariantList &args, const QByteArray &indent)
    {
        const Definition &def = store.definition();
        if (def.layout == LayoutKind::Composite)
            return composite(store, args, indent);
        const auto compiled = CompiledDefinition::of(store.definitionPtr());
        if (!ReportRuns::streams(def, *compiled))
            return whole(store, args, indent);
        const std::optional<QVariantList> values = RetrievalArguments::complete(def, args);
        if (!values)
            return Step::NotRetrieved;
        return m_format == StreamedExport::Format::Csv ? tabularCsv(store, compiled, *values)
                                                       : tabularJson(store, compiled, *values, indent);
    }

    bool write(const QByteArray &bytes)
    {
        if (m_failed || m_out.write(bytes) != bytes.size())
            m_failed = true;
        return !m_failed;
    }

private:
    Step composite(DataStore &store, const QVariantList &args, const QByteArray &indent)
    {
        const Definition &def = store.definition();
        const std::optional<QVariantList> values = RetrievalArguments::complete(def, args);
        if (!values)
            return Step::NotRetrieved;
        const bool json = m_format == StreamedExport::Format::Json;
        std::pair<QByteArray, QByteArray> around;
        if (json) {
            QJsonObject head = ReportOutput::jsonHead(store);
            head.insert(QStringLiteral("nested"), QJsonArray());
            head.insert(QStringLiteral("rows"), QJsonArray());
            around = splitAt(head, "nested");
            if (!write(IndentedJson::indented(around.first, indent)))
                return Step::Stopped;
        }
        for (int i = 0; i < store.nestedCount(); ++i) {
            DataStore &nested = *store.nestedStore(i);
            if (i > 0 && !write(json ? QByteArray(",\n") : QByteArray("\r\n")))
                return Step::Stopped;
            const Step step =
                report(nested, RetrievalArguments::forNested(def, i, nested.definition(), *values), indent + kRowIndent);
            if (step != Step::Done)
                return step;
        }
        if (json && !write((store.nestedCount() > 0 ? QByteArray("\n") : QByteArray())
                           + IndentedJson::indented(around.second, indent)))
            return Step::Stopped;
        return Step::Done;
    }

    // A report retrieved whole and written as ReportOutput writes it.
    Step whole(DataStore &store, const QVariantList &args, const QByteArray &indent)
    {
        if (store.Retrieve(args) < 0)
            return Step::NotRetrieved;
        QByteArray bytes;
        if (m_format == StreamedExport::Format::Csv) {
            bytes = ReportOutput::toCsv(store, true).mid(3);   // the byte-order mark starts the file, once
        } else {
            bytes = ReportOutput::toJson(store);
            bytes.chop(1);
            bytes = IndentedJson::indented(bytes, indent);
        }
        store.Reset();
        return write(bytes) ? Step::Done : Step::Stopped;
    }

    // Reads the rows run by run, giving each to onRun.
    Step readRuns(ReportRuns &runs, const QVariantList &values, const std::function<bool()> &onRun)
    {
        const int before = m_rowsWritten;
        return runs.read(values, g_runSize, onRun, [&](int rows) {
            m_rowsWritten = before + rows;
            return LongWork::progress(m_rowsWritten) && (!m_progress || m_progress(m_rowsWritten));
        });
    }

    Step tabularCsv(DataStore &store, const std::shared_ptr<const CompiledDefinition> &compiled,
                    const QVariantList &values)
    {
        ReportRuns runs(store, compiled, false);   // CSV shows no computed field outside the rows
        RowWindow &window = runs.run();
        const QVector<ReportColumn> columns = reportColumns(window, ColumnUse::Output);
        if (!write(ReportOutput::csvHeading(columns).toUtf8()))
            return Step::Stopped;
        QString text;
        return readRuns(runs, values, [&] {
            text.clear();
            ReportOutput::appendCsvRows(window, columns, window.firstRow(), window.lastRow(), &text);
            return write(text.toUtf8());
        });
    }

    Step tabularJson(DataStore &store, const std::shared_ptr<const CompiledDefinition> &compiled,
                     const QVariantList &values, const QByteArray &indent)
    {
        // The rows wait in a temporary file while the computed fields, which
        // the object gives before them, are gathered.
        QTemporaryFile spool;
        if (!spool.open())
            return Step::Stopped;
        ReportRuns runs(store, compiled);
        RowWindow &window = runs.run();
        const QVector<Column> columns = store.definition().columns;
        // What comes between a row's values, and before and after them, at once.
        const QByteArray rowIndent = indent + kRowIndent, valueIndent = indent + kValueIndent;
        const QByteArray rowOpen = rowIndent + "[\n" + valueIndent, between = ",\n" + valueIndent,
                         rowClose = "\n" + rowIndent + ']', emptyRow = rowIndent + "[\n" + rowIndent + ']';
        QByteArray text;
        const Step step = readRuns(runs, values, [&] {
            text.resize(0);   // keeps its room for the next run
            // The run's typed values of each column, where it holds them.
            std::vector<std::pair<const ColumnData *, int>> typed(size_t(columns.size()));
            for (int c = 0; c < columns.size(); ++c)
                typed[size_t(c)].first = window.columnValues(columns.at(c).name, &typed[size_t(c)].second);
            for (int row = window.firstRow(); row <= window.lastRow(); ++row) {
                if (row > 1)
                    text.append(",\n", 2);
                if (columns.isEmpty()) {
                    text.append(emptyRow);
                    continue;
                }
                text.append(rowOpen);
                for (int c = 0; c < columns.size(); ++c) {
                    if (c > 0)
                        text.append(between);
                    if (const auto [values, offset] = typed[size_t(c)]; values)
                        appendJson(&text, *values, row - offset);
                    else
                        IndentedJson::appendValue(&text, ReportOutput::jsonValue(outputValue(
                                                             window.item(row, columns.at(c).name), columns.at(c).format, false)));
                }
                text.append(rowClose);
            }
            return spool.write(text) == text.size();
        });
        if (step != Step::Done)
            return step;

        QJsonObject head = ReportOutput::jsonHead(runs.first());
        head.insert(QStringLiteral("rows"), QJsonArray());
        const auto [before, after] = splitAt(head, "rows");
        if (!write(IndentedJson::indented(before, indent)) || !spool.seek(0))
            return Step::Stopped;
        while (!spool.atEnd()) {
            const QByteArray chunk = spool.read(1 << 20);
            if (chunk.isEmpty() || !write(chunk))
                return Step::Stopped;
        }
        if (!write((runs.rowCount() > 0 ? QByteArray("\n") : QByteArray()) + IndentedJson::indented(after, indent)))
            return Step::Stopped;
        return Step::Done;
    }

    StreamedExport::Format m_format;
    QIODevice &m_out;
    const StreamedExport::Progress &m_progress;
    bool m_failed = false;
    int m_rowsWritten = 0;
};

} // namespace

bool StreamedExport::streams(const Definition &definition)
{
    return definition.layout == LayoutKind::Composite || ReportRuns::streams(definition);
}

void StreamedExport::setRunSize(int rows)
{
    g_runSize = std::max(1, rows);
}

int StreamedExport::runSize()
{
    return g_runSize;
}

StreamedExport::Outcome StreamedExport::save(DataStore &store, const QVariantList &args, Format format,
                                             const QString &path, QString *error, const Progress &progress)
{
    LongWork work(QStringLiteral("正在导出… Exporting…"));
    Outcome outcome = Outcome::Written;
    const bool saved = OutputFile::saveByName(path, [&](const QString &fileName, QString *why) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *why = file.errorString();
            return false;
        }
        Exporter exporter(format, file, progress);
        // A file gets the byte-order mark spreadsheet programs read Chinese by; a pipe does not.
        if (format == Format::Csv && !path.isEmpty() && !exporter.write("\xEF\xBB\xBF")) {
            *why = file.errorString();
            return false;
        }
        Step step = exporter.report(store, args, QByteArray());
        if (step == Step::OutOfOrder) {
            // The database sorted some rows otherwise than the report does: the
            // report is retrieved whole and sorted here, as always before.
            Trace::write(QStringLiteral("%1: the database sorts its rows otherwise than the report; "
                                        "retrieved whole to be written").arg(store.definition().name));
            if (!file.resize(0) || !file.seek(0)) {
                *why = file.errorString();
                return false;
            }
            if (store.Retrieve(args) < 0) {
                step = Step::NotRetrieved;
            } else {
                QByteArray bytes = format == Format::Json ? ReportOutput::toJson(store) : ReportOutput::toCsv(store, true);
                if (format == Format::Csv && path.isEmpty())
                    bytes.remove(0, 3);
                step = file.write(bytes) == bytes.size() ? Step::Done : Step::Stopped;
            }
        } else if (step == Step::Done && format == Format::Json) {
            step = exporter.write("\n") ? Step::Done : Step::Stopped;
        }
        switch (step) {
        case Step::Done:
            if (!file.flush()) {
                *why = file.errorString();
                return false;
            }
            return true;
        case Step::NotRetrieved: outcome = Outcome::NotRetrieved; break;
        case Step::Cancelled: outcome = Outcome::Cancelled; break;
        default: *why = file.errorString(); break;
        }
        return false;
    }, error);
    if (saved)
        return Outcome::Written;
    return outcome == Outcome::Written ? Outcome::NotWritten : outcome;
}

} // namespace wip::reports
