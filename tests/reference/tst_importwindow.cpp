// 导入 and 导出 in 基础资料 driven offscreen as a clerk uses them: a file
// checked whole, what it would add and update asked before anything is
// written, a refused file shown row by row with nothing written, the tab's
// codes exported and read back; 导入 only with the right 导入 and for kinds
// that take new codes. The window with its buttons is drawn to a picture
// (WIP_TEST_SCREENSHOTS=folder keeps it).

#include "import/sheetreader.h"
#include "importfixture.h"
#include "reference/widgets/refgrid.h"
#include "reference/widgets/referencewindows.h"
#include "reference/widgets/w_refdata.h"
#include "reffixture.h"
#include "runtime/drivemapping.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/openfileservice.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/statictext.h"

#include <QTabWidget>
#include <QTest>

using namespace wip;
using namespace wip::reference;
using namespace wip::test;

class tst_ImportWindow : public QObject
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
        return m_window && QTest::qWaitForWindowExposed(m_window);
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

    CommandButton &button(const char *name) { return m_window->control<CommandButton>(QString::fromLatin1(name)); }

    QString file(const QString &kind, const QList<QStringList> &rows)
    {
        QString error;
        return writeKindFile(m_files, kind, QStringLiteral("xlsx"), rows, &error);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        MessageBoxService::setScripted(true);
        OpenFileService::setScripted(true);
        SaveFileService::setScripted(true);
        registerReferenceWindows();
        setQxpdFunction(importRights);
        DriveMapping::instance().setFolder(QLatin1Char('D'), m_files.filePath(QStringLiteral("exports")));
        DriveMapping::instance().setFolder(QLatin1Char('P'), m_files.filePath(QStringLiteral("pictures")));
    }

    void init()
    {
        MessageBoxService::clear();
        OpenFileService::clear();
        SaveFileService::clear();
        user_code() = QStringLiteral("IMPORTER");
    }

    void cleanup()
    {
        if (m_window) {
            MessageBoxService::queueAnswer(1);
            m_window->Close();
        }
        QTRY_VERIFY(m_window.isNull());
        m_db.reset();
    }

    void cleanupTestCase() { DriveMapping::instance().resetFolders(); }

    void importsAfterAskingWhatItWouldDo_data() { addEngineRows(); }
    void importsAfterAskingWhatItWouldDo()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        QVERIFY(openWindow(engine));
        RefGrid &metals = show("metals");
        QVERIFY(button("cb_import").isEnabled());
        const QString path = file("metals", {{"14KY", "GOLD", "0.585", "585", "14K黄金", "1"},
                                             {"18KY", "GOLD", "0.750", "750", "18K黄金 改", "1"},
                                             {"9KR", "GOLD", "0.375", "375", "", "1"}});
        // No: nothing is written.
        OpenFileService::queueAnswer(path);
        MessageBoxService::queueAnswer(2);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        const ShownMessage asked = MessageBoxService::shown().last();
        QCOMPARE(asked.title, QStringLiteral("导入 Import"));
        QCOMPARE(asked.text, QStringLiteral("metals-xlsx.xlsx (xlsx), 3 行: 成色 Metals\n"
                                            "增加 1 个代码, 更新 1 个已有的代码, 1 个不变。\n导入吗?"));
        QCOMPARE(OpenFileService::asked().last().title, QStringLiteral("导入 Import: 成色 Metals"));
        QCOMPARE(m_db->scalar("select count(*) from material where mcode = '14KY'").toInt(), 0);
        // Yes: written, shown, audited as the window's.
        OpenFileService::queueAnswer(path);
        MessageBoxService::queueAnswer(1);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().last().text,
                 QStringLiteral("导入成功!\n增加 1, 更新 1, 不变 1 (added 1, updated 1, unchanged 1)"));
        QCOMPARE(m_db->scalar("select purate from material where mcode = '14KY'").toDouble(), 0.585);
        QCOMPARE(m_db->scalar("select mname from material where mcode = '18KY'").toString(), QStringLiteral("18K黄金 改"));
        QCOMPARE(m_db->scalar("select count(*) from audit_log where source = 'w_refdata' and user_code = 'IMPORTER'").toInt(),
                 7);
        QCOMPARE(metals.rowCount(), 4);
        QVERIFY(!metals.isModified());
        QCOMPARE(m_window->control<StaticText>("st_status").text(),
                 QStringLiteral("metals-xlsx.xlsx 已导入 成色 Metals: 增加 1, 更新 1, 不变 1 (added 1, updated 1, unchanged 1)"));
    }

    void aRefusedFileIsShownAndNothingIsWritten()
    {
        QVERIFY(openWindow());
        show("stones");
        const QString path = file("stones", {{"RUBY", "红宝石", "粒", "1"}, {"ruby", "again", "粒", "1"}, {"DIA", "", "", "2"}});
        const int audits = m_db->scalar("select count(*) from audit_log").toInt();
        OpenFileService::queueAnswer(path);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        const ShownMessage shown = MessageBoxService::shown().last();
        QCOMPARE(shown.title, QStringLiteral("警告"));
        QCOMPARE(shown.text, QStringLiteral("stones-xlsx.xlsx 没有导入, 请改正:\n"
                                            "第 3 行 石料代码 Stone: ruby 与第 2 行重复 (given twice)\n"
                                            "第 4 行 使用中 Active: 2: 写 1 (使用中) 或 0 (停用)\n"
                                            "没有导入, 2 处要改正 (refused: nothing was written)"));
        QCOMPARE(m_db->scalar("select count(*) from material where mcode = 'RUBY'").toInt(), 0);
        QCOMPARE(m_db->scalar("select count(*) from audit_log").toInt(), audits);
    }

    void exportsTheTabsCodes()
    {
        user_code() = QStringLiteral("VIEW");   // exporting needs no right
        QVERIFY(openWindow());
        show("styles");
        const QString path = m_files.filePath(QStringLiteral("exports/styles out"));
        SaveFileService::queueAnswer(path);
        QTest::mouseClick(&button("cb_export"), Qt::LeftButton);
        QCOMPARE(SaveFileService::asked().last().suggested, m_files.filePath(QStringLiteral("exports/styles.xlsx")));
        QCOMPARE(MessageBoxService::shown().last().text,
                 QStringLiteral("已导出 2 行到\n%1.xlsx").arg(QDir::toNativeSeparators(path)));
        QString error;
        const std::optional<import::Sheet> sheet = import::SheetReader::read(path + ".xlsx", &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->header.join('|'), QStringLiteral("款号 Article|产品类别 Type|图片 Picture|使用中 Active|石料 Stone|"
                                                         "镶法 Setting|每件粒数 Per piece"));
        QCOMPARE(sheet->rows.size(), 2);
        QCOMPARE(sheet->rows.at(1).cells.join('|'), QStringLiteral("R100|R|R100.bmp|1|DIA|钉镶|2"));
    }

    void importNeedsItsRightAndAKindThatTakesCodes()
    {
        user_code() = QStringLiteral("VIEW");
        QVERIFY(openWindow());
        show("metals");
        QVERIFY(!button("cb_import").isEnabled());
        QVERIFY(button("cb_export").isEnabled());
        MessageBoxService::queueAnswer(1);
        m_window->Close();
        QTRY_VERIFY(m_window.isNull());
        user_code() = QStringLiteral("ADMIN");
        QVERIFY(openWindow());
        show("metals");
        QVERIFY(button("cb_import").isEnabled());
        show("processes");
        QVERIFY(!button("cb_import").isEnabled());
        QVERIFY(!button("cb_export").isEnabled());
        // A tab with changes not saved is saved or left first.
        RefGrid &customers = show("customers");
        QVERIFY(button("cb_import").isEnabled());
        customers.item(0, customers.columnOf("cust_name"))->setText(QStringLiteral("changed"));
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("客户 Customers 有未保存的修改, 请先 保存 再导入。"));
        QVERIFY(OpenFileService::asked().isEmpty());
        if (const QString dir = qEnvironmentVariable("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            m_window->grab().save(dir + QStringLiteral("/w_refdata-import.png"));
    }
};

QTEST_MAIN(tst_ImportWindow)
#include "tst_importwindow.moc"
