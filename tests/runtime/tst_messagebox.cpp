#include "runtime/trace.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/inputpromptdialog.h"
#include "runtime/widgets/inputpromptservice.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/window.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace wip;

namespace {

// The delete confirmation of the sales-contract window, reduced to its boxes.
class w_test_delete : public Window
{
    Q_OBJECT
public:
    CommandButton *cb_sconh_del = nullptr;
    bool deleted = false;

    void build()
    {
        cb_sconh_del = new CommandButton(this, QStringLiteral("cb_sconh_del"), QStringLiteral("删除&3"));
        on(cb_sconh_del, &CommandButton::clicked, this, &w_test_delete::cb_sconh_del_clicked);
    }

    void cb_sconh_del_clicked()
    {
        if (MessageBox(QStringLiteral("确认"), QStringLiteral("真的要删除此行记录吗?按是将永久删除并无法恢复!"),
                       MessageIcon::Question, MessageButtons::YesNo) != 1) {
            MessageBox(QStringLiteral("信息"), QStringLiteral("用户终止操作!"));
            return;
        }
        deleted = true;
        MessageBox(QStringLiteral("恭喜"), QStringLiteral("删除数据成功!"));
    }
};

// Clicks button `number` (1-based) of the next modal box, found by its caption.
void answerNextBox(MessageButtons kind, int number)
{
    const QString caption = MessageBoxService::buttonTexts(kind).value(number - 1);
    QTimer::singleShot(0, [caption] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            if (modal)
                modal->close();
            return;
        }
        const QString dir = qEnvironmentVariable("WIP_TEST_SCREENSHOTS");
        if (!dir.isEmpty())
            box->grab().save(dir + QStringLiteral("/messagebox-%1.png").arg(box->text().size()));
        const auto buttons = box->buttons();
        for (QAbstractButton *b : buttons)
            if (b->text() == caption) {
                b->click();
                return;
            }
        box->close();
    });
}

} // namespace

// Message boxes and input prompts: what the scripted service records and
// answers, and what the real boxes give back when their buttons are clicked.
class TestMessageBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void scriptedBoxRecordsAndAnswers();
    void scriptedBoxWithoutAnswerTakesTheDefaultButton();
    void confirmationFlowInAHandler();
    void realBoxReturnsTheNumberOfTheButtonClicked();
    void inputPromptScripted();
    void inputPromptAcceptsOnlyValuesOfItsType_data();
    void inputPromptAcceptsOnlyValuesOfItsType();
    void inputPromptDialogOffersTheChoices();
};

void TestMessageBox::init()
{
    MessageBoxService::setScripted(true);
    MessageBoxService::clear();
    InputPromptService::setScripted(true);
    InputPromptService::clear();
}

void TestMessageBox::cleanupTestCase()
{
    MessageBoxService::setScripted(false);
    InputPromptService::setScripted(false);
}

void TestMessageBox::scriptedBoxRecordsAndAnswers()
{
    MessageBoxService::queueAnswer(2);
    MessageBoxService::queueAnswer(1);
    QCOMPARE(MessageBox(QStringLiteral("确认"), QStringLiteral("删除?"), MessageIcon::Question,
                        MessageButtons::YesNo),
             2);
    QCOMPARE(MessageBox(QString(), QStringLiteral("找不到记录!")), 1);
    QCOMPARE(MessageBoxService::queuedAnswers(), 0);

    const QList<ShownMessage> shown = MessageBoxService::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).title, QStringLiteral("确认"));
    QCOMPARE(shown.at(0).text, QStringLiteral("删除?"));
    QCOMPARE(shown.at(0).icon, MessageIcon::Question);
    QCOMPARE(shown.at(0).buttons, MessageButtons::YesNo);
    QCOMPARE(shown.at(0).answer, 2);
    QCOMPARE(shown.at(1).title, QString());
    QCOMPARE(shown.at(1).icon, MessageIcon::None);
    QCOMPARE(shown.at(1).buttons, MessageButtons::OK);
}

void TestMessageBox::scriptedBoxWithoutAnswerTakesTheDefaultButton()
{
    QCOMPARE(MessageBox(QStringLiteral("警告"), QStringLiteral("没有数据可删除!")), 1);
    QCOMPARE(MessageBoxService::show(QStringLiteral("t"), QStringLiteral("x"), MessageIcon::None,
                                     MessageButtons::YesNoCancel, 3),
             3);
    // An answer the box cannot give is a fault of the script: the default is taken.
    MessageBoxService::queueAnswer(3);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("answer 3 is not one of its 2 buttons")));
    QCOMPARE(MessageBox(QStringLiteral("确认"), QStringLiteral("x"), MessageIcon::Question,
                        MessageButtons::YesNo),
             1);
    QCOMPARE(MessageBoxService::shown().size(), 3);
    MessageBoxService::clear();
    QVERIFY(MessageBoxService::shown().isEmpty());
}

void TestMessageBox::confirmationFlowInAHandler()
{
    w_test_delete w;
    w.build();

    MessageBoxService::queueAnswer(2);       // No
    QTest::mouseClick(w.cb_sconh_del, Qt::LeftButton);
    QVERIFY(!w.deleted);
    QList<ShownMessage> shown = MessageBoxService::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).title, QStringLiteral("信息"));
    QCOMPARE(shown.at(1).text, QStringLiteral("用户终止操作!"));

    MessageBoxService::clear();
    MessageBoxService::queueAnswer(1);       // Yes
    QTest::mouseClick(w.cb_sconh_del, Qt::LeftButton);
    QVERIFY(w.deleted);
    shown = MessageBoxService::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).text, QStringLiteral("真的要删除此行记录吗?按是将永久删除并无法恢复!"));
    QCOMPARE(shown.at(1).title, QStringLiteral("恭喜"));
}

void TestMessageBox::realBoxReturnsTheNumberOfTheButtonClicked()
{
    MessageBoxService::setScripted(false);
    answerNextBox(MessageButtons::YesNo, 2);
    QCOMPARE(MessageBox(QStringLiteral("确认"), QStringLiteral("真的要删除此行记录吗?"), MessageIcon::Question,
                        MessageButtons::YesNo),
             2);
    answerNextBox(MessageButtons::YesNo, 1);
    QCOMPARE(MessageBox(QStringLiteral("确认"), QStringLiteral("x"), MessageIcon::Question,
                        MessageButtons::YesNo),
             1);
    answerNextBox(MessageButtons::AbortRetryIgnore, 3);
    QCOMPARE(MessageBox(QStringLiteral("t"), QStringLiteral("x"), MessageIcon::Exclamation,
                        MessageButtons::AbortRetryIgnore),
             3);
    answerNextBox(MessageButtons::OK, 1);
    QCOMPARE(MessageBox(QStringLiteral("信息"), QStringLiteral("删除数据成功!")), 1);
    QVERIFY(MessageBoxService::shown().isEmpty());   // real boxes are not recorded
}

void TestMessageBox::inputPromptScripted()
{
    InputPromptService::queueAnswer(QStringLiteral("1"));
    InputPromptService::queueAnswer(std::nullopt);
    const QStringList reasons = {QStringLiteral("1-无石Stone delay"), QStringLiteral("2-未齐石stone pending")};
    QCOMPARE(InputPromptService::askValue(QStringLiteral("d_w_scprogress2"), QStringLiteral("remark"),
                                          QStringLiteral("string"), reasons, reasons.at(1)),
             std::optional<QString>(QStringLiteral("1")));
    QCOMPARE(InputPromptService::askValue(QStringLiteral("t"), QStringLiteral("x"), QStringLiteral("date")),
             std::optional<QString>());
    // Nothing queued: cancelled.
    QVERIFY(!InputPromptService::asker()(QStringLiteral("t"), QStringLiteral("y"), QStringLiteral("number"), {}));

    const QList<AskedValue> asked = InputPromptService::asked();
    QCOMPARE(asked.size(), 3);
    QCOMPARE(asked.at(0).title, QStringLiteral("d_w_scprogress2"));
    QCOMPARE(asked.at(0).label, QStringLiteral("remark"));
    QCOMPARE(asked.at(0).typeName, QStringLiteral("string"));
    QCOMPARE(asked.at(0).choices, reasons);
    QCOMPARE(asked.at(0).current, reasons.at(1));
    QCOMPARE(asked.at(2).label, QStringLiteral("y"));
}

void TestMessageBox::inputPromptAcceptsOnlyValuesOfItsType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("string empty") << "string" << "" << true;
    QTest::newRow("string any") << "string" << "客户'" << true;
    QTest::newRow("number") << "number" << "12.5" << true;
    QTest::newRow("number negative") << "number" << " -3 " << true;
    QTest::newRow("number text") << "number" << "12a" << false;
    QTest::newRow("number empty") << "number" << "" << false;
    QTest::newRow("date") << "date" << "2004-02-29" << true;
    QTest::newRow("date not leap") << "date" << "2003-02-29" << false;
    QTest::newRow("date 30 feb") << "date" << "2004-02-30" << false;
    QTest::newRow("date slashes") << "date" << "2004/02/01" << true;   // the values module's forms
    QTest::newRow("date with a time") << "date" << "2004-02-01 08:30" << false;
    QTest::newRow("datetime") << "datetime" << "2004-02-01 08:30:00" << true;
    QTest::newRow("datetime date only") << "datetime" << "2004-02-01" << true;
    QTest::newRow("datetime bad hour") << "datetime" << "2004-02-01 25:00:00" << false;
    QTest::newRow("type any case") << "Date" << "2004-02-01" << true;
}

void TestMessageBox::inputPromptAcceptsOnlyValuesOfItsType()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(InputPromptService::isValidValue(text, type), valid);
}

void TestMessageBox::inputPromptDialogOffersTheChoices()
{
    InputPromptDialog dialog(QStringLiteral("d_w_scprogress2"), QStringLiteral("remark"), QStringLiteral("number"),
                             {QStringLiteral("1"), QStringLiteral("2")});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *combo = dialog.findChild<QComboBox *>();
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(combo && buttons);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(dialog.value(), QString());
    QPushButton *ok = nullptr;
    for (QAbstractButton *b : buttons->buttons())
        if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
            ok = qobject_cast<QPushButton *>(b);
    QVERIFY(ok);
    QVERIFY(!ok->isEnabled());               // nothing typed is no number
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("x"));
    QVERIFY(!ok->isEnabled());
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("42"));
    QVERIFY(ok->isEnabled());
    QCOMPARE(dialog.value(), QStringLiteral("42"));
    combo->setCurrentIndex(1);
    QCOMPARE(dialog.value(), QStringLiteral("2"));
    ok->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    // Asked again with the last answer: it is in the box, ready to confirm.
    InputPromptDialog again(QStringLiteral("t"), QStringLiteral("remark"), QStringLiteral("number"),
                            {QStringLiteral("1"), QStringLiteral("2")}, nullptr, QStringLiteral("2"));
    QCOMPARE(again.value(), QStringLiteral("2"));
    QCOMPARE(again.findChild<QComboBox *>()->currentIndex(), 1);
    InputPromptDialog typed(QStringLiteral("t"), QStringLiteral("remark"), QStringLiteral("number"),
                            {QStringLiteral("1")}, nullptr, QStringLiteral("7"));
    QCOMPARE(typed.value(), QStringLiteral("7"));
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
