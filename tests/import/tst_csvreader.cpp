// Reading CSV files as spreadsheet programs save them: the encodings (UTF-8
// with and without its mark, GB18030, UTF-16), the separators, quoted fields
// with separators, quotes and line breaks, rows numbered as a spreadsheet
// shows them, empty rows left out, cells outside the named columns, and the
// files that do not read.

#include "import/csvreader.h"
#include "sheetdump.h"

#include <QStringEncoder>
#include <QTest>

using namespace wip;
using namespace wip::import;
using namespace wip::test;

namespace {

QByteArray gb18030(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QByteArray utf16le(const QString &text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return QByteArray("\xFF\xFE") + QByteArray(encoder.encode(text));
}

} // namespace

class tst_CsvReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsAsASpreadsheetShowsIt_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QString plain = QStringLiteral("代码,名称\n18KY,18K黄金\n");
        const QString expected = QStringLiteral("CSV %1 | 1: 代码|名称\n2: 18KY|18K黄金");
        QTest::newRow("utf-8") << plain.toUtf8() << expected.arg("UTF-8");
        QTest::newRow("utf-8 with its mark, CRLF")
            << QByteArray("\xEF\xBB\xBF") + QString(plain).replace("\n", "\r\n").toUtf8() << expected.arg("UTF-8");
        QTest::newRow("gb18030") << gb18030(plain) << expected.arg("GB18030");
        QTest::newRow("gb18030 with four-byte characters")
            << gb18030(QStringLiteral("名称\n𠀀镶\n")) << QStringLiteral("CSV GB18030 | 1: 名称\n2: 𠀀镶");
        QTest::newRow("utf-16 tab-separated")
            << utf16le(QStringLiteral("代码\t名称\r\n18KY\t18K黄金\r\n")) << expected.arg("UTF-16");
        QTest::newRow("ascii is utf-8") << QByteArray("a,b\n1,2") << QStringLiteral("CSV UTF-8 | 1: a|b\n2: 1|2");
        QTest::newRow("quoted separators, quotes and line breaks")
            << QStringLiteral("代码,名称,联系\n\"C1\",\"Lee, \"\"Jo\"\"\",\"two\r\nlines\"\nC2,x,y\n").toUtf8()
            << QStringLiteral("CSV UTF-8 | 1: 代码|名称|联系\n2: C1|Lee, \"Jo\"|two⏎lines\n3: C2|x|y");
        QTest::newRow("empty rows are left out but counted")
            << QByteArray("a,b\n\n1,2\n,\n\r\n3,4\n") << QStringLiteral("CSV UTF-8 | 1: a|b\n3: 1|2\n6: 3|4");
        QTest::newRow("the header is the first row with anything")
            << QByteArray("\n,,\na,b\n1,2\n") << QStringLiteral("CSV UTF-8 | 3: a|b\n4: 1|2");
        QTest::newRow("short rows, empty columns at the end")
            << QByteArray("a,b,c,,\n1\n1,2,3,,\n") << QStringLiteral("CSV UTF-8 | 1: a|b|c\n2: 1||\n3: 1|2|3");
        QTest::newRow("a cell beyond the header")
            << QByteArray("a,b\n1,2,3\n") << QStringLiteral("CSV UTF-8 | 1: a|b\n2: 1|2 [stray C]");
        QTest::newRow("a cell under an empty caption")
            << QByteArray("a,,c\n1,x,3\n4,,6\n") << QStringLiteral("CSV UTF-8 | 1: a||c\n2: 1|x|3 [stray B]\n3: 4||6");
        QTest::newRow("semicolons") << QByteArray("a;b;c\n1;2,5;3\n") << QStringLiteral("CSV UTF-8 | 1: a|b|c\n2: 1|2,5|3");
        QTest::newRow("a comma header with a semicolon") << QByteArray("a,b;c\n1,2\n")
                                                         << QStringLiteral("CSV UTF-8 | 1: a|b;c\n2: 1|2");
        QTest::newRow("no line break at the end") << QByteArray("a\n1") << QStringLiteral("CSV UTF-8 | 1: a\n2: 1");
        QTest::newRow("a quote inside a field is a character")
            << QByteArray("a,b\n5\"x,\"q\"r\n") << QStringLiteral("CSV UTF-8 | 1: a|b\n2: 5\"x|qr");
        QTest::newRow("blanks kept") << QByteArray("a,b\n 1 ,\" 2 \"\n") << QStringLiteral("CSV UTF-8 | 1: a|b\n2:  1 | 2 ");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("CSV UTF-8 | 0: ");
    }
    void readsAsASpreadsheetShowsIt()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QString error;
        const std::optional<Sheet> sheet = CsvReader::read(bytes, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(dump(*sheet), expected);
    }

    void refusesWhatDoesNotRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("a quote never closed")
            << QByteArray("a,b\n1,2\n3,\"open\n4,5\n")
            << QStringLiteral("第 3 行: 引号没有结束 (a quote is never closed)");
        QTest::newRow("neither utf-8 nor gb18030")
            << QByteArray("a,b\n\xFF\xFF,\x80\n")
            << QStringLiteral("文件不是 UTF-8 也不是 GB18030 编码的文字, 不是 CSV 文件? The file is no text in UTF-8 or GB18030.");
        QTest::newRow("utf-8 mark, then no utf-8")
            << QByteArray("\xEF\xBB\xBF" "a\n\xB3\xC9\n")
            << QStringLiteral("文件不是 UTF-8 也不是 GB18030 编码的文字, 不是 CSV 文件? The file is no text in UTF-8 or GB18030.");
    }
    void refusesWhatDoesNotRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QString why;
        QVERIFY(!CsvReader::read(bytes, &why));
        QCOMPARE(why, error);
    }
};

QTEST_GUILESS_MAIN(tst_CsvReader)
#include "tst_csvreader.moc"
