// The same figure in every format. Every definition of the catalogue is retrieved
// on a small factory (SQLite, and PostgreSQL when configured) and written as CSV,
// JSON and workbook; then, cell by cell:
//
//   - no number carries a binary artefact: a column of a table has the places of
//     its numeric(18,3) (sums the query makes included), any other exact figure at
//     most the six of a weight times a purity, and a ratio (a field that divides)
//     exactly the number its display format shows;
//   - JSON holds the figure CSV holds (numbers by value, texts and dates as text);
//   - the workbook's cells hold the figures CSV holds, dates as the same moments.
//
// The arguments of each definition are taken from the factory, so that most
// definitions show rows; the ones named in kMustShowRows have to.

#include "database/demofactory.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/displayformat.h"
#include "reports/render/pagemodel.h"
#include "reports/render/xlsxexport.h"
#include "reports/reportcolumns.h"
#include "reports/reportoutput.h"
#include "runtime/values.h"
#include "testdatabase.h"
#include "workbookreader.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <map>
#include <memory>

using namespace wip;
using namespace wip::reports;
using wip::test::Engine;
using wip::test::TestDatabase;

namespace {

const QDate kToday(2026, 12, 8);

// Where the faults were met: these show rows on the small factory.
const QStringList kMustShowRows = {
    "d_wip_fin_all", "d_wip_fin_tj", "d_wip_fin_loss", "d_wip_pen_all", "d_wip_pen_tj", "d_w_wip_detail_fil_wipp",
    "d_w_losspaytow_sum", "d_w_alwloss", "d_w_scprogress7", "d_w_scprogress8", "d_w_scmatuse", "d_wip_today1",
    "d_jcjl_mattran_ws",
};

// One retrieval argument's value on the factory: codes that occur in it, whole
// ranges of dates around its today, every contract for a list of contracts.
QVariant argumentValue(TestDatabase &db, const Definition &def, const Argument &a)
{
    const QString name = a.name.toLower();
    const auto first = [&](const char *sql) { return db.scalar(QString::fromUtf8(sql)).toString(); };
    const auto all = [&](const char *sql) {
        QStringList values;
        for (const QVariantList &row : db.rows(QString::fromUtf8(sql)))
            values << row.value(0).toString();
        return values;
    };
    switch (a.type) {
    case ArgumentType::Date:
    case ArgumentType::DateTime: {
        QList<const Argument *> dates;
        for (const Argument &other : def.arguments) {
            if (other.type == ArgumentType::Date || other.type == ArgumentType::DateTime)
                dates << &other;
        }
        if (dates.size() == 1)
            return kToday;   // a day's report
        return dates.indexOf(&a) == 0 ? kToday.addDays(-120) : kToday.addDays(120);
    }
    case ArgumentType::StringList:
    case ArgumentType::NumberList:
        if (name.contains(QLatin1String("gongxu")))
            return QStringList{"04-执模", "06-镶石", "07-执边", "08-打磨"};
        if (name == QLatin1String("pno"))
            return all("select distinct mattran_no from jcjl_mattran where zt = 'BEGIN'");
        return all("select scno from sconh");
    default:
        break;
    }
    if (QStringList{"gongxu", "gx", "proc"}.contains(name))
        return QStringLiteral("04-执模");
    if (name == QLatin1String("pcode"))
        return QStringLiteral("04-执模收发");
    if (name == QLatin1String("custno") || name == QLatin1String("kc"))
        return QStringLiteral("QOR");
    if (name == QLatin1String("remark") || name == QLatin1String("bz"))
        return first("select min(p.remark) from process p join sconh h on h.scno = p.scno "
                     "where h.cust_no = 'QOR' and p.remark <> '' and coalesce(h.inv_no, '') = ''");
    if (name == QLatin1String("gr"))
        return first("select min(gonghao) from jcjl_mattran where zt = 'FINISH'");
    if (name == QLatin1String("name"))
        return first("select min(name) from need_stone");
    if (name == QLatin1String("pno") && def.name == QLatin1String("d_wip_fturn"))
        return first("select min(wsheetno) from flreturn");
    if (name == QLatin1String("pno"))
        return first(def.name.contains(QLatin1String("finish"))
                         ? "select min(mattran_no) from jcjl_mattran where zt = 'FINISH'"
                         : "select min(mattran_no) from jcjl_mattran where zt = 'BEGIN'");
    return first("select min(scno) from work_report");   // a contract: kcno, scno
}

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

class TestEveryFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameFigureInEveryFormat_data();
    void sameFigureInEveryFormat();

private:
    TestDatabase &factory(Engine engine);
    void checkReport(const ReportData &data, QStringList *faults);
    void checkJson(const ReportData &data, const QList<QStringList> &csv, const QVector<ReportColumn> &columns,
                   QStringList *faults);
    void checkWorkbook(const ReportData &data, const QList<QStringList> &csv, const QVector<ReportColumn> &columns,
                       QStringList *faults);

    std::map<Engine, std::unique_ptr<TestDatabase>> m_factories;
    QTemporaryDir m_dir;
    test::WorkbookReader m_reader;
};

// Forty contracts of the demo factory, made once per engine.
TestDatabase &TestEveryFormat::factory(Engine engine)
{
    auto &db = m_factories[engine];
    if (!db) {
        db = std::make_unique<TestDatabase>(engine);
        Transaction &tr = db->tr();
        DemoFactory demo(tr.database(), tr.kind(), kToday);
        demo.setContracts(40);
        if (db->isValid() && !(tr.begin() && demo.run() && tr.commit()))
            qWarning("the small factory was not made: %s %s", qPrintable(demo.error()), qPrintable(tr.sqlErrText));
    }
    return *db;
}

void TestEveryFormat::sameFigureInEveryFormat_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("definition");
    QStringList engines{QStringLiteral("sqlite")};
    if (test::postgresConfigured())
        engines << QStringLiteral("postgresql");
    for (const QString &engine : engines) {
        for (const QString &name : Catalogue::instance().names())
            QTest::newRow(qPrintable(engine + u'/' + name)) << engine << name;
    }
}

void TestEveryFormat::sameFigureInEveryFormat()
{
    QFETCH(QString, engine);
    QFETCH(QString, definition);
    TestDatabase &db = factory(test::engineFromName(engine));
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    DataStore ds(definition);
    ds.SetTransObject(db.tr());
    QVariantList args;
    for (const Argument &a : ds.definition().arguments)
        args << argumentValue(db, ds.definition(), a);
    QVERIFY(ds.Retrieve(args) >= 0);
    int rows = ds.RowCount();
    for (const ReportData *nested : static_cast<const ReportData &>(ds).nested())
        rows += nested->rowCount();
    if (kMustShowRows.contains(definition))
        QVERIFY2(rows > 0, "no rows on the small factory");
    else if (rows == 0)
        qInfo("%s shows no rows on the small factory", qPrintable(definition));

    QStringList faults;
    checkReport(ds, &faults);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 12).join(u'\n')));
}

void TestEveryFormat::checkReport(const ReportData &data, QStringList *faults)
{
    if (data.definition().layout == LayoutKind::Composite) {
        for (const ReportData *nested : data.nested())
            checkReport(*nested, faults);
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

void TestEveryFormat::checkJson(const ReportData &data, const QList<QStringList> &csv,
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

void TestEveryFormat::checkWorkbook(const ReportData &data, const QList<QStringList> &csv,
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

QTEST_MAIN(TestEveryFormat)
#include "tst_everyformat.moc"
