#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/hosterror.h"
#include "runtime/oleobject.h"
#include "workbookreader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace wip;

namespace {


void expectHostError(int code, const std::function<void()> &call, const char *what)
{
    try {
        call();
    } catch (const HostError &e) {
        QVERIFY2(e.code() == code, qPrintable(QStringLiteral("%1: code %2").arg(QLatin1String(what)).arg(e.code())));
        return;
    }
    QFAIL(qPrintable(QStringLiteral("%1: no HostError").arg(QLatin1String(what))));
}

} // namespace

// The spreadsheet server standing in for "Excel.Application": the calls of the
// setting-method export, the workbook it writes, and its failures.
class TestAutomation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void onlyTheSpreadsheetServerConnects();
    void exportWritesTitleCaptionsAndRows();
    void emptyWorkbookIsStillSaved();
    void callsOutsideAConnectionFail();
    void savingWhereNoFolderIsFails();
    void largeExportIsFast();

private:
    QJsonObject readBack(const QString &file);

    QTemporaryDir m_dir;
    QString m_python;
};

void TestAutomation::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DriveMapping::instance().setFolder(QLatin1Char('D'), m_dir.path());
    m_python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    FileOpener::setScripted(true);
}

void TestAutomation::cleanupTestCase()
{
    DriveMapping::instance().resetFolders();
}

QJsonObject TestAutomation::readBack(const QString &file)
{
    QString error;
    const QJsonObject cells = wip::test::readWorkbook(file, &error);
    if (!error.isEmpty())
        qWarning() << error;
    return cells;
}

void TestAutomation::onlyTheSpreadsheetServerConnects()
{
    OleObject ole;
    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("Word.Application")), -1);
    QVERIFY(!ole.isConnected());
    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("excel.application")), 0);
    QVERIFY(ole.isConnected());
    QCOMPARE(ole.DisconnectObject(), 0);
    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("Excel.Application")), 0);
}

void TestAutomation::exportWritesTitleCaptionsAndRows()
{
    if (m_python.isEmpty())
        QSKIP("python3 is needed to read the workbook back");
    struct Row { QString gonghao, name; double qty; QString kcno, article, waycode; };
    const QList<Row> rows = {
        {QStringLiteral("0012"), QStringLiteral("李明"), 12, QStringLiteral("SC0001"), QStringLiteral("R-100"), QStringLiteral("钉镶pave")},
        {QStringLiteral("0012"), QStringLiteral("李明"), 3.5, QStringLiteral("SC0002"), QStringLiteral("R-101"), QStringLiteral("闸镶 pave prong")},
        {QStringLiteral("0107"), QStringLiteral("王芳"), 0, QStringLiteral("12345"), QStringLiteral("P-7"), QString(QLatin1String(""))},
    };
    const QStringList captions = {QStringLiteral("工号"), QStringLiteral("姓名"), QStringLiteral("件数QTY"),
                                  QStringLiteral("KCNO"), QStringLiteral("款号"), QStringLiteral("镶法")};

    OleObject ole_object;
    QCOMPARE(ole_object.ConnectToNewObject(QStringLiteral("Excel.Application")), 0);
    ole_object.workbooksAdd();
    ole_object.setVisible(true);
    QVERIFY(ole_object.visible());
    OleWorksheet *ole_workbooks = ole_object.worksheets(1);
    QVERIFY(ole_workbooks);
    for (int l_row = 1; l_row <= rows.size(); ++l_row) {
        const Row &r = rows.at(l_row - 1);
        ole_workbooks->cells(1, 1).setValue(QStringLiteral("2024-03-05----WIP WAYCODE---"));
        for (int c = 1; c <= 6; ++c)
            ole_workbooks->cells(2, c).setValue(captions.at(c - 1));
        const QVariantList values = {r.gonghao, r.name, r.qty, r.kcno, r.article, r.waycode};
        for (int c = 1; c <= 6; ++c)
            ole_workbooks->cells(l_row + 2, c).setValue(values.at(c - 1));
    }
    QCOMPARE(ole_workbooks->cellCount(), 7 + 3 * 6);
    QCOMPARE(ole_workbooks->cells(3, 3).value(), QVariant(12.0));
    FileOpener::clear();
    ole_workbooks->saveas(QStringLiteral("d:\\LAsb.xls"));
    // The application was made visible: the saved workbook is shown.
    QCOMPARE(FileOpener::opened(), QStringList{m_dir.filePath(QStringLiteral("LAsb.xls"))});
    ole_object.quit();
    QCOMPARE(ole_object.DisconnectObject(), 0);

    const QString file = m_dir.filePath(QStringLiteral("LAsb.xls"));
    QVERIFY(QFile::exists(file));
    const QJsonObject cells = readBack(file);
    QVERIFY(!cells.isEmpty());
    auto cell = [&cells](const char *ref) { return cells.value(QLatin1String(ref)).toArray(); };
    QCOMPARE(cell("A1").at(1).toString(), QStringLiteral("2024-03-05----WIP WAYCODE---"));
    QCOMPARE(cell("C2").at(1).toString(), QStringLiteral("件数QTY"));
    QCOMPARE(cell("F2").at(1).toString(), QStringLiteral("镶法"));
    QCOMPARE(cell("A3").at(0).toString(), QStringLiteral("s"));       // "0012" stays text
    QCOMPARE(cell("A3").at(1).toString(), QStringLiteral("0012"));
    QCOMPARE(cell("C3").at(0).toString(), QStringLiteral("n"));
    QCOMPARE(cell("C3").at(1).toString().toDouble(), 12.0);
    QCOMPARE(cell("C4").at(1).toString().toDouble(), 3.5);
    QCOMPARE(cell("C5").at(0).toString(), QStringLiteral("n"));
    QCOMPARE(cell("D5").at(0).toString(), QStringLiteral("s"));       // order number "12345" as text
    QCOMPARE(cell("D5").at(1).toString(), QStringLiteral("12345"));
    QCOMPARE(cell("F4").at(1).toString(), QStringLiteral("闸镶 pave prong"));
    QCOMPARE(cell("B5").at(1).toString(), QStringLiteral("王芳"));
    QVERIFY(!cells.contains(QLatin1String("A6")));
    QVERIFY(!cells.contains(QLatin1String("G3")));
}

void TestAutomation::emptyWorkbookIsStillSaved()
{
    OleObject ole;
    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("Excel.Application")), 0);
    ole.workbooksAdd();
    OleWorksheet *sheet = ole.worksheets(1);
    FileOpener::clear();
    sheet->saveas(QStringLiteral("D:\\empty.xls"));
    QVERIFY(FileOpener::opened().isEmpty());   // an application never made visible shows nothing
    ole.quit();
    ole.DisconnectObject();
    const QString file = m_dir.filePath(QStringLiteral("empty.xls"));
    QVERIFY(QFile::exists(file));
    if (!m_python.isEmpty())
        QVERIFY(readBack(file).isEmpty());
}

void TestAutomation::callsOutsideAConnectionFail()
{
    OleObject ole;
    expectHostError(ErrNullObject, [&] { ole.workbooksAdd(); }, "add before connect");
    expectHostError(ErrNullObject, [&] { ole.worksheets(1); }, "worksheets before connect");
    expectHostError(ErrNullObject, [&] { ole.DisconnectObject(); }, "disconnect before connect");
    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("Nothing.Here")), -1);
    expectHostError(ErrNullObject, [&] { ole.setVisible(true); }, "visible after a failed connect");

    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("Excel.Application")), 0);
    expectHostError(ErrAutomation, [&] { ole.worksheets(1); }, "worksheets without a workbook");
    ole.workbooksAdd();
    expectHostError(ErrAutomation, [&] { ole.worksheets(2); }, "a second worksheet");
    OleWorksheet *sheet = ole.worksheets(1);
    expectHostError(ErrAutomation, [&] { sheet->cells(0, 1); }, "row 0");
    expectHostError(ErrAutomation, [&] { sheet->cells(1, 16385); }, "column past the sheet");
    sheet->cells(1, 1).setValue(1);

    ole.quit();
    expectHostError(ErrNullObject, [&] { sheet->cells(1, 1).setValue(2); }, "cell after quit");
    expectHostError(ErrNullObject, [&] { sheet->saveas(QStringLiteral("d:\\late.xls")); }, "saveas after quit");
    expectHostError(ErrNullObject, [&] { ole.worksheets(1); }, "worksheets after quit");
    QCOMPARE(ole.DisconnectObject(), 0);
    expectHostError(ErrNullObject, [&] { ole.DisconnectObject(); }, "second disconnect");
    expectHostError(ErrNullObject, [&] { ole.quit(); }, "quit after disconnect");
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("late.xls"))));
}

void TestAutomation::savingWhereNoFolderIsFails()
{
    OleObject ole;
    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("Excel.Application")), 0);
    ole.workbooksAdd();
    OleWorksheet *sheet = ole.worksheets(1);
    sheet->cells(1, 1).setValue(QStringLiteral("x"));
    expectHostError(ErrFileWrite, [&] { sheet->saveas(QStringLiteral("d:\\no\\such\\folder\\LAsb.xls")); }, "missing folder");
    expectHostError(ErrFileWrite, [&] { sheet->saveas(QStringLiteral("d:\\..\\outside.xls")); }, "outside the drive");
    expectHostError(ErrFileWrite, [&] { sheet->saveas(QStringLiteral("d:\\")); }, "a folder");

    if (::geteuid() != 0) {
        const QString locked = m_dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        expectHostError(ErrFileWrite, [&] { sheet->saveas(QStringLiteral("d:\\locked\\LAsb.xls")); }, "read-only folder");
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // Still usable after a failed save.
    sheet->saveas(QStringLiteral("d:\\after.xls"));
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("after.xls"))));
}

void TestAutomation::largeExportIsFast()
{
    OleObject ole;
    QCOMPARE(ole.ConnectToNewObject(QStringLiteral("Excel.Application")), 0);
    ole.workbooksAdd();
    OleWorksheet *sheet = ole.worksheets(1);
    QElapsedTimer timer;
    timer.start();
    const int rows = 100000;
    for (int r = 1; r <= rows; ++r) {
        sheet->cells(1, 1).setValue(QStringLiteral("title"));
        for (int c = 1; c <= 6; ++c)
            sheet->cells(2, c).setValue(QStringLiteral("caption"));
        sheet->cells(r + 2, 1).setValue(QStringLiteral("%1").arg(r % 500, 4, 10, QLatin1Char('0')));
        sheet->cells(r + 2, 2).setValue(QStringLiteral("工人"));
        sheet->cells(r + 2, 3).setValue(double(r % 17));
        sheet->cells(r + 2, 4).setValue(QStringLiteral("SC%1").arg(r));
        sheet->cells(r + 2, 5).setValue(QStringLiteral("R-%1").arg(r % 97));
        sheet->cells(r + 2, 6).setValue(QStringLiteral("爪镶prong"));
    }
    const qint64 filled = timer.elapsed();
    sheet->saveas(QStringLiteral("d:\\big.xls"));
    const qint64 total = timer.elapsed();
    qInfo("100000 rows: filled in %lld ms, saved in %lld ms", filled, total - filled);
    QCOMPARE(sheet->cellCount(), 7 + rows * 6);
    QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("big.xls"))).size() > 100000);
}

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
