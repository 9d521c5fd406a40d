// The reports that read a month or a whole process find their rows in an index
// that holds every column they read of those tables, on both databases: a
// month of 部门过货统计 and NEW WIP then read index entries side by side
// instead of a table page for each row, which is what the first run after a
// restart pays for (bench/bench_uncached.cpp). Each definition's own query is
// planned with its arguments written in: SQLite must search each table named
// through its covering index; PostgreSQL, which plans the few rows of a test by
// their cost alone, is left each table's one index and no sequential scan and
// must then read that index alone. At scale 100 it takes those indexes on its
// own (docs/database.md).

#include "reports/catalogue.h"
#include "testdatabase.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

class TestCoveringIndexes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void monthAndOpenStepReportsReadOnlyIndexes_data();
    void monthAndOpenStepReportsReadOnlyIndexes();
};

void TestCoveringIndexes::monthAndOpenStepReportsReadOnlyIndexes_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QStringList>("arguments");   // name=literal, written into the query
    QTest::addColumn<QStringList>("covered");     // table=index
    const QStringList month = {"pcode='04-执模收发'", "stdate='2004-03-01 00:00:00'", "eddate='2004-03-31 23:59:59'"};
    const QStringList openSteps = {"proch_new=ix_proch_new_open", "sconh=ix_sconh_scno_cust", "scond=ix_scond_scno_article"};
    for (const char *engine : {"sqlite", "postgresql"}) {
        const auto row = [engine](const char *name, const QStringList &arguments, const QStringList &covered) {
            QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(engine), QLatin1String(name))))
                << QString::fromLatin1(engine) << QString::fromLatin1(name) << arguments << covered;
        };
        row("d_wip_protran", month, {"jcjl_mattran=ix_jcjl_mattran_fcode_month"});
        row("d_wip_all_detail", {"gongxu='06-镶石'"}, openSteps);
        row("d_wip_all_total", {"gongxu='06-镶石'"}, openSteps);
    }
}

void TestCoveringIndexes::monthAndOpenStepReportsReadOnlyIndexes()
{
    QFETCH(QString, definition);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, covered);
    WIP_TEST_DATABASE(db);
    const auto def = Catalogue::instance().find(definition);
    QVERIFY(def);
    QString sql = def->query;
    for (const QString &argument : std::as_const(arguments))
        sql.replace(QLatin1Char(':') + argument.section(QLatin1Char('='), 0, 0), argument.section(QLatin1Char('='), 1));
    QVERIFY2(!sql.contains(QRegularExpression(QStringLiteral(":[a-z]"))), qPrintable(sql));

    const bool postgres = db.kind() == DbKind::PostgreSQL;
    QSqlDatabase connection = db.tr().database();
    if (postgres) {
        // A row in each table, its pages then known to be all visible (what the
        // server's own vacuum keeps up for a factory's tables), so that reading
        // an index alone costs less than reading it and the table.
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}}));
        QVERIFY(db.insert("scond", {{"scno", "KC1"}, {"article_code", "A1"}, {"metal", "18K"}}));
        QVERIFY(db.insert("proch_new", {{"scno", "KC1"}, {"gongxu_code", "06-镶石"}, {"qty", 1}}));
        QVERIFY(db.insert("jcjl_mattran", {{"mattran_no", "T1"}, {"fcode", "04-执模收发"}, {"tcode", "05-镶石收发"}}));
        for (const QString &pair : std::as_const(covered)) {
            QSqlQuery vacuum(connection);   // not in a transaction, as vacuum runs
            QVERIFY2(vacuum.exec(QStringLiteral("vacuum analyze ") + pair.section(QLatin1Char('='), 0, 0)),
                     qPrintable(vacuum.lastError().text()));
        }
        // Each table left with the one index and no sequential scan, in work that
        // is rolled back: an index-only scan of it shows that it holds every
        // column the query reads there.
        QVERIFY(connection.transaction());
        for (const QString &pair : std::as_const(covered)) {
            QSqlQuery others(connection);
            QVERIFY(others.exec(QStringLiteral("select i.relname, c.conname from pg_index x join pg_class i on i.oid = x.indexrelid "
                                               "join pg_class t on t.oid = x.indrelid left join pg_constraint c on "
                                               "c.conindid = x.indexrelid where t.relname = '%1' and i.relname <> '%2'")
                                    .arg(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1))));
            QStringList drops;
            while (others.next())
                drops << (others.value(1).isNull() ? QStringLiteral("drop index %1").arg(others.value(0).toString())
                                                   : QStringLiteral("alter table %1 drop constraint %2")
                                                         .arg(pair.section(QLatin1Char('='), 0, 0), others.value(1).toString()));
            for (const QString &drop : std::as_const(drops))
                QVERIFY2(QSqlQuery(connection).exec(drop), qPrintable(drop));
        }
        for (const char *scan : {"seqscan", "bitmapscan"})
            QVERIFY(QSqlQuery(connection).exec(QStringLiteral("set local enable_%1 = off").arg(QLatin1String(scan))));
    }
    QSqlQuery q(connection);
    const bool planned = q.exec((postgres ? QStringLiteral("explain ") : QStringLiteral("explain query plan ")) + sql);
    QStringList plan;
    while (q.next())
        plan << q.value(postgres ? 0 : 3).toString().trimmed();
    const QString error = q.lastError().text();
    q.finish();
    if (postgres)
        connection.rollback();
    QVERIFY2(planned, qPrintable(error));
    const QString text = plan.join(QLatin1Char('\n'));
    for (const QString &pair : std::as_const(covered)) {
        const QString table = pair.section(QLatin1Char('='), 0, 0);
        const QString index = pair.section(QLatin1Char('='), 1);
        const QString expected = postgres ? QStringLiteral("Index Only Scan using %1 on %2").arg(index, table)
                                          : QStringLiteral("SEARCH %1 USING COVERING INDEX %2 ").arg(table, index);
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + text));
    }
}

QTEST_GUILESS_MAIN(TestCoveringIndexes)
#include "tst_coveringindexes.moc"
