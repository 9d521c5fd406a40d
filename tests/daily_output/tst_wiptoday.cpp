#include "daily_output/barfigures.h"
#include "daily_output/dailyoutputwindows.h"
#include "daily_output/w_production.h"
#include "daily_output/w_wip_today.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

class WipTodayTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QTemporaryDir work;
    QPointer<w_wip_today> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw() { return c<ReportControl>("dw_wip_detail"); }

    bool step(const char *code, const QDate &end, double qty)
    {
        return db->insert("proch", {{"scno", "KC1"}, {"gongxu_code", QString::fromUtf8(code)}, {"changhao", "W01"},
                                    {"sttime", QDateTime(end.addDays(-1), QTime(0, 0))},
                                    {"edtime", end.isValid() ? QVariant(QDateTime(end, QTime(0, 0))) : QVariant()},
                                    {"qty", qty}});
    }

private Q_SLOTS:
    void initTestCase_data() { wip::test::addEngineRows(); }   // every test on each database
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        QVERIFY(work.isValid());
        DriveMapping::instance().setWorkingFolder(work.path());
        registerDailyOutputWindows();
        reports::registerPreviewWindow();
    }

    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        const auto kind = wip::test::engineFromName(engine);
        if (kind == wip::test::Engine::PostgreSQL && !wip::test::postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        db = std::make_unique<TestDatabase>(kind);
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QVERIFY(step("04-执模", QDate(2004, 3, 1), 5));
        QVERIFY(step("04-执模", QDate(2004, 3, 2), 7));
        QVERIFY(step("07-执边", QDate(), 6));
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_wip_today *>(Window::Open(QStringLiteral("w_wip_today")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_COMPARE(c<EditMask>("em_1").text(), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    }

    void cleanup()
    {
        for (const char *name : {"w_preview", "w_production"})
            if (Window *other = Window::findLatest(QString::fromLatin1(name)))
                other->Close();
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        db.reset();
    }

    void opensEmptyAndPrintsAnEmptyReport()
    {
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_today44"));
        QCOMPARE(dw().RowCount(), 0);
        QCOMPARE(c<CommandButton>("cb_print").TriggerEvent(), 1);
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_preview")));
        QVERIFY(QFile::exists(work.filePath(QStringLiteral("temp.psr"))));
    }

    void enterRunsTheQueryForTheChosenDate()
    {
        c<EditMask>("em_1").setText(QStringLiteral("2004-03-02"));
        QTest::keyClick(&c<EditMask>("em_1"), Qt::Key_Return);
        QTRY_COMPARE(dw().RowCount(), 7);
        QCOMPARE(dw().objectText(QStringLiteral("t_8")), QStringLiteral("2004-03-02"));
        const int filing = dw().Find(QStringLiteral("dep_c = '04-执模'"), 1, 7);
        QVERIFY(filing > 0);
        QCOMPARE(dw().GetItemNumber(filing, "today_fin"), 7.0);
        QCOMPARE(dw().GetItemNumber(filing, "today_tot"), 12.0);
        QCOMPARE(dw().GetItemNumber(1, "compute_5"), 6.0);     // the pieces in process, all departments

        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_wip_today.png"));
        // Querying the same date again gives the same figures.
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw().GetItemNumber(filing, "today_tot"), 12.0);
    }

    // A mistyped day never runs the recomputation for another day.
    void impossibleDateRunsNothing()
    {
        c<EditMask>("em_1").setText(QStringLiteral("2004-03-02"));
        QTest::keyClick(&c<EditMask>("em_1"), Qt::Key_Return);
        QTRY_COMPARE(dw().RowCount(), 7);
        const QVariant before = db->scalar("select today_tot from day_wip where dep_c = '04-执模'");
        EditMask &em = c<EditMask>("em_1");
        em.SetFocus();
        em.setCursorPosition(5);
        QTest::keyClicks(&em, QStringLiteral("0230"));        // 2004-02-30
        QTest::keyClick(&em, Qt::Key_Return);
        QTest::mouseClick(&c<CommandButton>("cb_query"), Qt::LeftButton);
        QCOMPARE(em.text(), QStringLiteral("2004-02-30"));
        QVERIFY(em.isMarked());
        QCOMPARE(em.toolTip(), QStringLiteral("2004-02-30 不是有效日期: 2004 年 2 月只有 29 天"));
        QCOMPARE(dw().objectText(QStringLiteral("t_8")), QStringLiteral("2004-03-02"));
        QCOMPARE(db->scalar("select today_tot from day_wip where dep_c = '04-执模'"), before);
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_wip_today-bad-date.png"));
    }

    void changingTheDateAloneShowsNothingNew()
    {
        c<CommandButton>("cb_query").TriggerEvent();
        const QString shown = dw().objectText(QStringLiteral("t_8"));
        c<EditMask>("em_1").setText(QStringLiteral("2004-03-01"));
        QCOMPARE(dw().objectText(QStringLiteral("t_8")), shown);
    }

    void outputChartShowsDayWip()
    {
        c<EditMask>("em_1").setText(QStringLiteral("2004-03-02"));
        c<CommandButton>("cb_query").TriggerEvent();
        QCOMPARE(c<CommandButton>("cb_1").TriggerEvent(), 1);
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_production")));
        auto *chart = qobject_cast<w_production *>(Window::findLatest(QStringLiteral("w_production")));
        QVERIFY(chart);
        QTRY_COMPARE(chart->rows().size(), 7);
        double fin = 0, wipQty = 0;
        for (const auto &r : chart->rows()) {
            fin += r.todayFin;
            wipQty += r.wip;
        }
        QCOMPARE(fin, 7.0);
        QCOMPARE(wipQty, 6.0);
        const QString png = work.filePath(QStringLiteral("production.png"));
        const QString pdf = work.filePath(QStringLiteral("production.pdf"));
        QVERIFY(chart->saveTo(png));
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            chart->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_production.png"));
        QVERIFY(chart->saveTo(pdf));
        QVERIFY(QImage(png).width() > 0);
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5).startsWith("%PDF"));
    }

    // Opened on its own after a query, the chart says the day of its figures (not
    // what the date box holds now), writes every figure whole and dark above its
    // bar inside the plot, and previews before it prints.
    void outputChartFiguresAndDate()
    {
        c<EditMask>("em_1").setText(QStringLiteral("2004-03-02"));
        c<CommandButton>("cb_query").TriggerEvent();
        c<EditMask>("em_1").setText(QStringLiteral("2004-03-01"));
        auto *chart = qobject_cast<w_production *>(Window::Open(QStringLiteral("w_production")));
        QVERIFY(chart);
        chart->resize(1000, 720);
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTRY_COMPARE(chart->rows().size(), 7);
        QCOMPARE(chart->date(), QStringLiteral("2004-03-02"));
        QVERIFY(chart->piecesChart()->title().contains(QStringLiteral("2004-03-02")));
        QVERIFY(chart->stonesChart()->title().contains(QStringLiteral("2004-03-02")));

        auto *pieces = chart->findChild<QChartView *>(QStringLiteral("chart_pieces"));
        QVERIFY(pieces);
        QApplication::processEvents();
        const QImage shot = pieces->grab().toImage();
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            chart->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_production_figures.png"));
        QStringList texts;
        const QRectF plot = chart->piecesChart()->plotArea();
        for (const BarFigures::Figure &f : chart->piecesFigures()->figures()) {
            texts << f.text;
            QVERIFY2(plot.adjusted(-1, -1, 1, 1).contains(f.rect), qPrintable(f.text));   // whole, inside the plot
            QVERIFY2(f.rect.bottom() <= f.bar.top() + 0.5, qPrintable(f.text));           // above its bar, not on it
            const QRect on = pieces->mapFromScene(chart->piecesChart()->mapToScene(f.rect)).boundingRect();
            int dark = 0, white = 0;
            for (int y = on.top(); y <= on.bottom(); ++y)
                for (int x = on.left(); x <= on.right(); ++x) {
                    const QColor px = shot.pixelColor(x, y);
                    dark += px.lightness() < 90;
                    white += px.lightness() > 250;
                }
            QVERIFY2(dark > 3 && white > dark, qPrintable(f.text));   // dark strokes on the white plot
        }
        // 04-执模 finished 7 today and 12 this month; 07-执边 holds 6 in work.
        for (const char *figure : {"7", "12", "6"})
            QVERIFY2(texts.contains(QString::fromLatin1(figure)), qPrintable(texts.join(' ')));
        QCOMPARE(texts.size(), 21);

        QCOMPARE(chart->control<CommandButton>("cb_print").TriggerEvent(), 1);
        auto *preview = chart->findChild<QPrintPreviewDialog *>(QStringLiteral("dlg_print_preview"));
        QVERIFY(preview);
        QTRY_VERIFY(preview->isVisible());
        auto *pages = preview->findChild<QPrintPreviewWidget *>();
        QVERIFY(pages);
        QTRY_COMPARE(pages->pageCount(), 1);
        QCOMPARE(pages->zoomMode(), QPrintPreviewWidget::FitToWidth);
        QVERIFY(preview->windowTitle().contains(QStringLiteral("2004-03-02")));
        preview->reject();
    }

    // Before any day is computed the chart shows no bars of zeros but says where
    // a day is computed; open beside the daily output window it follows each 查询.
    void outputChartSaysWhenNoDayIsComputedAndFollowsTheQuery()
    {
        QVERIFY(db->scalar("select max(ldate) from day_wip").isNull());
        auto *chart = qobject_cast<w_production *>(Window::Open(QStringLiteral("w_production")));
        QVERIFY(chart);
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTRY_COMPARE(chart->dateText(), w_production::notComputedText());
        QVERIFY(chart->dateText().contains(QStringLiteral("在做资料 (部门)")));
        QVERIFY(chart->dateText().contains(QStringLiteral("查询")));
        QVERIFY(chart->date().isEmpty());
        QVERIFY(chart->rows().isEmpty());
        QVERIFY(chart->piecesFigures()->figures().isEmpty());
        QVERIFY(!chart->findChild<QChartView *>(QStringLiteral("chart_pieces"))->isVisible());
        QVERIFY(!chart->control<CommandButton>("cb_print").isEnabled());
        for (const QChart *c : {chart->piecesChart(), chart->stonesChart()})
            QVERIFY2(c->title().contains(QStringLiteral("Not computed")), qPrintable(c->title()));
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            chart->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_production-none.png"));

        // 04-执模 finished 7 pieces on 2 March and 5 on 1 March.
        const QList<QPair<QString, double>> days = {{"2004-03-02", 7}, {"2004-03-01", 5}};
        for (const auto &[day, finished] : days) {
            c<EditMask>("em_1").setText(day);
            QTest::mouseClick(&c<CommandButton>("cb_query"), Qt::LeftButton);
            QCOMPARE(chart->date(), day);
            QCOMPARE(chart->dateText(), QStringLiteral("日期 Date: ") + day);
            QCOMPARE(chart->rows().size(), 7);
            double fin = 0;
            for (const auto &r : chart->rows())
                fin += r.todayFin;
            QCOMPARE(fin, finished);
            QVERIFY(chart->piecesChart()->title().contains(day));
            QCOMPARE(chart->piecesFigures()->figures().size(), 21);
            QVERIFY(chart->findChild<QChartView *>(QStringLiteral("chart_pieces"))->isVisible());
            QVERIFY(chart->control<CommandButton>("cb_print").isEnabled());
        }
    }

    void escapeCloses()
    {
        QTest::keyClick(w, Qt::Key_Escape);
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(WipTodayTest)
#include "tst_wiptoday.moc"
