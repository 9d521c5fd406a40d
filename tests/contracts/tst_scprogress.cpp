#include "contractfixture.h"
#include "contracts/contractwindows.h"
#include "contracts/w_scprogress.h"
#include "reports/savedreport.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "workbookreader.h"

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
};

QTEST_MAIN(ScprogressTest)
#include "tst_scprogress.moc"
