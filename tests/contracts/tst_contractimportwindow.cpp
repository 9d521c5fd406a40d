// 导入 Import and 导出 Export in 销售合约 driven offscreen as a clerk uses them,
// on SQLite and PostgreSQL: the file checked whole, what it would add asked
// before anything is written, the new contracts in the list afterwards; a
// refused file shown row by row with nothing written; every contract exported
// and read back unchanged; 导入 only with the right 导入; progress typed and not
// saved settled before the list is read again. The window is drawn to a picture
// (WIP_TEST_SCREENSHOTS=folder keeps it) and its buttons must show their captions whole.

#include "contractfixture.h"
#include "contracts/contractimportkind.h"
#include "contracts/contractwindows.h"
#include "contracts/w_scno_process.h"
#include "database/rightscatalogue.h"
#include "import/sheetreader.h"
#include "import/sheetwriter.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/drivemapping.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/openfileservice.h"
#include "runtime/widgets/savefileservice.h"

#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::test;

namespace {

// IMPORTER holds the right 导入 only, ADMIN every right, VIEW none.
QString rightsOf(const QString &user, const QString &module, const QString &function)
{
    const Rights rights = user == QLatin1String("IMPORTER") ? Rights(Right::Import)
        : user == QLatin1String("ADMIN")                    ? RightsCatalogue::every()
                                                            : Rights();
    for (const RightsCatalogue::Text &t : RightsCatalogue::textsFor(rights)) {
        if (t.module == module && t.function == function)
            return t.text;
    }
    return QString();
}

QStringList contractRow(const char *scno, const char *lineNo, const char *design, const char *article,
                        const char *quantity)
{
    return {scno, "C01", "PO-7", "2026-05-04", "2026-06-15", lineNo, design, article, "18KY", "", "", "", quantity,
            "", "750", "", ""};
}

} // namespace

class tst_ContractImportWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    QPointer<w_scno_process> m_window;
    QTemporaryDir m_files;

    // KC1 with one line and its progress record, and the codes new lines use.
    bool openWindow(const QString &engine = QStringLiteral("sqlite"))
    {
        m_db = std::make_unique<TestDatabase>(engineFromName(engine));
        if (!m_db->isValid() || !addContract(*m_db, "KC1", "PO-1") || !addLine(*m_db, "KC1", "D100", "750", "")
            || !m_db->insert("process", {{"scno", "KC1"}, {"wax_in", 5}})
            || !m_db->insert("article", {{"article_code", "R1"}}) || !m_db->insert("article", {{"article_code", "R2"}})
            || !m_db->insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}})
            || !m_db->useAsApplicationDatabase())
            return false;
        m_window = qobject_cast<w_scno_process *>(Window::Open(QStringLiteral("w_scno_process")));
        return m_window && QTest::qWaitForWindowExposed(m_window);
    }

    CommandButton &button(const char *name) { return m_window->control<CommandButton>(QString::fromLatin1(name)); }
    reports::ReportControl &list(const char *name)
    {
        return m_window->control<reports::ReportControl>(QString::fromLatin1(name));
    }

    QStringList listed()
    {
        QStringList scnos;
        for (int r = 1; r <= list("dw_sconh").RowCount(); ++r)
            scnos << list("dw_sconh").GetItemString(r, QStringLiteral("scno"));
        return scnos;
    }

    QString file(const QString &name, const QList<QStringList> &rows)
    {
        QString error;
        const QString path = m_files.filePath(name);
        return import::SheetWriter::write(path, ContractImportKind().exportedColumns(), rows, &error) ? path : error;
    }

    int count(const char *sql) { return m_db->scalar(QString::fromLatin1(sql)).toInt(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        MessageBoxService::setScripted(true);
        OpenFileService::setScripted(true);
        SaveFileService::setScripted(true);
        registerContractWindows();
        setQxpdFunction(rightsOf);
        DriveMapping::instance().setFolder(QLatin1Char('D'), m_files.filePath(QStringLiteral("exports")));
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
            MessageBoxService::queueAnswer(2);   // unsaved progress: not saved
            m_window->Close();
        }
        QTRY_VERIFY(m_window.isNull());
        m_db.reset();
    }

    void cleanupTestCase() { DriveMapping::instance().resetFolders(); }

    void importsAfterAskingAndListsTheNewContracts_data() { addEngineRows(); }
    void importsAfterAskingAndListsTheNewContracts()
    {
        QFETCH(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        QVERIFY(openWindow(engine));
        QVERIFY(button("cb_import").isEnabled());
        const QString path = file("new contracts.xlsx", {contractRow("KC2", "1", "D1", "R1", "5"),
                                                         contractRow("KC2", "2", "D2", "R2", "3"),
                                                         contractRow("KC3", "", "D3", "R1", "1")});
        // No: nothing is written.
        OpenFileService::queueAnswer(path);
        MessageBoxService::queueAnswer(2);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        QCOMPARE(OpenFileService::asked().last().title, QStringLiteral("导入 Import: 销售合约 Sales contracts"));
        QCOMPARE(OpenFileService::asked().last().folder, m_files.filePath(QStringLiteral("exports")));
        const ShownMessage asked = MessageBoxService::shown().last();
        QCOMPARE(asked.title, QStringLiteral("导入 Import"));
        QCOMPARE(asked.text, QStringLiteral("new contracts.xlsx (xlsx), 3 行: 销售合约 Sales contracts\n"
                                            "增加 2 个合约, 更新 0 个已有的合约, 0 个不变。\n导入吗?"));
        QCOMPARE(count("select count(*) from sconh"), 1);
        QCOMPARE(listed(), QStringList{"KC1"});
        // Yes: written, audited as the window's, and listed with the contract shown before still shown.
        OpenFileService::queueAnswer(path);
        MessageBoxService::queueAnswer(1);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().last().text,
                 QStringLiteral("导入成功!\n增加 2, 更新 0, 不变 0 (added 2, updated 0, unchanged 0)"));
        QCOMPARE(count("select count(*) from scond where scno in ('KC2', 'KC3')"), 3);
        QVERIFY(count("select count(*) from audit_log where source = 'w_scno_process' and user_code = 'IMPORTER'") > 0);
        QCOMPARE(listed(), (QStringList{"KC1", "KC2", "KC3"}));
        QCOMPARE(m_window->scno(), QStringLiteral("KC1"));
        QCOMPARE(m_window->lineCount(), 1);
        list("dw_sconh").ScrollToRow(2);
        QCOMPARE(m_window->scno(), QStringLiteral("KC2"));
        QCOMPARE(m_window->lineCount(), 2);
    }

    void aRefusedFileIsShownAndNothingIsWritten()
    {
        QVERIFY(openWindow());
        const QString path = file("refused.xlsx", {contractRow("KC2", "1", "D1", "R9", "5"),
                                                   contractRow("KC2", "1", "D2", "R2", "0"),
                                                   contractRow("KC4", "", "D3", "R1", "1")});
        const int audits = count("select count(*) from audit_log");
        OpenFileService::queueAnswer(path);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        const ShownMessage shown = MessageBoxService::shown().last();
        QCOMPARE(shown.title, QStringLiteral("警告"));
        QCOMPARE(shown.text, QStringLiteral("refused.xlsx 没有导入, 请改正:\n"
                                            "第 2 行 货号 Article: 款式资料里没有货号 R9 (在 基础资料 › 款式 Styles 增加)\n"
                                            "第 3 行 行号 Line: KC2 的第 1 行与第 2 行重复\n"
                                            "第 3 行 数量 Pieces: \"0\" 必须大于 0\n"
                                            "没有导入, 3 处要改正 (refused: nothing was written)"));
        QCOMPARE(count("select count(*) from sconh"), 1);
        QCOMPARE(count("select count(*) from audit_log"), audits);
        QCOMPARE(listed(), QStringList{"KC1"});
    }

    // What 导出 writes reads back as it is: nothing new, nothing changed.
    void exportsEveryContractAndReadsItBack()
    {
        user_code() = QStringLiteral("VIEW");   // exporting needs no right
        QVERIFY(openWindow());
        QVERIFY(button("cb_export").isEnabled());
        const QString path = m_files.filePath(QStringLiteral("exports/all contracts"));
        SaveFileService::queueAnswer(path);
        QTest::mouseClick(&button("cb_export"), Qt::LeftButton);
        QCOMPARE(SaveFileService::asked().last().suggested, m_files.filePath(QStringLiteral("exports/contracts.xlsx")));
        QCOMPARE(MessageBoxService::shown().last().text,
                 QStringLiteral("已导出 1 行到\n%1.xlsx").arg(QDir::toNativeSeparators(path)));
        QString error;
        const std::optional<import::Sheet> sheet = import::SheetReader::read(path + ".xlsx", &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->header.first(), QStringLiteral("KCNO"));
        QCOMPARE(sheet->rows.size(), 1);
        QCOMPARE(sheet->rows.at(0).cells.mid(0, 8).join('|'),
                 QStringLiteral("KC1|C01|PO-1|2004-05-01|2004-06-01|1|D100|A-D100"));

        MessageBoxService::queueAnswer(2);
        m_window->Close();
        QTRY_VERIFY(m_window.isNull());
        user_code() = QStringLiteral("IMPORTER");
        m_window = qobject_cast<w_scno_process *>(Window::Open(QStringLiteral("w_scno_process")));
        QVERIFY(m_window && QTest::qWaitForWindowExposed(m_window));
        QTRY_VERIFY(button("cb_import").isEnabled());
        QVERIFY(m_db->insert("article", {{"article_code", "A-D100"}}));
        OpenFileService::queueAnswer(path + ".xlsx");
        MessageBoxService::queueAnswer(2);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        QVERIFY2(MessageBoxService::shown().last().text.contains(QStringLiteral("增加 0 个合约, 更新 0 个已有的合约, 1 个不变")),
                 qPrintable(MessageBoxService::shown().last().text));
    }

    void importNeedsItsRight_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("mayImport");
        QTest::newRow("without any right") << "VIEW" << false;
        QTest::newRow("import alone") << "IMPORTER" << true;
        QTest::newRow("every right") << "ADMIN" << true;
    }
    void importNeedsItsRight()
    {
        QFETCH(QString, user);
        QFETCH(bool, mayImport);
        user_code() = user;
        QVERIFY(openWindow());
        QCOMPARE(button("cb_import").isEnabled(), mayImport);
        QVERIFY(button("cb_export").isEnabled());
        // Every button of the row shows its caption whole at the window's size.
        for (CommandButton *b : m_window->findChildren<CommandButton *>()) {
            QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->objectName()));
            QVERIFY2(m_window->rect().contains(QRect(b->mapTo(m_window, QPoint(0, 0)), b->size())),
                     qPrintable(b->objectName()));
        }
        if (const QString dir = qEnvironmentVariable("WIP_TEST_SCREENSHOTS"); !dir.isEmpty())
            m_window->grab().save(dir + QStringLiteral("/w_scno_process-import-%1.png").arg(user));
    }

    // Progress typed and not saved is settled before the import: Cancel stays
    // without asking for a file; No drops it and shows the record as saved.
    void typedProgressIsSettledFirst()
    {
        user_code() = QStringLiteral("ADMIN");
        QVERIFY(openWindow());
        list("dw_process").SetItem(1, QStringLiteral("wax_in"), 4);
        QVERIFY(m_window->processModified());
        MessageBoxService::queueAnswer(3);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("进度资料已修改, 要保存吗?"));
        QVERIFY(OpenFileService::asked().isEmpty());
        QCOMPARE(list("dw_process").GetItemNumber(1, QStringLiteral("wax_in")), 4.0);
        MessageBoxService::queueAnswer(2);
        QTest::mouseClick(&button("cb_import"), Qt::LeftButton);   // and no file chosen
        QCOMPARE(OpenFileService::asked().size(), 1);
        QVERIFY(!m_window->processModified());
        QCOMPARE(list("dw_process").RowCount(), 1);
        QCOMPARE(list("dw_process").GetItemNumber(1, QStringLiteral("wax_in")), 5.0);
        QCOMPARE(count("select wax_in from process where scno = 'KC1'"), 5);
    }
};

QTEST_MAIN(tst_ContractImportWindow)
#include "tst_contractimportwindow.moc"
