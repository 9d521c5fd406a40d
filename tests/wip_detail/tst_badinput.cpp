// The files of the WIP detail window when they are not where or what they
// should be: the setting-method export into a folder that is missing, is a
// regular file or cannot be written, and the print preview's "temp.psr" when
// an old, damaged one lies in the working folder or a folder holds its name.

#include "reports/savedreport.h"
#include "reports/widgets/reportcontrol.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"
#include "wip_detail/w_wip_detail.h"
#include "wip_detail/wipdetailwindows.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

QVariant day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }

// One worker with an open setting step and two stones to set.
void fillSettingWork(TestDatabase &db)
{
    QVERIFY(db.insert("gongxu", {{"gongxu_code", QStringLiteral("06-镶石")}}));
    QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}, {"cust_order", "PO-1"},
                                {"issdate", day(2004, 5, 1)}, {"deldate", day(2004, 6, 1)}}));
    QVERIFY(db.insert("scond", {{"scond_id", 1}, {"scno", "KC1"}, {"article_code", "A1"}, {"design_no", "D1"},
                                {"metal", "18K"}, {"quantity", 5}}));
    QVERIFY(db.insert("proch", {{"proch_id", 1}, {"scno", "KC1"}, {"gongxu_code", QStringLiteral("06-镶石")},
                                {"changhao", "W01"}, {"xingming", QStringLiteral("张三")}, {"sttime", day(2004, 5, 2)},
                                {"edtime", QVariant()}, {"qty", 2}}));
    QVERIFY(db.insert("matuse", {{"proch_id", 1}, {"mcode", "S1"}, {"waycode", QStringLiteral("钉镶")}}));
    QVERIFY(db.insert("matuse", {{"proch_id", 1}, {"mcode", "S2"}, {"waycode", QStringLiteral("包镶")}}));
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

class WipDetailBadInputTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<QTemporaryDir> work;
    QPointer<w_wip_detail> w;

    template <class T>
    T &c(const char *name) { return w->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw() { return c<ReportControl>("dw_wip_detail"); }
    QString traced() const { return Trace::captured().join('\n'); }

    // Runs the export into the folder that D: stands for and checks the refusal:
    // one message naming the file and where it would have gone, the trace line,
    // no workbook anywhere, and a window that still answers.
    void expectExportRefused(const QString &folder)
    {
        DriveMapping::instance().setFolder(QLatin1Char('D'), folder);
        MessageBoxService::clear();
        Trace::clearCaptured();
        c<CommandButton>("cb_2").TriggerEvent();
        const auto shown = MessageBoxService::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, QStringLiteral("OLE错误"));
        QVERIFY2(shown.first().text.contains(QStringLiteral("d:\\LAsb.xls")), qPrintable(shown.first().text));
        QVERIFY2(shown.first().text.contains(folder), qPrintable(shown.first().text));
        QCOMPARE(shown.first().icon, MessageIcon::StopSign);
        QVERIFY2(traced().contains(QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 20 ***")), qPrintable(traced()));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/LAsb.xls")));

        QCOMPARE(c<CommandButton>("cb_1").TriggerEvent(), 1);
        QCOMPARE(dw().dataobject(), QStringLiteral("d_wip_waycode"));
        QCOMPARE(dw().RowCount(), 2);
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerWipDetailWindows();
        reports::registerPreviewWindow();
    }

    void init()
    {
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(work->isValid());
        DriveMapping::instance().setWorkingFolder(work->path());
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        fillSettingWork(*db);
        QVERIFY(db->useAsApplicationDatabase());
        MessageBoxService::clear();
        w = qobject_cast<w_wip_detail *>(Window::Open(QStringLiteral("w_wip_detail")));
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
    }

    void cleanup()
    {
        if (Window *preview = Window::findLatest(QStringLiteral("w_preview")))
            preview->Close();
        if (w)
            w->Close();
        QTRY_VERIFY(w.isNull());
        QTRY_VERIFY(!Window::findLatest(QStringLiteral("w_preview")));
        db.reset();
        DriveMapping::instance().resetFolders();
        DriveMapping::instance().setWorkingFolder(QString());
    }

    void exportIntoAFileOrAMissingFolderIsRefused()
    {
        expectExportRefused(work->filePath(QStringLiteral("no/such/drive")));
        // A regular file where the folder should be: refused for every user.
        const QString plain = work->filePath(QStringLiteral("drive-d"));
        QVERIFY(writeBytes(plain, "a file, not a folder"));
        expectExportRefused(plain);
        QFile f(plain);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("a file, not a folder"));
        // A folder that holds the workbook's name.
        const QString folder = work->filePath(QStringLiteral("exports"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/LAsb.xls")));
        DriveMapping::instance().setFolder(QLatin1Char('D'), folder);
        MessageBoxService::clear();
        c<CommandButton>("cb_2").TriggerEvent();
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QVERIFY(MessageBoxService::shown().first().text.contains(QStringLiteral("d:\\LAsb.xls")));
        QVERIFY(QFileInfo(folder + QStringLiteral("/LAsb.xls")).isDir());
    }

    void exportIntoAReadOnlyFolderIsRefused()
    {
        const QString folder = work->filePath(QStringLiteral("read-only"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(folder + QStringLiteral("/probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("this user writes into read-only folders (root): the case cannot be made here");
        }
        expectExportRefused(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void damagedTempPsrIsReplacedByThePrint()
    {
        const QString file = work->filePath(QStringLiteral("temp.psr"));
        QVERIFY(writeBytes(file, QByteArray("{\"format\": \"wip-saved-report\", \"rows\": [[1, 2")));
        QCOMPARE(c<CommandButton>("cb_1").TriggerEvent(), 1);
        QCOMPARE(dw().RowCount(), 2);
        QCOMPARE(c<CommandButton>("cb_print").TriggerEvent(), 1);
        QString error;
        const auto saved = reports::SavedReport::read(file, &error);
        QVERIFY2(saved, qPrintable(error));
        QCOMPARE(saved->rowCount(), 2);
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_preview")));
        auto *preview = qobject_cast<reports::w_preview *>(Window::findLatest(QStringLiteral("w_preview")));
        QVERIFY(preview);
        QTRY_COMPARE(preview->pageText(), QStringLiteral("Page 1 of 1"));
        QVERIFY(MessageBoxService::shown().isEmpty());
    }

    void tempPsrThatCannotBeWrittenOpensNoPreview()
    {
        // A folder in the way of the file: SaveAs fails for every user.
        QVERIFY(QDir(work->path()).mkdir(QStringLiteral("temp.psr")));
        QCOMPARE(c<CommandButton>("cb_1").TriggerEvent(), 1);
        Trace::clearCaptured();
        QCOMPARE(c<CommandButton>("cb_print").TriggerEvent(), -1);
        QVERIFY2(traced().contains(QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = 20 ***")), qPrintable(traced()));
        QCoreApplication::processEvents();
        QVERIFY(!Window::findLatest(QStringLiteral("w_preview")));
        QVERIFY(MessageBoxService::shown().isEmpty());
        QVERIFY(QFileInfo(work->filePath(QStringLiteral("temp.psr"))).isDir());
        // The window goes on: the report is still there to print once the way is clear.
        QCOMPARE(dw().RowCount(), 2);
        QVERIFY(QDir(work->path()).rmdir(QStringLiteral("temp.psr")));
        QCOMPARE(c<CommandButton>("cb_print").TriggerEvent(), 1);
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_preview")));
    }
};

QTEST_MAIN(WipDetailBadInputTest)
#include "tst_badinput.moc"
