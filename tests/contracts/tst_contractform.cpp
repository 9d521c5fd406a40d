#include "contractfixture.h"
#include "contracts/contractheaderform.h"
#include "contracts/contractlinespanel.h"
#include "contracts/contractwindows.h"
#include "contracts/w_scno_process.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

using namespace wip;
using wip::test::TestDatabase;

// The lines of a contract in its form (w_sconh_edit, w_sconh_add) as a clerk
// uses it: the keys, the hallmark following the metal, the rights, the
// messages of a refused save, and the sales-contract window that opens it.
class ContractFormTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QPointer<ContractHeaderForm> form;
    QString rights;

    template <class T>
    T &c(const char *name) { return form->control<T>(QString::fromLatin1(name)); }
    QTableWidget &list() { return c<QTableWidget>("dw_lines"); }
    ContractLinesPanel &panel() { return *form->linesPanel(); }
    QString lastMessage()
    {
        const auto boxes = MessageBoxService::shown();
        return boxes.isEmpty() ? QString() : boxes.last().text;
    }

    // KC1 with lines 1 and 2 (D100 and D200, 5 pieces each), the codes they use.
    void fill(TestDatabase &d)
    {
        QVERIFY(wip::test::addContract(d, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(d, "KC1", "D100", "750 QOR", "rush order"));
        QVERIFY(wip::test::addLine(d, "KC1", "D200", "750", ""));
        for (const char *article : {"A-D100", "A-D200", "R7"})
            QVERIFY(d.insert("article", {{"article_code", article}}));
        QVERIFY(d.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
        QVERIFY(d.insert("material", {{"mcode", "PT950"}, {"mtype", "PT"}, {"purate", 0.95}}));
        QVERIFY(d.insert("material", {{"mcode", "DIA-1"}, {"mtype", "STONE"}, {"purate", 1}}));
    }

    void openForm(TestDatabase &d, const char *name, const QVariant &parm = QVariant())
    {
        QVERIFY(d.useAsApplicationDatabase());
        Window *w = parm.isValid() ? Window::OpenWithParm(QString::fromLatin1(name), parm)
                                   : Window::Open(QString::fromLatin1(name));
        form = qobject_cast<ContractHeaderForm *>(w);
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
    }

    // Types into the focused field as the keyboard does.
    static void type(const QString &text)
    {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        if (auto *edit = qobject_cast<QLineEdit *>(focus))
            edit->selectAll();
        else if (auto *list = qobject_cast<QComboBox *>(focus); list && list->lineEdit())
            list->lineEdit()->selectAll();
        QTest::keyClicks(focus, text);
    }
    static QString focusName()
    {
        QWidget *focus = QApplication::focusWidget();
        if (focus && !focus->parentWidget()->objectName().isEmpty() && focus->objectName().isEmpty())
            focus = focus->parentWidget();   // the line edit inside a drop-down list
        return focus ? focus->objectName() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerContractWindows();
        user_code() = QStringLiteral("U1");
        setQxpdFunction([this](const QString &, const QString &, const QString &) { return rights; });
    }

    void init()
    {
        rights = QStringLiteral("X08B");
        MessageBoxService::clear();
    }

    void cleanup()
    {
        if (form) {
            MessageBoxService::queueAnswer(2);   // unsaved lines: not saved
            form->Close();
        }
        QTRY_VERIFY(form.isNull());
        if (Window *w = Window::findLatest(QStringLiteral("w_scno_process")))
            w->Close();
        db.reset();
    }

    // A line added, filled and saved, another changed and one deleted, with
    // the keyboard alone.
    void keyboardAddsChangesAndDeletesLines_data() { wip::test::addEngineRows(); }
    void keyboardAddsChangesAndDeletesLines()
    {
        WIP_TEST_DATABASE(d);
        fill(d);
        openForm(d, "w_sconh_edit", QStringLiteral("KC1"));
        QCOMPARE(panel().rowCount(), 2);
        QCOMPARE(list().item(1, 1)->text(), QStringLiteral("D200"));

        // Ins in the list: a new line after the last, its design and article as
        // the one before; Enter goes from field to field.
        list().setFocus();
        QTest::keyClick(&list(), Qt::Key_Insert);
        QCOMPARE(panel().rowCount(), 3);
        QCOMPARE(list().item(2, 0)->text(), QStringLiteral("新"));
        QCOMPARE(focusName(), QStringLiteral("sle_design_no"));
        QCOMPARE(c<SingleLineEdit>("sle_design_no").text(), QStringLiteral("D200"));
        type("D300");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("ddlb_article_code"));
        type("R7");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("ddlb_metal"));
        type("PT950");
        // The hallmark follows the metal (it held the former metal's).
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("PT950"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusName(), QStringLiteral("sle_size"));
        for (const char *field : {"sle_size", "sle_finding", "sle_rhodium"}) {
            QCOMPARE(focusName(), QString::fromLatin1(field));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        QCOMPARE(focusName(), QStringLiteral("sle_quantity"));
        type("3");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        type("1.25");
        QCOMPARE(list().item(2, 3)->text(), QStringLiteral("PT950"));

        // Line 1 changed, line 2 deleted after the question.
        list().setFocus();
        panel().selectRow(1);
        QTest::keyClick(&list(), Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("sle_design_no"));
        c<SingleLineEdit>("sle_quantity").setFocus();
        type("8");
        QCOMPARE(list().item(0, 0)->text(), QStringLiteral("1 *"));
        panel().selectRow(2);
        list().setFocus();
        MessageBoxService::queueAnswer(1);
        QTest::keyClick(&list(), Qt::Key_Delete);
        QCOMPARE(MessageBoxService::shown().last().title, QStringLiteral("确认"));
        QVERIFY2(lastMessage().startsWith(QStringLiteral("删除第 2 行明细 (D200 A-D200 18KY 5 件)?")),
                 qPrintable(lastMessage()));
        QCOMPARE(panel().rowCount(), 2);

        QTest::mouseClick(&c<CommandButton>("cb_save"), Qt::LeftButton);
        QTRY_VERIFY(form.isNull());
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        QStringList stored;
        for (const QVariantList &r : d.rows("select line_no, design_no, article_code, metal, quantity, metal_netwt, "
                                            "hallmark from scond order by line_no"))
            stored << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                          .arg(r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString())
                          .arg(r[4].toDouble()).arg(r[5].toDouble()).arg(r[6].toString());
        QCOMPARE(stored, (QStringList{"1 D100 A-D100 18KY 8 0 750 QOR", "3 D300 R7 PT950 3 1.25 PT950"}));
    }

    // A refused save says what stops it, line and field, and keeps the form
    // and everything typed; the database is as it was.
    void refusedSaveNamesLineAndField()
    {
        db = std::make_unique<TestDatabase>();
        fill(*db);
        openForm(*db, "w_sconh_edit", QStringLiteral("KC1"));
        QTest::mouseClick(&c<CommandButton>("cb_line_add"), Qt::LeftButton);
        c<SingleLineEdit>("sle_quantity").setFocus();
        type("2.5");
        c<DropDownListBox>("ddlb_metal").setFocus();
        type("DIA-1");
        QTest::mouseClick(&c<CommandButton>("cb_save"), Qt::LeftButton);
        QCOMPARE(lastMessage(), QStringLiteral("没有保存, 请先改正:\n新增第 1 行 数量: \"2.5\" 不是整数\n"
                                               "新增第 1 行 成色: 成色资料里没有金属 DIA-1 (在 基础资料 › 成色 Metals 增加)"));
        QVERIFY(form);
        QCOMPARE(panel().rowCount(), 3);
        QCOMPARE(db->scalar("select count(*) from scond").toInt(), 2);
        QCOMPARE(db->scalar("select count(*) from audit_log").toInt(), 0);
    }

    void rightsShapeTheForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("header");     // the header may be typed
        QTest::addColumn<bool>("add");        // 增加明细
        QTest::addColumn<bool>("fields");     // the fields of a stored line may be typed
        QTest::addColumn<bool>("del");        // 删除明细 on a stored line
        QTest::addColumn<bool>("save");
        QTest::newRow("everything") << "X99A" << true << true << true << true << true;
        QTest::newRow("add") << "X02B" << false << true << false << false << true;
        QTest::newRow("edit") << "X03B" << true << false << true << false << true;
        QTest::newRow("delete") << "X04B" << false << false << false << true << true;
        QTest::newRow("none") << "" << false << false << false << false << false;
    }
    void rightsShapeTheForm()
    {
        QFETCH(QString, text);
        QFETCH(bool, header);
        QFETCH(bool, add);
        QFETCH(bool, fields);
        QFETCH(bool, del);
        QFETCH(bool, save);
        rights = text;
        db = std::make_unique<TestDatabase>();
        fill(*db);
        openForm(*db, "w_sconh_edit", QStringLiteral("KC1"));
        QCOMPARE(!c<SingleLineEdit>("sle_custorder").displayOnly(), header);
        QCOMPARE(c<CommandButton>("cb_line_add").isEnabled(), add);
        QCOMPARE(!c<SingleLineEdit>("sle_quantity").displayOnly(), fields);
        QCOMPARE(c<DropDownListBox>("ddlb_metal").isEnabled(), fields);
        QCOMPARE(c<CommandButton>("cb_line_del").isEnabled(), del);
        QCOMPARE(c<CommandButton>("cb_save").isEnabled(), save);
        QCOMPARE(c<StaticText>("st_note").isVisibleTo(form), !header);
        // Del in the list deletes the line after the question; for a user who
        // may not delete, the line stays and nothing is asked.
        list().setFocus();
        MessageBoxService::queueAnswer(1);
        QTest::keyClick(&list(), Qt::Key_Delete);
        QCOMPARE(panel().rowCount(), del ? 1 : 2);
        QCOMPARE(MessageBoxService::shown().size(), del ? 1 : 0);
    }

    // w_sconh_add opened by a user without the add right only shows.
    void addWithoutTheAddRightOnlyShows()
    {
        rights = QStringLiteral("X34B");
        db = std::make_unique<TestDatabase>();
        openForm(*db, "w_sconh_add");
        QVERIFY(c<SingleLineEdit>("sle_scno").displayOnly());
        QVERIFY(!c<CommandButton>("cb_save").isEnabled());
        QVERIFY(!c<CommandButton>("cb_line_add").isEnabled());
        QCOMPARE(c<StaticText>("st_note").text(), QStringLiteral("用户 U1 没有增加销售合约的权限, 只能看。"));
    }

    // 修改&2 of the sales-contract window opens the chosen contract; saved, the
    // window shows its lines as they are now. Every caption of the form shows whole.
    void contractWindowOpensTheFormAndShowsItsLines()
    {
        db = std::make_unique<TestDatabase>();
        fill(*db);
        QVERIFY(db->useAsApplicationDatabase());
        auto *contracts = qobject_cast<w_scno_process *>(Window::Open(QStringLiteral("w_scno_process")));
        QVERIFY(contracts);
        QVERIFY(QTest::qWaitForWindowExposed(contracts));
        auto &lines = contracts->control<reports::ReportControl>("dw_scond");
        QTRY_COMPARE(lines.RowCount(), 2);
        auto &edit = contracts->control<CommandButton>("cb_sconh_edit");
        QVERIFY(edit.isEnabled());
        QTest::mouseClick(&edit, Qt::LeftButton);
        form = qobject_cast<ContractHeaderForm *>(Window::findLatest(QStringLiteral("w_sconh_edit")));
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCOMPARE(form->editedScno(), QStringLiteral("KC1"));
        QTest::mouseClick(&c<CommandButton>("cb_line_add"), Qt::LeftButton);
        c<SingleLineEdit>("sle_quantity").setFocus();
        type("4");
        for (QWidget *w : form->findChildren<QWidget *>()) {
            if (qobject_cast<StaticText *>(w) || qobject_cast<CommandButton *>(w)) {
                if (w->isVisible())
                    QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
            }
        }
        if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
            form->grab().save(QDir::temp().filePath("w_sconh_edit.png"));
        QTest::mouseClick(&c<CommandButton>("cb_save"), Qt::LeftButton);
        QTRY_VERIFY(form.isNull());
        QCOMPARE(lines.RowCount(), 3);
        QCOMPARE(lines.GetItemString(3, "line_no"), QStringLiteral("3"));
        QCOMPARE(contracts->scno(), QStringLiteral("KC1"));
    }

    // Lines typed and not saved are offered for saving when the form closes:
    // Cancel stays, No leaves them unsaved.
    void closingAsksAboutUnsavedLines()
    {
        db = std::make_unique<TestDatabase>();
        fill(*db);
        openForm(*db, "w_sconh_edit", QStringLiteral("KC1"));
        QTest::mouseClick(&c<CommandButton>("cb_line_add"), Qt::LeftButton);
        MessageBoxService::queueAnswer(3);
        QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(form);
        QCOMPARE(lastMessage(), QStringLiteral("订货明细已修改, 要保存吗?"));
        MessageBoxService::queueAnswer(2);
        QTest::keyClick(form, Qt::Key_Escape);
        QTRY_VERIFY(form.isNull());
        QCOMPARE(db->scalar("select count(*) from scond").toInt(), 2);
    }
};

QTEST_MAIN(ContractFormTest)
#include "tst_contractform.moc"
