// Modify texts: the title changes the windows make ("t_head.text='...'") and the
// malformed texts that must change nothing.

#include "reports/modifytext.h"

#include <QFile>
#include <QTest>

using namespace wip::reports;

namespace {

// "object.attribute=value" per assignment, joined by " | ", or "ERROR@position".
QString describe(const ModifyText &modify)
{
    if (!modify.isValid())
        return QStringLiteral("ERROR@%1").arg(modify.errorPosition());
    QStringList parts;
    for (const ModifyText::Assignment &a : modify.assignments())
        parts.append(a.object + u'.' + a.attribute + u'=' + a.value);
    return parts.join(QStringLiteral(" | "));
}

} // namespace

class TestModifyText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parses_data();
    void parses();
    void rejectsInputsOfTheRejectFile();
    void remembersQuotingAndPositions();
};

void TestModifyText::parses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *name, const char *text, const char *expected) {
        QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(expected);
    };
    row("title", "t_head.text='04-执模WIP报表'", "t_head.text=04-执模WIP报表");
    row("two, mixed quotes", "t_title.text='a' t_time.text=\"b\"", "t_title.text=a | t_time.text=b");
    row("any case", "T_Head.Text='Mixed Case Kept'", "t_head.text=Mixed Case Kept");
    row("period", "t_time.text='2004-05-01 至 2004-05-31'", "t_time.text=2004-05-01 至 2004-05-31");
    row("heading of order reports", "t_head.text='2004-05-01----2004-05-31损耗报表'",
        "t_head.text=2004-05-01----2004-05-31损耗报表");
    row("english title", "t_title_en.text='Filing Stock Material Transfer Report'",
        "t_title_en.text=Filing Stock Material Transfer Report");
    row("escaped quote", "t_head.text='it~'s'", "t_head.text=it's");
    row("escaped tilde", "t_head.text='a~~b'", "t_head.text=a~b");
    row("double quote inside single", "t_head.text='say \"hi\"'", "t_head.text=say \"hi\"");
    row("newline escape", "t_head.text='a~nb'", "t_head.text=a\nb");
    row("empty value", "t_head.text=''", "t_head.text=");
    row("blanks around =", "t_head.text = 'spaced'", "t_head.text=spaced");
    row("surrounding blanks", "  t_a.text='x'   ", "t_a.text=x");
    row("tabs and newlines between", "t_a.text='x'\t\nt_b.text='y'", "t_a.text=x | t_b.text=y");
    row("visible", "t_total.visible=0", "t_total.visible=0");
    row("color and visible", "t_total.color='255' t_total.visible=1",
        "t_total.color=255 | t_total.visible=1");
    row("unquoted word", "t_total.color=16777215", "t_total.color=16777215");
    row("dotted attribute", "t_head.font.face='Arial'", "t_head.font.face=Arial");
    row("nothing", "", "");
    row("only blanks", "   ", "");
    // malformed: the position of the fault
    row("unterminated", "t_head.text='abc", "ERROR@13");
    row("missing =", "t_head.text", "ERROR@12");
    row("missing = before value", "t_head.text 'a'", "ERROR@13");
    row("missing .", "t_headtext='a'", "ERROR@11");
    row("empty object", ".text='a'", "ERROR@1");
    row("empty attribute", "t_head.='a'", "ERROR@8");
    row("missing value", "t_head.text=", "ERROR@13");
    row("no blank between", "t_head.text='a't_x.text='b'", "ERROR@16");
    row("quote in word", "t_head.text=a'b", "ERROR@14");
    row("second one broken", "t_a.text='x' t_b.text='y", "ERROR@23");
}

void TestModifyText::parses()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(describe(ModifyText::parse(text)), expected);
}

void TestModifyText::rejectsInputsOfTheRejectFile()
{
    const QByteArray dir = qgetenv("WIP_TEST_DATA");
    QFile file(QString::fromLocal8Bit(dir) + QStringLiteral("/rejected_modify.txt"));
    QVERIFY2(!dir.isEmpty() && file.open(QIODevice::ReadOnly), "rejected_modify.txt not found through WIP_TEST_DATA");
    int count = 0;
    for (QString line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        ++count;
        const ModifyText modify = ModifyText::parse(line);
        QVERIFY2(!modify.isValid(), qPrintable(QStringLiteral("accepted: ") + line));
        QVERIFY(modify.assignments().isEmpty()); // nothing half-applied
        QVERIFY2(modify.error().contains(QStringLiteral(" at position %1").arg(modify.errorPosition())),
                 qPrintable(modify.error()));
        QVERIFY(modify.errorPosition() >= 1 && modify.errorPosition() <= line.size() + 1);
    }
    QVERIFY(count > 15);
}

void TestModifyText::remembersQuotingAndPositions()
{
    const ModifyText modify = ModifyText::parse(QStringLiteral("t_a.visible=0 t_b.text='0'"));
    QVERIFY(modify.isValid());
    QCOMPARE(modify.assignments().size(), 2);
    QCOMPARE(modify.assignments().at(0).quoted, false);
    QCOMPARE(modify.assignments().at(0).position, 1);
    QCOMPARE(modify.assignments().at(1).quoted, true);
    QCOMPARE(modify.assignments().at(1).position, 15);
    QCOMPARE(modify.errorPosition(), 0);
    QCOMPARE(modify.error(), QString());
}

QTEST_GUILESS_MAIN(TestModifyText)
#include "tst_modifytext.moc"
