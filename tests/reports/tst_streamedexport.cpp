#include "import/ziparchive.h"
#include "reports/datastore.h"
#include "reports/definitionloader.h"
#include "reports/indentedjson.h"
#include "reports/reportoutput.h"
#include "reports/render/pdfexport.h"
#include "reports/render/streamedpdf.h"
#include "reports/render/xlsxexport.h"
#include "reports/streamedexport.h"
#include "runtime/longwork.h"
#include "runtime/trace.h"
#include "testdatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// A report written as its rows are read gives the bytes of the report retrieved
// whole: its JSON pieces are laid out as Qt lays out the document, runs of rows
// meet anywhere, ties and NULLs keep their order, totals come out the same, and
// a report the database sorts otherwise is retrieved whole. A cancelled or
// failed export leaves no file and a file that was there as it was.
class TestStreamedExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jsonPiecesReadAsTheDocument_data();
    void jsonPiecesReadAsTheDocument();
    void sameBytesAsTheWholeReport_data();
    void sameBytesAsTheWholeReport();
    void cancelledOrFailedExportLeavesNoFile_data() { test::addEngineRows(); }
    void cancelledOrFailedExportLeavesNoFile();
    void pdfReadInOneSnapshot_data() { test::addEngineRows(); }
    void pdfReadInOneSnapshot();
    void cleanup() { StreamedExport::setRunSize(4096); }
};

namespace {

// Rows with ties on the sort, NULLs in it, numbers as texts and a text that
// needs quoting in CSV and escaping in JSON.
bool fill(TestDatabase &db)
{
    if (!db.exec(QStringLiteral("create table stream_rows (id integer, k varchar(20), n numeric(18,3), "
                                "t varchar(20), d timestamp, note varchar(40))")))
        return false;
    struct Row
    {
        int id;
        QVariant k, n, t, d, note;
    };
    const QVariant null;
    const QDateTime at(QDate(2026, 11, 3), QTime(14, 5));
    const Row rows[] = {
        {1, "B", 2.5, "10", at, "a, \"quoted\" note"},
        {2, "A", 1.0, "9", at.addDays(1), "line\nbreak"},
        {3, null, 7.125, "100", null, "tab\there"},
        {4, "B", null, "2", at, null},
        {5, "A", 1.0, "9", at.addDays(-3), QString::fromUtf8("镶石 ✓")},
        {6, "C", -4.0, "x", at, "\\ back"},
        {7, "B", 2.5, null, at.addSecs(60), ""},
        {8, null, 0.001, "11", at, "null key"},
        {9, "A", 1000000.0, "9", at, "big"},
    };
    for (const Row &r : rows) {
        if (!db.insert(QStringLiteral("stream_rows"), {{"id", r.id}, {"k", r.k}, {"n", r.n}, {"t", r.t}, {"d", r.d},
                                                       {"note", r.note}}))
            return false;
    }
    return true;
}

std::shared_ptr<const Definition> definition(const QString &json)
{
    QString error;
    const auto loaded = DefinitionLoader::loadJson(json.toUtf8(), QStringLiteral("test"), &error);
    if (!loaded)
        qWarning("%s", qPrintable(error));
    return loaded ? std::make_shared<const Definition>(*loaded) : nullptr;
}

// A tabular report over stream_rows with the given sort, computed fields and filter.
QString report(const QString &sort, const QString &computed, const QString &where = QString())
{
    return QString::fromUtf8(R"j({"name": "d_stream", "layout": "tabular",
        "query": "select id, k, n, t, d, note from stream_rows %3",
        "columns": [
          {"name": "id", "db": "stream_rows.id", "type": "number", "caption": ["No"]},
          {"name": "k", "db": "stream_rows.k", "type": "string", "caption": ["Key"]},
          {"name": "n", "db": "stream_rows.n", "type": "number", "caption": ["Weight"], "format": "####0.000"},
          {"name": "t", "db": "stream_rows.t", "type": "number", "caption": ["Count"]},
          {"name": "d", "db": "stream_rows.d", "type": "datetime", "caption": ["Date"], "format": "yyyy-mm-dd"},
          {"name": "note", "db": "stream_rows.note", "type": "string", "caption": ["Note, said"]}],
        "sort": [%1],
        "texts": [{"name": "t_title", "text": "Rows \"streamed\"", "band": "header"}],
        "computed": [%2]})j")
        .arg(sort, computed, where);
}

const QString kTotals = QString::fromUtf8(R"j(
    {"name": "c_row", "expression": "getrow()", "band": "detail", "caption": ["NO."], "format": "0"},
    {"name": "c_twice", "expression": "n * 2", "band": "detail", "caption": ["Twice"]},
    {"name": "c_sum", "expression": "sum(n for all)", "band": "summary", "under": "n"},
    {"name": "c_sum_twice", "expression": "sum(c_twice for all) + 1", "band": "summary"},
    {"name": "c_count", "expression": "count(k for all)", "band": "summary"},
    {"name": "c_min", "expression": "min(d for all)", "band": "summary", "type": "datetime"},
    {"name": "c_max", "expression": "max(note for all)", "band": "summary", "type": "string"},
    {"name": "c_avg", "expression": "avg(n for all)", "band": "summary"},
    {"name": "c_rows", "expression": "rowcount()", "band": "footer"},
    {"name": "c_share_of_first", "expression": "n / sum(n for all)", "band": "summary", "format": "0.00"})j");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a workbook shows: its sheet and the cells' formats, the minute of the
// export written "now".
QByteArray workbookShown(const QString &path)
{
    import::ZipArchive zip(path);
    if (!zip.open())
        return "no workbook: " + zip.error().toUtf8();
    QByteArray shown;
    for (const char *part : {"xl/worksheets/sheet1.xml", "xl/styles.xml"}) {
        const std::unique_ptr<QIODevice> member = zip.member(QString::fromLatin1(part));
        shown += member ? member->readAll() : QByteArray("missing ") + part;
    }
    static const QRegularExpression minute(QStringLiteral("Exported: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d"));
    return QString::fromUtf8(shown).replace(minute, QStringLiteral("Exported: now")).toUtf8();
}

// What a PDF shows: its bytes, but for the moment it was written and the
// identifiers made new for every file.
QByteArray pdfShown(const QString &path)
{
    QString text = QString::fromLatin1(readFile(path));
    static const QRegularExpression moments[] = {
        QRegularExpression(QStringLiteral("D:\\d{14}[^)]*")),
        QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[^<]*")),
        QRegularExpression(QStringLiteral("uuid:[0-9a-fA-F-]+")),
        QRegularExpression(QStringLiteral("/ID\\s*\\[[^\\]]*\\]")),
    };
    for (const QRegularExpression &moment : moments)
        text.replace(moment, QStringLiteral("(written)"));
    return text.toLatin1();
}

// Many rows (stream_rows twice over), long remarks that wrap over many pages
// and the page's number of the pages in the footer.
QString reportOfPages()
{
    const QString remark = QStringLiteral("a remark of the setter that goes on about the stones and the claws ").repeated(12);
    return QString::fromUtf8(R"j({"name": "d_stream_pages", "layout": "tabular",
        "query": "select a.id * 10 + b.id as id, a.k, b.n, case when b.id in (2, 5) then '%1' || a.id else a.note end as note from stream_rows a, stream_rows b",
        "columns": [
          {"name": "id", "db": "id", "type": "number", "caption": ["No"]},
          {"name": "k", "db": "k", "type": "string", "caption": ["Key"]},
          {"name": "n", "db": "n", "type": "number", "caption": ["Weight"], "format": "####0.000"},
          {"name": "note", "db": "note", "type": "string", "caption": ["Remark"]}],
        "sort": ["id"],
        "texts": [{"name": "t_title", "text": "Pages", "band": "header"}],
        "computed": [
          {"name": "c_first", "expression": "'from No ' + string(id)", "band": "header"},
          {"name": "c_page", "expression": "'Page ' + string(page()) + ' of ' + string(pagecount())", "band": "footer"},
          {"name": "c_sum", "expression": "sum(n for all)", "band": "summary", "under": "n"}]})j")
        .arg(remark);
}

// Codes too wide for the paper even at the smallest print size: printed across
// pages, the key repeated on the left of each.
QString reportAcross()
{
    QString columns = QStringLiteral(R"j({"name": "id", "db": "id", "type": "number", "caption": ["No"]})j");
    QString select = QStringLiteral("a.id * 10 + b.id as id");
    for (int i = 1; i <= 9; ++i) {
        columns += QStringLiteral(R"j(, {"name": "c%1", "db": "c%1", "type": "string", "caption": ["Code %1"]})j").arg(i);
        select += QStringLiteral(", 'KC-%1-0123456789-ABCDEFG-' || b.id as c%1").arg(i);
    }
    return QString::fromUtf8(R"j({"name": "d_stream_across", "layout": "tabular",
        "query": "select %1 from stream_rows a, stream_rows b",
        "columns": [%2], "sort": ["id"],
        "texts": [{"name": "t_title", "text": "Across", "band": "header"}],
        "computed": [{"name": "c_count", "expression": "count(id for all)", "band": "summary", "under": "id"}]})j")
        .arg(select, columns);
}

// A report over stream_rows from an id on, its heading following the argument.
QString reportFrom()
{
    return QString::fromUtf8(R"j({"name": "d_stream_from", "layout": "tabular",
        "query": "select id, k, n from stream_rows where id > :from_id",
        "arguments": [{"name": "from_id", "type": "number"}],
        "columns": [
          {"name": "id", "db": "stream_rows.id", "type": "number", "caption": ["No"]},
          {"name": "k", "db": "stream_rows.k", "type": "string", "caption": ["Key"]},
          {"name": "n", "db": "stream_rows.n", "type": "number", "caption": ["Weight"], "format": "####0.000"}],
        "sort": ["id"],
        "texts": [{"name": "t_title", "text": "From", "band": "header"},
                  {"name": "t_from", "text": "", "expression": "'after No ' + string(from_id)", "band": "header"}],
        "computed": [{"name": "c_sum", "expression": "sum(n for all)", "band": "summary", "under": "n"}]})j");
}

} // namespace

void TestStreamedExport::jsonPiecesReadAsTheDocument_data()
{
    QTest::addColumn<QJsonValue>("value");
    const double inf = std::numeric_limits<double>::infinity();
    const QList<QPair<const char *, QJsonValue>> values = {
        {"zero", 0.0}, {"negative zero", -0.0}, {"tenth", 0.1}, {"weight", 31.2}, {"negative", -4.125},
        {"1e15", 1e15}, {"1e17", 1e17}, {"2^53", 9007199254740992.0}, {"2^53 + 2", 9007199254740994.0},
        {"-2^53", -9007199254740992.0}, {"small", 1.5e-7}, {"huge", 3e22}, {"infinity", inf}, {"nan", std::nan("")},
        {"true", true}, {"false", false}, {"null", QJsonValue()}, {"empty text", QString()},
        {"controls", QString::fromUtf16(u"\x01\x08\x0c\n\r\t\x1f\x7f")}, {"quote and backslash", "say \"\\\""},
        {"chinese", QString::fromUtf8("执模 镶石")}, {"two-byte", QString::fromUtf8("é ß")},
        {"emoji", QString::fromUtf16(u"\U0001F48D ring")},
        {"lone high surrogate", QString::fromUtf16(u"a\xd800z")}, {"lone low surrogate", QString::fromUtf16(u"\xdc00")},
        {"high at the end", QString::fromUtf16(u"x\xdbff")}, {"slash", "1/2"},
        // Every unit at its longest written form: the room made for it is the most it can take.
        {"only long escapes", QString(QString(300, QChar(0x1f)) + QString(300, QChar(0xdc00)))},
    };
    for (const auto &[name, value] : values)
        QTest::newRow(name) << value;
}

void TestStreamedExport::jsonPiecesReadAsTheDocument()
{
    QFETCH(QJsonValue, value);
    // The value inside an array, as Qt writes it, and as written piece by piece.
    QByteArray expected = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Indented);
    QByteArray piece = "[\n    ";
    IndentedJson::appendValue(&piece, value);
    piece += "\n]\n";
    QCOMPARE(piece, expected);
    QCOMPARE(IndentedJson::indented(expected, "  "),
             QByteArray("  [\n  ") + expected.mid(2, expected.size() - 5).replace("\n", "\n  ") + "\n  ]\n");
}

void TestStreamedExport::sameBytesAsTheWholeReport_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("json");
    QTest::addColumn<bool>("streams");
    QTest::addColumn<bool>("sortedOtherwise");   // the database's order is not the report's: retrieved whole
    QTest::addColumn<QVariantList>("args");
    struct Case
    {
        const char *name;
        QString json;
        bool streams;
        bool sortedOtherwise = false;
        QVariantList args = {};
    };
    const Case cases[] = {
        {"ties and nulls, totals", report(QString::fromUtf8(R"j("k", "n D")j"), kTotals), true},
        {"no sort: the query's order", report(QString(), QString::fromUtf8(R"j({"name": "c_row", "expression": "getrow()", "band": "detail"})j")), true},
        {"descending date", report(QString::fromUtf8(R"j("d D", "id")j"), QString()), true},
        {"numbers the database holds as texts", report(QString::fromUtf8(R"j("t")j"), QString()), true, true},
        {"no rows", report(QString::fromUtf8(R"j("k")j"), kTotals, QStringLiteral("where id < 0")), true},
        {"a detail field reads every row",
         report(QString::fromUtf8(R"j("k")j"), QString::fromUtf8(R"j({"name": "c_share", "expression": "n / sum(n for all)", "band": "detail", "caption": ["Share"], "format": "0.00"})j")),
         false},
        // A workbook's heading comes before the rows: one that reads every row
        // makes the workbook be retrieved whole.
        {"a heading reads every row",
         report(QString::fromUtf8(R"j("k")j"), QString::fromUtf8(R"j({"name": "c_head_sum", "expression": "sum(n for all)", "band": "header"})j")),
         true},
        {"a heading follows the argument", reportFrom(), true, false, {3}},
        {"long remarks over pages", reportOfPages(), true},
        {"across pages", reportAcross(), true},
    };
    QStringList engines{QStringLiteral("sqlite")};
    if (test::postgresConfigured())
        engines << QStringLiteral("postgresql");
    for (const QString &engine : engines)
        for (const Case &c : cases)
            QTest::newRow(qPrintable(engine + u'/' + QLatin1String(c.name))) << engine << c.json << c.streams
                                                                             << c.sortedOtherwise << c.args;
}

void TestStreamedExport::sameBytesAsTheWholeReport()
{
    QFETCH(QString, engine);
    QFETCH(QString, json);
    QFETCH(bool, streams);
    QFETCH(bool, sortedOtherwise);
    QFETCH(QVariantList, args);
    TestDatabase db(test::engineFromName(engine));
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY2(fill(db), qPrintable(db.error()));
    const auto def = definition(json);
    QVERIFY(def);
    QCOMPARE(StreamedExport::streams(*def), streams);

    DataStore whole;
    whole.setDefinition(def);
    whole.SetTransObject(db.tr());
    whole.setObjectText(QStringLiteral("t_title"), QStringLiteral("Titled, \"as the window says\""));
    QVERIFY(whole.Retrieve(args) >= 0);
    QTemporaryDir dir;
    const QString wholeBook = dir.filePath(QStringLiteral("whole.xlsx"));
    QVERIFY(writeXlsx(whole, wholeBook));
    const QString wholePdf = dir.filePath(QStringLiteral("whole.pdf"));
    QVERIFY(writePdf(whole, wholePdf));
    enum class Kind { Csv, Json, Workbook, Pdf };
    for (const Kind kind : {Kind::Csv, Kind::Json, Kind::Workbook, Kind::Pdf}) {
        // A workbook is compared by its sheet and the cells' formats.
        const QByteArray expected = kind == Kind::Csv    ? ReportOutput::toCsv(whole, true)
                                    : kind == Kind::Json ? ReportOutput::toJson(whole)
                                    : kind == Kind::Pdf  ? pdfShown(wholePdf)
                                                         : workbookShown(wholeBook);
        for (const int run : {1, 2, 3, 100}) {
            StreamedExport::setRunSize(run);
            DataStore store;
            store.setDefinition(def);
            store.SetTransObject(db.tr());
            store.setObjectText(QStringLiteral("t_title"), QStringLiteral("Titled, \"as the window says\""));
            const QString file = dir.filePath(kind == Kind::Workbook ? QStringLiteral("out.xlsx") : QStringLiteral("out"));
            QString error;
            Trace::clearCaptured();
            const auto outcome = kind == Kind::Workbook ? writeXlsx(store, args, file, &error)
                                 : kind == Kind::Pdf    ? StreamedPdf::save(store, args, file, &error)
                                                        : StreamedExport::save(store, args,
                                                                               kind == Kind::Csv ? StreamedExport::Format::Csv
                                                                                                 : StreamedExport::Format::Json,
                                                                               file, &error);
            QVERIFY2(outcome == StreamedExport::Outcome::Written, qPrintable(error));
            QCOMPARE(kind == Kind::Workbook ? workbookShown(file) : kind == Kind::Pdf ? pdfShown(file) : readFile(file),
                     expected);
            QCOMPARE(Trace::captured().join(u' ').contains(QLatin1String("sorts its rows otherwise")), sortedOtherwise);
            // Afterwards the store shows the arguments it showed before.
            QCOMPARE(store.retrievalArguments(), QVariantList());
        }
    }
}

void TestStreamedExport::cancelledOrFailedExportLeavesNoFile()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    const auto def = definition(report(QString::fromUtf8(R"j("k")j"), kTotals));
    QVERIFY(def);
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.csv"));
    {
        QFile f(kept);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("yesterday's export");
    }
    StreamedExport::setRunSize(2);
    for (const auto format : {StreamedExport::Format::Csv, StreamedExport::Format::Json}) {
        for (const QString &path : {kept, dir.filePath(QStringLiteral("new.csv"))}) {
            DataStore store;
            store.setDefinition(def);
            store.SetTransObject(db.tr());
            int runs = 0;
            QString error;
            const auto outcome = StreamedExport::save(store, {}, format, path, &error, [&](int rows) {
                ++runs;
                return rows < 4;   // the clerk cancels once four rows went by
            });
            QCOMPARE(outcome, StreamedExport::Outcome::Cancelled);
            QCOMPARE(runs, 2);
        }
        QCOMPARE(readFile(kept), QByteArray("yesterday's export"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("new.csv"))));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);   // no temporary file left

        DataStore store;
        store.setDefinition(def);
        store.SetTransObject(db.tr());
        QString error;
        QCOMPARE(StreamedExport::save(store, {}, format, QStringLiteral("/dev/full"), &error),
                 StreamedExport::Outcome::NotWritten);
        QVERIFY2(error.contains(QLatin1String("full")), qPrintable(error));
    }
    // A workbook written as it is read: the same, whole or not at all.
    DataStore store;
    store.setDefinition(def);
    store.SetTransObject(db.tr());
    QString error;
    QCOMPARE(writeXlsx(store, {}, QStringLiteral("/dev/full"), &error), StreamedExport::Outcome::NotWritten);
    QVERIFY(!error.isEmpty());
    QCOMPARE(writeXlsx(store, {}, kept, &error), StreamedExport::Outcome::Written);
    QVERIFY(readFile(kept).startsWith("PK"));
    // So is a PDF.
    QCOMPARE(StreamedPdf::save(store, {}, QStringLiteral("/dev/full"), &error), StreamedExport::Outcome::NotWritten);
    QVERIFY2(error.contains(QLatin1String("full")), qPrintable(error));
    QCOMPARE(StreamedPdf::save(store, {}, kept, &error), StreamedExport::Outcome::Written);
    QVERIFY(readFile(kept).startsWith("%PDF"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// Rows a desk saves while a PDF is written come in neither its count nor its
// pages: every reading of the rows sees the database as the first did.
void TestStreamedExport::pdfReadInOneSnapshot()
{
    WIP_TEST_DATABASE(db);
    QVERIFY2(fill(db), qPrintable(db.error()));
    const auto def = definition(reportOfPages());
    QVERIFY(def);
    QTemporaryDir dir;
    DataStore whole;
    whole.setDefinition(def);
    whole.SetTransObject(db.tr());
    QVERIFY(whole.Retrieve() == 81);
    const QString wholePdf = dir.filePath(QStringLiteral("whole.pdf"));
    QVERIFY(writePdf(whole, wholePdf));

    // A desk on a connection of its own saves a row at each look at the work.
    Transaction desk;
    desk.settings = db.settings();
    QVERIFY(desk.connect());
    class SavesMeanwhile : public LongWork::Presenter
    {
    public:
        explicit SavesMeanwhile(Transaction &desk) : m_desk(desk) {}
        void begin(const QString &) override {}
        bool update(const QString &, qint64, qint64) override
        {
            ++m_saved;
            saved = saved && m_desk.execute(QStringLiteral("insert into stream_rows (id, k, n) values (?, 'Z', 1)"),
                                            {100 + m_saved})
                && m_desk.commit();
            return true;
        }
        void end() override {}
        bool saved = true;

    private:
        Transaction &m_desk;
        int m_saved = 0;
    } presenter(desk);
    LongWork::setUpdateInterval(0);
    LongWork::setPresenter(&presenter);
    StreamedExport::setRunSize(7);
    DataStore store;
    store.setDefinition(def);
    store.SetTransObject(db.tr());
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    QString error;
    const auto outcome = StreamedPdf::save(store, {}, file, &error);
    LongWork::setPresenter(nullptr);
    QVERIFY(presenter.saved);
    QVERIFY2(outcome == StreamedExport::Outcome::Written, qPrintable(error));
    QCOMPARE(pdfShown(file), pdfShown(wholePdf));
    QVERIFY(db.scalar(QStringLiteral("select count(*) from stream_rows")).toInt() > 9);
    QVERIFY(!db.tr().inTransaction());   // the snapshot is ended
    desk.disconnect();

    // Inside work not yet saved the PDF reads within that work, and leaves it
    // open: nothing of it is rolled back.
    QVERIFY(db.tr().execute(QStringLiteral("insert into stream_rows (id, k, n) values (999, 'W', 1)")));
    QVERIFY(db.tr().hasOpenWork());
    QVERIFY(!db.tr().beginReading());
    QCOMPARE(StreamedPdf::save(store, {}, file, &error), StreamedExport::Outcome::Written);
    QVERIFY(db.tr().hasOpenWork());
    QVERIFY(db.tr().commit());
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from stream_rows where id = 999")).toInt(), 1);
}

QTEST_MAIN(TestStreamedExport)   // a workbook lays its sheets out with the fonts
#include "tst_streamedexport.moc"
