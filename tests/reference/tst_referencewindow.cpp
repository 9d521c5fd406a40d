// The window 基础资料 Reference data driven offscreen as a clerk uses it: add a
// row, type into cells, save; a refusal shown with its row and field and the
// cursor on it; a code in use made inactive instead of deleted; a style with
// its stones and picture; a user without the right only looks. The window is
// also drawn to a picture (WIP_SCREENSHOTS=folder keeps it) and its captions
// must fit their columns.

#include "reference/widgets/refgrid.h"
#include "reference/widgets/referencewindows.h"
#include "reference/widgets/stonegrid.h"
#include "reference/widgets/w_refdata.h"
#include "reffixture.h"
#include "runtime/drivemapping.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/openfileservice.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/statictext.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QImage>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::reference;
using namespace wip::test;

class TestReferenceWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    QPointer<w_refdata> m_window;
    QTemporaryDir m_files;

    bool openWindow(const QString &engine = QStringLiteral("sqlite"))
    {
        m_db = std::make_unique<TestDatabase>(engineFromName(engine));
        if (!m_db->isValid() || !fillFactory(*m_db) || !m_db->useAsApplicationDatabase())
            return false;
        m_window = qobject_cast<w_refdata *>(Window::Open(QStringLiteral("w_refdata")));
        return m_window && QTest::qWaitForWindowExposed(m_window) && (QTest::qWait(30), true);
    }

    RefGrid &show(const char *kind)
    {
        RefGrid *g = m_window->grid(QString::fromLatin1(kind));
        auto &tabs = m_window->control<QTabWidget>(QStringLiteral("tab_kinds"));
        for (int i = 0; i < tabs.count(); ++i) {
            if (tabs.widget(i) == g || tabs.widget(i)->isAncestorOf(g))
                tabs.setCurrentIndex(i);
        }
        return *g;
    }

    void click(const char *button)
    {
        QTest::mouseClick(&m_window->control<CommandButton>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    static int rowOf(const RefGrid &g, const QString &code)
    {
        for (int r = 0; r < g.rowCount(); ++r) {
            if (g.item(r, 0)->text() == code)
                return r;
        }
        return -1;
    }

    static void type(RefGrid &g, int row, const char *field, const QString &text)
    {
        g.item(row, g.columnOf(QString::fromLatin1(field)))->setText(text);
    }

    static QString lastMessage()
    {
        const auto shown = MessageBoxService::shown();
        return shown.isEmpty() ? QString() : shown.last().text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        MessageBoxService::setScripted(true);
        OpenFileService::setScripted(true);
        registerReferenceWindows();
        installRights();
        DriveMapping::instance().setFolder(QLatin1Char('P'), m_files.filePath(QStringLiteral("pictures")));
    }

    void init()
    {
        MessageBoxService::clear();
        OpenFileService::clear();
        user_code() = QStringLiteral("CLERK");
    }

    void cleanup()
    {
        if (m_window) {
            MessageBoxService::queueAnswer(1);   // leave what was not saved
            m_window->Close();
        }
        QTRY_VERIFY(m_window.isNull());
        m_db.reset();
    }

    void cleanupTestCase() { DriveMapping::instance().resetFolders(); }

    void addEditAndSave_data() { addEngineRows(); }
    void addEditAndSave()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        QVERIFY(openWindow(engine));
        RefGrid &metals = show("metals");
        QCOMPARE(metals.rowCount(), 3);
        QCOMPARE(metals.item(rowOf(metals, "18KY"), metals.columnOf("purate"))->text(), QStringLiteral("0.750"));
        // The code of a saved metal is not typed over.
        QVERIFY(!(metals.item(rowOf(metals, "18KY"), 0)->flags() & Qt::ItemIsEditable));

        click("cb_add");
        const int added = metals.rowCount() - 1;
        QCOMPARE(metals.currentRow(), added);
        // The code cell opens for typing.
        QTRY_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget())
                    && metals.isAncestorOf(QApplication::focusWidget()));
        QTest::keyClicks(QApplication::focusWidget(), "14KY");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(metals.item(added, 0)->text(), QStringLiteral("14KY"));   // the editor commits queued
        type(metals, added, "mtype", "GOLD");
        type(metals, added, "purate", "0.585");
        type(metals, added, "hallmark", "585");
        type(metals, added, "mname", "14K黄金");
        type(metals, rowOf(metals, "PT950"), "mname", "铂金 950");
        QVERIFY(metals.isModified());
        click("cb_save");
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        QCOMPARE(m_db->scalar("select hallmark from material where mcode = '14KY'").toString(), QStringLiteral("585"));
        QCOMPARE(m_db->scalar("select mname from material where mcode = 'PT950'").toString(), QStringLiteral("铂金 950"));
        QCOMPARE(m_db->scalar("select count(*) from audit_log where source = 'w_refdata' and user_code = 'CLERK'")
                     .toInt(), 7);
        // Read again as saved.
        QVERIFY(!metals.isModified());
        QCOMPARE(metals.rowCount(), 4);
        QCOMPARE(m_window->control<StaticText>("st_status").text(), QStringLiteral("成色 Metals 已保存: 增加 1, 修改 1, 删除 0。"));
    }

    void aRefusalIsShownAndNothingIsWritten()
    {
        QVERIFY(openWindow());
        RefGrid &metals = show("metals");
        click("cb_add");
        const int added = metals.rowCount() - 1;
        type(metals, added, "mcode", "18KR");
        type(metals, added, "mtype", "GOLD");
        type(metals, added, "purate", "750");
        type(metals, rowOf(metals, "PT950"), "hallmark", "PT900");
        const int audits = m_db->scalar("select count(*) from audit_log").toInt();
        click("cb_save");
        const ShownMessage shown = MessageBoxService::shown().last();
        QCOMPARE(shown.title, QStringLiteral("警告"));
        QCOMPARE(shown.text, QStringLiteral("没有保存, 请改正:\n"
                                            "第 3 行 字印 Hallmark: PT900 与成色 0.950 不符, 应为 PT950\n"
                                            "第 4 行 成色 Purity: 750 不在 0 与 1 之间 (成色以小数写: 18K 为 0.750, PT950 为 0.950)"));
        QCOMPARE(metals.currentRow(), 2);
        QCOMPARE(metals.currentColumn(), metals.columnOf("hallmark"));
        QCOMPARE(m_db->scalar("select count(*) from material where mcode = '18KR'").toInt(), 0);
        QCOMPARE(m_db->scalar("select hallmark from material where mcode = 'PT950'").toString(), QStringLiteral("PT950"));
        QCOMPARE(m_db->scalar("select count(*) from audit_log").toInt(), audits);
        // What was typed stays, to be put right.
        QVERIFY(metals.isModified());
        QCOMPARE(metals.item(added, metals.columnOf("purate"))->text(), QStringLiteral("750"));
        type(metals, added, "purate", "0.750");
        type(metals, rowOf(metals, "PT950"), "hallmark", "PT950");
        click("cb_save");
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        QCOMPARE(m_db->scalar("select count(*) from material where mcode = '18KR'").toInt(), 1);
    }

    void aCodeInUseIsMadeInactiveInstead()
    {
        QVERIFY(openWindow());
        RefGrid &customers = show("customers");
        customers.setCurrentCell(rowOf(customers, "QOR"), 1);
        MessageBoxService::queueAnswer(1);   // yes, make it inactive
        click("cb_delete");
        QCOMPARE(lastMessage(), QStringLiteral("QOR 在使用中 (销售合约 contracts), 不能删除。\n改为停用吗?"));
        QCOMPARE(customers.item(rowOf(customers, "QOR"), customers.columnOf("active"))->checkState(), Qt::Unchecked);
        customers.setCurrentCell(rowOf(customers, "NEWC"), 1);
        MessageBoxService::queueAnswer(1);   // yes, delete it
        click("cb_delete");
        QCOMPARE(lastMessage(), QStringLiteral("删除 NEWC 吗? 按 保存 后删除。"));
        QCOMPARE(customers.rowAt(rowOf(customers, "NEWC")).change, RefRow::Change::Deleted);
        click("cb_save");
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        QCOMPARE(m_db->scalar("select active from customer where cust_no = 'QOR'").toInt(), 0);
        QCOMPARE(m_db->scalar("select count(*) from customer where cust_no = 'NEWC'").toInt(), 0);
        QCOMPARE(m_db->scalar("select count(*) from sconh where cust_no = 'QOR'").toInt(), 1);
    }

    void aStyleWithStonesAndAPicture()
    {
        QVERIFY(openWindow());
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(QColor(0xd4, 0xaf, 0x37));
        const QString file = m_files.filePath(QStringLiteral("gold ring.jpg"));
        QVERIFY(image.save(file));
        RefGrid &styles = show("styles");
        click("cb_add");
        const int row = styles.rowCount() - 1;
        type(styles, row, "article_code", "R900");
        type(styles, row, "arttype_code", "R");
        OpenFileService::queueAnswer(file);
        click("cb_picture");
        QCOMPARE(m_window->control<StaticText>("st_picture").text(),
                 QStringLiteral("新图片 gold ring.jpg, 保存时复制为 R900.jpg"));
        QVERIFY(m_window->control<Picture>("p_style").hasPicture());
        auto &stones = m_window->control<StoneGrid>("lv_stones");
        click("cb_stone_add");
        stones.item(0, 0)->setText("DIA");
        stones.item(0, 1)->setText("钉镶");
        stones.item(0, 2)->setText("6");
        click("cb_save");
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        QVERIFY(QFile::exists(m_files.filePath(QStringLiteral("pictures/R900.jpg"))));
        QCOMPARE(m_db->scalar("select qtycal from artsd where article_code = 'R900'").toInt(), 6);
        // Chosen again after the save, the style shows its stones and its copied picture.
        styles.setCurrentCell(rowOf(styles, "R900"), 0);
        QCOMPARE(stones.rowCount(), 1);
        QVERIFY(m_window->control<Picture>("p_style").hasPicture());
        QCOMPARE(m_window->control<StaticText>("st_picture").text(), QStringLiteral("图片 R900.jpg"));
    }

    void withoutTheRightTheWindowOnlyShows()
    {
        user_code() = QStringLiteral("VIEW");
        QVERIFY(openWindow());
        RefGrid &workers = show("workers");
        for (const char *b : {"cb_add", "cb_delete", "cb_save", "cb_picture"})
            QVERIFY2(!m_window->control<CommandButton>(QString::fromLatin1(b)).isEnabled(), b);
        QVERIFY(!(workers.item(0, 1)->flags() & Qt::ItemIsEditable));
        QVERIFY(m_window->control<StaticText>("st_status").text().startsWith(QStringLiteral("用户 VIEW 没有资料")));
    }

    void leavingWithUnsavedChangesAsks()
    {
        QVERIFY(openWindow());
        RefGrid &workers = show("workers");
        type(workers, 0, "xingming", "陈志刚");
        MessageBoxService::queueAnswer(2);   // no, stay
        click("cb_close");
        QCOMPARE(lastMessage(), QStringLiteral("工人 Workers 有未保存的修改。\n放弃这些修改吗?"));
        QVERIFY(m_window && m_window->isVisible());
        MessageBoxService::queueAnswer(1);
        click("cb_close");
        QTRY_VERIFY(m_window.isNull());
        QCOMPARE(m_db->scalar("select xingming from worker where changhao = '0401'").toString(), QStringLiteral("陈志强"));
    }

    // Drawn as the clerk sees it: every caption whole in its column, the Chinese shown.
    void everyTabShowsItsCaptionsWhole()
    {
        QVERIFY(openWindow());
        // At the width the window opens with, every tab is there to click.
        auto &tabs = m_window->control<QTabWidget>(QStringLiteral("tab_kinds"));
        QVERIFY2(tabs.tabBar()->sizeHint().width() <= 1280 - 24, qPrintable(QString::number(tabs.tabBar()->sizeHint().width())));
        const QString folder = qEnvironmentVariable("WIP_SCREENSHOTS");
        for (const RefKind &kind : RefKind::all()) {
            RefGrid &g = show(kind.name.toLatin1().constData());
            QTest::qWait(20);
            const QFontMetrics metrics(g.horizontalHeader()->font());
            for (int c = 0; c < g.columnCount(); ++c) {
                const QString caption = g.horizontalHeaderItem(c)->text();
                QVERIFY2(g.horizontalHeader()->sectionSize(c) >= metrics.horizontalAdvance(caption),
                         qPrintable(kind.name + ": " + caption));
            }
            const QImage picture = m_window->grab().toImage();
            QVERIFY(!picture.isNull());
            if (!folder.isEmpty())
                QVERIFY(picture.save(folder + QStringLiteral("/w_refdata-") + kind.name + QStringLiteral(".png")));
        }
    }
};

QTEST_MAIN(TestReferenceWindow)
#include "tst_referencewindow.moc"
