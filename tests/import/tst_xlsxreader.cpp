// Reading the first sheet of a workbook: workbooks written by libxlsxwriter
// with shared strings and with inline strings, and workbooks of parts written
// by hand for what spreadsheet programs also write - numbers of seventeen
// digits, phonetic guides in shared strings, cells and rows left out or without
// references, dates, booleans, formulas, a first sheet that is not sheet1.xml,
// the 1904 date system - and the files that are no workbook.

#include "import/sheetreader.h"
#include "import/xlsxreader.h"
#include "import/ziparchive.h"
#include "sheetdump.h"
#include "zipwriter.h"

#include <QTemporaryDir>
#include <QTest>
#include <xlsxwriter.h>

using namespace wip;
using namespace wip::import;
using namespace wip::test;

namespace {

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QByteArray relationships(const QList<QList<QByteArray>> &rels)
{
    QByteArray xml = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (const QList<QByteArray> &r : rels)
        xml += "<Relationship Id=\"" + r[0] + "\" Type=\"" + kRel + "/" + r[1] + "\" Target=\"" + r[2] + "\"/>";
    return xml + "</Relationships>";
}

// A workbook of the parts given: sheetData of its first sheet (sheet2.xml,
// listed first), shared strings and cell formats when given.
QList<QPair<QString, QByteArray>> parts(const QByteArray &sheetData, const QByteArray &shared = {},
                                        const QByteArray &styles = {}, const QByteArray &workbookPr = {})
{
    QList<QList<QByteArray>> rels{{"rId7", "worksheet", "worksheets/sheet1.xml"},
                                  {"rId8", "worksheet", "/xl/worksheets/sheet2.xml"}};
    if (!shared.isEmpty())
        rels.append({"rId9", "sharedStrings", "sharedStrings.xml"});
    if (!styles.isEmpty())
        rels.append({"rId10", "styles", "styles.xml"});
    QList<QPair<QString, QByteArray>> list{
        {"[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>"},
        {"_rels/.rels", relationships({{"rId1", "officeDocument", "xl/workbook.xml"}})},
        {"xl/_rels/workbook.xml.rels", relationships(rels)},
        {"xl/workbook.xml", "<?xml version=\"1.0\"?><workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\">" + workbookPr
                                + "<sheets><sheet name=\"Second\" sheetId=\"2\" r:id=\"rId8\"/>"
                                  "<sheet name=\"First\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>"},
        {"xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + kMain + "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\">"
                                     "<is><t>not this sheet</t></is></c></row></sheetData></worksheet>"},
        {"xl/worksheets/sheet2.xml", "<worksheet xmlns=\"" + kMain + "\"><sheetData>" + sheetData + "</sheetData></worksheet>"}};
    if (!shared.isEmpty())
        list.append({"xl/sharedStrings.xml", "<sst xmlns=\"" + kMain + "\">" + shared + "</sst>"});
    if (!styles.isEmpty())
        list.append({"xl/styles.xml", "<styleSheet xmlns=\"" + kMain + "\">" + styles + "</styleSheet>"});
    return list;
}

} // namespace

class tst_XlsxReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    std::optional<Sheet> readParts(const QList<QPair<QString, QByteArray>> &members, QString *error)
    {
        const QString path = m_dir.filePath(QStringLiteral("parts.xlsx"));
        QString why;
        if (!writeZip(path, members, &why)) {
            *error = why;
            return std::nullopt;
        }
        return XlsxReader(path).read(error);
    }

    // A workbook as the program writes it; inline: libxlsxwriter's constant
    // memory mode, which writes every string inline.
    QString libxlsxwriterBook(bool inlineStrings)
    {
        const QString path = m_dir.filePath(inlineStrings ? "inline.xlsx" : "shared.xlsx");
        lxw_workbook_options options{};
        options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
        // The first sheet is the one added first.
        lxw_workbook *book = workbook_new_opt(path.toUtf8().constData(), &options);
        lxw_worksheet *first = workbook_add_worksheet(book, nullptr);
        worksheet_write_string(workbook_add_worksheet(book, nullptr), 0, 0, "second sheet", nullptr);
        lxw_format *purity = workbook_add_format(book);
        format_set_num_format(purity, "0.000");
        lxw_format *date = workbook_add_format(book);
        format_set_num_format(date, "yyyy-mm-dd");
        worksheet_write_string(first, 0, 0, "成色代码 Metal", nullptr);
        worksheet_write_string(first, 0, 1, "成色 Purity", nullptr);
        worksheet_write_string(first, 0, 3, "名称 Name", nullptr);
        worksheet_write_string(first, 1, 0, "14KY", nullptr);
        worksheet_write_number(first, 1, 1, 0.585, purity);
        worksheet_write_string(first, 1, 3, "14K黄金\nyellow", nullptr);
        worksheet_write_string(first, 3, 0, "0012", nullptr);
        worksheet_write_number(first, 3, 1, 12, nullptr);
        worksheet_write_boolean(first, 3, 3, 1, nullptr);
        worksheet_write_number(first, 4, 0, 46143.5, date);
        worksheet_write_number(first, 4, 1, 0.1 + 0.2, nullptr);
        worksheet_write_formula_num(first, 4, 3, "=1/3", nullptr, 0.333333333333333);
        worksheet_write_string(first, 5, 4, "outside", nullptr);
        return workbook_close(book) == LXW_NO_ERROR ? path : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
    }

    void readsWhatTheProgramWrites_data()
    {
        QTest::addColumn<bool>("inlineStrings");
        QTest::newRow("shared strings") << false;
        QTest::newRow("inline strings") << true;
    }
    void readsWhatTheProgramWrites()
    {
        QFETCH(bool, inlineStrings);
        const QString path = libxlsxwriterBook(inlineStrings);
        QVERIFY(!path.isEmpty());
        QString error;
        const std::optional<Sheet> sheet = SheetReader::read(path, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(dump(*sheet), QStringLiteral("xlsx | 1: 成色代码 Metal|成色 Purity||名称 Name\n"
                                              "2: 14KY|0.585||14K黄金⏎yellow\n"
                                              "4: 0012|12||TRUE\n"
                                              "5: 2026-05-01 12:00:00|0.3||0.333333333333333\n"
                                              "6: ||| [stray E]"));
    }

    void readsWhatOtherProgramsWrite_data()
    {
        QTest::addColumn<QByteArray>("sheetData");
        QTest::addColumn<QByteArray>("shared");
        QTest::addColumn<QByteArray>("styles");
        QTest::addColumn<QByteArray>("workbookPr");
        QTest::addColumn<QString>("expected");
        const QByteArray header = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
                                  "<c r=\"B1\" t=\"inlineStr\"><is><t>b</t></is></c><c r=\"C1\" t=\"inlineStr\"><is><t>c</t></is></c></row>";
        QTest::newRow("numbers of seventeen digits read as the shortest text")
            << header + "<row r=\"2\"><c r=\"A2\"><v>0.58499999999999996</v></c><c r=\"B2\"><v>1.2E-2</v></c>"
                        "<c r=\"C2\"><v>-0</v></c></row><row r=\"3\"><c r=\"A3\"><v>1E+21</v></c></row>"
            << QByteArray() << QByteArray() << QByteArray()
            << QStringLiteral("xlsx | 1: a|b|c\n2: 0.585|0.012|0\n3: 1000000000000000000000||");
        QTest::newRow("shared strings with runs and phonetic guides")
            << header + "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c><c r=\"C2\" t=\"s\"><v>0</v></c></row>"
            << QByteArray("<si><t xml:space=\"preserve\"> 钻石 </t><rPh sb=\"0\" eb=\"2\"><t>zuàn shí</t></rPh></si>"
                          "<si><r><rPr><b/></rPr><t>18K</t></r><r><t>黄金</t></r></si>")
            << QByteArray() << QByteArray() << QStringLiteral("xlsx | 1: a|b|c\n2: 18K黄金|| 钻石 ");
        QTest::newRow("rows and cells left out, cells without references")
            << header + "<row r=\"4\"><c r=\"C4\" t=\"inlineStr\"><is><t>z</t></is></c></row>"
                        "<row><c t=\"inlineStr\"><is><t>x</t></is></c><c t=\"inlineStr\"><is><t>y</t></is></c></row>"
                        "<row r=\"9\"><c r=\"B9\"><v>7</v></c><c><v>8</v></c></row>"
            << QByteArray() << QByteArray() << QByteArray()
            << QStringLiteral("xlsx | 1: a|b|c\n4: ||z\n5: x|y|\n9: |7|8");
        QTest::newRow("dates by their formats, booleans, errors and formulas")
            << header + "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>45413</v></c><c r=\"B2\" s=\"2\"><v>45413.75</v></c>"
                        "<c r=\"C2\" s=\"3\"><v>45413</v></c></row>"
                        "<row r=\"3\"><c r=\"A3\" t=\"b\"><v>0</v></c><c r=\"B3\" t=\"e\"><v>#N/A</v></c>"
                        "<c r=\"C3\" t=\"str\"><f>A1&amp;B1</f><v>ab</v></c></row>"
                        "<row r=\"4\"><c r=\"A4\" t=\"d\"><v>2024-05-01T00:00:00</v></c></row>"
            << QByteArray()
            << QByteArray("<numFmts><numFmt numFmtId=\"164\" formatCode=\"[$-804]yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
                          "<numFmt numFmtId=\"165\" formatCode=\"0.000&quot;d&quot;\"/></numFmts>"
                          "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs>"
                          "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/></cellXfs>")
            << QByteArray()
            << QStringLiteral("xlsx | 1: a|b|c\n2: 2024-05-01|2024-05-01 18:00:00|45413\n3: FALSE|#N/A|ab\n4: 2024-05-01||");
        QTest::newRow("the 1904 date system")
            << header + "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>0</v></c></row>" << QByteArray()
            << QByteArray("<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>")
            << QByteArray("<workbookPr date1904=\"1\"/>") << QStringLiteral("xlsx | 1: a|b|c\n2: 1904-01-01||");
    }
    void readsWhatOtherProgramsWrite()
    {
        QFETCH(QByteArray, sheetData);
        QFETCH(QByteArray, shared);
        QFETCH(QByteArray, styles);
        QFETCH(QByteArray, workbookPr);
        QFETCH(QString, expected);
        QString error;
        const std::optional<Sheet> sheet = readParts(parts(sheetData, shared, styles, workbookPr), &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(dump(*sheet), expected);
    }

    void refusesWhatIsNoWorkbook_data()
    {
        QTest::addColumn<QByteArray>("sheetData");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("error");
        QTest::newRow("a shared string it lacks")
            << QByteArray("<row r=\"3\"><c r=\"B3\" t=\"s\"><v>5</v></c></row>") << QString()
            << QStringLiteral("单元格 B3 指向不存在的共享文字 5 (a shared string the workbook lacks)");
        QTest::newRow("a cell beyond the last column")
            << QByteArray("<row r=\"2\"><c r=\"XFE2\"><v>1</v></c></row>") << QString()
            << QStringLiteral("第 2 行的单元格 XFE2 超出工作表 (a cell beyond the sheet)");
        QTest::newRow("a sheet that is no XML") << QByteArray("<row><c><v>1</row>") << QString()
                                                << QStringLiteral("工作簿的 xl/worksheets/sheet2.xml 读不懂");
        QTest::newRow("no workbook") << QByteArray() << QStringLiteral("_rels/.rels")
                                     << QStringLiteral("工作簿缺少 _rels/.rels (the workbook lacks _rels/.rels)");
        QTest::newRow("no sheet") << QByteArray() << QStringLiteral("xl/worksheets/sheet2.xml")
                                  << QStringLiteral("工作簿缺少 xl/worksheets/sheet2.xml");
    }
    void refusesWhatIsNoWorkbook()
    {
        QFETCH(QByteArray, sheetData);
        QFETCH(QString, removed);
        QFETCH(QString, error);
        QList<QPair<QString, QByteArray>> members = parts(sheetData);
        members.removeIf([&](const auto &m) { return m.first == removed; });
        QString why;
        QVERIFY(!readParts(members, &why));
        QVERIFY2(why.startsWith(error), qPrintable(why));
    }

    // A file is known as a workbook by its contents, whatever its name.
    void tellsWorkbooksFromCsvByTheirContents()
    {
        const QString book = libxlsxwriterBook(false);
        const QString renamed = m_dir.filePath(QStringLiteral("book.csv"));
        QVERIFY(QFile::copy(book, renamed));
        QString error;
        std::optional<Sheet> sheet = SheetReader::read(renamed, &error);
        QVERIFY2(sheet && sheet->format == QLatin1String("xlsx"), qPrintable(error));
        QFile old(m_dir.filePath(QStringLiteral("old.xls")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 binary") > 0);
        old.close();
        QVERIFY(!SheetReader::read(old.fileName(), &error));
        QCOMPARE(error, QStringLiteral("old.xls: 旧的 .xls 工作簿读不了, 请另存为 .xlsx 或 CSV "
                                       "(an old .xls workbook: save it as .xlsx or CSV)"));
        QFile zip(m_dir.filePath(QStringLiteral("broken.xlsx")));
        QVERIFY(zip.open(QIODevice::WriteOnly) && zip.write("PK\x03\x04 but no archive") > 0);
        zip.close();
        QVERIFY(!SheetReader::read(zip.fileName(), &error));
        QVERIFY2(error.startsWith(QStringLiteral("broken.xlsx: 不是 xlsx 工作簿")), qPrintable(error));
        QVERIFY(!SheetReader::read(m_dir.filePath(QStringLiteral("missing.csv")), &error));
    }
};

QTEST_GUILESS_MAIN(tst_XlsxReader)
#include "tst_xlsxreader.moc"
