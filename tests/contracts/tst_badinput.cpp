// Input of the contract windows that is not what a clerk normally types or
// the database normally holds: search values with quotes and wildcards,
// customer and contract numbers with quotes, design numbers that look like
// paths, picture files that are no picture, and rights texts that are too
// short, blank or NULL.

#include "contractfixture.h"
#include "contracts/contractheaderform.h"
#include "contracts/contractwindows.h"
#include "contracts/findorderdialog.h"
#include "contracts/w_scno_process.h"
#include "database/useraccounts.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/drivemapping.h"
#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

// Contract numbers that a LIKE pattern, a glob or pasted SQL would confuse
// with one another. Each literal is listed after a contract it would match if
// it were read as a pattern, so a search that treats it as one lands early.
const QStringList kTrickyContracts{"KCA1", "KC_1", "KC1", "KC%", "KCX", "KC*", "KCY", "KC?",
                                   "KC'1", "KC~'1", "KC\"1", "KC'", "KC' OR '1'='1"};

} // namespace

class BadInputTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<QTemporaryDir> dir;
    QString pictures;
    QPointer<Window> target;
    QPointer<FindOrderDialog> dialog;

    ReportControl &dw(const char *name) { return target->control<ReportControl>(QString::fromLatin1(name)); }
    w_scno_process *scnoProcess() { return qobject_cast<w_scno_process *>(target.data()); }
    template <class T>
    T &c(const char *name) { return target->control<T>(QString::fromLatin1(name)); }

    void openTarget(const char *name)
    {
        QVERIFY(db->useAsApplicationDatabase());
        target = Window::Open(QString::fromLatin1(name));
        QVERIFY(target);
        QVERIFY(QTest::qWaitForWindowExposed(target));
        QCoreApplication::processEvents();
    }

    int rowOf(ReportControl &control, const QString &column, const QString &value)
    {
        for (int r = 1; r <= control.RowCount(); ++r)
            if (control.GetItemString(r, column) == value)
                return r;
        return 0;
    }

    QStringList column(ReportControl &control, const QString &name)
    {
        QStringList values;
        for (int r = 1; r <= control.RowCount(); ++r)
            values << control.GetItemString(r, name);
        return values;
    }

    // Opens the find dialog of w_scno_process and searches value under criterion
    // (0 contract number, 1 customer order).
    void find(int criterion, const QString &value)
    {
        QTest::mouseClick(&c<CommandButton>("cb_sconh_find"), Qt::LeftButton);
        QTRY_VERIFY(Window::findLatest(QStringLiteral("w_scno_process_search")));
        dialog = qobject_cast<FindOrderDialog *>(Window::findLatest(QStringLiteral("w_scno_process_search")));
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        auto &box = dialog->control<DropDownListBox>("search_criterial");
        if (criterion == 1)
            QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.text(), criterion == 1 ? QStringLiteral("客单编号") : QStringLiteral("KCNO"));
        dialog->control<SingleLineEdit>("search_value").setText(value);
        QTest::mouseClick(&dialog->control<CommandButton>("cb_confirm"), Qt::LeftButton);
    }

    // The rights text of user U1 for the contract window, through the application's
    // own rights lookup, so that a NULL in the table arrives as the lookup gives it.
    static void useRightsTable()
    {
        setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
            return UserAccounts::rights(Transaction::sqlca(), user, module, function);
        });
        user_code() = QStringLiteral("U1");
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerContractWindows();
        useRightsTable();
    }

    void init()
    {
        MessageBoxService::clear();
        Trace::clearCaptured();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        pictures = dir->filePath("pictures");
        QVERIFY(QDir().mkpath(pictures));
        DriveMapping::instance().setFolder(QLatin1Char('P'), pictures);
        DriveMapping::instance().setWorkingFolder(dir->path());
    }

    void cleanup()
    {
        if (dialog)
            dialog->Close();
        if (target) {
            if (auto *w = scnoProcess())
                w->control<ReportControl>("dw_process").store().ResetUpdate();
            target->Close();
        }
        QTRY_VERIFY(dialog.isNull() && target.isNull());
        db.reset();
        DriveMapping::instance().resetFolders();
        DriveMapping::instance().setWorkingFolder(QString());
    }

    void findSearchesQuotesAndWildcardsLiterally_data()
    {
        QTest::addColumn<int>("criterion");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");   // scno found, or empty: "找不到记录!"
        for (const QString &scno : kTrickyContracts)
            QTest::newRow(qPrintable("KCNO " + scno)) << 0 << scno << scno;
        QTest::newRow("KCNO: percent alone") << 0 << "%" << "";
        QTest::newRow("KCNO: underscore pattern") << 0 << "KC__" << "";
        QTest::newRow("KCNO: star alone") << 0 << "*" << "";
        QTest::newRow("KCNO: open quote") << 0 << "'" << "";
        QTest::newRow("KCNO: expression text") << 0 << "KC1' OR SCNO<>'" << "";
        QTest::newRow("order: percent") << 1 << "PO%" << "KC%";
        QTest::newRow("order: underscore") << 1 << "PO_1" << "KC_1";
        QTest::newRow("order: quote") << 1 << "O'NEIL" << "KC'1";
        QTest::newRow("order: tilde and quote") << 1 << "~'" << "KC~'1";
        QTest::newRow("order: percent alone") << 1 << "%" << "";
    }

    void findSearchesQuotesAndWildcardsLiterally()
    {
        QFETCH(int, criterion);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        const QHash<QString, QString> orders{{"KC1", "PO11"}, {"KCA1", "POA1"}, {"KC_1", "PO_1"},
                                             {"KC%", "PO%"}, {"KC'1", "O'NEIL"}, {"KC~'1", "~'"}};
        for (const QString &scno : kTrickyContracts)
            QVERIFY(wip::test::addContract(*db, scno, orders.value(scno, "PO-" + scno)));
        openTarget("w_scno_process");
        QTRY_COMPARE(dw("dw_sconh").RowCount(), int(kTrickyContracts.size()));
        const int before = dw("dw_sconh").GetRow();

        find(criterion, value);
        if (expected.isEmpty()) {
            QTRY_COMPARE(MessageBoxService::shown().size(), 1);
            QCOMPARE(MessageBoxService::shown().first().text, QStringLiteral("找不到记录!"));
            QCOMPARE(dw("dw_sconh").GetRow(), before);
        } else {
            QTRY_VERIFY(dialog.isNull());
            QCOMPARE(dw("dw_sconh").GetItemString(dw("dw_sconh").GetRow(), "scno"), expected);
            QCOMPARE(scnoProcess()->scno(), expected);
            QVERIFY(MessageBoxService::shown().isEmpty());
        }
        QVERIFY2(Trace::captured().isEmpty(), qPrintable(Trace::captured().join('\n')));
    }

    void customerBoxMatchesTheNumberAsTyped_data()
    {
        wip::test::addEngineRows();
    }

    void customerBoxMatchesTheNumberAsTyped()
    {
        WIP_TEST_DATABASE(engineDb);
        db = std::make_unique<TestDatabase>(engineDb.engine());
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        const QList<QPair<QString, QString>> contracts{{"KC1", "C01"},  {"KC2", "C'01"}, {"KC3", "C%"},
                                                       {"KC4", "C_1"},  {"KC5", "C*"},   {"KC6", "C' OR '1'='1"},
                                                       {"KC7", "CX1"}};
        for (const auto &[scno, cust] : contracts)
            QVERIFY(wip::test::addContract(*db, scno, "PO-" + scno, cust));
        openTarget("w_scprogress");
        QVERIFY(c<EditMask>("em_date1").setText("2004-05-01") == 1 && c<EditMask>("em_date2").setText("2004-06-30") == 1);
        for (const auto &[scno, cust] : contracts) {
            c<SingleLineEdit>("sle_custno").setText(cust);
            QTest::mouseClick(&c<CommandButton>("cb_query"), Qt::LeftButton);
            QCOMPARE(column(dw("dw_sconh"), "scno"), QStringList{scno});
        }
        for (const QString &none : QStringList{"%", "C_", "*", "'", "C' OR 'A'='A"}) {
            c<SingleLineEdit>("sle_custno").setText(none);
            QTest::mouseClick(&c<CommandButton>("cb_query"), Qt::LeftButton);
            QVERIFY2(dw("dw_sconh").RowCount() == 0, qPrintable(none));
        }
        QVERIFY2(Trace::captured().isEmpty(), qPrintable(Trace::captured().join('\n')));
    }

    void deletingAQuotedContractDeletesOnlyIt_data()
    {
        wip::test::addEngineRows();
    }

    void deletingAQuotedContractDeletesOnlyIt()
    {
        WIP_TEST_DATABASE(engineDb);
        db = std::make_unique<TestDatabase>(engineDb.engine());
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        for (const QString &scno : kTrickyContracts)
            QVERIFY(wip::test::addContract(*db, scno, "PO"));
        openTarget("w_scno_process");
        QTRY_COMPARE(dw("dw_sconh").RowCount(), int(kTrickyContracts.size()));
        QStringList left = kTrickyContracts;
        for (const QString &victim : {QStringLiteral("KC' OR '1'='1"), QStringLiteral("KC%"), QStringLiteral("KC_1"),
                                      QStringLiteral("KC'")}) {
            QCOMPARE(dw("dw_sconh").ScrollToRow(rowOf(dw("dw_sconh"), "scno", victim)), 1);
            QCOMPARE(scnoProcess()->scno(), victim);
            MessageBoxService::clear();
            MessageBoxService::queueAnswer(1);   // Yes
            // Disabled in this window, but its handler runs when triggered.
            QCOMPARE(c<CommandButton>("cb_sconh_del").TriggerEvent(), 1);
            QCOMPARE(MessageBoxService::shown().size(), 2);
            QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("删除数据成功!"));
            left.removeOne(victim);
            QStringList inTable;
            for (const QVariantList &row : db->rows("select scno from sconh"))
                inTable << row.value(0).toString();
            inTable.sort();
            QStringList wanted = left;
            wanted.sort();
            QCOMPARE(inTable, wanted);
        }
    }

    // The header forms: a number that a pattern would confuse with an existing
    // one is a new contract, and texts with quotes are stored as typed.
    void headerFormsStoreQuotesAndWildcardsAsTyped()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1", "C01"));
        // A clerk who may add and change contracts.
        QVERIFY(db->insert("rights", {{"user_code", "U1"}, {"module", "M05"}, {"function", "H06"}, {"rights", "X08B"}}));
        QVERIFY(db->useAsApplicationDatabase());
        auto openForm = [](const QString &name, const QVariant &parm) {
            Window *w = parm.isValid() ? Window::OpenWithParm(name, parm) : Window::Open(name);
            return QPointer<ContractHeaderForm>(qobject_cast<ContractHeaderForm *>(w));
        };
        QPointer<ContractHeaderForm> form = openForm(QStringLiteral("w_sconh_add"), QVariant());
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->control<SingleLineEdit>("sle_scno").setText("KC%");
        form->control<SingleLineEdit>("sle_custno").setText("O'NEIL%");
        form->control<SingleLineEdit>("sle_custorder").setText("~'_*");
        QVERIFY(form->control<EditMask>("em_issdate").setText("2004-06-01") == 1);
        QVERIFY(form->control<EditMask>("em_deldate").setText("2004-07-01") == 1);
        QTest::mouseClick(&form->control<CommandButton>("cb_save"), Qt::LeftButton);
        QTRY_VERIFY(form.isNull());
        QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("保存数据成功!"));
        QCOMPARE(db->rows("select scno, cust_no, cust_order from sconh order by scno"),
                 (QList<QVariantList>{{"KC%", "O'NEIL%", "~'_*"}, {"KC1", "C01", "PO-1"}}));

        form = openForm(QStringLiteral("w_sconh_edit"), QStringLiteral("KC%"));
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCOMPARE(form->control<SingleLineEdit>("sle_custno").text(), QStringLiteral("O'NEIL%"));
        form->control<SingleLineEdit>("sle_custorder").setText("PO' OR '1'='1");
        QTest::mouseClick(&form->control<CommandButton>("cb_save"), Qt::LeftButton);
        QTRY_VERIFY(form.isNull());
        QCOMPARE(db->rows("select scno, cust_no, cust_order from sconh order by scno"),
                 (QList<QVariantList>{{"KC%", "O'NEIL%", "PO' OR '1'='1"}, {"KC1", "C01", "PO-1"}}));
        if (Window *w = Window::findLatest(QStringLiteral("w_scno_process")))
            w->Close();
    }

    void pathLikeDesignNumbersShowTheDefaultPicture()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        const QByteArray fallback = wip::test::bitmapOfSize(700, Qt::green);
        const QByteArray elsewhere = wip::test::bitmapOfSize(900, Qt::red);
        QVERIFY(wip::test::writeFile(dir->filePath("ZAN.BMP"), fallback));
        // Real bitmaps where each unsafe name would lead if it were taken as a path.
        QVERIFY(QDir().mkpath(pictures + "/a"));
        QVERIFY(QDir().mkpath(dir->filePath("c")));
        DriveMapping::instance().setFolder(QLatin1Char('C'), dir->filePath("c"));
        for (const QString &file : QStringList{pictures + "/a/b.bmp", pictures + "/a\\b.bmp", dir->filePath("x.bmp"),
                                    dir->filePath("abs.bmp"), dir->filePath("c/x.bmp")})
            QVERIFY2(wip::test::writeFile(file, elsewhere), qPrintable(file));
        const QStringList designs{"../x", "a/b", "a\\b", dir->filePath("abs"), "C:\\x", "..\\x", "..", ""};
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        for (const QString &design : designs)
            QVERIFY(wip::test::addLine(*db, "KC1", design, "", ""));
        QVERIFY(db->insert("scond", {{"scno", "KC1"}, {"design_no", QVariant()}, {"quantity", 1}}));

        openTarget("w_scno_process");
        auto *w = scnoProcess();
        QTRY_COMPARE(dw("dw_scond").RowCount(), int(designs.size()) + 1);
        for (int row = 1; row <= dw("dw_scond").RowCount(); ++row) {
            QCOMPARE(dw("dw_scond").ScrollToRow(row), 1);
            const QString design = dw("dw_scond").GetItemString(row, "design_no");
            QCOMPARE(w->designNo(), design);
            QVERIFY2(w->lastPictureBytes().value_or(QByteArray()) == fallback, qPrintable("design " + design));
            QVERIFY(c<Picture>("p_stylepic").visible());
        }
        QVERIFY2(Trace::captured().isEmpty(), qPrintable(Trace::captured().join('\n')));
    }

    void pictureFilesThatAreNoPictureHideThePicture_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray bmp = wip::test::bitmapOfSize(0, Qt::blue);
        QVERIFY(bmp.startsWith("BM") && bmp.size() > 100);
        QTest::newRow("text") << QByteArray("this is no picture\r\n");
        QTest::newRow("bitmap header only") << bmp.left(14);
        QTest::newRow("bitmap cut inside its header") << bmp.left(40);
        QTest::newRow("bitmap header claiming a huge image")
            << QByteArray("BM").append(bmp.mid(2, 16)).append(QByteArray("\xff\xff\xff\x7f\xff\xff\xff\x7f", 8)).append(bmp.mid(26));
        QTest::newRow("noise in the chunk size") << QByteArray(32766, '\x00');
    }

    void pictureFilesThatAreNoPictureHideThePicture()
    {
        QFETCH(QByteArray, content);
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        QVERIFY(wip::test::writeFile(dir->filePath("ZAN.BMP"), wip::test::bitmapOfSize(600, Qt::green)));
        QVERIFY(wip::test::writeFile(pictures + "/GOOD.bmp", wip::test::bitmapOfSize(500, Qt::blue)));
        QVERIFY(wip::test::writeFile(pictures + "/BAD.bmp", content));
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(*db, "KC1", "GOOD", "G", ""));
        QVERIFY(wip::test::addLine(*db, "KC1", "BAD", "B", "broken picture"));
        QVERIFY(db->insert("process", {{"scno", "KC1"}, {"wax_in", 4}}));

        openTarget("w_scno_process");
        auto *w = scnoProcess();
        QTRY_COMPARE(dw("dw_scond").RowCount(), 2);
        QCOMPARE(w->designNo(), QStringLiteral("GOOD"));
        QVERIFY(c<Picture>("p_stylepic").visible() && c<Picture>("p_stylepic").hasPicture());

        // The broken file is read whole; the picture is hidden, not the good one kept,
        // and the rest of the line handler still runs.
        dw("dw_process").Reset();
        QCOMPARE(dw("dw_scond").ScrollToRow(2), 1);
        QCOMPARE(w->designNo(), QStringLiteral("BAD"));
        QCOMPARE(w->lastPictureBytes().value_or(QByteArray("none")), content);
        QVERIFY(!c<Picture>("p_stylepic").visible());
        QVERIFY(!c<Picture>("p_stylepic").hasPicture());
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("B"));
        QCOMPARE(dw("dw_process").RowCount(), 1);

        // Back to a good picture: shown again.
        QCOMPARE(dw("dw_scond").ScrollToRow(1), 1);
        QVERIFY(c<Picture>("p_stylepic").visible() && c<Picture>("p_stylepic").hasPicture());
        QVERIFY(MessageBoxService::shown().isEmpty());
    }

    void brokenDefaultPictureHidesThePicture()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        const QByteArray cut = wip::test::bitmapOfSize(0, Qt::green).left(30);
        QVERIFY(wip::test::writeFile(dir->filePath("ZAN.BMP"), cut));
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(*db, "KC1", "NOFILE", "H", ""));
        openTarget("w_scno_process");
        QTRY_COMPARE(scnoProcess()->designNo(), QStringLiteral("NOFILE"));
        QCOMPARE(scnoProcess()->lastPictureBytes().value_or(QByteArray()), cut);
        QVERIFY(!c<Picture>("p_stylepic").visible());
        QCOMPARE(c<SingleLineEdit>("sle_hallmark").text(), QStringLiteral("H"));
    }

    void shortBlankOrNullRightsGrantNothing_data()
    {
        QTest::addColumn<QVariant>("text");   // the rights column; a null QVariant is NULL
        QTest::addColumn<bool>("all");         // "A" as the last character grants everything
        QTest::newRow("NULL") << QVariant() << false;
        QTest::newRow("empty") << QVariant(QString("")) << false;
        QTest::newRow("blanks") << QVariant(QString("   ")) << false;
        QTest::newRow("B alone") << QVariant(QString("B")) << false;
        QTest::newRow("two characters") << QVariant(QString("2B")) << false;
        QTest::newRow("code without level") << QVariant(QString("X08")) << false;
        QTest::newRow("A then B") << QVariant(QString("AB")) << false;
        QTest::newRow("A alone") << QVariant(QString("A")) << true;
        QTest::newRow("A in blanks") << QVariant(QString("  A  ")) << true;
        QTest::newRow("no row at all") << QVariant(QString("<none>")) << false;
    }

    void shortBlankOrNullRightsGrantNothing()
    {
        QFETCH(QVariant, text);
        QFETCH(bool, all);
        db = std::make_unique<TestDatabase>();
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        if (text.toString() != QLatin1String("<none>"))
            QVERIFY(db->insert("rights", {{"user_code", "U1"}, {"module", "M05"}, {"function", "H06"},
                                          {"rights", text}}));
        // A contract with a line and no progress record: only the rights decide the add button.
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D100", "18K", ""));
        openTarget("w_scno_process");
        auto *w = scnoProcess();
        QVERIFY(w);
        QCOMPARE(c<CommandButton>("cb_scond_add").isEnabled(), all);
        QCOMPARE(c<CommandButton>("cb_printpo").isEnabled(), all);
        QCOMPARE(c<CommandButton>("cb_scond_del").isEnabled(), all);
        QCOMPARE(w->flagAdd() + w->flagEdit() + w->flagDel(), all ? 3 : 0);
        QVERIFY2(Trace::captured().isEmpty(), qPrintable(Trace::captured().join('\n')));
    }
};

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
