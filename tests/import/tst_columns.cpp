// A file's columns matched to a kind's by their captions, the rows of one
// record put together by their code, the list of problems cut at fifty, and
// what SheetWriter writes read back as the same texts.

#include "import/columnmatch.h"
#include "import/csvreader.h"
#include "import/recordgrouper.h"
#include "import/sheetreader.h"
#include "import/sheetwriter.h"
#include "sheetdump.h"

#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::import;
using namespace wip::test;

namespace {

// A style's columns: its own and those of its stone lines.
QList<ImportColumn> styleColumns()
{
    QList<ImportColumn> list;
    const auto add = [&list](const char *name, const char *caption, bool required = false, int places = ImportColumn::kText) {
        ImportColumn c;
        c.name = QString::fromLatin1(name);
        c.caption = QString::fromUtf8(caption);
        c.required = required;
        c.places = places;
        list << c;
    };
    add("article_code", "款号 Article", true);
    add("arttype_code", "产品类别 Type");
    add("pic_name", "图片 Picture");
    add("picture", "图片文件 Picture file");
    add("stone_code", "石料 Stone");
    add("qtycal", "每件粒数 Per piece", false, -1);
    return list;
}

Sheet sheetOf(const QString &csv)
{
    QString error;
    return CsvReader::read(csv.toUtf8(), &error).value_or(Sheet());
}

QString problemsText(const QList<ImportProblem> &problems)
{
    QStringList lines;
    for (const ImportProblem &p : problems)
        lines << p.text();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class tst_Columns : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headersNameColumnsAsExportWritesThem_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("column");
        QTest::newRow("caption") << "款号 Article" << 0;
        QTest::newRow("its Chinese half") << "款号" << 0;
        QTest::newRow("its English half, any case") << "article" << 0;
        QTest::newRow("blanks around and between") << "  图片文件   PICTURE  file " << 3;
        QTest::newRow("a half that is part of another's") << "图片" << 2;
        QTest::newRow("the field's name") << "qtycal" << 5;
        QTest::newRow("English of two words") << "Per piece" << 5;
        QTest::newRow("unknown") << "Colour" << -1;
        QTest::newRow("a part of a half") << "Art" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void headersNameColumnsAsExportWritesThem()
    {
        QFETCH(QString, header);
        QFETCH(int, column);
        QCOMPARE(ColumnMatch::find(styleColumns(), header), column);
    }

    void aHeaderThatIsNotTheKindsIsRefused_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("problems");
        QTest::addColumn<QString>("rows");
        QTest::newRow("columns in any order, some left out")
            << "石料,款号 Article\nDIA,R1\n" << ""
            << "2: R1||||DIA| (article_code stone_code)";
        QTest::newRow("unknown, twice, lacking the code")
            << "Colour,石料,Stone,产品类别\nx,DIA,DIA,R\n"
            << "第 1 行 Colour: 没有这一列 (no such column); 列名是 款号 Article, 产品类别 Type, 图片 Picture, "
               "图片文件 Picture file, 石料 Stone, 每件粒数 Per piece\n"
               "第 1 行 Stone: 与 B 列重复 (the column is given twice)\n"
               "第 1 行 款号 Article: 文件没有这一列 (the file lacks it)"
            << "2: |R|||DIA| (arttype_code stone_code)";
        QTest::newRow("a cell outside the named columns")
            << "款号,,石料\nR1,x,DIA\nR2,,\n" << "第 2 行 B 列: 有内容, 但上面没有列名 (a cell outside the named columns)"
            << "2: R1||||DIA| (article_code stone_code)\n3: R2|||||";
        QTest::newRow("an empty file") << "" << "文件是空的, 第一行应是列名 (the file holds no rows)" << "";
        QTest::newRow("a title above the captions")
            << "款式 2026,,\n款号,石料\nR1,DIA\n"
            << "第 1 行: 第一行要是列名 (the first row holds the captions): 款号 Article, 产品类别 Type, 图片 Picture, "
               "图片文件 Picture file, 石料 Stone, 每件粒数 Per piece; 导出的文件和模板的第一行就是"
            << "";
    }
    void aHeaderThatIsNotTheKindsIsRefused()
    {
        QFETCH(QString, csv);
        QFETCH(QString, problems);
        QFETCH(QString, rows);
        QList<ImportProblem> found;
        const ImportTable table = ColumnMatch::match(styleColumns(), sheetOf(csv), &found);
        QCOMPARE(problemsText(found), problems);
        QStringList shown;
        QStringList present;
        for (qsizetype i = 0; i < table.columns.size(); ++i) {
            if (table.present.at(i))
                present << table.columns.at(i).name;
        }
        for (const ImportRow &r : table.rows)
            shown << QStringLiteral("%1: %2").arg(r.line).arg(r.values.join(QLatin1Char('|')));
        if (!shown.isEmpty())
            shown.first() += QStringLiteral(" (%1)").arg(present.join(QLatin1Char(' ')));
        QCOMPARE(shown.join(QLatin1Char('\n')), rows);
    }

    void rowsOfOneCodeMakeOneRecord_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<bool>("lines");
        QTest::addColumn<QString>("records");
        QTest::addColumn<QString>("problems");
        const QString file = "款号,产品类别,石料\nR1,R,DIA\nR2,P,DIA\nr1,R,RUBY\n,R,X\n,R,Y\nR1,P,EMERALD\n";
        QTest::newRow("one row a record: a code again is a duplicate in any case")
            << file << false << "R1: 2\nR2: 3\n: 5\n: 6"
            << "第 4 行 款号 Article: r1 与第 2 行重复 (given twice)\n第 7 行 款号 Article: R1 与第 2 行重复 (given twice)";
        QTest::newRow("rows of lines: the record's fields the same on each")
            << file << true << "R1: 2 4 7\nR2: 3\n: 5\n: 6"
            << "第 7 行 产品类别 Type: R1 的这一栏与第 2 行不同 (P / R), 同一 R1 的各行要一样";
    }
    void rowsOfOneCodeMakeOneRecord()
    {
        QFETCH(QString, csv);
        QFETCH(bool, lines);
        QFETCH(QString, records);
        QFETCH(QString, problems);
        QList<ImportProblem> found;
        const ImportTable table = ColumnMatch::match(styleColumns(), sheetOf(csv), &found);
        const QStringList lineColumns = lines ? QStringList{"stone_code", "qtycal"} : QStringList();
        const QList<ImportRecord> grouped = RecordGrouper::group(table, "article_code", lineColumns, &found);
        QStringList shown;
        for (const ImportRecord &r : grouped) {
            QStringList rowLines;
            for (const int i : r.rows)
                rowLines << QString::number(table.rows.at(i).line);
            shown << r.key + QStringLiteral(": ") + rowLines.join(QLatin1Char(' '));
        }
        QCOMPARE(shown.join(QLatin1Char('\n')), records);
        QCOMPARE(problemsText(found), problems);
    }

    void theListStopsAtFifty()
    {
        QList<ImportProblem> problems;
        for (int line = 60; line > 1; --line)
            problems.append({line, QStringLiteral("代码 Code"), QStringLiteral("必须填写")});
        problems.append({0, QString(), QStringLiteral("about the file")});
        const QStringList lines = ImportProblem::listText(problems).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 51);
        QCOMPARE(lines.first(), QStringLiteral("about the file"));
        QCOMPARE(lines.at(1), QStringLiteral("第 2 行 代码 Code: 必须填写"));
        QCOMPARE(lines.at(49), QStringLiteral("第 50 行 代码 Code: 必须填写"));
        QCOMPARE(lines.last(), QStringLiteral("… and 10 more"));
        QCOMPARE(ImportProblem::listText(problems.mid(0, 50)).split(QLatin1Char('\n')).size(), 50);
    }

    // Whatever a cell holds, the file written reads back as the same texts.
    void whatIsWrittenReadsBack_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("csv") << "csv";
        QTest::newRow("xlsx") << "xlsx";
    }
    void whatIsWrittenReadsBack()
    {
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        const QList<ImportColumn> columns = styleColumns();
        const QList<QStringList> rows{{"R1", "戒指, \"ring\"", " 两边空格 ", "", "DIA;RD", "12"},
                                      {"0012", "two\nlines", "\t", "", "=1+1", "0.585"},
                                      {"R3", "", "", "", "", "1.5"}};
        const QString path = dir.filePath("out." + suffix);
        QString error;
        QVERIFY2(SheetWriter::write(path, columns, rows, &error), qPrintable(error));
        const std::optional<Sheet> sheet = SheetReader::read(path, &error);
        QVERIFY2(sheet, qPrintable(error));
        QList<ImportProblem> problems;
        const ImportTable table = ColumnMatch::match(columns, *sheet, &problems);
        QVERIFY(problems.isEmpty());
        QCOMPARE(table.rows.size(), rows.size());
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QCOMPARE(table.rows.at(r).line, int(r) + 2);
            for (qsizetype c = 0; c < columns.size(); ++c)
                QCOMPARE(table.rows.at(r).values.at(c), rows.at(r).at(c));
        }
        QVERIFY(!SheetWriter::write(dir.filePath("out.txt"), columns, rows, &error));
    }
};

QTEST_GUILESS_MAIN(tst_Columns)
#include "tst_columns.moc"
