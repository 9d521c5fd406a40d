#include "memoryreport.h"
#include "programoutput.h"

#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/savedreport.h"
#include "reports/widgets/pageview.h"
#include "reports/widgets/s_preview.h"
#include "reports/widgets/w_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/statictext.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace wip;
using namespace wip::reports;
using namespace wip::reports::testing;

namespace {

// The daily output report with enough rows for three A4 pages.
// (The test's report sums its column anew for each row it is asked for: a large
// one goes without the total.)
std::shared_ptr<MemoryReport> dailyOutput(int rows, bool total = true)
{
    Definition def;
    def.name = "d_wip_today44";
    def.query = "select dep_c, today_fin, wip from day_wip";
    def.columns = {column("dep_c", ValueType::String, {"工序"}),
                   column("today_fin", ValueType::Number, {"本日完成PCS", "Today Finish"}, "####.#"),
                   column("wip", ValueType::Number, {"WIP PCS"})};
    def.texts = {text("t_8", "2026-12-07", Band::Header), text("t_proc", "PROCEDURE", Band::Header),
                 text("t_total", "TOTAL", Band::Summary, "dep_c")};
    def.computed = {computed("compute_1", "sum(today_fin for all)", Band::Summary, "today_fin"),
                    computed("c_page", "'Page ' + page() + ' of ' + pagecount()", Band::Footer)};
    def.computed[1].type = ValueType::String;
    if (!total)
        def.computed.removeFirst();
    auto r = std::make_shared<MemoryReport>(def);
    for (int i = 1; i <= rows; ++i)
        r->addRow({QStringLiteral("%1-倒模").arg(i, 2, 10, QLatin1Char('0')), i + 0.5, double(i % 7)});
    return r;
}

w_preview *openPreview(const QString &file)
{
    s_preview s;
    s.dw_name = file;
    return qobject_cast<w_preview *>(OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s)));
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void showsSavedReportPageByPage();
    void exportsAndPrintsEveryPage();
    void missingOrCorruptFileIsReportedNotCrashed();
    void failedSaveIsReported();
    void saveDialogStartsInExportsAndTheFootOpensTheFile();
    void largeReportOpensAtItsFirstRowsAndLaysOutTheRest();

private:
    QString savedReport(int rows, bool total = true);
    QTemporaryDir m_dir;
};

void TestPreview::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
        m_dir.setAutoRemove(false);
    MessageBoxService::setScripted(true);
    SaveFileService::setScripted(true);
    FileOpener::setScripted(true);
    DriveMapping::instance().setFolder(QLatin1Char('D'), m_dir.filePath("exports"));
    registerPreviewWindow();
}

void TestPreview::init()
{
    MessageBoxService::clear();
    SaveFileService::clear();
    FileOpener::clear();
}

void TestPreview::cleanup()
{
    if (Window *w = Window::findLatest("w_preview"))
        w->Close();
    QTRY_VERIFY(!Window::findLatest("w_preview"));
}

QString TestPreview::savedReport(int rows, bool total)
{
    const QString file = m_dir.filePath(QStringLiteral("temp%1.psr").arg(rows));
    // As the daily output window's print button saves it: the report has no title
    // of its own and takes the window's.
    SavedReport::write(*dailyOutput(rows, total), file, QStringLiteral("在做资料"));
    return file;
}

void TestPreview::showsSavedReportPageByPage()
{
    w_preview *w = openPreview(savedReport(120));
    QVERIFY(w);
    const StaticText &page = w->control<StaticText>("st_page");
    QTRY_COMPARE(page.text(), QStringLiteral("Page 1 of 3"));
    QVERIFY(MessageBoxService::shown().isEmpty());
    QVERIFY(!w->control<CommandButton>("cb_prior").isEnabled());

    w->control<CommandButton>("cb_next").click();
    QCOMPARE(page.text(), QStringLiteral("Page 2 of 3"));
    w->control<CommandButton>("cb_last").click();
    QCOMPARE(page.text(), QStringLiteral("Page 3 of 3"));
    QVERIFY(!w->control<CommandButton>("cb_next").isEnabled());
    w->control<CommandButton>("cb_prior").click();
    QCOMPARE(w->currentPage(), 2);
    w->control<CommandButton>("cb_first").click();
    QCOMPARE(page.text(), QStringLiteral("Page 1 of 3"));

    // Opens at the page's width, titled by the report.
    const PageView *view = w->pageView();
    QCOMPARE(view->zoom(), view->widthZoom());
    QVERIFY(view->zoom() > view->fitZoom());
    QCOMPARE(w->windowTitle(), QStringLiteral("在做资料 - 打印预览"));
    w->control<CommandButton>("cb_fit").click();
    const double fit = view->zoom();
    QCOMPARE(fit, view->fitZoom());
    w->control<CommandButton>("cb_zoomin").click();
    QVERIFY(view->zoom() > fit);
    w->control<CommandButton>("cb_zoomout").click();
    w->control<CommandButton>("cb_zoomout").click();
    QVERIFY(view->zoom() < fit);
    w->control<CommandButton>("cb_fit").click();
    QCOMPARE(view->zoom(), fit);

    // The page shows ink: captions and rows on white paper.
    const QImage shot = const_cast<PageView *>(view)->grab().toImage();
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
        shot.save(m_dir.filePath("preview.png"));
    const QRgb desk = qRgb(128, 128, 128);
    const QRgb shadow = qRgb(60, 60, 60);
    int ink = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb c = shot.pixel(x, y) | 0xff000000;
            ink += c != desk && c != shadow && qGray(c) < 200;
        }
    }
    QVERIFY2(ink > 500, qPrintable(QString::number(ink)));

    // Esc closes the preview.
    QTest::keyClick(w, Qt::Key_Escape);
    QTRY_VERIFY(!Window::findLatest("w_preview"));
}

void TestPreview::exportsAndPrintsEveryPage()
{
    w_preview *w = openPreview(savedReport(120));
    QVERIFY(w);
    QTRY_COMPARE(w->pageCount(), 3);

    const QString pdf = m_dir.filePath("out.pdf");
    QVERIFY(w->saveAs(pdf, w_preview::ExportFormat::Pdf));
    if (!QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QCOMPARE(wip::test::pdfPageCount(pdf), 3);

    const QString csv = m_dir.filePath("out.csv");
    QVERIFY(w->saveAs(csv, w_preview::ExportFormat::Csv));
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    const QString csvText = QString::fromUtf8(csvFile.readAll());
    QVERIFY(csvText.contains(QStringLiteral("01-倒模")));
    QCOMPARE(csvText.count(QStringLiteral("-倒模")), 120);

    const QString xlsx = m_dir.filePath("out.xlsx");
    QVERIFY(w->saveAs(xlsx, w_preview::ExportFormat::Xlsx));
    QFile book(xlsx);
    QVERIFY(book.open(QIODevice::ReadOnly));
    QCOMPARE(book.read(2), QByteArray("PK"));       // a zip container, as workbooks are

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString printed = m_dir.filePath("printed.pdf");
    printer.setOutputFileName(printed);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QVERIFY(w->printTo(printer));
    if (!QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QCOMPARE(wip::test::pdfPageCount(printed), 3);
    // A page range prints only those pages.
    printer.setOutputFileName(m_dir.filePath("range.pdf"));
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    QVERIFY(w->printTo(printer));
    if (!QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QCOMPARE(wip::test::pdfPageCount(m_dir.filePath("range.pdf")), 2);
    QVERIFY(MessageBoxService::shown().isEmpty());
}

void TestPreview::missingOrCorruptFileIsReportedNotCrashed()
{
    const QString missing = m_dir.filePath("nothere.psr");
    QVERIFY(openPreview(missing));
    QTRY_COMPARE(MessageBoxService::shown().size(), 1);
    QVERIFY(MessageBoxService::shown().first().text.contains(missing));
    QCOMPARE(MessageBoxService::shown().first().icon, MessageIcon::StopSign);
    QTRY_VERIFY(!Window::findLatest("w_preview"));

    const QString damaged = m_dir.filePath("damaged.psr");
    for (const QByteArray &content : {QByteArray("{\"format\": \"wip-saved-report\", \"rows\": [[1, 2"),
                                      QByteArray("{\"format\": \"spreadsheet\"}"), QByteArray()}) {
        MessageBoxService::clear();
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        QVERIFY(openPreview(damaged));
        QTRY_COMPARE(MessageBoxService::shown().size(), 1);
        QVERIFY(MessageBoxService::shown().first().text.contains(damaged));
        QTRY_VERIFY(!Window::findLatest("w_preview"));
    }

    // No file name at all.
    MessageBoxService::clear();
    QVERIFY(OpenWithParm(QStringLiteral("w_preview"), QVariant::fromValue(s_preview{})));
    QTRY_COMPARE(MessageBoxService::shown().size(), 1);
    QTRY_VERIFY(!Window::findLatest("w_preview"));
}

void TestPreview::failedSaveIsReported()
{
    w_preview *w = openPreview(savedReport(3));
    QVERIFY(w);
    QTRY_COMPARE(w->pageText(), QStringLiteral("Page 1 of 1"));
    QFile blocker(m_dir.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    int expected = 0;
    for (auto format : {w_preview::ExportFormat::Pdf, w_preview::ExportFormat::Csv, w_preview::ExportFormat::Xlsx}) {
        QVERIFY(!w->saveAs(m_dir.filePath("blocker/out"), format));
        QCOMPARE(MessageBoxService::shown().size(), ++expected);
        QVERIFY(MessageBoxService::shown().last().text.contains("blocker/out"));
    }
}

void TestPreview::saveDialogStartsInExportsAndTheFootOpensTheFile()
{
    w_preview *w = openPreview(savedReport(3));
    QVERIFY(w);
    QTRY_COMPARE(w->pageCount(), 1);
    auto &foot = w->control<StaticText>("st_saved");
    QVERIFY(foot.isHidden());

    // Cancelled: nothing written, nothing said.
    w->control<CommandButton>("cb_xlsx").click();
    QCOMPARE(SaveFileService::asked().size(), 1);
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const QString suggested = QDir(m_dir.filePath("exports")).filePath(QStringLiteral("在做资料 %1.xlsx").arg(today));
    QCOMPARE(SaveFileService::asked().first().suggested, suggested);
    QVERIFY(foot.isHidden());

    // Saved: the foot says where, and opens the file or its folder.
    const QString chosen = m_dir.filePath("exports/daily");
    SaveFileService::queueAnswer(chosen);
    w->control<CommandButton>("cb_xlsx").click();
    QVERIFY(QFileInfo::exists(chosen + ".xlsx"));
    QVERIFY(!foot.isHidden());
    QVERIFY2(foot.text().contains(QDir::toNativeSeparators(chosen + ".xlsx")), qPrintable(foot.text()));
    w->control<CommandButton>("cb_open").click();
    w->control<CommandButton>("cb_folder").click();
    QCOMPARE(FileOpener::opened(), (QStringList{chosen + ".xlsx", m_dir.filePath("exports")}));
    QVERIFY(MessageBoxService::shown().isEmpty());
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
        w->grab().save(m_dir.filePath("preview-saved.png"));
}

// A report of many pages opens at its first rows and measures the rest between
// the clerk's events; its department names widen past row 10 000. In the end
// the pages are those of the report measured at once, and what is printed or
// saved before that is measured whole first.
void TestPreview::largeReportOpensAtItsFirstRowsAndLaysOutTheRest()
{
    const QString file = savedReport(25000, false);
    std::unique_ptr<SavedReport> saved = SavedReport::read(file);
    QVERIFY(saved);
    const PageModel whole(*saved);
    const int pages = Pagination(whole).pageCount();
    QVERIFY(pages > 500);

    w_preview *w = openPreview(file);
    QVERIFY(w);
    const StaticText &page = w->control<StaticText>("st_page");
    // Shown at once, the count still counting ...
    QTRY_VERIFY(w->pageCount() > 0);
    QVERIFY2(page.text().endsWith(QStringLiteral("…")), qPrintable(page.text()));
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
        w->grab().save(m_dir.filePath("large-preview.png"));
    // ... and saved before the rest is laid out: measured whole first.
    const QString pdf = m_dir.filePath("large.pdf");
    QVERIFY(w->saveAs(pdf, w_preview::ExportFormat::Pdf));
    QCOMPARE(w->pageCount(), pages);
    QCOMPARE(page.text(), QStringLiteral("Page 1 of %1").arg(pages));
    if (!QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QCOMPARE(wip::test::pdfPageCount(pdf), pages);
    w->Close();
    QTRY_VERIFY(!Window::findLatest("w_preview"));

    // Read while the rest is laid out: the page shown stays the page shown.
    w = openPreview(file);
    QVERIFY(w);
    QTRY_VERIFY(w->pageCount() > 0);
    w->control<CommandButton>("cb_next").click();
    w->control<CommandButton>("cb_next").click();
    QCOMPARE(w->currentPage(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(w->control<StaticText>("st_page").text(), QStringLiteral("Page 3 of %1").arg(pages),
                              60000);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
