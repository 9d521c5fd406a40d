// w_order_followup through its real controls on the factory of followupfixture.h
// around today: the board with its horizon and customer filter and colours, the
// double-click into the sales-contract window, the two charts, print and export.

#include "contracts/contractwindows.h"
#include "contracts/w_scno_process.h"
#include "followupfixture.h"
#include "order_progress/orderprogresswindows.h"
#include "order_progress/paretolabels.h"
#include "order_progress/w_order_followup.h"
#include "reports/reportcriteria.h"
#include "reports/savedreport.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QDir>
#include <QLineSeries>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::test;
using wip::reports::ReportControl;
using Page = w_order_followup::Page;

namespace {

QStringList column(const ReportControl &dw, const char *name)
{
    QStringList out;
    for (int r = 1; r <= dw.RowCount(); ++r)
        out << dw.GetItemString(r, QString::fromLatin1(name));
    return out;
}

QList<double> barValues(QChart *chart)
{
    QList<double> out;
    for (QAbstractSeries *s : chart->series()) {
        if (auto *bars = qobject_cast<QBarSeries *>(s)) {
            for (int i = 0; i < bars->barSets().first()->count(); ++i)
                out << bars->barSets().first()->at(i);
        }
    }
    return out;
}

} // namespace

class FollowupWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QTemporaryDir work;
    QPointer<w_order_followup> w;
    const QDate today = QDate::currentDate();

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &board() { return w->report(Page::Board); }

    void openOn(Engine engine)
    {
        db = std::make_unique<TestDatabase>(engine);
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QVERIFY2(fillFollowupFactory(*db, today), qPrintable(db->error()));
        QVERIFY(db->useAsApplicationDatabase());
        w = qobject_cast<w_order_followup *>(Window::Open(QStringLiteral("w_order_followup")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_COMPARE(QApplication::focusWidget(), &c<QSpinBox>("sp_horizon"));
    }

    // The colour painted at the left edge of a board row.
    QColor rowColour(int row)
    {
        const QRect r = board().rowRectInViewport(row);
        return board().viewport()->grab().toImage().pixelColor(r.left() + 3, r.center().y());
    }

    // WIP_TEST_SCREENSHOTS=folder keeps a picture of each page, to look at.
    void screenshot(const QString &name)
    {
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty()) {
            QTest::qWait(300);   // the charts lay their labels out on the next passes
            w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + QStringLiteral(".png"));
        }
    }

    void typeCustomer(const QString &text)
    {
        auto &sle = c<SingleLineEdit>("sle_custno");
        sle.setFocus();
        sle.selectAll();
        QTest::keyClick(&sle, Qt::Key_Delete);
        QTest::keyClicks(&sle, text);
        QTest::keyClick(&sle, Qt::Key_Return);   // the default button: 查询
    }

    // The reasons given, largest first with their cumulative share up to 100 %,
    // each point at or above its bar; the two contracts without a reason on a
    // chart of their own. No figure covers another.
    void checkParetoOfReasons()
    {
        QChart *chart = w->reasonsChart();
        auto *counts = chart->findChild<QBarSeries *>(QStringLiteral("counts"));
        auto *cumulative = chart->findChild<QLineSeries *>(QStringLiteral("cumulative"));
        QVERIFY(counts && cumulative);
        QCOMPARE(counts->count(), 1);
        QCOMPARE(barValues(chart), (QList<double>{2, 1, 1}));
        auto *axis = qobject_cast<QBarCategoryAxis *>(counts->attachedAxes().value(0));
        QVERIFY(axis);
        QCOMPARE(axis->categories(), (QStringList{QStringLiteral("1-无石<br>Stone<br>delay"),
                                                  QStringLiteral("2-未齐石<br>stone<br>pending"),
                                                  QStringLiteral("3-烂石<br>stone<br>broken")}));
        QCOMPARE(cumulative->points(), (QList<QPointF>{{0, 50}, {1, 75}, {2, 100}}));

        QChart *apart = w->noReasonChart();
        QCOMPARE(barValues(apart), (QList<double>{2}));
        QVERIFY(apart->findChild<QBarSeries *>(QStringLiteral("without_reason")));
        QVERIFY2(apart->title().contains(QStringLiteral("33.3%")), qPrintable(apart->title()));

        w->setPage(Page::Reasons);
        QTest::qWait(50);   // laid out
        screenshot(QStringLiteral("w_order_followup-pareto"));
        const auto *labels = chart->findChild<ParetoLabels *>();
        QVERIFY(labels);
        QStringList texts;
        const auto placed = labels->labels();
        for (const ParetoLabels::Label &l : placed)
            texts << l.text;
        QCOMPARE(texts, (QStringList{"2", "1", "1", "50%", "75%", "100%"}));
        const QList<QRectF> bars = labels->barRects();
        QCOMPARE(bars.size(), 3);
        for (int i = 0; i < placed.size(); ++i) {
            QVERIFY2(chart->plotArea().adjusted(-1, -1, 1, 1).contains(placed[i].rect), qPrintable(placed[i].text));
            for (int j = i + 1; j < placed.size(); ++j)
                QVERIFY2(!placed[i].rect.intersects(placed[j].rect), qPrintable(placed[i].text + " / " + placed[j].text));
            for (const QRectF &bar : bars)
                QVERIFY2(!placed[i].rect.intersects(bar), qPrintable(placed[i].text));
        }
        // Each point at or above the top of its bar: the line is the running count.
        for (int i = 0; i < 3; ++i) {
            const QPointF point = chart->mapToPosition(cumulative->at(i), cumulative);
            QVERIFY2(point.y() <= bars[i].top() + 0.5, qPrintable(QString::number(i)));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        QVERIFY(work.isValid());
        QDir::setCurrent(work.path());
        DriveMapping::instance().setWorkingFolder(work.path());
        registerOrderProgressWindows();
        registerContractWindows();
        reports::registerPreviewWindow();
    }

    void cleanup()
    {
        for (const char *name : {"w_preview", "w_scno_process", "w_order_followup"}) {
            if (Window *other = Window::findLatest(QString::fromLatin1(name)))
                other->Close();
        }
        QTRY_VERIFY(w.isNull());
        db.reset();
        MessageBoxService::clear();
    }

    void boardShowsTheContractsDueInAWeekRedWhenLate_data() { addEngineRows(); }
    void boardShowsTheContractsDueInAWeekRedWhenLate()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES");
        openOn(engineFromName(engine));
        QCOMPARE(w->horizon(), today.addDays(7));
        QCOMPARE(column(board(), "scno"),
                 (QStringList{"KC07", "KC15", "KC17", "KC01", "KC08", "KC16", "KC02", "KC05", "KC06"}));
        const QString info = c<StaticText>("st_board").text();
        QVERIFY2(info.contains(QStringLiteral("9 单")) && info.contains(QStringLiteral("已迟 late 6")), qPrintable(info));
        QVERIFY(board().objectText(QStringLiteral("t_head")).contains(today.addDays(7).toString(Qt::ISODate)));

        const QColor late = rowColour(2);
        const QColor due = rowColour(7);
        QVERIFY2(late.red() > 240 && late.green() < 220 && late.blue() < 220, qPrintable(late.name()));
        QVERIFY2(due.red() > 240 && due.green() > 220 && due.blue() < 190, qPrintable(due.name()));
        screenshot(QStringLiteral("w_order_followup-board-") + engine);
    }

    void horizonAndCustomerNarrowTheBoard()
    {
        openOn(Engine::SQLite);
        // Eight days back from seven: a horizon of yesterday shows the late ones only.
        auto &spin = c<QSpinBox>("sp_horizon");
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(&spin, Qt::Key_Down);
        QCOMPARE(spin.value(), -1);
        QCOMPARE(column(board(), "scno"), (QStringList{"KC07", "KC15", "KC17", "KC01", "KC08", "KC16"}));
        QVERIFY(c<StaticText>("st_horizon_date").text().contains(QStringLiteral("late only")));
        QTest::keyClick(&spin, Qt::Key_PageUp);   // +10: nine days ahead
        QCOMPARE(board().RowCount(), 9);

        // The customer is a value: a quote and a wildcard are taken as typed.
        typeCustomer(QStringLiteral("O'B%"));
        QCOMPARE(column(board(), "scno"), QStringList{"KC08"});
        QVERIFY(board().objectText(QStringLiteral("t_head")).contains(QStringLiteral("O'B%")));
        typeCustomer(QStringLiteral("%"));
        QCOMPARE(board().RowCount(), 0);
        QVERIFY(c<StaticText>("st_board").text().contains(QStringLiteral("No open contracts")));
        typeCustomer(QStringLiteral("qor"));   // codes are upper case, as typed elsewhere
        QCOMPARE(column(board(), "scno"), (QStringList{"KC15", "KC17", "KC01"}));
        typeCustomer(QString());
        QCOMPARE(board().RowCount(), 9);
    }

    void doubleClickOpensTheContractInTheSalesContractWindow()
    {
        openOn(Engine::SQLite);
        for (const char *scno : {"KC08", "KC02"}) {
            const int row = int(column(board(), "scno").indexOf(QString::fromLatin1(scno))) + 1;
            QVERIFY(row > 0);
            const QRect r = board().rowRectInViewport(row);
            QTest::mouseDClick(board().viewport(), Qt::LeftButton, {}, QPoint(r.left() + 20, r.center().y()));
            QTRY_VERIFY(Window::findLatest(QStringLiteral("w_scno_process")));
            auto *contracts = qobject_cast<w_scno_process *>(Window::findLatest(QStringLiteral("w_scno_process")));
            QVERIFY(contracts);
            QTRY_COMPARE(contracts->scno(), QString::fromLatin1(scno));
        }
        QVERIFY(MessageBoxService::shown().isEmpty());
    }

    void chartsShowTheReasonsAndTheRates_data() { addEngineRows(); }
    void chartsShowTheReasonsAndTheRates()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES");
        openOn(engineFromName(engine));
        checkParetoOfReasons();
        if (QTest::currentTestFailed())
            return;

        // The last 90 days: QOR 2 of 3 on time, TIF 1 of 2 (KC12 is invoiced tomorrow).
        QCOMPARE(c<EditMask>("em_stime").date(), today.addDays(-89));
        QCOMPARE(barValues(w->onTimeChart()), (QList<double>{66.7, 50}));
        for (Page page : {Page::Reasons, Page::OnTime}) {
            w->setPage(page);
            screenshot(QStringLiteral("w_order_followup-%1-%2").arg(int(page)).arg(engine));
        }
        c<EditMask>("em_stime").setText(today.addDays(-3).toString(Qt::ISODate));
        c<CommandButton>("cb_query").click();
        QCOMPARE(barValues(w->onTimeChart()), (QList<double>{100, 100}));
        c<EditMask>("em_stime").setText(today.addDays(1).toString(Qt::ISODate));
        c<CommandButton>("cb_query").click();
        QCOMPARE(w->report(Page::OnTime).RowCount(), 0);
        QVERIFY(c<StaticText>("st_ontime").text().contains(QStringLiteral("after the last")));
        QVERIFY(w->onTimeChart()->title().contains(QStringLiteral("No rows")));
    }

    // 导出 saves the page's report into the exports folder under its title and
    // today's date, and says where.
    void exportButtonSavesIntoTheExportsFolder()
    {
        openOn(Engine::SQLite);
        SaveFileService::setScripted(true);
        FileOpener::setScripted(true);
        FileOpener::clear();
        const QString exports = work.filePath(QStringLiteral("exports"));
        DriveMapping::instance().setFolder(QLatin1Char('D'), exports);
        for (Page page : {Page::Board, Page::Reasons, Page::OnTime}) {
            SaveFileService::clear();
            MessageBoxService::clear();
            w->setPage(page);
            const QString title = reports::ReportCriteria::title(w->report(page).store());
            const QString expected = QDir(exports).filePath(
                QStringLiteral("%1 %2.xlsx").arg(title, today.toString(Qt::ISODate)));
            SaveFileService::queueAnswer(expected);
            MessageBoxService::queueAnswer(2);   // not opened now
            c<CommandButton>("cb_export").click();
            QCOMPARE(SaveFileService::asked().size(), 1);
            QCOMPARE(SaveFileService::asked().first().suggested, expected);
            QVERIFY2(QFile::exists(expected), qPrintable(expected));
            QCOMPARE(MessageBoxService::shown().size(), 1);
            QCOMPARE(MessageBoxService::shown().first().title, QStringLiteral("订单跟进 Order follow-up"));
            QVERIFY2(MessageBoxService::shown().first().text.startsWith(QStringLiteral("已保存到 Saved to: ")
                                                                        + QDir::toNativeSeparators(expected)),
                     qPrintable(MessageBoxService::shown().first().text));
        }
        QVERIFY(FileOpener::opened().isEmpty());
    }

    void printAndExportCarryTheCriteriaAndRows()
    {
        openOn(Engine::SQLite);
        // Print: each page's report goes to the preview with its criteria in t_head.
        const QList<QPair<Page, QString>> pages = {{Page::Board, QStringLiteral("Due by")},
                                                   {Page::Reasons, QStringLiteral("As of")},
                                                   {Page::OnTime, QStringLiteral("Invoiced")}};
        for (const auto &[page, criterion] : pages) {
            w->setPage(page);
            QFile::remove(work.filePath(QStringLiteral("temp.psr")));
            c<CommandButton>("cb_print").click();
            QTRY_VERIFY(Window::findLatest(QStringLiteral("w_preview")));
            QString error;
            const auto saved = reports::SavedReport::read(QStringLiteral("temp.psr"), &error);
            QVERIFY2(saved, qPrintable(error));
            QCOMPARE(saved->definition().name, w->report(page).dataobject());
            QVERIFY2(saved->objectText(QStringLiteral("t_head")).contains(criterion),
                     qPrintable(saved->objectText(QStringLiteral("t_head"))));
            QVERIFY2(saved->objectText(QStringLiteral("t_head")).contains(today.toString(Qt::ISODate)),
                     qPrintable(saved->objectText(QStringLiteral("t_head"))));
            Window::findLatest(QStringLiteral("w_preview"))->Close();
            QTRY_VERIFY(!Window::findLatest(QStringLiteral("w_preview")));
        }

        // Export: CSV and a workbook hold the rows shown.
        const QString csv = work.filePath(QStringLiteral("reasons.csv"));
        QVERIFY(w->exportTo(Page::Reasons, csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(QStringLiteral("1-无石Stone delay,1,2,33.3,33.3")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("未填原因,,2,33.3,100")), qPrintable(text));
        const QString xlsx = work.filePath(QStringLiteral("board.xlsx"));
        QVERIFY(w->exportTo(Page::Board, xlsx));
        QFile workbook(xlsx);
        QVERIFY(workbook.open(QIODevice::ReadOnly) && workbook.read(2) == "PK");   // a zip: a workbook, not CSV
        // A file that cannot be written is said, not passed over.
        QVERIFY(!w->exportTo(Page::OnTime, work.filePath(QStringLiteral("no/such/folder/rates.csv"))));
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QVERIFY(MessageBoxService::shown().first().text.contains(QStringLiteral("cannot be written")));
    }
};

QTEST_MAIN(FollowupWindowTest)
#include "tst_followupwindow.moc"
