// The demo factory's reference data keeps the rules a clerk's would: every
// row of every kind passes the checks of a save, every worker number of the
// steps and transfers is a worker of the step's department with the step's
// name, every customer, metal and article the contracts give is there.

#include "database/initdatabase.h"
#include "reference/referencereader.h"
#include "reference/referencevalidator.h"
#include "testdatabase.h"

#include <QTest>

using namespace wip;
using namespace wip::reference;
using namespace wip::test;

class tst_DemoReference : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;

    // Rows of a query that must give none, shown when it does.
    QString strays(const char *sql)
    {
        QStringList out;
        for (const QVariantList &r : m_db->rows(QString::fromUtf8(sql))) {
            QStringList cells;
            for (const QVariant &v : r)
                cells << v.toString();
            out << cells.join(QLatin1Char('|'));
            if (out.size() == 5)
                break;
        }
        return out.join(QStringLiteral("; "));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(Engine::SQLite, false);
        QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
        const InitResult r = initDatabase(m_db->tr(), InitOptions{true, 1, QDate(2004, 5, 12)});
        QVERIFY2(r.ok, qPrintable(r.error));
    }

    void cleanupTestCase() { m_db.reset(); }

    void everyRowPassesTheChecksOfASave()
    {
        for (const RefKind &kind : RefKind::all()) {
            QList<RefRow> rows = ReferenceReader(m_db->tr()).load(kind).value();
            QVERIFY2(!rows.isEmpty(), qPrintable(kind.name));
            for (RefRow &row : rows)
                row.change = RefRow::Change::Edited;
            ReferenceValidator validator(m_db->tr(), kind);
            const auto problems = validator.validate(rows);
            QVERIFY2(problems, qPrintable(validator.error()));
            QStringList texts;
            for (const RefProblem &p : *problems)
                texts << p.text();
            QVERIFY2(texts.isEmpty(), qPrintable(kind.name + ": " + texts.join("; ")));
        }
        // Every metal is stamped, but solder.
        QCOMPARE(strays("select mcode from material where mtype in ('GOLD', 'PT') and coalesce(hallmark, '') = '' "
                        "and mcode not like '%焊'"),
                 QString());
    }

    void stepsAndTransfersNameTheirWorkers()
    {
        // Shipping receives a finished bag at its desk: a step without a worker.
        QCOMPARE(strays("select p.changhao, p.xingming, p.gongxu_code, w.xingming, w.gongxu_code from proch p "
                        "left join worker w on w.changhao = p.changhao "
                        "where (w.changhao is null and (coalesce(p.changhao, '') <> '' or p.gongxu_code <> '20-出货')) "
                        "or w.gongxu_code <> p.gongxu_code "
                        "or (coalesce(p.xingming, '') <> '' and p.xingming <> w.xingming)"),
                 QString());
        QCOMPARE(strays("select p.changhao, p.xingming from proch_new p left join worker w on w.changhao = p.changhao "
                        "where coalesce(p.changhao, '') <> '' and (w.changhao is null "
                        "or (coalesce(p.xingming, '') <> '' and p.xingming <> w.xingming))"),
                 QString());
        QCOMPARE(strays("select t.gonghao, t.name from jcjl_mattran t left join worker w on w.changhao = t.gonghao "
                        "where coalesce(t.gonghao, '') <> '' and (w.changhao is null or t.name <> w.xingming)"),
                 QString());
        for (const char *sql : {"select changhao from matuse", "select changhao from work_report",
                                "select changhao from work_wip", "select changhao from flreturn"})
            QCOMPARE(strays(qPrintable(QStringLiteral("%1 where changhao not in (select changhao from worker)")
                                           .arg(QString::fromLatin1(sql)))),
                     QString());
        QCOMPARE(strays("select changhao, gongxu_code from worker where gongxu_code not in (select gongxu_code from gongxu)"),
                 QString());
        QCOMPARE(m_db->scalar("select count(*) from worker where active = 0").toInt(), 1);
    }

    void contractsNameCodesTheReferenceDataHolds()
    {
        QCOMPARE(strays("select scno, cust_no from sconh where cust_no not in (select cust_no from customer)"), QString());
        QCOMPARE(strays("select scno, metal from scond where metal not in "
                        "(select mcode from material where mtype in ('GOLD', 'PT'))"),
                 QString());
        QCOMPARE(strays("select scno, article_code from scond where article_code not in (select article_code from article)"),
                 QString());
        QCOMPARE(strays("select mcode from castind where mcode not in (select mcode from material)"), QString());
        QCOMPARE(strays("select mcode from matuse where mcode not in (select mcode from material)"), QString());
    }
};

QTEST_MAIN(tst_DemoReference)
#include "tst_demoreference.moc"
