// Worker badges: the active workers of the reference data by department and
// number, narrowed to the departments named as a clerk names them; ten cards
// to an A4 page, each worker number read back from the printed page as a desk
// scanner reads it, the Chinese names in the text, nothing under 6 pt.

#include "contracts/workerbadgepdf.h"
#include "desk/workerbadge.h"
#include "programoutput.h"
#include "testdatabase.h"
#include "textsizerecorder.h"

#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::test::TestDatabase;
using wip::test::TextSizeRecorder;

class WorkerBadgesTest : public QObject
{
    Q_OBJECT

    static bool addWorker(TestDatabase &db, const QString &number, const QVariant &name, const QString &gongxu,
                          const QVariant &active)
    {
        return db.insert("worker",
                         {{"changhao", number}, {"xingming", name}, {"gongxu_code", gongxu}, {"active", active}});
    }

    static QStringList numbers(const QList<WorkerBadge> &badges)
    {
        QStringList list;
        for (const WorkerBadge &b : badges)
            list << b.number;
        return list;
    }

    static WorkerBadge badge(const QString &number, const QString &name, const QString &gongxu,
                             const QString &department)
    {
        return WorkerBadge{number, name, gongxu, department};
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *tool : {"pdftoppm", "zbarimg", "pdftotext"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                     "pdftoppm, pdftotext (poppler-utils) and zbarimg (zbar-tools) are needed: scripts/install-deps");
    }

    // Retired workers get no badge; a department is named by its desk's
    // caption, its process code, the part after the dash or its process name.
    void readsActiveWorkersOfTheDepartmentsNamed_data() { wip::test::addEngineRows(); }
    void readsActiveWorkersOfTheDepartmentsNamed()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(db.insert("gongxu", {{"gongxu_code", "05-出水"}, {"gongxu_name", "PICKLING"}}), qPrintable(db.error()));
        QVERIFY(addWorker(db, "0402", "李伟", "04-执模", QVariant()));
        QVERIFY(addWorker(db, "0401", "陈志强", "04-执模", 1));
        QVERIFY(addWorker(db, "0409", "钱国平", "04-执模", 0));
        QVERIFY(addWorker(db, "0601", "黄小明", "06-镶石", 1));
        QVERIFY(addWorker(db, "0602", QVariant(), "06-镶石", 1));
        QVERIFY(addWorker(db, "0301", "张丽", "03-倒模", 1));
        QVERIFY(addWorker(db, "0501", "王芳", "05-出水", 1));

        const struct
        {
            QStringList names;
            QStringList numbers;   // empty: the names are refused
        } cases[] = {
            {{}, {"0301", "0401", "0402", "0501", "0601", "0602"}},
            {{"执模"}, {"0401", "0402"}},
            {{" 镶石 ", "04-执模", "执模"}, {"0401", "0402", "0601", "0602"}},
            {{"出水"}, {"0501"}},
            {{"pickling"}, {"0501"}},
            {{"唧蜡"}, {}},   // a desk without workers: nothing to print, said by the command
            {{"执模", "喷砂"}, {}},
        };
        for (const auto &c : cases) {
            QStringList codes;
            QString error;
            const bool known = WorkerBadge::departments(db.tr(), c.names, &codes, &error);
            const QString label = c.names.join(QLatin1Char('+'));
            if (c.names.contains(QStringLiteral("喷砂"))) {
                QVERIFY2(!known && error.contains(QStringLiteral("\"喷砂\"")) && error.contains(QStringLiteral("执模")),
                         qPrintable(label + ": " + error));
                continue;
            }
            QVERIFY2(known, qPrintable(label + ": " + error));
            QList<WorkerBadge> badges;
            QVERIFY2(WorkerBadge::read(db.tr(), codes, &badges, &error), qPrintable(error));
            QCOMPARE(numbers(badges), c.numbers);
        }
        QList<WorkerBadge> badges;
        QString error;
        QVERIFY2(WorkerBadge::read(db.tr(), {"06-镶石"}, &badges, &error), qPrintable(error));
        QCOMPARE(badges.size(), 2);
        QCOMPARE(badges[0].name, QStringLiteral("黄小明"));
        QCOMPARE(badges[0].department, QStringLiteral("镶石"));
        QCOMPARE(badges[1].name, QStringLiteral("0602"));   // no name: the number stands in
    }

    // Twelve badges: ten on the first page, two on the second; every number
    // reads back from its page, short or long, and every name is in the text.
    void numbersReadBackFromThePages()
    {
        QList<WorkerBadge> badges;
        QStringList expected;
        const QStringList names{"陈志强", "李伟", "黄小明", "张丽", "王芳", "刘洋", "杨光", "赵军", "周婷", "吴彬",
                                "欧阳建国", "Anna"};
        for (int i = 0; i < names.size(); ++i) {
            const QString number = i == 11 ? QStringLiteral("W-2026-000123")
                                           : QStringLiteral("04%1").arg(i + 1, 2, 10, QLatin1Char('0'));
            badges << badge(number, names[i], "04-执模", "执模");
            expected << QStringLiteral("%1 CODE-128:%2").arg(i < WorkerBadgePdf::kPerPage ? 1 : 2).arg(number);
        }
        expected.sort();
        QTemporaryDir dir;
        const QString pdf = dir.filePath("badges.pdf");
        QString error;
        QVERIFY2(WorkerBadgePdf::write(badges, pdf, &error), qPrintable(error));
        QCOMPARE(wip::test::pdfPageCount(pdf), 2);
        QCOMPARE(wip::test::pdfBarcodes(pdf, 150), expected);
        const QString text = wip::test::programOutput("pdftotext", {pdf, "-"});
        for (const WorkerBadge &b : badges) {
            QVERIFY2(text.contains(b.name), qPrintable(b.name + " missing in:\n" + text));
            QVERIFY2(text.count(b.number) >= 2, qPrintable(b.number + " not twice in:\n" + text));   // line and bars
        }
        QCOMPARE(text.count(QStringLiteral("执模 04-执模")), badges.size());
    }

    // Every text at 6 pt or more, a name too long for the card too; a name that
    // fits is the largest text of the card.
    void textAtLeastSixPoints_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("short") << "李伟";
        QTest::newRow("four characters") << "欧阳建国";
        QTest::newRow("too long") << "Maria-Fernanda de los Santos Rodríguez y Villanueva 黄小明";
    }

    void textAtLeastSixPoints()
    {
        QFETCH(QString, name);
        const int dpi = 600;
        TextSizeRecorder page(QSizeF(85, 54), dpi);
        QPainter p(&page);
        WorkerBadgePdf::paintBadge(p, QRectF(0, 0, page.width(), page.height()), dpi / 25.4,
                                   badge("0401", name, "05-出水", "05-出水"));
        p.end();
        double nameSize = 0, largest = 0;
        for (const auto &[text, pt] : page.texts) {
            QVERIFY2(pt >= 6 - 0.01, qPrintable(QStringLiteral("\"%1\" at %2 pt").arg(text).arg(pt)));
            largest = qMax(largest, pt);
            if (text.startsWith(name.left(2)))
                nameSize = pt;
        }
        QVERIFY2(nameSize > 0, "the name is not painted");
        if (name.size() < 6) {   // a name that fits is the largest text, read from across the room
            QCOMPARE(nameSize, largest);
            QVERIFY2(nameSize >= 18, qPrintable(QString::number(nameSize)));
        }
    }
};

QTEST_MAIN(WorkerBadgesTest)
#include "tst_workerbadges.moc"
