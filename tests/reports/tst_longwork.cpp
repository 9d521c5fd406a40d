#include "reports/datastore.h"
#include "reports/definitionloader.h"
#include "reports/render/pdfexport.h"
#include "reports/render/streamedpdf.h"
#include "reports/render/xlsxexport.h"
#include "reports/streamedexport.h"
#include "runtime/longwork.h"
#include "runtime/widgets/longworkpresenter.h"
#include "testdatabase.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::reports;
using wip::test::TestDatabase;

// Long work where a clerk waits: a retrieval, an export or a PDF cancelled
// halfway leaves the rows shown before and no file; a click made while the work
// runs is dropped, not run afterwards; the progress box's Cancel stops it.
class TestLongWork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cancelledWorkLeavesWhatWasThere_data();
    void cancelledWorkLeavesWhatWasThere();
    void clicksMadeMeanwhileAreDropped();
    void cancelInTheBoxStopsTheWork();
};

namespace {

// A presenter that cancels at its n-th look at the work.
class CancelAt : public LongWork::Presenter
{
public:
    explicit CancelAt(int at) : m_at(at) {}
    void begin(const QString &) override { ++begun; }
    bool update(const QString &, qint64, qint64) override { return ++updates < m_at; }
    void end() override { ++ended; }
    int begun = 0, updates = 0, ended = 0;

private:
    int m_at;
};

constexpr int kRows = 5000;

std::shared_ptr<const Definition> stepsReport()
{
    QString error;
    const auto def = DefinitionLoader::loadJson(R"({"name": "d_steps", "layout": "tabular",
        "query": "select proch_id, scno, qty from proch where proch_id > :from_id",
        "arguments": [{"name": "from_id", "type": "number"}],
        "columns": [{"name": "proch_id", "db": "proch.proch_id", "type": "number", "caption": ["Id"]},
                    {"name": "scno", "db": "proch.scno", "type": "string", "caption": ["KCNO"]},
                    {"name": "qty", "db": "proch.qty", "type": "number", "caption": ["Qty"]}],
        "sort": ["proch_id"]})", QStringLiteral("test"), &error);
    if (!def)
        qWarning("%s", qPrintable(error));
    return def ? std::make_shared<const Definition>(*def) : nullptr;
}

TestDatabase &database()
{
    static TestDatabase db;
    static const bool filled = [] {
        if (!db.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                    "insert into proch (proch_id, scno, qty) select i, 'KC' || i, i % 7 from n")
                         .arg(kRows)))
            qWarning("%s", qPrintable(db.error()));
        return true;
    }();
    Q_UNUSED(filled);
    return db;
}

} // namespace

void TestLongWork::initTestCase()
{
    QVERIFY2(database().isValid(), qPrintable(database().error()));
    QCOMPARE(database().scalar(QStringLiteral("select count(*) from proch")).toInt(), kRows);
    LongWork::setUpdateInterval(0);
}

void TestLongWork::cleanup()
{
    LongWork::setPresenter(nullptr);
}

void TestLongWork::cancelledWorkLeavesWhatWasThere_data()
{
    QTest::addColumn<QString>("work");
    for (const char *work : {"retrieve", "xlsx", "pdf", "csv as read", "json as read", "xlsx as read", "pdf as read",
                             "pdf as read, cancelled while painting"})
        QTest::newRow(work) << QString::fromLatin1(work);
}

void TestLongWork::cancelledWorkLeavesWhatWasThere()
{
    QFETCH(QString, work);
    DataStore store;
    store.setDefinition(stepsReport());
    store.SetTransObject(database().tr());
    QCOMPARE(store.Retrieve({kRows - 3}), 3);   // the rows on screen before
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out"));

    // A PDF read as it is painted reads the rows in ten runs first, then paints a hundred pages.
    CancelAt presenter(work.contains(QLatin1String("painting")) ? 40 : 2);
    LongWork::setPresenter(&presenter);
    bool done = true;
    QString error;
    if (work == QLatin1String("retrieve")) {
        done = store.Retrieve({0}) >= 0;
    } else if (work == QLatin1String("xlsx") || work == QLatin1String("pdf")) {
        DataStore big;
        big.setDefinition(stepsReport());
        big.SetTransObject(database().tr());
        LongWork::setPresenter(nullptr);
        QCOMPARE(big.Retrieve({0}), kRows);
        LongWork::setPresenter(&presenter);
        done = work == QLatin1String("xlsx") ? writeXlsx(big, file, &error) : writePdf(big, file, &error);
    } else {
        StreamedExport::setRunSize(500);
        DataStore streamed;
        streamed.setDefinition(stepsReport());
        streamed.SetTransObject(database().tr());
        const auto format = work.startsWith(QLatin1String("csv")) ? StreamedExport::Format::Csv : StreamedExport::Format::Json;
        const auto outcome = work.startsWith(QLatin1String("xlsx")) ? writeXlsx(streamed, {0}, file, &error)
                             : work.startsWith(QLatin1String("pdf"))
                                 ? StreamedPdf::save(streamed, {0}, file, &error)
                                 : StreamedExport::save(streamed, {0}, format, file, &error);
        QCOMPARE(outcome, StreamedExport::Outcome::Cancelled);
        done = outcome == StreamedExport::Outcome::Written;
        StreamedExport::setRunSize(4096);
    }
    QVERIFY(!done);
    QCOMPARE(presenter.begun, 1);   // the work inside the work joined it
    QCOMPARE(presenter.ended, 1);
    QVERIFY(!LongWork::running());
    QCOMPARE(store.RowCount(), 3);
    QCOMPARE(store.GetItemDecimal(1, QStringLiteral("proch_id")), Decimal::fromInt(kRows - 2));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);   // no file, no temporary one
}

void TestLongWork::clicksMadeMeanwhileAreDropped()
{
    LongWorkPresenter presenter;
    presenter.setBoxDelay(60000);
    LongWork::setPresenter(&presenter);
    QDialog window;
    auto *back = new QPushButton(QStringLiteral("返回"), &window);
    auto *field = new QLineEdit(&window);
    field->move(0, 40);
    int clicks = 0;
    connect(back, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    {
        LongWork work(QStringLiteral("working"));
        QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
                 Qt::BusyCursor);
        const QPoint at = back->rect().center();
        QApplication::postEvent(back, new QMouseEvent(QEvent::MouseButtonPress, at, back->mapToGlobal(at), Qt::LeftButton,
                                                      Qt::LeftButton, Qt::NoModifier));
        QApplication::postEvent(back, new QMouseEvent(QEvent::MouseButtonRelease, at, back->mapToGlobal(at),
                                                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        QApplication::postEvent(&window, new QCloseEvent);
        // A scanner types a code meanwhile; Escape would close the window.
        for (const auto &[key, text] : {std::pair{Qt::Key_K, "K"}, {Qt::Key_C, "C"}, {Qt::Key_Escape, ""}, {Qt::Key_1, "1"}}) {
            QApplication::postEvent(field, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text)));
            QApplication::postEvent(field, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString::fromLatin1(text)));
        }
        QTest::qWait(150);   // without processing: work inside the second is not interrupted
        QVERIFY(LongWork::progress(1, 10));
    }
    QCoreApplication::processEvents();
    QCOMPARE(clicks, 0);
    QVERIFY(window.isVisible());
    QCOMPARE(field->text(), QStringLiteral("KC1"));
    QVERIFY(!QApplication::overrideCursor());
    QTest::mouseClick(back, Qt::LeftButton);   // once the work is done the button works
    QCOMPARE(clicks, 1);
}

void TestLongWork::cancelInTheBoxStopsTheWork()
{
    LongWorkPresenter presenter;
    presenter.setBoxDelay(0);
    LongWork::setPresenter(&presenter);
    LongWork work(QStringLiteral("正在读取报表… Retrieving the report…"));
    QVERIFY(LongWork::progress(1, 4));
    QProgressDialog *box = presenter.box();
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->labelText(), QStringLiteral("正在读取报表… Retrieving the report…"));
    if (const QString dir = qEnvironmentVariable("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
        box->grab().save(dir + QStringLiteral("/long_work.png"));
    auto *cancel = box->findChild<QPushButton *>();
    QVERIFY(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);   // the box's own button is not dropped
    QVERIFY(!LongWork::progress(2, 4));
    QVERIFY(LongWork::cancelled());
}

QTEST_MAIN(TestLongWork)
#include "tst_longwork.moc"
