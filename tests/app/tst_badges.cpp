// wip badges as a factory runs it on its own database: the badges of the
// active workers of two departments, narrowed with --dept, each number read
// back from the page as the desk's scanner reads it; a department that is none,
// one without workers and a worker number no barcode carries are said so.

#include "wipprocess.h"
#include "programoutput.h"

#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = wip::test::WipRun;
using wip::test::describe;

} // namespace

class TestBadges : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    Run wip(const QStringList &args) const { return wip::test::runWip(QStringLiteral(WIP_BINARY), m_home.path(), args); }

    // A database of the factory's own, as init-db makes it, with these workers
    // (number, name, department, active).
    QString factory(const QString &name, const QList<QStringList> &workers)
    {
        const QString file = m_home.filePath(name);
        const Run r = wip({"init-db", "--database", file});
        if (r.exitCode != 0)
            return describe(r);
        bool ok = true;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("workers"));
            db.setDatabaseName(file);
            ok = db.open();
            for (const QStringList &w : workers) {
                QSqlQuery q(db);
                q.prepare(QStringLiteral("insert into worker (changhao, xingming, gongxu_code, active) "
                                         "values (?, ?, ?, ?)"));
                for (int i = 0; i < 4; ++i)
                    q.addBindValue(w.at(i));
                ok = ok && q.exec();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("workers"));
        return ok ? file : QStringLiteral("workers not written");
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_home.isValid()); }

    void badgesOfTheActiveWorkers()
    {
        const QString db = factory("factory.db", {{"0402", "李伟", "04-执模", "1"},
                                                  {"0401", "陈志强", "04-执模", "1"},
                                                  {"0409", "钱国平", "04-执模", "0"},
                                                  {"0601", "黄小明", "06-镶石", "1"}});
        QVERIFY2(QFileInfo::exists(db), qPrintable(db));
        const QString pdf = m_home.filePath("badges.pdf");
        Run r = wip({"badges", "--database", db, "--output", pdf});
        QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("Printed 3 worker badges to %1.").arg(pdf)),
                 qPrintable(describe(r)));
        QCOMPARE(wip::test::pdfBarcodes(pdf, 150),
                 (QStringList{"1 CODE-128:0401", "1 CODE-128:0402", "1 CODE-128:0601"}));
        const QString text = wip::test::programOutput("pdftotext", {pdf, "-"});
        for (const QString &name : QStringList{"陈志强", "李伟", "黄小明", "执模 04-执模", "镶石 06-镶石"})
            QVERIFY2(text.contains(name), qPrintable(name + " missing:\n" + text));
        QVERIFY2(!text.contains(QStringLiteral("钱国平")), qPrintable(text));   // retired

        const QString setting = m_home.filePath("setting.pdf");
        r = wip({"badges", "--database", db, "--dept", "镶石", "--output", setting});
        QVERIFY2(r.exitCode == 0 && r.out.contains(QStringLiteral("Printed 1 worker badge to")),
                 qPrintable(describe(r)));
        QCOMPARE(wip::test::pdfBarcodes(setting, 150), QStringList{"1 CODE-128:0601"});

        // A department that is none, and one without workers: said, nothing written.
        const QString none = m_home.filePath("none.pdf");
        r = wip({"badges", "--database", db, "--dept", "执模", "--dept", "喷砂", "--output", none});
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("No department \"喷砂\"")),
                 qPrintable(describe(r)));
        r = wip({"badges", "--database", db, "--dept", "唧蜡", "--output", none});
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("No active worker in 01-唧腊; no badges were printed")),
                 qPrintable(describe(r)));
        QVERIFY(!QFileInfo::exists(none));
        // The database itself is never written over.
        r = wip({"badges", "--database", db, "--output", db});
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("is the database itself")), qPrintable(describe(r)));
    }

    void noWorkerIsSaid()
    {
        const QString db = factory("empty.db", {});
        QVERIFY2(QFileInfo::exists(db), qPrintable(db));
        const QString pdf = m_home.filePath("empty.pdf");
        const Run r = wip({"badges", "--database", db, "--output", pdf});
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("No active worker in the reference data")),
                 qPrintable(describe(r)));
        QVERIFY(r.out.isEmpty() && !QFileInfo::exists(pdf));
    }

    // A number a barcode cannot carry gets no badge, and the run says so and
    // fails; the other workers' badges are printed.
    void numberWithoutBarcodeIsRefused()
    {
        const QString db = factory("chinese.db", {{"0401", "陈志强", "04-执模", "1"}, {"执02", "李伟", "04-执模", "1"}});
        QVERIFY2(QFileInfo::exists(db), qPrintable(db));
        const QString pdf = m_home.filePath("chinese.pdf");
        const Run r = wip({"badges", "--database", db, "--output", pdf});
        QVERIFY2(r.exitCode == 1 && r.err.contains(QStringLiteral("No badge for worker 执02 李伟"))
                     && r.out.contains(QStringLiteral("Printed 1 worker badge")),
                 qPrintable(describe(r)));
        QCOMPARE(wip::test::pdfBarcodes(pdf, 150), QStringList{"1 CODE-128:0401"});
    }
};

QTEST_GUILESS_MAIN(TestBadges)
#include "tst_badges.moc"
