// 超耗工人 through its real controls: the dates and prices typed, the report
// worst first with its exceeding rows filled on screen, and the Pareto chart of
// the excess by worker in pure grams, largest first, reaching 100 %.

#include "order_progress/losspareto.h"
#include "order_progress/orderprogresswindows.h"
#include "order_progress/paretolabels.h"
#include "order_progress/w_loss_exceptions.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"
#include "testdatabase.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::test;
using wip::reports::ReportControl;

class LossExceptionsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QPointer<w_loss_exceptions> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }

    static bool fill(TestDatabase &db)
    {
        const auto sheet = [&db](const char *worker, const char *name, const char *process, const char *metal,
                                 double issued, double loss) {
            return db.insert("work_report", {{"scno", "KC1"}, {"gongxu", process}, {"changhao", worker}, {"xingming", name},
                                             {"mcode", metal}, {"zt", "FIN"}, {"iss_weight", issued}, {"loss", loss},
                                             {"ldate", QDateTime(QDate(2026, 12, 5), QTime(10, 0))}});
        };
        // 0401: 18KY 0.4 g over (0.3 pure) and PT950 0.1 over (0.095); 0402:
        // PT950 0.1 over (0.095); 0403 within. Filing at 1 %.
        return db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}})
            && db.insert("material", {{"mcode", "PT950"}, {"mtype", "PT"}, {"purate", 0.95}})
            && db.insert("loss_allowance", {{"allowance_key", "04-执模/*"}, {"gongxu_code", "04-执模"}, {"rate", 1}})
            && sheet("0401", "陈志强", "04-执模", "18KY", 50, 0.9) && sheet("0401", "陈志强", "04-执模", "PT950", 10, 0.2)
            && sheet("0402", "李伟", "04-执模", "PT950", 10, 0.2) && sheet("0403", "黄小明", "04-执模", "18KY", 50, 0.3);
    }

    void typeInto(const char *name, const QString &text)
    {
        auto *edit = w->findChild<QLineEdit *>(QString::fromLatin1(name));
        QVERIFY(edit);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        QVERIFY(work.isValid());
        QDir::setCurrent(work.path());
        DriveMapping::instance().setWorkingFolder(work.path());
        registerOrderProgressWindows();
        reports::registerPreviewWindow();
    }

    void cleanup()
    {
        for (const char *name : {"w_preview", "w_loss_exceptions"}) {
            if (Window *other = Window::findLatest(QString::fromLatin1(name)))
                other->Close();
        }
    }

    void showsTheWorstFirstWithTheirPareto_data() { addEngineRows(); }
    void showsTheWorstFirstWithTheirPareto()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fill(db), qPrintable(db.error()));
        QVERIFY(db.useAsApplicationDatabase());
        w = qobject_cast<w_loss_exceptions *>(Window::Open(QStringLiteral("w_loss_exceptions")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        typeInto("em_stime", QStringLiteral("2026-12-01"));
        typeInto("em_etime", QStringLiteral("2026-12-31"));
        typeInto("sle_gold_price", QStringLiteral("480"));
        typeInto("sle_pt_price", QStringLiteral("230.5"));
        QTest::keyClick(&c<SingleLineEdit>("sle_pt_price"), Qt::Key_Return);   // the default button: 查询

        ReportControl &dw = w->report();
        QCOMPARE(dw.RowCount(), 4);
        QStringList rows;
        for (int r = 1; r <= dw.RowCount(); ++r)
            rows << dw.GetItemString(r, "changhao") + u' ' + dw.GetItemString(r, "mcode") + u' '
                    + dw.GetItemString(r, "c_excess") + u' ' + dw.GetItemString(r, "c_value");
        QCOMPARE(rows, QStringList({"0401 18KY 0.4 144", "0401 PT950 0.1 21.9", "0402 PT950 0.1 21.9",
                                    "0403 18KY -0.2 0"}));
        // 0.1 x 0.95 x 230.5 = 21.8975, to the cent.
        QVERIFY2(c<StaticText>("st_summary").text().contains(QStringLiteral("超耗 over the allowance 3")),
                 qPrintable(c<StaticText>("st_summary").text()));
        // The exceeding rows are filled on screen, the last is not.
        const auto colourOf = [&dw](int row) {
            const QRect r = dw.rowRectInViewport(row);
            return dw.viewport()->grab().toImage().pixelColor(r.left() + 3, r.center().y());
        };
        // Row 1 is the current row, in the selection's colour.
        QCOMPARE(colourOf(2), QColor(0xff, 0xc7, 0xce));
        QVERIFY(colourOf(4) != QColor(0xff, 0xc7, 0xce));

        // Per worker in pure grams: 0401 0.3 + 0.095, 0402 0.095; 80.6 % and 100 %.
        QChart *chart = w->paretoChart();
        auto *bars = chart->findChild<QBarSeries *>(QStringLiteral("excess"));
        auto *line = chart->findChild<QLineSeries *>(QStringLiteral("cumulative"));
        QVERIFY(bars && line);
        QCOMPARE(bars->barSets().first()->count(), 2);
        QCOMPARE(bars->barSets().first()->at(0), 0.395);
        QCOMPARE(bars->barSets().first()->at(1), 0.095);
        QCOMPARE(line->points(), (QList<QPointF>{{0, 80.6}, {1, 100}}));
        auto *axis = qobject_cast<QBarCategoryAxis *>(bars->attachedAxes().value(0));
        QCOMPARE(axis->categories(), (QStringList{QStringLiteral("0401<br>陈志强"), QStringLiteral("0402<br>李伟")}));
        QStringList figures;
        for (const ParetoLabels::Label &l : ParetoLabels::of(chart)->labels())
            figures << l.text;
        QCOMPARE(figures, (QStringList{"0.395", "0.095", "80.6%", "100%"}));

        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty()) {
            QTest::qWait(300);
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_loss_exceptions.png"));
        }
    }

    // A price that is no number leaves the report as it was and says why.
    void refusesAPriceThatIsNoNumber()
    {
        TestDatabase db;
        QVERIFY2(db.isValid() && fill(db), qPrintable(db.error()));
        QVERIFY(db.useAsApplicationDatabase());
        w = qobject_cast<w_loss_exceptions *>(Window::Open(QStringLiteral("w_loss_exceptions")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        typeInto("em_stime", QStringLiteral("2026-12-01"));
        typeInto("em_etime", QStringLiteral("2026-12-31"));
        c<CommandButton>("cb_query").click();
        QVERIFY2(w->report().RowCount() == 4, qPrintable(c<StaticText>("st_summary").text()));
        typeInto("em_etime", QStringLiteral("2026-12-04"));
        typeInto("sle_gold_price", QStringLiteral("abc"));
        c<CommandButton>("cb_query").click();
        QCOMPARE(w->report().RowCount(), 4);
        QVERIFY2(c<StaticText>("st_summary").text().contains(QStringLiteral("价格")),
                 qPrintable(c<StaticText>("st_summary").text()));
    }
};

QTEST_MAIN(LossExceptionsTest)
#include "tst_lossexceptions.moc"
