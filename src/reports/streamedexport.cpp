#include "reports/streamedexport.h"

#include "reports/compileddefinition.h"
#include "reports/datastore.h"
#include "reports/indentedjson.h"
#include "reports/reportcolumns.h"
#include "reports/reportoutput.h"
#include "reports/retrievalarguments.h"
#include "reports/rowwindow.h"
#include "reports/sortedrows.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"
#include "runtime/trace.h"

#include <QFile>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryFile>

namespace wip::reports {

namespace {

int g_runSize = 4096;

// Where writing a report got to.
enum class Step { Done, NotRetrieved, OutOfOrder, WriteFailed, Cancelled };

// The computed fields whose value in a row comes from that row alone, also
// through the fields they read (lower case names).
QSet<QString> rowLocalFields(const Definition &def, const CompiledDefinition &compiled)
{
    QSet<QString> local;
    bool grew = true;
    while (grew) {
        grew = false;
        for (int i = 0; i < compiled.fields.size(); ++i) {
            const QString name = compiled.fields.at(i).name.toLower();
            if (local.contains(name) || !compiled.expressions[size_t(i)]->readsOnlyItsRow())
                continue;
            bool readsLocal = true;
            for (const QString &read : compiled.expressions[size_t(i)]->referencedNames())
                readsLocal = readsLocal && (def.columnIndex(read) >= 0 || local.contains(read));
            if (readsLocal) {
                local.insert(name);
                grew = true;
            }
        }
    }
    return local;
}

bool streamsRows(const Definition &def, const CompiledDefinition &compiled)
{
    if (def.layout != LayoutKind::Tabular || def.crosstab || !def.groups.isEmpty() || def.query.isEmpty())
        return false;
    const QSet<QString> local = rowLocalFields(def, compiled);
    const auto rowLocal = [&](const QString &name) { return def.columnIndex(name) >= 0 || local.contains(name); };
    for (int i = 0; i < compiled.fields.size(); ++i) {
        const ComputedField &field = compiled.fields.at(i);
        if (field.band == Band::Detail && !local.contains(field.name.toLower()))
            return false;
        if (!Expression::Totals::accepts(*compiled.expressions[size_t(i)], rowLocal))
            return false;
    }
    return true;
}

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
        if (!streamsRows(def, *compiled))
            return whole(store, args, indent);
        const std::optional<QVariantList> values = RetrievalArguments::complete(def, args);
        if (!values)
            return Step::NotRetrieved;
        const QVariantList typed = RetrievalArguments::typed(def, *values);
        return m_format == StreamedExport::Format::Csv ? tabularCsv(store, compiled, typed)
                                                       : tabularJson(store, compiled, typed, indent);
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
                return Step::WriteFailed;
        }
        for (int i = 0; i < store.nestedCount(); ++i) {
            DataStore &nested = *store.nestedStore(i);
            if (i > 0 && !write(json ? QByteArray(",\n") : QByteArray("\r\n")))
                return Step::WriteFailed;
            const Step step =
                report(nested, RetrievalArguments::forNested(def, i, nested.definition(), *values), indent + kRowIndent);
            if (step != Step::Done)
                return step;
        }
        if (json && !write((store.nestedCount() > 0 ? QByteArray("\n") : QByteArray())
                           + IndentedJson::indented(around.second, indent)))
            return Step::WriteFailed;
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
        return write(bytes) ? Step::Done : Step::WriteFailed;
    }

    // Reads the rows run by run into window, giving each run to onRun; totals
    // gathers the aggregates, first keeps row 1.
    Step readRuns(DataStore &store, const CompiledDefinition &compiled, const QVariantList &typed, RowWindow &window,
                  RowWindow &first, Expression::Totals &totals, const std::function<bool()> &onRun, int *rowCount)
    {
        SortedRows rows(store.definition(), compiled, *store.transObject());
        if (!rows.open(typed))
            return Step::NotRetrieved;
        int next = 1;
        for (;;) {
            const int n = rows.read(window.rows(), g_runSize);
            if (n == SortedRows::kOutOfOrder)
                return Step::OutOfOrder;
            if (n < 0)
                return Step::NotRetrieved;
            if (n == 0)
                break;
            window.setRun(next, next + n - 1);
            if (next == 1) {
                RowTable &kept = first.rows();
                for (int c = 0; c < kept.columnCount(); ++c)
                    kept.column(c).append(window.rows().value(0, c));
                kept.adoptFilledRows();
            }
            totals.add(window, next, next + n - 1);
            if (!onRun())
                return Step::WriteFailed;
            next += n;
            m_rowsWritten += n;
            if (!LongWork::progress(m_rowsWritten) || (m_progress && !m_progress(m_rowsWritten)))
                return Step::Cancelled;
        }
        rows.close();
        *rowCount = next - 1;
        first.setRun(1, *rowCount);
        totals.put(first.aggregateCache(), *rowCount);
        return Step::Done;
    }

    static void trackTotals(const CompiledDefinition &compiled, Expression::Totals &totals)
    {
        for (const auto &expression : compiled.expressions)
            totals.track(*expression);
    }

    Step tabularCsv(DataStore &store, const std::shared_ptr<const CompiledDefinition> &compiled,
                    const QVariantList &typed)
    {
        RowWindow window(store, compiled), first(store, compiled);
        Expression::Totals totals;   // CSV shows no computed field outside the rows
        const QVector<ReportColumn> columns = reportColumns(window, ColumnUse::Output);
        if (!write(ReportOutput::csvHeading(columns).toUtf8()))
            return Step::WriteFailed;
        QString text;
        int rowCount = 0;
        return readRuns(store, *compiled, typed, window, first, totals, [&] {
            text.clear();
            ReportOutput::appendCsvRows(window, columns, window.firstRow(), window.lastRow(), &text);
            return write(text.toUtf8());
        }, &rowCount);
    }

    Step tabularJson(DataStore &store, const std::shared_ptr<const CompiledDefinition> &compiled,
                     const QVariantList &typed, const QByteArray &indent)
    {
        // The rows wait in a temporary file while the computed fields, which
        // the object gives before them, are gathered.
        QTemporaryFile spool;
        if (!spool.open())
            return Step::WriteFailed;
        RowWindow window(store, compiled), first(store, compiled);
        Expression::Totals totals;
        trackTotals(*compiled, totals);
        const QVector<Column> columns = store.definition().columns;
        const QByteArray rowIndent = indent + kRowIndent, valueIndent = indent + kValueIndent;
        QByteArray text;
        int rowCount = 0;
        const Step step = readRuns(store, *compiled, typed, window, first, totals, [&] {
            text.clear();
            for (int row = window.firstRow(); row <= window.lastRow(); ++row) {
                if (row > 1)
                    text.append(",\n");
                text.append(rowIndent);
                if (columns.isEmpty()) {
                    text.append("[\n").append(rowIndent).append(']');
                    continue;
                }
                text.append("[\n");
                for (int c = 0; c < columns.size(); ++c) {
                    const Column &column = columns.at(c);
                    text.append(valueIndent);
                    IndentedJson::appendValue(
                        &text, ReportOutput::jsonValue(outputValue(window.item(row, column.name), column.format, false)));
                    text.append(c + 1 < columns.size() ? ",\n" : "\n");
                }
                text.append(rowIndent).append(']');
            }
            return spool.write(text) == text.size();
        }, &rowCount);
        if (step != Step::Done)
            return step;

        QJsonObject head = ReportOutput::jsonHead(first);
        head.insert(QStringLiteral("rows"), QJsonArray());
        const auto [before, after] = splitAt(head, "rows");
        if (!write(IndentedJson::indented(before, indent)) || !spool.seek(0))
            return Step::WriteFailed;
        while (!spool.atEnd()) {
            const QByteArray chunk = spool.read(1 << 20);
            if (chunk.isEmpty() || !write(chunk))
                return Step::WriteFailed;
        }
        if (!write((rowCount > 0 ? QByteArray("\n") : QByteArray()) + IndentedJson::indented(after, indent)))
            return Step::WriteFailed;
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
    if (definition.layout == LayoutKind::Composite)
        return true;
    try {
        const auto copy = std::make_shared<const Definition>(definition);
        return streamsRows(definition, *CompiledDefinition::of(copy));
    } catch (const std::exception &) {
        return false;
    }
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
                step = file.write(bytes) == bytes.size() ? Step::Done : Step::WriteFailed;
            }
        } else if (step == Step::Done && format == Format::Json) {
            step = exporter.write("\n") ? Step::Done : Step::WriteFailed;
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
