#include "contractfixture.h"
#include "contracts/contractheaderform.h"
#include "contracts/contractwindows.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"

#include <QTest>

using namespace wip;
using wip::test::TestDatabase;

// w_sconh_add and w_sconh_edit: checks before saving, the row written, the list
// of the sales-contract window read again.
class HeaderFormsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    QPointer<ContractHeaderForm> form;
    QString rights;

    SingleLineEdit &edit(const char *name) { return form->control<SingleLineEdit>(QString::fromLatin1(name)); }
    EditMask &date(const char *name) { return form->control<EditMask>(QString::fromLatin1(name)); }

    void openForm(const char *name, const QVariant &parm = QVariant())
    {
        QVERIFY(db->useAsApplicationDatabase());
        Window *w = parm.isValid() ? Window::OpenWithParm(QString::fromLatin1(name), parm)
                                   : Window::Open(QString::fromLatin1(name));
        form = qobject_cast<ContractHeaderForm *>(w);
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

    void save() { QTest::mouseClick(&form->control<CommandButton>("cb_save"), Qt::LeftButton); }

    // The audit rows of scno as "window|field|old|new", by field.
    QStringList audit(const char *scno)
    {
        QStringList out;
        for (const QVariantList &r : db->rows("select source, field, old_value, new_value from audit_log where scno = ? "
                                              "order by field", {QString::fromLatin1(scno)})) {
            QStringList cells;
            for (const QVariant &v : r)
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            out << cells.join('|');
        }
        return out;
    }

    QString lastMessage()
    {
        const auto boxes = MessageBoxService::shown();
        return boxes.isEmpty() ? QString() : boxes.last().text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerContractWindows();
        // A clerk who may add and change contracts, unless a test says otherwise.
        user_code() = QStringLiteral("U1");
        setQxpdFunction([this](const QString &, const QString &, const QString &) { return rights; });
    }

    void init()
    {
        rights = QStringLiteral("X08B");
        MessageBoxService::clear();
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
    }

    void cleanup()
    {
        if (form)
            form->Close();
        QTRY_VERIFY(form.isNull());
        if (Window *w = Window::findLatest(QStringLiteral("w_scno_process")))
            w->Close();
        db.reset();
    }

    void addRefusesIncompleteOrDuplicateHeaders()
    {
        openForm("w_sconh_add");
        save();
        QCOMPARE(lastMessage(), QStringLiteral("请输入KCNO!"));
        edit("sle_scno").setText("kc1");
        QCOMPARE(edit("sle_scno").text(), QStringLiteral("KC1"));
        save();
        QCOMPARE(lastMessage(), QStringLiteral("请输入客户编号!"));
        edit("sle_custno").setText("C09");
        save();
        QCOMPARE(lastMessage(), QStringLiteral("KCNO已存在!"));
        edit("sle_scno").setText("KC9");
        QVERIFY(date("em_issdate").setText("2004-06-02") == 1 && date("em_deldate").setText("2004-06-01") == 1);
        save();
        QCOMPARE(lastMessage(), QStringLiteral("订单货期不能早于接单日期!"));
        QCOMPARE(db->scalar("select count(*) from sconh").toInt(), 1);
        QCOMPARE(db->scalar("select count(*) from audit_log").toInt(), 0);
        QVERIFY(form && form->isVisible());
    }

    void addWritesTheHeaderAndRefreshesTheContractList()
    {
        QVERIFY(db->useAsApplicationDatabase());
        Window *contracts = Window::Open(QStringLiteral("w_scno_process"));
        QVERIFY(QTest::qWaitForWindowExposed(contracts));
        auto &list = contracts->control<reports::ReportControl>("dw_sconh");
        QTRY_COMPARE(list.RowCount(), 1);
        openForm("w_sconh_add");
        edit("sle_scno").setText("KC9");
        edit("sle_custno").setText("C09");
        edit("sle_custorder").setText("O'BRIEN-1");
        QVERIFY(date("em_issdate").setText("2004-06-01") == 1 && date("em_deldate").setText("2004-07-15") == 1);
        save();
        QTRY_VERIFY(form.isNull());
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        const auto rows = db->rows("select cust_no, cust_order from sconh where scno = 'KC9'");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("C09"));
        QCOMPARE(rows[0][1].toString(), QStringLiteral("O'BRIEN-1"));
        QCOMPARE(list.RowCount(), 2);
        // The new header in the audit trail, in the same work as its row.
        const QStringList added = audit("KC9");
        for (const char *field : {"w_sconh_add|cust_no|NULL|C09", "w_sconh_add|cust_order|NULL|O'BRIEN-1",
                                     "w_sconh_add|deldate|NULL|2004-07-15 00:00:00", "w_sconh_add|scno|NULL|KC9"})
            QVERIFY2(added.contains(field), qPrintable(added.join(", ")));
    }

    void editChangesTheContractItIsGiven()
    {
        openForm("w_sconh_edit", QStringLiteral("KC1"));
        QCOMPARE(edit("sle_scno").text(), QStringLiteral("KC1"));
        QVERIFY(edit("sle_scno").displayOnly());
        QCOMPARE(edit("sle_custorder").text(), QStringLiteral("PO-1"));
        QCOMPARE(date("em_deldate").text(), QStringLiteral("2004-06-01"));
        edit("sle_custorder").setText("PO-1B");
        QVERIFY(date("em_deldate").setText("2004-06-20") == 1);
        save();
        QTRY_VERIFY(form.isNull());
        QCOMPARE(db->scalar("select cust_order from sconh where scno = 'KC1'").toString(), QStringLiteral("PO-1B"));
        QCOMPARE(db->scalar("select count(*) from sconh").toInt(), 1);
        // Only the fields that changed, with their old values.
        QCOMPARE(audit("KC1"), (QStringList{"w_sconh_edit|cust_order|PO-1|PO-1B",
                                            "w_sconh_edit|deldate|2004-06-01 00:00:00|2004-06-20 00:00:00"}));
    }
};

QTEST_MAIN(HeaderFormsTest)
#include "tst_headerforms.moc"
