// Every report of the catalogue printed on a small factory whose values are long:
// no painted text may be wider than its cell (measured with the font the painter
// used, on the device it painted on), none may print below 7 pt. A wide report and
// a composite are checked for their pages, and a few reports whose layout matters
// are compared with golden files (tests/reports/data/golden; WIP_UPDATE_GOLDEN=1
// writes them anew).

#include "programoutput.h"
#include "testdatabase.h"

#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/pdfexport.h"
#include "reports/render/reportpainter.h"
#include "reports/reportcolumns.h"
#include "reports/reportoutput.h"
#include "runtime/drivemapping.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

namespace {

constexpr double kPadding = ColumnSizer::padding;
constexpr double kTolerance = 0.25;   // points: rounding of glyph advances between devices

QString dataPath(const QString &name)
{
    return qEnvironmentVariable("WIP_TEST_DATA") + QLatin1Char('/') + name;
}

// Values for the arguments of every definition, by argument name, matching the
// fixture: November 2026, customer QOR, step 04-执模, both contracts.
QVariant argumentValue(const Argument &a)
{
    const QString n = a.name.toLower();
    const QStringList contracts{QStringLiteral("KC2400001-LONG"), QStringLiteral("KC2")};
    if (a.type == ArgumentType::Date || a.type == ArgumentType::DateTime) {
        const bool to = n.startsWith(u'e') || n.endsWith(u'2');
        return to ? QDate(2026, 11, 30) : QDate(2026, 11, 1);
    }
    if (a.type == ArgumentType::Number)
        return QStringLiteral("480");   // the prices of a pure gram
    if (a.type == ArgumentType::StringList)
        return n == QLatin1String("gongxu_array") ? QStringList{QStringLiteral("04-执模"), QStringLiteral("06-镶石")}
                                                  : contracts;
    static const QHash<QString, QString> texts{
        {"custno", "QOR"}, {"bz", "1"}, {"remark", "1"}, {"gongxu", "04-执模"}, {"proc", "04-执模"},
        {"gx", "04-执模"}, {"pcode", "04-执模收发"}, {"kcno", "KC2400001-LONG"}, {"kc", "KC2400001-LONG"},
        {"scno", "KC2400001-LONG"}, {"pno", "WS1"}, {"gr", "WS1"}, {"name", "爪镶"}};
    return texts.value(n, QStringLiteral("X"));
}

QVariantList argumentsFor(const Definition &def)
{
    QVariantList out;
    for (const Argument &a : def.arguments)
        out << argumentValue(a);
    return out;
}

// Checks every line of text painted: it fits its cell and prints at 7 pt or more.
struct PaintCheck
{
    QStringList faults;
    int lines = 0;

    ReportPainter::TextObserver observer(const QString &where)
    {
        return [this, where](const ReportPainter::PaintedText &t, QPainter &p) {
            ++lines;
            const double width = QFontMetricsF(t.font, p.device()).horizontalAdvance(t.text);
            if (width > t.cell.width() - 2 * kPadding + kTolerance)
                faults << QStringLiteral("%1: \"%2\" is %3 pt wide in a cell of %4 pt")
                              .arg(where, t.text).arg(width, 0, 'f', 1).arg(t.cell.width() - 2 * kPadding, 0, 'f', 1);
            if (t.pointSize * t.pageScale < 7 - 1e-6)
                faults << QStringLiteral("%1: \"%2\" prints at %3 pt").arg(where, t.text).arg(t.pointSize * t.pageScale);
        };
    }
};

// Paints every page of a model as printed (one point a pixel) through the check.
void paintPages(const PageModel &model, const Pagination &pages, PaintCheck &check, const QString &name)
{
    ReportPainter painter(model);
    for (int i = 0; i < pages.pageCount(); ++i) {
        painter.setTextObserver(check.observer(QStringLiteral("%1 page %2").arg(name).arg(i + 1)));
        const QSize size = pages.page(i).size.toSize();
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        QPainter p(&image);
        painter.paintPage(p, pages, i);
    }
}

// Compares text with a golden file; WIP_UPDATE_GOLDEN=1 writes the file instead.
bool matchesGolden(const QString &name, const QString &text, QString *difference)
{
    const QString path = dataPath(QStringLiteral("golden/") + name);
    if (qEnvironmentVariableIsSet("WIP_UPDATE_GOLDEN")) {
        QFile out(path);
        return out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) >= 0;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *difference = path + QStringLiteral(" is missing (WIP_UPDATE_GOLDEN=1 writes it)");
        return false;
    }
    const QStringList want = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    const QStringList got = text.split(QLatin1Char('\n'));
    for (int i = 0; i < std::max(want.size(), got.size()); ++i) {
        if (want.value(i) != got.value(i)) {
            *difference = QStringLiteral("%1 line %2:\n  expected: %3\n  actual:   %4")
                              .arg(path).arg(i + 1).arg(want.value(i), got.value(i));
            return false;
        }
    }
    return true;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { wip::test::addEngineRows(); }   // every test on each database
    void initTestCase();
    void init();
    void everyReportPrintsWithinItsCells_data();
    void everyReportPrintsWithinItsCells();
    void wideReportContinuesAcrossPages();
    void compositePrintsEachPartOnItsPaper();
    void goldenLayouts_data();
    void goldenLayouts();

private:
    std::unique_ptr<DataStore> retrieve(const QString &name);

    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<TestDatabase>> m_databases;   // per engine, made once
    TestDatabase *m_db = nullptr;
};

void TestLayout::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // One style picture, named in another case than the database has it; the
    // other article's picture is missing.
    DriveMapping::instance().setFolder(QLatin1Char('P'), m_dir.filePath(QStringLiteral("pictures")));
    QDir().mkpath(m_dir.filePath(QStringLiteral("pictures")));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkYellow);
    QVERIFY(picture.save(m_dir.filePath(QStringLiteral("pictures/d2401.bmp"))));
}

void TestLayout::init()
{
    QFETCH_GLOBAL(QString, engine);
    const wip::test::Engine kind = wip::test::engineFromName(engine);
    if (kind == wip::test::Engine::PostgreSQL && !wip::test::postgresConfigured())
        QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
    auto &db = m_databases[engine];
    if (!db) {
        db = std::make_unique<TestDatabase>(kind);
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QVERIFY2(db->insertRows(dataPath(QStringLiteral("layout/factory.json"))), qPrintable(db->error()));
    }
    m_db = db.get();
}

std::unique_ptr<DataStore> TestLayout::retrieve(const QString &name)
{
    auto ds = std::make_unique<DataStore>(name);
    ds->SetTransObject(m_db->tr());
    if (ds->Retrieve(argumentsFor(ds->definition())) < 0)
        return nullptr;
    return ds;
}

void TestLayout::everyReportPrintsWithinItsCells_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : Catalogue::instance().names())
        QTest::newRow(qPrintable(name)) << name;
}

void TestLayout::everyReportPrintsWithinItsCells()
{
    QFETCH(QString, name);
    const auto ds = retrieve(name);
    QVERIFY2(ds, qPrintable(name + QStringLiteral(" does not retrieve")));

    PaintCheck check;
    const PageModel paper(*ds);
    const Pagination pages(paper);
    paintPages(paper, pages, check, name);

    // On screen every row is measured as it comes into view.
    PageModel screen(*ds, PageModel::Options{9, PageModel::Purpose::Screen, 7});
    screen.measureArea(0, screen.height());
    ReportPainter painter(screen);
    painter.setTextObserver(check.observer(name + QStringLiteral(" on screen")));
    QImage image(16, 16, QImage::Format_RGB32);
    QPainter p(&image);
    painter.paintContinuous(p, QRectF(0, 0, screen.width(), screen.height()));

    // Paper and files say what was asked in words, and carry no bare ids (a line
    // number a clerk reads has a caption of its own) or tick columns.
    for (const Argument &a : ds->definition().arguments)
        check.faults << (a.caption.isEmpty() ? name + QStringLiteral(": argument %1 has no caption").arg(a.name) : QString());
    for (const ReportColumn &c : reportColumns(*ds, ColumnUse::Output)) {
        const bool bareId = c.name.endsWith(QLatin1String("_id")) && headingText(c) == spokenName(c.name);
        if (bareId || c.name == QLatin1String("take"))
            check.faults << name + QStringLiteral(": %1 is printed and exported").arg(c.name);
    }
    check.faults.removeAll(QString());

    QVERIFY(check.lines > 0);
    QVERIFY2(check.faults.isEmpty(), qPrintable(check.faults.mid(0, 5).join(QLatin1Char('\n'))));
}

void TestLayout::wideReportContinuesAcrossPages()
{
    // 27 printed columns: too wide for A4 landscape even at 7 pt.
    const auto ds = retrieve(QStringLiteral("d_w_scprogress7"));
    QVERIFY(ds);
    QCOMPARE(ds->RowCount(), 2);
    const PageModel model(*ds);
    const Pagination pages(model);
    QCOMPARE(pages.pageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const Pagination::Page &page = pages.page(i);
        QVERIFY(page.size.width() > page.size.height());              // the definition's landscape
        QCOMPARE(page.bandIndex, i);
        QCOMPARE(page.bandCount, 2);
        QVERIFY(page.scale * model.options().fontSize >= 7 - 1e-9);
    }
    // The key column (KCNO) is repeated on the second page, and the page says
    // which columns it shows.
    QStringList second;
    ReportPainter painter(model);
    painter.setTextObserver([&](const ReportPainter::PaintedText &t, QPainter &) { second << t.text; });
    QImage image(16, 16, QImage::Format_RGB32);
    QPainter p(&image);
    painter.paintPage(p, pages, 1);
    QVERIFY2(second.contains(QStringLiteral("KC2400001-LONG")), qPrintable(second.join(u'|')));
    QVERIFY(second.contains(QStringLiteral("Page 2 of 2 (columns 2 of 2)")));
    QVERIFY(second.contains(QStringLiteral("Gold Out")));
    QVERIFY(!second.contains(QStringLiteral("Wax In")));
    QVERIFY(!second.contains(QStringLiteral("Sconh Id")));   // ids are not printed
}

void TestLayout::compositePrintsEachPartOnItsPaper()
{
    // d_wip_fin is landscape, d_wip_fin_tj portrait; the composite names no paper.
    const auto ds = retrieve(QStringLiteral("d_wip_fin_all"));
    QVERIFY(ds);
    const PageModel model(*ds);
    const Pagination pages(model);
    QCOMPARE(pages.pageCount(), 2);
    QVERIFY(pages.page(0).size.width() > pages.page(0).size.height());
    QVERIFY(pages.page(1).size.width() < pages.page(1).size.height());
    QCOMPARE(model.section(pages.page(1).slices.first().section).name, QStringLiteral("d_wip_fin_tj"));
    // Each sheet says the period it was printed for, once.
    ReportPainter painter(model);
    for (int i = 0; i < pages.pageCount(); ++i) {
        QStringList painted;
        painter.setTextObserver([&](const ReportPainter::PaintedText &t, QPainter &) { painted << t.text; });
        QImage image(16, 16, QImage::Format_RGB32);
        QPainter p(&image);
        painter.paintPage(p, pages, i);
        QCOMPARE(painted.count(QStringLiteral("日期 Date: 2026-11-01 至 2026-11-30")), 1);
    }

    // The PDF has the same papers, page by page.
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("poppler-utils are not installed");
    const QString file = m_dir.filePath(QStringLiteral("fin_all.pdf"));
    QVERIFY(writePdf(*ds, file));
    const QString info = wip::test::programOutput(QStringLiteral("pdfinfo"), {"-f", "1", "-l", "2", file});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page +1 size: +842 x 595 "))), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page +2 size: +595 x 842 "))), qPrintable(info));
}

void TestLayout::goldenLayouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::newRow("gold need, page text") << "d_w_scond_gold_need" << "page";
    QTest::newRow("production status with pictures, page text") << "d_w_prod_status" << "page";
    QTest::newRow("order progress, csv") << "d_w_scprogress3" << "csv";
    QTest::newRow("material use crosstab, csv") << "d_w_scmatuse" << "csv";
    QTest::newRow("worker sheet composite, csv") << "d_wip_work_pno" << "csv";
    QTest::newRow("filing in hand, computed weight in its place, csv") << "d_w_wip_detail_fil_wipp" << "csv";
}

// Page text: every line painted on the first page, with its cell (x, y, width in
// points) and its size; a layout change that moves or cuts text shows here.
void TestLayout::goldenLayouts()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    const auto ds = retrieve(name);
    QVERIFY(ds);
    QString text;
    if (kind == QLatin1String("csv")) {
        text = QString::fromUtf8(ReportOutput::toCsv(*ds).mid(3));
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    } else {
        const PageModel model(*ds);
        const Pagination pages(model);
        ReportPainter painter(model);
        painter.setTextObserver([&](const ReportPainter::PaintedText &t, QPainter &) {
            // Dates of today change: they are left out.
            if (t.text == QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))
                return;
            text += QStringLiteral("%1 %2 %3 %4%5 %6\n")
                        .arg(t.cell.x(), 0, 'f', 1).arg(t.cell.y(), 0, 'f', 1).arg(t.cell.width(), 0, 'f', 1)
                        .arg(t.pointSize).arg(t.font.bold() ? QStringLiteral("b") : QString(), t.text);
        });
        QImage image(16, 16, QImage::Format_RGB32);
        QPainter p(&image);
        painter.paintPage(p, pages, 0);
    }
    QString difference;
    QVERIFY2(matchesGolden(name + (kind == QLatin1String("csv") ? QStringLiteral(".csv") : QStringLiteral(".txt")), text,
                           &difference),
             qPrintable(difference));
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
