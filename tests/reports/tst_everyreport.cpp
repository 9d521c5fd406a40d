#include "database/demofactory.h"
#include "import/ziparchive.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/displayformat.h"
#include "reports/expression.h"
#include "reports/render/pagemodel.h"
#include "reports/render/pdfexport.h"
#include "reports/render/streamedpdf.h"
#include "reports/render/xlsxexport.h"
#include "reports/reportcolumns.h"
#include "reports/reportoutput.h"
#include "reports/streamedexport.h"
#include "runtime/trace.h"
#include "runtime/values.h"
#include "programoutput.h"
#include "testdatabase.h"
#include "workbookreader.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <map>
#include <memory>

using namespace wip;
using namespace wip::reports;
using wip::test::Engine;
using wip::test::TestDatabase;

// Every report of the catalogue on one small factory (the demo factory's first
// contracts), on SQLite and, when configured, PostgreSQL: every printed column
// and every exported header is a caption, and the rows come in an order the
// definition fixes, the same on both databases.
//
// And the same figure in every format: written as CSV, JSON and workbook, cell
// by cell,
//   - no number carries a binary artefact: a column of a table has the places of
//     its numeric(18,3) (sums the query makes included), any other exact figure at
//     most the six of a weight times a purity, and a ratio (a field that divides)
//     exactly the number its display format shows;
//   - JSON holds the figure CSV holds (numbers by value, texts and dates as text);
//   - the workbook's cells hold the figures CSV holds, dates as the same moments.
// Written as the rows are read, each file is that of the report retrieved
// whole; a PDF so has the pages and texts of the whole report's.
class TestEveryReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyReport_data();
    void everyReport();
    void everyFigureStandsUnderWhatItAdds();

private:
    TestDatabase *database(Engine engine);
    QVariantList arguments(TestDatabase &db, const Definition &definition);
    void checkFigures(const ReportData &data, QStringList *faults);
    QStringList streamedDiffers(DataStore &retrieved, const QVariantList &args, const QDateTime &before);
    QStringList streamedWorkbookDiffers(DataStore &retrieved, const QVariantList &args, const QDateTime &before);
    QStringList streamedPdfDiffers(DataStore &retrieved, const QVariantList &args, const QDateTime &before);
    void checkJson(const ReportData &data, const QList<QStringList> &csv, const QVector<ReportColumn> &columns,
                   QStringList *faults);
    void checkWorkbook(const ReportData &data, const QList<QStringList> &csv, const QVector<ReportColumn> &columns,
                       QStringList *faults);

    std::map<Engine, std::unique_ptr<TestDatabase>> m_db;
    QMap<QString, QStringList> m_sqliteRows;   // definition -> its rows read on SQLite, in order
    QTemporaryDir m_dir;
    test::WorkbookReader m_reader;
};

namespace {

const QDate kToday(2004, 5, 12);
constexpr int kContracts = 40;

// The rows of a report and of its nested parts as the order test compares them:
// each printed column's value, numbers to three decimals (a sum may come back
// as a double on one engine).
QStringList rowTexts(const ReportData &report)
{
    QStringList out;
    for (const ReportData *n : report.nested())
        out << rowTexts(*n);
    const QVector<ReportColumn> columns = reportColumns(report, ColumnUse::Output);
    for (int row = 1; row <= report.rowCount(); ++row) {
        QStringList cells;
        for (const ReportColumn &c : columns) {
            if (c.computed)
                continue;   // row numbers and figures of the row's own values
            const QVariant v = report.item(row, c.name);
            cells << (c.type == ValueType::Number && !v.isNull() ? QString::number(qRound64(v.toDouble() * 1000))
                                                                 : ReportOutput::plainText(v));
        }
        out << report.definition().name + u':' + cells.join(QLatin1Char('|'));
    }
    return out;
}

// Columns printed and exported without a caption of their own, in this report
// and its parts.
QStringList uncaptioned(const ReportData &report)
{
    QStringList out;
    for (const ReportData *n : report.nested())
        out << uncaptioned(*n);
    if (report.definition().layout == LayoutKind::Composite)
        return out;
    for (const ReportColumn &c : reportColumns(report, ColumnUse::Output)) {
        bool captioned = false;
        for (const QString &line : c.caption)
            captioned = captioned || !line.trimmed().isEmpty();
        if (!captioned)
            out << report.definition().name + u'.' + c.name;
    }
    return out;
}

// Pairs of neighbouring rows that the definition's sort does not tell apart
// although they print differently: their order is whatever the database gives.
QStringList unsortedNeighbours(const ReportData &report)
{
    QStringList out;
    for (const ReportData *n : report.nested())
        out << unsortedNeighbours(*n);
    const Definition &def = report.definition();
    if (def.layout != LayoutKind::Tabular || report.rowCount() < 2)
        return out;
    static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (def.sort.isEmpty()) {
        if (!orderBy.match(def.query).hasMatch())
            out << def.name + QStringLiteral(": no sort, rows in the database's order");
        return out;   // an ORDER BY query is checked against the other database
    }
    QStringList keys;
    for (const QString &s : def.sort)
        keys << s.section(QLatin1Char(' '), 0, 0);
    const QStringList rows = rowTexts(report);
    for (int row = 1; row < report.rowCount(); ++row) {
        bool tie = true;
        for (const QString &k : keys)
            tie = tie && ReportOutput::plainText(report.item(row, k)) == ReportOutput::plainText(report.item(row + 1, k));
        if (tie && rows.at(row - 1) != rows.at(row))
            out << QStringLiteral("%1: rows %2 and %3 tie on the sort (%4)").arg(def.name).arg(row).arg(row + 1)
                       .arg(rows.at(row - 1));
        if (out.size() > 3)
            break;
    }
    return out;
}

// Where figures went wrong in some format: these show rows on the small factory.
const QStringList kMustShowRows = {
    "d_wip_fin_all", "d_wip_fin_tj", "d_wip_fin_loss", "d_wip_pen_all", "d_wip_pen_tj", "d_w_wip_detail_fil_wipp",
    "d_w_losspaytow_sum", "d_w_alwloss", "d_w_scprogress7", "d_w_scprogress8", "d_w_scmatuse", "d_wip_today1",
    "d_jcjl_mattran_ws",
};

// The fields of an RFC 4180 text, line by line.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> lines{{}};
    QString field;
    bool quoted = false;
    for (qsizetype i = text.startsWith(QChar(0xFEFF)) ? 1 : 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"')
                field += text.at(++i);
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            lines.last() << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            lines.last() << field;
            field.clear();
            lines.append(QStringList());
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !lines.last().isEmpty())
        lines.last() << field;
    else
        lines.removeLast();
    return lines;
}

QString cellName(int column, int row)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

// What a figure may look like: a ratio is the number its format shows, a table's
// number has its column's three places, any other exact figure at most six.
QString figureFault(const Decimal &n, const Definition &def, const QString &name, const QString &format, bool ratio)
{
    const Decimal shown = Decimal::fromVariant(shownNumber(n.toVariant(), format)).value_or(n);
    const int column = def.columnIndex(name);
    const bool tableColumn = column >= 0 && !def.columns.at(column).dbName.isEmpty();
    const int places = n.normalized().scale();
    if (ratio ? shown != n : places > (tableColumn ? 3 : 6))
        return QStringLiteral("%1 = %2").arg(name, n.toShortString());
    return QString();
}

} // namespace

void TestEveryReport::initTestCase()
{
    QVERIFY(!Catalogue::instance().names().isEmpty());
}

TestDatabase *TestEveryReport::database(Engine engine)
{
    auto &db = m_db[engine];
    if (db)
        return db->isValid() ? db.get() : nullptr;
    db = std::make_unique<TestDatabase>(engine);
    if (!db->isValid())
        return nullptr;
    QSqlDatabase sql = db->tr().database();
    DemoFactory demo(sql, db->kind(), kToday);
    demo.setContracts(kContracts);
    if (!sql.transaction() || !demo.run() || !sql.commit()) {
        qWarning("demo factory: %s", qPrintable(demo.error()));
        return nullptr;
    }
    // A recomputation rewrites the department rows one after the other; where
    // the database moves an updated row, a report without a sort moves it too.
    for (const char *department : {"06-镶石", "03-倒模"}) {
        if (!db->exec(QStringLiteral("update day_wip set wip = wip + 1 where dep_c = ?"),
                      {QString::fromUtf8(department)}))
            return nullptr;
    }
    return db.get();
}

// Values that give each report rows on the small factory, by argument name.
QVariantList TestEveryReport::arguments(TestDatabase &db, const Definition &definition)
{
    auto list = [&db](const QString &sql) {
        QStringList values;
        for (const QVariantList &row : db.rows(sql))
            values << row.value(0).toString();
        return values;
    };
    const QString name = definition.name;
    const bool oneDay = name == QLatin1String("d_wip_today1") || name == QLatin1String("d_wip_today2")
        || name == QLatin1String("d_wip_today42");
    const QString worksheet = db.scalar(QStringLiteral("select min(wsheetno) from flreturn")).toString();
    const QString note = db.scalar(QStringLiteral("select min(mattran_no) from jcjl_mattran where zt = 'FINISH' "
                                                  "and gonghao is not null and gonghao <> ''")).toString();
    const QMap<QString, QVariant> byName = {
        {"stime", oneDay ? kToday : kToday.addDays(-40)}, {"etime", kToday},
        {"stdate", kToday.addDays(-40)}, {"eddate", kToday},
        {"deldate1", kToday.addDays(-90)}, {"deldate2", kToday.addDays(90)},
        {"asof", kToday}, {"horizon", kToday.addDays(30)},
        {"gongxu", QStringLiteral("04-执模")}, {"gx", QStringLiteral("04-执模")}, {"proc", QStringLiteral("04-执模")},
        {"pcode", QStringLiteral("04-执模收发")}, {"custno", QStringLiteral("QOR")}, {"kc", QStringLiteral("QOR")},
        {"bz", QStringLiteral("2")}, {"remark", QStringLiteral("2")},
        {"scno", QStringLiteral("KC2400003")},
        {"gr", name == QLatin1String("d_work_wip_g") ? QVariant(QStringLiteral("0402")) : QVariant(note)},
        {"name", db.scalar(QStringLiteral("select min(name) from need_stone"))},
        {"gongxu_array", QStringList{QStringLiteral("04-执模"), QStringLiteral("06-镶石")}},
        {"gold_price", QStringLiteral("480")}, {"pt_price", QStringLiteral("230.5")},
    };
    QVariantList values;
    for (const Argument &a : definition.arguments) {
        const QString key = a.name.toLower();
        if (a.type == ArgumentType::StringList && key == QLatin1String("pno"))
            values << list(QStringLiteral("select mattran_no from jcjl_mattran where zt = 'BEGIN' order by mattran_no"));
        else if (a.type == ArgumentType::StringList && key != QLatin1String("gongxu_array"))
            values << list(QStringLiteral("select scno from sconh order by scno"));
        else if (key == QLatin1String("pno"))
            values << (name == QLatin1String("d_wip_fturn") || name == QLatin1String("d_wip_work_pno") ? worksheet : note);
        else if (key == QLatin1String("kcno"))
            values << QStringLiteral("KC2400003");
        else
            values << byName.value(key, QStringLiteral("X"));
    }
    return values;
}

void TestEveryReport::everyReport_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("definition");
    QStringList engines{QStringLiteral("sqlite")};
    if (test::postgresConfigured())
        engines << QStringLiteral("postgresql");
    // SQLite first: the PostgreSQL rows compare their order with it.
    for (const QString &engine : engines)
        for (const QString &name : Catalogue::instance().names())
            QTest::newRow(qPrintable(engine + u'/' + name)) << engine << name;
}

void TestEveryReport::everyReport()
{
    QFETCH(QString, engine);
    QFETCH(QString, definition);
    TestDatabase *db = database(test::engineFromName(engine));
    QVERIFY2(db, "the small factory could not be made");

    const auto def = Catalogue::instance().find(definition);
    QVERIFY(def);
    DataStore store;
    store.setDefinition(def);
    store.SetTransObject(db->tr());
    Trace::clearCaptured();
    const QVariantList args = arguments(*db, *def);
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY2(store.Retrieve(args) >= 0, qPrintable(Trace::captured().join(u'\n')));

    // Every fault of the report at once: a report may print without captions
    // and in the database's order.
    QStringList faults;
    const QStringList missing = uncaptioned(store);
    if (!missing.isEmpty())
        faults << QStringLiteral("printed without a caption: ") + missing.join(u' ');
    // The exported headers are those captions.
    if (def->layout != LayoutKind::Composite) {
        const QString csv = QString::fromUtf8(ReportOutput::toCsv(store, true));
        const QString header = csv.section(QLatin1String("\r\n"), 0, 0);
        for (const ReportColumn &c : reportColumns(store, ColumnUse::Output)) {
            if (!header.contains(headingText(c)))
                faults << QStringLiteral("%1 is not in the exported header %2").arg(headingText(c), header);
        }
    }
    faults << unsortedNeighbours(store);
    int rowCount = store.RowCount();
    for (const ReportData *nested : static_cast<const ReportData &>(store).nested())
        rowCount += nested->rowCount();
    if (kMustShowRows.contains(definition) && rowCount == 0)
        faults << QStringLiteral("no rows on the small factory");
    checkFigures(store, &faults);

    const QStringList rows = rowTexts(store);
    if (engine == QLatin1String("sqlite")) {
        m_sqliteRows.insert(definition, rows);
    } else if (m_sqliteRows.contains(definition)) {
        const QStringList &sqlite = m_sqliteRows[definition];
        if (rows.size() != sqlite.size())
            faults << QStringLiteral("%1 rows on PostgreSQL, %2 on SQLite").arg(rows.size()).arg(sqlite.size());
        for (int i = 0; i < qMin(rows.size(), sqlite.size()); ++i) {
            if (rows.at(i) != sqlite.at(i)) {
                faults << QStringLiteral("row %1: PostgreSQL %2, SQLite %3").arg(i + 1).arg(rows.at(i), sqlite.at(i));
                break;
            }
        }
    }
    faults << streamedDiffers(store, args, before);
    faults << streamedWorkbookDiffers(store, args, before);
    faults << streamedPdfDiffers(store, args, before);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

// The report written as its rows are read, a few rows a run so that runs meet
// inside it, in each format: the bytes of the report retrieved whole.
QStringList TestEveryReport::streamedDiffers(DataStore &retrieved, const QVariantList &args, const QDateTime &before)
{
    QStringList faults;
    const QString name = retrieved.definition().name;
    for (const auto format : {StreamedExport::Format::Csv, StreamedExport::Format::Json}) {
        const bool json = format == StreamedExport::Format::Json;
        const QByteArray whole = json ? ReportOutput::toJson(retrieved) : ReportOutput::toCsv(retrieved, true);
        for (const int run : {2, 4096}) {
            StreamedExport::setRunSize(run);
            DataStore store;
            store.setDefinition(retrieved.definitionPtr());
            store.SetTransObject(*retrieved.transObject());
            const QString file = m_dir.filePath(name + (json ? QStringLiteral(".json") : QStringLiteral(".csv")));
            QString error;
            Trace::clearCaptured();
            const auto outcome = StreamedExport::save(store, args, format, file, &error);
            if (Trace::captured().join(u' ').contains(QLatin1String("sorts its rows otherwise")))
                faults << QStringLiteral("%1: the database's order is not the report's").arg(name);
            if (outcome != StreamedExport::Outcome::Written) {
                faults << QStringLiteral("%1: not written as it is read: %2").arg(name, error);
                continue;
            }
            QFile f(file);
            QByteArray streamed = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            // today() is the moment each was written.
            QByteArray expected = whole;
            const QDateTime end = QDateTime::currentDateTime().addSecs(1);
            for (QDateTime t = before.addMSecs(-before.time().msec()); t <= end; t = t.addSecs(1)) {
                for (const QString format : {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd h:mm:ss")}) {
                    const QByteArray now = t.toString(format).toUtf8();
                    expected.replace(now, "now");
                    streamed.replace(now, "now");
                }
            }
            if (streamed != expected) {
                qsizetype at = 0;
                while (at < qMin(streamed.size(), expected.size()) && streamed.at(at) == expected.at(at))
                    ++at;
                faults << QStringLiteral("%1 %2 (runs of %3 rows) differs from the whole report at byte %4: %5 | %6")
                              .arg(name, json ? QStringLiteral("JSON") : QStringLiteral("CSV")).arg(run).arg(at)
                              .arg(QString::fromUtf8(streamed.mid(qMax<qsizetype>(0, at - 40), 120)),
                                   QString::fromUtf8(expected.mid(qMax<qsizetype>(0, at - 40), 120)));
            }
        }
    }
    StreamedExport::setRunSize(4096);
    return faults;
}

namespace {

// The parts of a workbook that hold what it shows (its sheets, their names,
// the cells' formats), with the moments from `before` to now, to the second and
// to the minute, written "now".
QMap<QString, QByteArray> workbookParts(const QString &file, const QDateTime &before)
{
    QMap<QString, QByteArray> parts;
    import::ZipArchive zip(file);
    if (!zip.open())
        return parts;
    QStringList names{QStringLiteral("xl/workbook.xml"), QStringLiteral("xl/styles.xml")};
    for (int i = 1; zip.contains(QStringLiteral("xl/worksheets/sheet%1.xml").arg(i)); ++i)
        names << QStringLiteral("xl/worksheets/sheet%1.xml").arg(i);
    const QDateTime end = QDateTime::currentDateTime().addSecs(1);
    for (const QString &name : names) {
        const std::unique_ptr<QIODevice> member = zip.member(name);
        QByteArray bytes = member ? member->readAll() : QByteArray("missing");
        // Every moment to the second before any to the minute, which would
        // leave the seconds of a later moment behind.
        // A format may give the hour without its zero ("0:01:43" after midnight).
        for (const QString format : {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd h:mm:ss"),
                                     QStringLiteral("yyyy-MM-dd HH:mm"), QStringLiteral("yyyy-MM-dd h:mm")}) {
            for (QDateTime t = before.addSecs(-before.time().second() - 1); t <= end; t = t.addSecs(1))
                bytes.replace(t.toString(format).toUtf8(), "now");
        }
        parts.insert(name, bytes);
    }
    return parts;
}

} // namespace

// The workbook written as its rows are read, in runs that meet inside the
// report and in one run: the sheets, cells and formats of the report retrieved
// whole and written.
QStringList TestEveryReport::streamedWorkbookDiffers(DataStore &retrieved, const QVariantList &args,
                                                     const QDateTime &before)
{
    QStringList faults;
    const QString name = retrieved.definition().name;
    const QString wholeFile = m_dir.filePath(name + QStringLiteral("-whole.xlsx"));
    QString error;
    if (!writeXlsx(retrieved, wholeFile, &error))
        return {QStringLiteral("%1: no workbook: %2").arg(name, error)};
    const QMap<QString, QByteArray> expected = workbookParts(wholeFile, before);
    for (const int run : {2, 4096}) {
        StreamedExport::setRunSize(run);
        DataStore store;
        store.setDefinition(retrieved.definitionPtr());
        store.SetTransObject(*retrieved.transObject());
        const QString file = m_dir.filePath(name + QStringLiteral(".xlsx"));
        Trace::clearCaptured();
        const auto outcome = writeXlsx(store, args, file, &error);
        if (Trace::captured().join(u' ').contains(QLatin1String("sorts its rows otherwise")))
            faults << QStringLiteral("%1: the database's order is not the report's").arg(name);
        if (outcome != StreamedExport::Outcome::Written) {
            faults << QStringLiteral("%1: no workbook as it is read: %2").arg(name, error);
            continue;
        }
        const QMap<QString, QByteArray> streamed = workbookParts(file, before);
        if (streamed.keys() != expected.keys())
            faults << QStringLiteral("%1 workbook (runs of %2 rows) has the parts %3, not %4")
                          .arg(name).arg(run).arg(streamed.keys().join(u' '), expected.keys().join(u' '));
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QByteArray got = streamed.value(it.key());
            if (got == it.value())
                continue;
            qsizetype at = 0;
            while (at < qMin(got.size(), it.value().size()) && got.at(at) == it.value().at(at))
                ++at;
            faults << QStringLiteral("%1 workbook %2 (runs of %3 rows) differs at byte %4: %5 | %6")
                          .arg(name, it.key()).arg(run).arg(at)
                          .arg(QString::fromUtf8(got.mid(qMax<qsizetype>(0, at - 60), 160)),
                               QString::fromUtf8(it.value().mid(qMax<qsizetype>(0, at - 60), 160)));
        }
    }
    StreamedExport::setRunSize(4096);
    return faults;
}

namespace {

// The texts of a PDF's pages as laid out (poppler's pdftotext), with the
// moments from `before` to now written "now".
QString pdfTexts(const QString &file, const QDateTime &before)
{
    QString text = test::programOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    const QDateTime end = QDateTime::currentDateTime().addSecs(1);
    for (const QString format : {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd h:mm:ss"),
                                 QStringLiteral("yyyy-MM-dd HH:mm"), QStringLiteral("yyyy-MM-dd h:mm")}) {
        for (QDateTime t = before.addSecs(-before.time().second() - 1); t <= end; t = t.addSecs(1))
            text.replace(t.toString(format), QStringLiteral("now"));
    }
    return text;
}

} // namespace

// The PDF painted as its rows are read, in runs that meet inside the report's
// pages: the pages and texts of the report retrieved whole and printed. (The
// bytes are compared by reports_streamedexport; here a moment printed "now"
// differs by the second.)
QStringList TestEveryReport::streamedPdfDiffers(DataStore &retrieved, const QVariantList &args, const QDateTime &before)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return {};
    const QString name = retrieved.definition().name;
    const QString wholeFile = m_dir.filePath(name + QStringLiteral("-whole.pdf"));
    QString error;
    if (!writePdf(retrieved, wholeFile, &error))
        return {QStringLiteral("%1: no PDF: %2").arg(name, error)};
    const QString expected = pdfTexts(wholeFile, before);
    StreamedExport::setRunSize(2);
    DataStore store;
    store.setDefinition(retrieved.definitionPtr());
    store.SetTransObject(*retrieved.transObject());
    const QString file = m_dir.filePath(name + QStringLiteral(".pdf"));
    const auto outcome = StreamedPdf::save(store, args, file, &error);
    StreamedExport::setRunSize(4096);
    if (outcome != StreamedExport::Outcome::Written)
        return {QStringLiteral("%1: no PDF as it is read: %2").arg(name, error)};
    const QString got = pdfTexts(file, before);
    if (got == expected)
        return {};
    qsizetype at = 0;
    while (at < qMin(got.size(), expected.size()) && got.at(at) == expected.at(at))
        ++at;
    return {QStringLiteral("%1 PDF (runs of 2 rows) differs at character %2: %3 | %4")
                .arg(name).arg(at).arg(got.mid(qMax<qsizetype>(0, at - 60), 160), expected.mid(qMax<qsizetype>(0, at - 60), 160))};
}

// Group and report totals: each figure stands under a column of figures, not
// under a text, a picture or a date, and not under a column its expression only
// multiplies by (the purity beside the pure metal); every band of figures says
// what it totals.
void TestEveryReport::everyFigureStandsUnderWhatItAdds()
{
    QStringList faults;
    for (const QString &name : Catalogue::instance().names()) {
        const auto def = Catalogue::instance().find(name);
        QMap<QPair<Band, int>, int> figures, labels;
        for (const TextObject &t : def->texts)
            ++labels[{t.band, t.group}];
        for (const ComputedField &f : def->computed) {
            if (f.band != Band::GroupTrailer && f.band != Band::Summary)
                continue;
            if (f.type == ValueType::String) {
                ++labels[{f.band, f.group}];
                continue;
            }
            const auto e = Expression::parse(f.expression);
            if (!e || !e->hasAggregate() || f.under.isEmpty())
                continue;
            ++figures[{f.band, f.group}];
            const QString under = f.under.toLower();
            const int index = def->columnIndex(under);
            const ComputedField *computedColumn = def->computedField(under);
            const ValueType type = index >= 0 ? def->columns.at(index).type
                                              : computedColumn ? computedColumn->type : ValueType::Number;
            QStringList added = e->referencedNames();
            for (const QString &n : e->rowNames())
                added.removeAll(n);
            const bool count = f.expression.trimmed().startsWith(QLatin1String("count("), Qt::CaseInsensitive);
            if (type != ValueType::Number && !count)   // the number of orders may stand under the orders
                faults << QStringLiteral("%1.%2 (%3) stands under the text or date %4").arg(name, f.name, f.expression, f.under);
            else if (e->rowNames().contains(under) && !added.contains(under))
                faults << QStringLiteral("%1.%2 (%3) stands under %4, which it only multiplies by")
                              .arg(name, f.name, f.expression, f.under);
        }
        for (auto it = figures.cbegin(); it != figures.cend(); ++it) {
            if (!labels.value(it.key()))
                faults << QStringLiteral("%1: the %2 shows figures without a label")
                              .arg(name, it.key().first == Band::Summary
                                             ? QStringLiteral("summary")
                                             : QStringLiteral("trailer of group %1").arg(it.key().second));
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

void TestEveryReport::checkFigures(const ReportData &data, QStringList *faults)
{
    if (data.definition().layout == LayoutKind::Composite) {
        for (const ReportData *nested : data.nested())
            checkFigures(*nested, faults);
        return;
    }
    const Definition &def = data.definition();
    const QVector<ReportColumn> columns = reportColumns(data, ColumnUse::Output);
    const QList<QStringList> csv = parseCsv(QString::fromUtf8(ReportOutput::toCsv(data)));
    if (csv.size() != data.rowCount() + 1)
        faults->append(QStringLiteral("%1: %2 CSV lines for %3 rows")
                           .arg(def.name).arg(csv.size()).arg(data.rowCount()));
    for (int r = 1; r < csv.size(); ++r) {
        for (int c = 0; c < columns.size() && c < csv.at(r).size(); ++c) {
            const auto n = values::parseNumber(csv.at(r).at(c));
            const ReportColumn &column = columns.at(c);
            if (n && column.type == ValueType::Number) {
                const QString fault = figureFault(*n, def, column.name, column.format, column.ratio);
                if (!fault.isEmpty())
                    faults->append(QStringLiteral("%1 CSV line %2: %3").arg(def.name).arg(r + 1).arg(fault));
            }
        }
    }
    checkJson(data, csv, columns, faults);
    checkWorkbook(data, csv, columns, faults);
}

void TestEveryReport::checkJson(const ReportData &data, const QList<QStringList> &csv,
                                const QVector<ReportColumn> &columns, QStringList *faults)
{
    const Definition &def = data.definition();
    const QJsonObject json = ReportOutput::toJsonObject(data);
    QStringList names;
    for (const Column &c : data.columns())
        names << c.name;
    const QJsonArray rows = json[QStringLiteral("rows")].toArray();
    for (int r = 1; r < csv.size() && r <= rows.size(); ++r) {
        const QJsonArray row = rows.at(r - 1).toArray();
        for (int c = 0; c < columns.size() && c < csv.at(r).size(); ++c) {
            const int index = columns.at(c).computed ? -1 : int(names.indexOf(columns.at(c).name));
            if (index < 0)
                continue;   // computed columns are not among JSON's rows
            const QJsonValue v = row.at(index);
            const QString text = csv.at(r).at(c);
            const bool same = v.isDouble() ? values::parseNumber(text) == Decimal::fromDouble(v.toDouble())
                                           : (v.isNull() ? text.isEmpty() : v.toVariant().toString() == text);
            if (!same)
                faults->append(QStringLiteral("%1 line %2 %3: JSON %4, CSV %5")
                                   .arg(def.name).arg(r + 1).arg(columns.at(c).name, v.toVariant().toString(), text));
        }
    }
    const QJsonObject computed = json[QStringLiteral("computed")].toObject();
    for (auto it = computed.begin(); it != computed.end(); ++it) {
        const ComputedField *f = def.computedField(it.key());
        if (!it.value().isDouble() || !f)
            continue;
        const QString fault = figureFault(Decimal::fromDouble(it.value().toDouble()), def, f->name, f->format,
                                          isRatio(def, f->name));
        if (!fault.isEmpty())
            faults->append(QStringLiteral("%1 JSON computed: %2").arg(def.name, fault));
    }
}

void TestEveryReport::checkWorkbook(const ReportData &data, const QList<QStringList> &csv,
                                   const QVector<ReportColumn> &columns, QStringList *faults)
{
    const Definition &def = data.definition();
    if (def.layout == LayoutKind::Form || !test::canReadWorkbooks())
        return;
    const QString file = m_dir.filePath(def.name + QStringLiteral(".xlsx"));
    QString error;
    if (!writeXlsx(data, file, &error)) {
        faults->append(def.name + QStringLiteral(": no workbook: ") + error);
        return;
    }
    const QJsonObject cells = m_reader.read(file, &error);
    if (cells.isEmpty()) {
        faults->append(def.name + QStringLiteral(": the workbook does not read: ") + error);
        return;
    }
    // The rows follow the captions, which follow the line that says when it was exported.
    int sheetRow = 1;
    while (sheetRow < 100 && !cells[cellName(0, sheetRow)].toArray().at(1).toString().startsWith(u"导出 Exported"))
        ++sheetRow;
    sheetRow += 2;
    // Detail rows in the order the report prints them, a line for each band that shows.
    const PageModel model(data, PageModel::Options{9, PageModel::Purpose::Export, 7});
    QList<int> rowsAt;   // report row per sheet row from the first after the captions; 0 for a band
    if (model.sectionCount() > 0) {
        const PageModel::Section &s = model.section(0);
        for (const PageModel::Run &run : s.runs) {
            if (run.kind == PageModel::RunKind::Detail) {
                for (int r = run.firstRow; r <= run.lastRow; ++r)
                    rowsAt << r;
            } else if (!s.templateOf(run).isEmpty()) {
                rowsAt << 0;
            }
        }
    }
    for (int i = 0; i < rowsAt.size(); ++i) {
        const int r = rowsAt.at(i);
        for (int c = 0; r > 0 && r < csv.size() && c < columns.size() && c < csv.at(r).size(); ++c) {
            const QJsonArray cell = cells[cellName(c, sheetRow + i)].toArray();
            const QString text = csv.at(r).at(c), value = cell.at(1).toString();
            bool same = value == text;
            if (columns.at(c).picture) {
                same = true;   // a picture instead of its file name
            } else if (cell.at(0).toString() == u"n" && !value.isEmpty()) {
                const bool date = columns.at(c).type == ValueType::Date || columns.at(c).type == ValueType::DateTime;
                const QDateTime moment = QDateTime(QDate(1899, 12, 30), QTime(0, 0))
                                             .addMSecs(qint64(std::llround(value.toDouble() * 86400.0) * 1000));
                same = date ? values::dateTimeText(moment) == text
                            : values::parseNumber(text) == Decimal::fromDouble(value.toDouble());
            }
            if (!same)
                faults->append(QStringLiteral("%1 %2: workbook %3, CSV line %4 %5")
                                   .arg(def.name, cellName(c, sheetRow + i), value).arg(r + 1).arg(text));
        }
    }
}

QTEST_MAIN(TestEveryReport)
#include "tst_everyreport.moc"
