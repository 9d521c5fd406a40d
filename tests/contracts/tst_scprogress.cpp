#include "contractfixture.h"
#include "contracts/contractwindows.h"
#include "contracts/w_scprogress.h"
#include "reports/reportcolumns.h"
#include "reports/reportcriteria.h"
#include "reports/savedreport.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/fileopener.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "workbookreader.h"

#include <QDate>
#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

// 订单进度 prints and exports the list it shows, like its neighbours.
class ScprogressTest : public QObject
{
    Q_OBJECT

    QTemporaryDir work;

    // The window on C01's two contracts of May and June 2004, listed.
    QPointer<Window> openListed(TestDatabase &db)
    {
        if (!db.isValid() || !test::addContract(db, "KC1", "PO-1") || !test::addContract(db, "KC2", "客单-2")
            || !test::addContract(db, "KC3", "PO-3", "OTHER") || !db.useAsApplicationDatabase())
            return nullptr;
        QPointer<Window> w = Window::Open(QStringLiteral("w_scprogress"));
        if (!QTest::qWaitForWindowExposed(w))
            return nullptr;
        w->control<EditMask>("em_date1").setText("2004-05-01");
        w->control<EditMask>("em_date2").setText("2004-06-30");
        w->control<SingleLineEdit>("sle_custno").setText("C01");
        w->control<CommandButton>("cb_query").TriggerEvent();
        return w;
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        QVERIFY(work.isValid());
        DriveMapping::instance().setWorkingFolder(work.path());
        registerContractWindows();
        reports::registerPreviewWindow();
    }

    void printPreviewsAndExportWritesTheShownList()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        QVERIFY(test::addContract(db, "KC1", "PO-1"));
        QVERIFY(test::addContract(db, "KC2", "客单-2"));
        QVERIFY(test::addContract(db, "KC3", "PO-3", "OTHER"));
        QVERIFY(db.useAsApplicationDatabase());
        QPointer<Window> w = Window::Open(QStringLiteral("w_scprogress"));
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->control<EditMask>("em_date1").setText("2004-05-01") == 1);
        QVERIFY(w->control<EditMask>("em_date2").setText("2004-06-30") == 1);
        w->control<SingleLineEdit>("sle_custno").setText("C01");
        w->control<CommandButton>("cb_query").TriggerEvent();
        QCOMPARE(w->control<ReportControl>("dw_sconh").RowCount(), 2);

        QCOMPARE(w->control<CommandButton>("cb_print").text(), QStringLiteral("打印"));
        QCOMPARE(w->control<CommandButton>("cb_print").TriggerEvent(), 1);
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_preview")));
        auto *preview = qobject_cast<reports::w_preview *>(Window::findLatest(QStringLiteral("w_preview")));
        QVERIFY(preview);
        QTRY_COMPARE(preview->pageCount(), 1);
        QString error;
        const auto saved = reports::SavedReport::read(QStringLiteral("temp.psr"), &error);
        QVERIFY2(saved, qPrintable(error));
        QCOMPARE(saved->definition().name, QStringLiteral("d_w_scprogress3"));
        QCOMPARE(saved->objectText(QStringLiteral("t_head")), QStringLiteral("2004-05-01 - 2004-06-30"));
        if (const QByteArray dir = qgetenv("WIP_TEST_SCREENSHOTS"); !dir.isEmpty()) {
            w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_scprogress.png"));
            preview->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/w_scprogress_preview.png"));
        }
        preview->Close();

        auto *list = qobject_cast<w_scprogress *>(w.data());
        const QString csv = work.filePath(QStringLiteral("progress.csv"));
        QVERIFY(list->exportTo(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(QStringLiteral("KC1")) && text.contains(QStringLiteral("客单-2")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("KC3")), qPrintable(text));
        const QString xlsx = work.filePath(QStringLiteral("progress.xlsx"));
        QVERIFY(list->exportTo(xlsx));
        if (test::canReadWorkbooks()) {
            const QJsonObject cells = test::readWorkbook(xlsx, &error);
            QVERIFY2(!cells.isEmpty(), qPrintable(error));
            QStringList values;
            for (const QJsonValue &cell : cells)
                values << cell.toArray().at(1).toString();
            QVERIFY2(values.contains(QStringLiteral("KC2")) && values.contains(QStringLiteral("客单-2")),
                     qPrintable(values.join(' ')));
        }
        QVERIFY(MessageBoxService::shown().isEmpty());
        QVERIFY(!list->exportTo(work.filePath(QStringLiteral("no/such/folder/progress.csv"))));
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QCOMPARE(MessageBoxService::shown().first().title, QStringLiteral("订单进度"));
        w->Close();
        QTRY_VERIFY(w.isNull());
    }

    // The list shows what a clerk reads: no internal id, no tick column that
    // nothing ticks, on the screen, on paper and in files alike.
    void listShowsNoInternalColumns()
    {
        TestDatabase db;
        QPointer<Window> w = openListed(db);
        QVERIFY(w);
        const ReportControl &list = w->control<ReportControl>("dw_sconh");
        QCOMPARE(list.RowCount(), 2);
        for (const auto use : {reports::ColumnUse::Screen, reports::ColumnUse::Output}) {
            QStringList shown;
            for (const reports::ReportColumn &c : reports::reportColumns(list.store(), use))
                shown << c.name;
            QCOMPARE(shown, (QStringList{"scno", "cust_no", "cust_order", "issdate", "deldate", "invdate", "inv_no",
                                         "c_row"}));
        }
        w->Close();
        QTRY_VERIFY(w.isNull());
    }

    // 导出 starts in the exports folder under the report's title and today's
    // date, writes there, and says where; 是 opens the file.
    void exportButtonSavesIntoTheExportsFolderAndSaysWhere()
    {
        TestDatabase db;
        QPointer<Window> w = openListed(db);
        QVERIFY(w);
        SaveFileService::setScripted(true);
        FileOpener::setScripted(true);
        SaveFileService::clear();
        FileOpener::clear();
        MessageBoxService::clear();
        const QString exports = work.filePath(QStringLiteral("exports"));
        DriveMapping::instance().setFolder(QLatin1Char('D'), exports);
        const QString title = reports::ReportCriteria::title(w->control<ReportControl>("dw_sconh").store());
        QVERIFY(title.contains(QStringLiteral("订单进度")));
        const QString expected = QDir(exports).filePath(
            QStringLiteral("%1 %2.xlsx").arg(title, QDate::currentDate().toString(Qt::ISODate)));

        // Cancelled: nothing written, nothing said.
        SaveFileService::queueAnswer(QString());
        w->control<CommandButton>("cb_export").TriggerEvent();
        QCOMPARE(SaveFileService::asked().size(), 1);
        QCOMPARE(SaveFileService::asked().first().suggested, expected);
        QVERIFY(MessageBoxService::shown().isEmpty());
        QVERIFY(!QFile::exists(expected));

        SaveFileService::queueAnswer(expected);
        MessageBoxService::queueAnswer(1);   // open it
        w->control<CommandButton>("cb_export").TriggerEvent();
        QVERIFY(QFile::exists(expected));
        QCOMPARE(MessageBoxService::shown().size(), 1);
        const auto told = MessageBoxService::shown().first();
        QCOMPARE(told.title, QStringLiteral("订单进度"));
        QVERIFY2(told.text.startsWith(QStringLiteral("已保存到 Saved to: ") + QDir::toNativeSeparators(expected)),
                 qPrintable(told.text));
        QCOMPARE(FileOpener::opened(), QStringList{expected});

        // A name without a suffix becomes a workbook; 否 leaves it closed.
        const QString bare = QDir(exports).filePath(QStringLiteral("progress"));
        SaveFileService::queueAnswer(bare);
        MessageBoxService::queueAnswer(2);
        w->control<CommandButton>("cb_export").TriggerEvent();
        QVERIFY(QFile::exists(bare + QStringLiteral(".xlsx")));
        QCOMPARE(FileOpener::opened().size(), 1);
        w->Close();
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(ScprogressTest)
#include "tst_scprogress.moc"
