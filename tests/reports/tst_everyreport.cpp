#include "database/demofactory.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/expression.h"
#include "reports/reportcolumns.h"
#include "reports/reportoutput.h"
#include "runtime/trace.h"
#include "testdatabase.h"

#include <QDate>
#include <QRegularExpression>
#include <QTest>

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

    std::map<Engine, std::unique_ptr<TestDatabase>> m_db;
    QMap<QString, QStringList> m_sqliteRows;   // definition -> its rows read on SQLite, in order
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
    QVERIFY2(store.Retrieve(arguments(*db, *def)) >= 0, qPrintable(Trace::captured().join(u'\n')));

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
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
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

QTEST_MAIN(TestEveryReport)
#include "tst_everyreport.moc"
