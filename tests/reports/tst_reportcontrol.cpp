#include "reports/datastore.h"
#include "reports/widgets/argumentdialog.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/inputpromptservice.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/widgethandles.h"
#include "runtime/widgets/window.h"
#include "testdatabase.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

using namespace wip;
using namespace wip::reports;

namespace {

Column col(const QString &name, ValueType type, const QStringList &caption, const QString &format = QString())
{
    Column c;
    c.name = name;
    c.type = type;
    c.caption = caption;
    c.format = format;
    c.align = type == ValueType::Number ? Align::Right : Align::Left;
    return c;
}

// The daily output list: department, two bilingual quantity columns.
std::shared_ptr<Definition> dailyList()
{
    auto def = std::make_shared<Definition>();
    def->name = "d_test_daily";
    def->columns = {col("dep_c", ValueType::String, {"工序"}),
                    col("today_fin", ValueType::Number, {"本日完成PCS", "Today Finish"}, "####.#"),
                    col("wip", ValueType::Number, {"在做", "WIP PCS"})};
    TextObject title;
    title.name = "t_8";
    title.text = "在做资料 PROCEDURE";
    def->texts = {title};
    return def;
}

// The progress record as a form: received, transferred out and in work per department.
std::shared_ptr<Definition> progressForm()
{
    auto def = std::make_shared<Definition>();
    def->name = "d_test_process";
    def->layout = LayoutKind::Form;
    const QString q = "#####.##;-#####.##; ";
    def->columns = {col("wax_in", ValueType::Number, {}, q), col("wax_out", ValueType::Number, {}, q),
                    col("casting_in", ValueType::Number, {}, q), col("casting_out", ValueType::Number, {}, q),
                    col("bz", ValueType::String, {"Remark"})};
    ComputedField wip;
    wip.name = "c_wax";
    wip.expression = " wax_in  -  wax_out ";
    wip.format = q;
    def->computed = {wip};
    def->form.headings = {"", "接收", "转出", "在做"};
    def->form.lines = {{"唧蜡", {"wax_in", "wax_out", "c_wax"}}, {"倒模", {"casting_in", "casting_out", ""}}};
    def->form.extraFields = {"bz"};
    return def;
}

void fill(ReportControl &dw, int rows)
{
    for (int i = 1; i <= rows; ++i) {
        const int r = dw.InsertRow(0);
        dw.SetItem(r, "dep_c", QStringLiteral("%1-倒模").arg(i, 2, 10, QLatin1Char('0')));
        dw.SetItem(r, "today_fin", i * 1.5);
        dw.SetItem(r, "wip", i);
    }
}

int inkPixels(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 160)
                ++n;
        }
    }
    return n;
}

struct FocusChange
{
    int current;
    int next;
    int rowDuringSignal;
};

} // namespace

class TestReportControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chineseCaptionsAndRowsArePainted();
    void rowfocuschangingComesBeforeEveryChange();
    void selectRowHighlightsAndSetItemRepaints();
    void formFieldEditEmitsItemchangedAndMovesOn();
    void enterKeyHandlerCanTakeOverNavigation();
    void refusedTextKeepsTheField();
    void hundredThousandRowsOpenAndScroll();
    void missingArgumentsAreAskedByNameAndType();
    void argumentDialogOffersTheRightField();
    void argumentDialogRefusesADateThatCannotBe_data();
    void argumentDialogRefusesADateThatCannotBe();
    void noteStaysWithinTheView_data();
    void noteStaysWithinTheView();
    void windowOpensWideEnoughForItsReport_data();
    void windowOpensWideEnoughForItsReport();
};

void TestReportControl::chineseCaptionsAndRowsArePainted()
{
    ReportControl dw(nullptr, "dw_wip_detail");
    QCOMPARE(dw.objectName(), QStringLiteral("dw_wip_detail"));
    QVERIFY(Window::isRegistered("w_preview"));   // its print button's preview is there
    dw.store().setDefinition(dailyList());
    fill(dw, 12);
    dw.resize(500, 360);
    dw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dw));
    const QImage shot = dw.grab().toImage();
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
        shot.save(QDir::temp().filePath("reportcontrol.png"));

    const QRect row1 = dw.rowRectInViewport(1);
    QVERIFY(!row1.isEmpty());
    const QPoint offset = dw.viewport()->mapTo(&dw, QPoint(0, 0));
    // The heading above the first row (title and two caption lines) carries ink...
    const QRect heading(offset.x(), offset.y(), dw.viewport()->width(), row1.top());
    QVERIFY2(inkPixels(shot, heading) > 400, qPrintable(QString::number(inkPixels(shot, heading))));
    // ... and so does each row, while the area below the last row stays blank.
    QVERIFY(inkPixels(shot, row1.translated(offset)) > 50);
    const QRect last = dw.rowRectInViewport(12).translated(offset);
    QVERIFY(inkPixels(shot, last) > 50);
    const QRect below(offset.x(), last.bottom() + 40, dw.viewport()->width(), 20);
    QCOMPARE(inkPixels(shot, below.intersected(shot.rect())), 0);
}

void TestReportControl::rowfocuschangingComesBeforeEveryChange()
{
    ReportControl dw(nullptr, "dw_sconh");
    dw.store().setDefinition(dailyList());
    fill(dw, 60);
    dw.resize(500, 300);
    dw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dw));
    QCOMPARE(dw.GetRow(), 1);

    QVector<FocusChange> changes;
    connect(&dw, &ReportControl::rowfocuschanging, &dw,
            [&](int current, int next) { changes.push_back({current, next, dw.GetRow()}); });
    auto expectLast = [&](int current, int next) {
        QVERIFY(!changes.isEmpty());
        QCOMPARE(changes.last().current, current);
        QCOMPARE(changes.last().next, next);
        QCOMPARE(changes.last().rowDuringSignal, current);   // not changed yet
        QCOMPARE(dw.GetRow(), next);
    };

    QTest::mouseClick(dw.viewport(), Qt::LeftButton, {}, dw.rowRectInViewport(3).center());
    expectLast(1, 3);
    QTest::keyClick(&dw, Qt::Key_Down);
    expectLast(3, 4);
    QTest::keyClick(&dw, Qt::Key_Up);
    expectLast(4, 3);
    QTest::keyClick(&dw, Qt::Key_End);
    expectLast(3, 60);
    QVERIFY(dw.viewport()->rect().contains(dw.rowRectInViewport(60)));
    QTest::keyClick(&dw, Qt::Key_Home);
    expectLast(60, 1);
    QTest::keyClick(&dw, Qt::Key_PageDown);
    QVERIFY(changes.last().next > 5);
    QVERIFY(dw.viewport()->rect().contains(dw.rowRectInViewport(dw.GetRow())));
    const int beforeScroll = dw.GetRow();
    QCOMPARE(dw.ScrollToRow(45), 1);
    expectLast(beforeScroll, 45);
    QVERIFY(dw.viewport()->rect().contains(dw.rowRectInViewport(45)));

    // Clicking the current row again, or a key at the end, changes nothing.
    const int count = changes.size();
    QTest::mouseClick(dw.viewport(), Qt::LeftButton, {}, dw.rowRectInViewport(45).center());
    QTest::keyClick(&dw, Qt::Key_End);
    QTest::keyClick(&dw, Qt::Key_Down);
    QCOMPARE(changes.size(), count + 1);
    QCOMPARE(dw.GetRow(), 60);
}

void TestReportControl::selectRowHighlightsAndSetItemRepaints()
{
    ReportControl dw(nullptr, "dw_1");
    dw.store().setDefinition(dailyList());
    fill(dw, 5);
    dw.resize(500, 300);
    dw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dw));
    const QPoint offset = dw.viewport()->mapTo(&dw, QPoint(0, 0));
    const QRect row2 = dw.rowRectInViewport(2).translated(offset);

    auto darkBlue = [&](const QImage &img) {
        int n = 0;
        for (int y = row2.top() + 2; y < row2.bottom() - 1; ++y) {
            for (int x = row2.left() + 2; x < row2.right() - 1; ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.blue() > 120 && c.red() < 60)
                    ++n;
            }
        }
        return n;
    };
    QCOMPARE(darkBlue(dw.grab().toImage()), 0);
    dw.SelectRow(2, true);
    const int area = (row2.width() - 3) * (row2.height() - 3);
    QVERIFY(darkBlue(dw.grab().toImage()) > area / 2);
    dw.SelectRow(2, false);
    QCOMPARE(darkBlue(dw.grab().toImage()), 0);

    // SetItem asks for a repaint of the shown rows by itself.
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    QCoreApplication::processEvents();
    dw.viewport()->installEventFilter(&counter);
    const QRect row4 = dw.rowRectInViewport(4).translated(offset);
    const QImage before = dw.grab(row4).toImage();
    counter.paints = 0;
    dw.SetItem(4, "wip", 888);
    QTRY_VERIFY(counter.paints > 0);
    const QImage after = dw.grab(row4).toImage();
    QVERIFY(before != after);
    dw.viewport()->removeEventFilter(&counter);
}

void TestReportControl::formFieldEditEmitsItemchangedAndMovesOn()
{
    QWidget window;
    auto *dw = new ReportControl(&window, "dw_process");
    dw->setGeometry(0, 0, 500, 300);
    dw->store().setDefinition(progressForm());
    const int row = dw->InsertRow(0);
    dw->SetItem(row, "wax_in", 10);
    window.resize(520, 320);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    struct Change
    {
        int row;
        QString column;
        QString data;
        double before;   // the column's value when the handler starts
        double accepted; // after the handler's AcceptText
    };
    QVector<Change> changes;
    connect(dw, &ReportControl::itemchanged, dw, [&](int r, const QString &column, const QString &data) {
        const bool number = column != "bz";
        Change c{r, column, data, number ? dw->GetItemNumber(r, column) : 0, 0};
        dw->AcceptText();
        c.accepted = number ? dw->GetItemNumber(r, column) : 0;
        // The handler copies the transfer on, as the progress record does.
        if (column == "wax_out")
            dw->SetItem(r, "casting_in", dw->GetItemNumber(r, "wax_out"));
        changes.push_back(c);
    });

    QTest::mouseClick(dw->viewport(), Qt::LeftButton, {}, dw->fieldRectInViewport(1, "wax_out").center());
    QVERIFY(dw->isEditing());
    QCOMPARE(dw->editedColumn(), QStringLiteral("wax_out"));
    QVERIFY(dw->editor()->hasFocus());
    QTest::keyClicks(dw->editor(), "4");
    QTest::keyClick(dw->editor(), Qt::Key_Tab);

    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes[0].row, 1);
    QCOMPARE(changes[0].column, QStringLiteral("wax_out"));
    QCOMPARE(changes[0].data, QStringLiteral("4"));
    QCOMPARE(changes[0].before, 0.0);     // not in the row before AcceptText
    QCOMPARE(changes[0].accepted, 4.0);
    QCOMPARE(dw->GetItemNumber(1, "wax_out"), 4.0);
    QCOMPARE(dw->GetItemNumber(1, "c_wax"), 6.0);
    // Tab went on to the next editable field, which shows the value the handler set.
    QCOMPARE(dw->editedColumn(), QStringLiteral("casting_in"));
    QCOMPARE(dw->editor()->text(), QStringLiteral("4"));
    if (qEnvironmentVariableIsSet("WIP_TEST_KEEP"))
        window.grab().save(QDir::temp().filePath("reportcontrol-form.png"));

    // Enter moves on as Tab does; an unchanged field emits nothing.
    QTest::keyClick(dw->editor(), Qt::Key_Return);
    QCOMPARE(dw->editedColumn(), QStringLiteral("casting_out"));
    QCOMPARE(changes.size(), 1);
    // Shift+Tab goes back; Shift+Enter stays but accepts the text.
    QTest::keyClick(dw->editor(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(dw->editedColumn(), QStringLiteral("casting_in"));
    dw->editor()->setText("7");
    QTest::keyClick(dw->editor(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(dw->editedColumn(), QStringLiteral("casting_in"));
    QCOMPARE(changes.size(), 2);
    QCOMPARE(dw->GetItemNumber(1, "casting_in"), 7.0);

    // AcceptText from outside (a button's handler) accepts the pending text once.
    QTest::keyClick(dw->editor(), Qt::Key_Tab);
    QTest::keyClick(dw->editor(), Qt::Key_Tab);
    QCOMPARE(dw->editedColumn(), QStringLiteral("bz"));
    dw->editor()->setText(QStringLiteral("6-QOR报废QC Rej"));
    QCOMPARE(dw->AcceptText(), 1);
    QCOMPARE(changes.size(), 3);
    QCOMPARE(dw->GetItemString(1, "bz"), QStringLiteral("6-QOR报废QC Rej"));
    QCOMPARE(dw->AcceptText(), 1);
    QCOMPARE(changes.size(), 3);
    // Tab after the last field wraps to the first field of the (only) row.
    QTest::keyClick(dw->editor(), Qt::Key_Tab);
    QCOMPARE(dw->editedColumn(), QStringLiteral("wax_in"));
}

void TestReportControl::enterKeyHandlerCanTakeOverNavigation()
{
    QWidget window;
    auto *dw = new ReportControl(&window, "dw_process");
    dw->setGeometry(0, 0, 500, 300);
    dw->store().setDefinition(progressForm());
    dw->InsertRow(0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The progress grid's key handler: plain Enter becomes a Tab sent to the control.
    QVector<std::pair<int, int>> keys;
    connect(dw, &ReportControl::key, dw, [&](int key, int flags) {
        keys.push_back({key, flags});
        if (key == HostKey::Enter && flags == KeyFlags::None) {
            Send(Handle(dw), HostMessage::KeyDown, HostKey::Tab, 9);
            Keyboard::consumeKey();
        }
    });
    QTest::mouseClick(dw->viewport(), Qt::LeftButton, {}, dw->fieldRectInViewport(1, "wax_in").center());
    QCOMPARE(dw->editedColumn(), QStringLiteral("wax_in"));
    QTest::keyClick(dw->editor(), Qt::Key_Return);
    QCOMPARE(keys.size(), 1);
    QCOMPARE(keys[0], std::make_pair(HostKey::Enter, KeyFlags::None));
    QCOMPARE(dw->editedColumn(), QStringLiteral("wax_out"));   // one field on, not two
    QTest::keyClick(dw->editor(), Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(keys.last(), std::make_pair(HostKey::Enter, KeyFlags::Ctrl));
    QCOMPARE(dw->editedColumn(), QStringLiteral("wax_out"));
}

void TestReportControl::refusedTextKeepsTheField()
{
    QWidget window;
    auto *dw = new ReportControl(&window, "dw_process");
    dw->setGeometry(0, 0, 500, 300);
    dw->store().setDefinition(progressForm());
    dw->InsertRow(0);
    dw->SetItem(1, "wax_in", 3);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int changes = 0;
    connect(dw, &ReportControl::itemchanged, dw, [&] { ++changes; });

    QTest::mouseClick(dw->viewport(), Qt::LeftButton, {}, dw->fieldRectInViewport(1, "wax_in").center());
    dw->editor()->setText("abc");
    QTest::keyClick(dw->editor(), Qt::Key_Tab);
    QCOMPARE(changes, 0);
    QCOMPARE(dw->editedColumn(), QStringLiteral("wax_in"));
    QCOMPARE(dw->GetItemNumber(1, "wax_in"), 3.0);
    QCOMPARE(dw->AcceptText(), -1);
    // Retrieve-like resets drop the editor without emitting anything.
    dw->Reset();
    QVERIFY(!dw->isEditing());
    QCOMPARE(changes, 0);
}

void TestReportControl::hundredThousandRowsOpenAndScroll()
{
    ReportControl dw(nullptr, "dw_big");
    dw.store().setDefinition(dailyList());
    fill(dw, 100000);
    dw.resize(600, 400);
    dw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dw));

    // How fast lives in bench/bench_render; here, that every screen is reached.
    dw.grab();                                       // the first screen
    QTest::keyClick(&dw, Qt::Key_End);              // to the last row and paint it
    const QImage end = dw.grab().toImage();
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(&dw, Qt::Key_PageUp);
    dw.grab();
    QCOMPARE(dw.GetRow() <= 100000 - 20, true);

    QCOMPARE(dw.ScrollToRow(100000), 1);
    const QRect last = dw.rowRectInViewport(100000);
    QVERIFY(dw.viewport()->rect().contains(last));
    QVERIFY(dw.verticalScrollBar()->value() > dw.verticalScrollBar()->maximum() - last.height());
    const QPoint offset = dw.viewport()->mapTo(&dw, QPoint(0, 0));
    QVERIFY(inkPixels(end, last.translated(offset)) > 50);
}

void TestReportControl::missingArgumentsAreAskedByNameAndType()
{
    test::TestDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY(db.insert("jcjl_mattran", {{"mattran_no", "T1"}, {"scno", "K1"}, {"mcode", "G18"},
                                       {"fcode", "04-执模收发"}, {"tcode", "05-镶石收发"}, {"zmcode", "原料WIP"},
                                       {"ldate", "2004-05-10 00:00:00"}, {"qtycal", 2}, {"qtyref", 1.5}}));
    installArgumentPrompter();
    InputPromptService::setScripted(true);
    InputPromptService::clear();

    ReportControl dw(nullptr, "dw_wip_detail");
    dw.setDataObject("d_wip_protran");
    dw.SetTransObject(db.tr());
    InputPromptService::queueAnswer(QStringLiteral("04-执模收发"));
    InputPromptService::queueAnswer(QStringLiteral("2004-05-01"));
    InputPromptService::queueAnswer(QStringLiteral("2004-05-31"));
    QCOMPARE(dw.Retrieve(), 1);
    QCOMPARE(dw.GetItemString(1, "mattran_no"), QStringLiteral("T1"));
    const QList<AskedValue> asked = InputPromptService::asked();
    QCOMPARE(asked.size(), 3);
    QVERIFY(asked[0].title.contains("d_wip_protran"));
    QVERIFY(asked[0].label.contains("pcode"));
    QCOMPARE(asked[0].typeName, QStringLiteral("string"));
    QVERIFY(asked[1].label.contains("stdate"));
    QCOMPARE(asked[1].typeName, QStringLiteral("date"));
    QCOMPARE(asked[2].typeName, QStringLiteral("date"));

    // Given arguments are not asked again; the values given before are offered.
    InputPromptService::clear();
    InputPromptService::queueAnswer(QStringLiteral("2004-05-01"));
    InputPromptService::queueAnswer(QStringLiteral("2004-05-09"));
    QCOMPARE(dw.Retrieve({QStringLiteral("04-执模收发")}), 0);
    QCOMPARE(InputPromptService::asked().size(), 2);
    QCOMPARE(InputPromptService::asked()[0].choices.value(0), QStringLiteral("2004-05-01"));

    // Cancel, or an answer that is no date, ends the retrieval with -1.
    InputPromptService::clear();
    InputPromptService::queueAnswer(std::nullopt);
    QCOMPARE(dw.Retrieve(), -1);
    InputPromptService::clear();
    InputPromptService::queueAnswer(QStringLiteral("04-执模收发"));
    InputPromptService::queueAnswer(QStringLiteral("2004-13-45"));
    QCOMPARE(dw.Retrieve(), -1);
    InputPromptService::setScripted(false);
}

void TestReportControl::argumentDialogOffersTheRightField()
{
    Definition def;
    def.name = "d_test";
    Argument date{"stime", ArgumentType::Date, {}, {}, {}};
    ArgumentDialog dateDialog(date, def, {"2004-05-01"});
    QVERIFY(dateDialog.findChild<EditMask *>());
    QVERIFY(!dateDialog.findChild<QComboBox *>());
    QCOMPARE(dateDialog.value(), QStringLiteral("2004-05-01"));

    Argument number{"qty", ArgumentType::Number, {}, {}, {}};
    ArgumentDialog numberDialog(number, def, {});
    auto *combo = numberDialog.findChild<QComboBox *>();
    QVERIFY(combo && combo->isEditable());
    QPushButton *ok = numberDialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    combo->setEditText("abc");
    QVERIFY(!ok->isEnabled());
    combo->setEditText("12.5");
    QVERIFY(ok->isEnabled());

    QCOMPARE(ArgumentDialog::toValue(" K1, K2 ,K3", ArgumentType::StringList)->toStringList(),
             (QStringList{"K1", "K2", "K3"}));
    QVERIFY(!ArgumentDialog::toValue("1, x", ArgumentType::NumberList));
    QCOMPARE(ArgumentDialog::toValue("2004-05-31", ArgumentType::DateTime)->toDateTime(),
             QDateTime(QDate(2004, 5, 31), QTime(0, 0)));
}

void TestReportControl::argumentDialogRefusesADateThatCannotBe_data()
{
    QTest::addColumn<bool>("withTime");
    QTest::addColumn<QString>("typed");   // digits typed over the field from its start
    QTest::addColumn<QString>("value");   // the answer Enter gives ("" none)
    QTest::addColumn<QString>("why");     // part of the line that says why
    QTest::newRow("a day") << false << "20040229" << "2004-02-29" << "";
    QTest::newRow("30 February") << false << "20040230" << "" << "2004 年 2 月只有 29 天";
    QTest::newRow("month 13") << false << "20041301" << "" << "没有 13 月";
    QTest::newRow("a moment") << true << "20040531143000" << "2004-05-31 14:30:00" << "";
    QTest::newRow("31 April at noon") << true << "20040431120000" << "" << "2004 年 4 月只有 30 天";
    QTest::newRow("hour 25") << true << "20040501250000" << "" << "25:00:00 不是有效时间";
}

void TestReportControl::argumentDialogRefusesADateThatCannotBe()
{
    QFETCH(bool, withTime);
    QFETCH(QString, typed);
    QFETCH(QString, value);
    QFETCH(QString, why);
    Definition def;
    def.name = "d_test";
    const Argument argument{"stime", withTime ? ArgumentType::DateTime : ArgumentType::Date, {}, {}, {}};
    ArgumentDialog dialog(argument, def, {"2004-05-01"});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *field = dialog.findChild<QLineEdit *>("em_argument");
    QVERIFY(field);
    field->setFocus();
    field->setCursorPosition(0);
    QTest::keyClicks(field, typed);
    QPushButton *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    auto *problem = dialog.findChild<QLabel *>("st_problem");
    QCOMPARE(ok->isEnabled(), !value.isEmpty());
    QCOMPARE(problem->isVisible(), !why.isEmpty());
    QVERIFY2(problem->text().contains(why), qPrintable(problem->text()));
    QCOMPARE(dialog.problem(), problem->text());

    // Enter answers with the date typed, or not at all: never with another day.
    QTest::keyClick(field, Qt::Key_Return);
    if (value.isEmpty()) {
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!ArgumentDialog::toValue(dialog.value(), argument.type));
    } else {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.value(), value);
    }
}

void TestReportControl::noteStaysWithinTheView_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("scrolled");   // the report scrolled sideways to its right end
    QTest::newRow("narrow") << 200 << false;
    QTest::newRow("narrow, scrolled") << 200 << true;
    QTest::newRow("wide") << 900 << false;
}

// A report wider than its view finds nothing: the note why is wrapped to the view
// and painted in it, wherever the report is scrolled.
void TestReportControl::noteStaysWithinTheView()
{
    QFETCH(int, width);
    QFETCH(bool, scrolled);
    auto def = dailyList();
    for (int i = 1; i <= 8; ++i)
        def->columns.append(col(QStringLiteral("extra%1").arg(i), ValueType::String, {"客户订单编号 Customer order"}));
    ReportControl dw(nullptr, "dw_sconh");
    dw.store().setDefinition(def);
    dw.resize(width, 300);
    dw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dw));
    dw.setNote(QStringLiteral("没有找到合约: 客户 Z 没有货期在 2004-05-01 至 2004-05-31 之间的未出货合约。"));
    if (scrolled)
        dw.horizontalScrollBar()->setValue(dw.horizontalScrollBar()->maximum());
    QVERIFY(dw.horizontalScrollBar()->maximum() > 0);

    const QRect note = dw.noteRect();
    QVERIFY(!note.isEmpty());
    QVERIFY2(dw.viewport()->rect().contains(note), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5")
                                                                  .arg(note.x()).arg(note.y()).arg(note.width())
                                                                  .arg(note.height()).arg(dw.viewport()->width())));
    const QImage shot = dw.viewport()->grab().toImage();
    QVERIFY(inkPixels(shot, note) > 100);
    // Rows drop the note.
    fill(dw, 1);
    QVERIFY(dw.noteRect().isEmpty());
}

QTEST_MAIN(TestReportControl)
#include "tst_reportcontrol.moc"

void TestReportControl::windowOpensWideEnoughForItsReport_data()
{
    // A report of three narrow columns fits any screen; one of twenty-eight does not.
    const QString narrow = QStringLiteral("d_w_scprogress_min"), wide = QStringLiteral("d_w_scprogress7");
    QTest::addColumn<QString>("before");       // the report set before the window shows
    QTest::addColumn<QString>("after");        // the report that comes once it is shown
    QTest::addColumn<bool>("keptPlace");       // a narrow place kept from an earlier run
    QTest::addColumn<int>("clerkWidth");       // the clerk narrows the window before "after"
    QTest::addColumn<QString>("expected");     // "report": every column in view; "screen"; "clerk"
    QTest::newRow("narrow report") << narrow << QString() << false << 0 << "report";
    QTest::newRow("wide report") << wide << QString() << false << 0 << "screen";
    QTest::newRow("a wider report comes") << narrow << wide << false << 0 << "screen";
    QTest::newRow("report comes after opening") << QString() << narrow << false << 0 << "report";
    QTest::newRow("kept place, report wider") << QString() << narrow << true << 0 << "report";
    QTest::newRow("narrowed by the clerk") << narrow << narrow << false << 260 << "clerk";
}

// The window fits its report across when the screen has room, and is as wide as
// the screen otherwise; a place kept from an earlier run or a width the clerk
// chose is kept unless a wider report comes.
void TestReportControl::windowOpensWideEnoughForItsReport()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, keptPlace);
    QFETCH(int, clerkWidth);
    QFETCH(QString, expected);

    QByteArray kept;
    QPoint keptPos;
    if (keptPlace) {
        QDialog earlier;
        earlier.setGeometry(40, 60, 240, 200);
        earlier.show();
        QVERIFY(QTest::qWaitForWindowExposed(&earlier));
        kept = earlier.saveGeometry();
        keptPos = earlier.pos();
    }
    Window::setGeometryStore({[&](const QString &) { return kept; }, {}});
    auto forget = qScopeGuard([] { Window::setGeometryStore({}); });

    Window w;
    auto *layout = new QVBoxLayout(&w);
    layout->addWidget(new QPushButton(QStringLiteral("查询")));
    auto *dw = new ReportControl(&w, "dw_list");
    layout->addWidget(dw);
    w.resize(240, 200);
    if (!before.isEmpty())
        dw->setDataObject(before);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (keptPlace)
        QCOMPARE(w.pos(), keptPos);
    if (clerkWidth)
        w.resize(clerkWidth, w.height());
    if (!after.isEmpty())
        dw->setDataObject(after);
    QApplication::processEvents();

    const QRect screen = w.screen()->availableGeometry();
    QVERIFY2(screen.contains(w.frameGeometry()), qPrintable(QStringLiteral("%1 x %2").arg(w.x()).arg(w.width())));
    if (expected == QLatin1String("report")) {
        QTRY_COMPARE(dw->horizontalScrollBar()->maximum(), 0);
        QVERIFY(w.width() < screen.width() - 40);   // not the whole screen for three columns
    } else if (expected == QLatin1String("screen")) {
        QVERIFY(dw->horizontalScrollBar()->maximum() > 0);
        QVERIFY2(w.width() >= screen.width() - 40, qPrintable(QString::number(w.width())));
    } else {
        QCOMPARE(w.width(), clerkWidth);
    }
}
