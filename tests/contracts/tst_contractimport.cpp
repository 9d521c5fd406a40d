// Sales contracts imported from files, on SQLite and PostgreSQL: contracts and
// their lines from CSV in both encodings and from a workbook, keeping the line
// numbers the file gives; audited as the contract form's saves are; a refused
// file listing every row and column (golden) and writing nothing; contracts
// there already updated only with --update, their lines by number; export and
// import back unchanged, into a fresh database and into the same one.

#include "contracts/contractimportkind.h"
#include "contracts/contractsave.h"
#include "database/closeddays.h"
#include "database/rightscatalogue.h"
#include "import/importer.h"
#include "import/sheetwriter.h"
#include "runtime/appglobals.h"
#include "testdatabase.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using namespace wip::import;
using namespace wip::test;

namespace {

const QString kHeader = QStringLiteral("KCNO,客户编号,客单编号,接单日期,订单货期,行号,款号,货号,成色,尺寸,配件,电金,数量,净金重,字印,工费单价,备注\n");

// Articles and metals in use and made inactive.
bool addCodes(TestDatabase &db)
{
    return db.insert("article", {{"article_code", "R1"}}) && db.insert("article", {{"article_code", "R2"}})
        && db.insert("article", {{"article_code", "OLDART"}, {"active", 0}})
        && db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}})
        && db.insert("material", {{"mcode", "PT950"}, {"mtype", "PT"}, {"purate", 0.95}})
        && db.insert("material", {{"mcode", "OLDM"}, {"mtype", "GOLD"}, {"purate", 0.75}, {"active", 0}});
}

ContractLine line(const QString &design, const QString &quantity, const QString &article = "R1")
{
    ContractLine l;
    l.texts = {{"design_no", design}, {"article_code", article}, {"metal", "18KY"}, {"quantity", quantity},
               {"hallmark", "750"}};
    return l;
}

// KCOLD saved as the form saves it, with lines 1 and 3 (line 2 deleted).
bool addOldContract(TestDatabase &db)
{
    ContractSave save(db.tr(), {"U1", "w_sconh_add"}, RightsCatalogue::contractRights("X99A"));
    QList<ContractLine> lines{line("D1", "5"), line("D2", "6"), line("D3", "7", "R2")};
    if (save.save(true, {"KCOLD", "C01", "PO-9", QDate(2026, 4, 1), QDate(2026, 5, 1)}, &lines)
        != ContractSave::Result::Saved)
        return false;
    lines[1].state = ContractLine::State::Deleted;
    return save.save(false, {"KCOLD", "C01", "PO-9", QDate(2026, 4, 1), QDate(2026, 5, 1)}, &lines)
        == ContractSave::Result::Saved;
}

QStringList rowsOf(TestDatabase &db, const QString &sql)
{
    QStringList out;
    for (const QVariantList &r : db.rows(sql)) {
        QStringList cells;
        for (const QVariant &v : r)
            cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QString snapshot(TestDatabase &db)
{
    return (rowsOf(db, "select scno, cust_no, cust_order, next_line_no from sconh order by 1")
            + rowsOf(db, "select scno, line_no, design_no, article_code, quantity from scond order by 1, 2")
            + rowsOf(db, "select count(*) from audit_log"))
        .join(QLatin1Char('\n'));
}

QList<QStringList> exported(TestDatabase &db)
{
    QString error;
    return ContractImportKind().exportRows(db.tr(), &error).value_or(QList<QStringList>{{error}});
}

} // namespace

class tst_ContractImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    ImportOutcome importFile(TestDatabase &db, const QString &path, bool update = false, bool dryRun = false)
    {
        ContractImportKind kind;
        ImportOptions options;
        options.user = QStringLiteral("IMPORTER");
        options.source = QStringLiteral("wip import");
        options.update = update;
        options.dryRun = dryRun;
        return Importer::importFile(db.tr(), kind, path, options);
    }

    QString csv(const QString &name, const QString &rows, bool gb18030 = false)
    {
        QFile f(m_files.filePath(name));
        QStringEncoder encoder(gb18030 ? "GB18030" : "UTF-8");
        const QByteArray bytes = encoder.encode(kHeader + rows);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
            for (const RightsCatalogue::Text &t : RightsCatalogue::textsFor(user == "IMPORTER" ? Rights(Right::Import)
                                                                                              : Rights())) {
                if (t.module == module && t.function == function)
                    return t.text;
            }
            return QString();
        });
    }

    void importsContractsKeepingTheirLineNumbers_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("format");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (const char *format : {"csv", "csv-gb18030", "xlsx"})
                QTest::addRow("%s %s", engine, format) << engine << format;
        }
    }
    void importsContractsKeepingTheirLineNumbers()
    {
        QFETCH(QString, format);
        WIP_TEST_DATABASE(db);
        QVERIFY2(addCodes(db), qPrintable(db.error()));
        const QList<QStringList> rows{
            {"KC1", "C01", "PO-1", "2026-05-04", "2026-06-15", "3", "D1", "R1", "18KY", "12", "", "", "5", "3.125", "750",
             "13.5", "加急, rush"},
            {"KC1", "C01", "PO-1", "2026-05-04", "2026-06-15", "", "D2", "R2", "PT950", "", "", "", "2", "", "PT950", "", ""},
            {"KC1", "C01", "PO-1", "2026-05-04", "2026-06-15", "1", "D3", "R1", "18KY", "", "", "", "1", "0.5", "750", "", ""},
            {"KC2", "C02", "", "2026-05-05", "2026-05-05", "", "", "", "", "", "", "", "", "", "", "", ""}};
        QString path = m_files.filePath(format == "xlsx" ? "contracts.xlsx" : "contracts.csv");
        QString error;
        QVERIFY2(SheetWriter::write(path, ContractImportKind().exportedColumns(), rows, &error), qPrintable(error));
        if (format == "csv-gb18030") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            f.close();
            QStringEncoder gb18030("GB18030");
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(gb18030.encode(text)) > 0);
        }
        const ImportOutcome o = importFile(db, path);
        QVERIFY2(o.result == ImportOutcome::Result::Imported, qPrintable(o.text()));
        QCOMPARE(o.counts(), QStringLiteral("增加 2, 更新 0, 不变 0 (added 2, updated 0, unchanged 0)"));
        QCOMPARE(rowsOf(db, "select scno, line_no, design_no from scond order by 1, 2"),
                 (QStringList{"KC1|1|D3", "KC1|3|D1", "KC1|4|D2"}));
        QCOMPARE(rowsOf(db, "select scno, next_line_no from sconh order by 1"), (QStringList{"KC1|5", "KC2|1"}));
        const QList<QStringList> after = exported(db);
        QCOMPARE(after.size(), 4);
        QCOMPARE(after.at(1), (QStringList{"KC1", "C01", "PO-1", "2026-05-04", "2026-06-15", "3", "D1", "R1", "18KY", "12",
                                           "", "", "5", "3.125", "750", "13.5", "加急, rush"}));
        QCOMPARE(after.at(3), (QStringList{"KC2", "C02", "", "2026-05-05", "2026-05-05", "", "", "", "", "", "", "", "", "",
                                           "", "", ""}));
    }

    // The audit rows of an imported contract are those the form's save writes.
    void auditedAsTheFormSaves_data() { addEngineRows(); }
    void auditedAsTheFormSaves()
    {
        WIP_TEST_DATABASE(db);
        TestDatabase form(db.engine());
        QVERIFY(addCodes(db) && form.isValid() && addCodes(form));
        const QString path = csv("audited.csv", "KC1,C01,PO-1,2026-05-04,2026-06-15,,D1,R1,18KY,12,,,5,3.125,750,13.5,x\n"
                                                "KC1,C01,PO-1,2026-05-04,2026-06-15,,D2,R2,18KY,,,,2,,,,\n");
        QVERIFY(importFile(db, path).ok());
        ContractSave save(form.tr(), {"IMPORTER", "wip import"}, RightsCatalogue::contractRights("X99A"));
        QList<ContractLine> lines{line("D1", "5"), line("D2", "2", "R2")};
        lines[0].texts.insert({{"size", "12"}, {"metal_netwt", "3.125"}, {"unit_labprice", "13.5"}, {"remarks", "x"}});
        lines[1].texts.remove("hallmark");
        QCOMPARE(save.save(true, {"KC1", "C01", "PO-1", QDate(2026, 5, 4), QDate(2026, 6, 15)}, &lines),
                 ContractSave::Result::Saved);
        const char *sql = "select user_code, source, scno, scond_id, field, old_value, new_value from audit_log "
                          "order by scond_id, field";
        QCOMPARE(rowsOf(db, sql), rowsOf(form, sql));
        QCOMPARE(rowsOf(db, sql).size(), 21);
    }

    void aRefusedFileWritesNothing_data() { addEngineRows(); }
    void aRefusedFileWritesNothing()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(addCodes(db) && addOldContract(db));
        const QString path = csv("refused.csv",
                                 "KC1,C01,PO-1,2026-05-04,2026-06-15,1,D1,R9,18KY,,,,2.5,-1,,,\n"
                                 "KC1,C09,PO-1,2026-05-04,2026-06-15,1,D2,R1,OLDM,,,,1,,,,\n"
                                 "KC3,,,2026-13-01,2026-05-01,,D1,R1,18KY,,,,1,,,,\n"
                                 "KC4,C01,,2026-06-01,2026-05-01,,D1,OLDART,18KY,,,,1,,,,\n"
                                 "kcold,C01,,2026-06-01,2026-06-02,,D1,R1,18KY,,,,1,,,,\n"
                                 "KC5,C01,,2026-06-01,2026-06-02,x,D1,R1,18KY,,,,,,,,\n",
                                 true);
        const QString before = snapshot(db);
        const ImportOutcome o = importFile(db, path);
        QCOMPARE(o.result, ImportOutcome::Result::Refused);
        QFile golden(qEnvironmentVariable("WIP_TEST_DATA") + "/import-refused.txt");
        if (qEnvironmentVariableIsSet("WIP_UPDATE_GOLDEN"))
            QVERIFY(golden.open(QIODevice::WriteOnly) && golden.write(o.text().toUtf8() + '\n') > 0);
        else
            QVERIFY2(golden.open(QIODevice::ReadOnly), "missing golden file (WIP_UPDATE_GOLDEN=1 writes it)");
        golden.close();
        QVERIFY(golden.open(QIODevice::ReadOnly));
        QCOMPARE(o.text() + '\n', QString::fromUtf8(golden.readAll()));
        QCOMPARE(snapshot(db), before);
    }

    // Contracts enter production at 唧蜡: an import on a day 唧蜡 has closed
    // writes nothing, new contracts or updates, and says the day and who closed it;
    // another department's closed day does not stop it.
    void refusedOnTheFirstDepartmentsClosedDay_data() { addEngineRows(); }
    void refusedOnTheFirstDepartmentsClosedDay()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(addCodes(db) && addOldContract(db));
        const QDate today = QDate::currentDate();
        QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, "执模", today).done);
        QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, "唧蜡", today).done);
        const QString path = csv("closed.csv", "KC1,C01,PO-1,2026-05-04,2026-06-15,,D1,R1,18KY,,,,5,,,,\n"
                                               "KCOLD,C01,PO-9,2026-05-04,2026-06-15,,D3,R1,18KY,,,,1,,,,\n");
        const QString before = snapshot(db);
        for (const bool update : {false, true}) {
            const ImportOutcome o = importFile(db, path, update);
            QCOMPARE(o.result, ImportOutcome::Result::Refused);
            QVERIFY2(o.text().contains(QStringLiteral("唧蜡 %1 已日结 (BOSS").arg(today.toString(Qt::ISODate))),
                     qPrintable(o.text()));
            QCOMPARE(snapshot(db), before);
        }
        QVERIFY(ClosedDays::reopen(db.tr(), {"ADMIN", "test"}, Right::Users, "唧蜡", today).done);
        QVERIFY(importFile(db, path, true).ok());
        QVERIFY(snapshot(db) != before);
    }

    void contractsThereAlreadyAreUpdatedOnlyWhenAsked_data() { addEngineRows(); }
    void contractsThereAlreadyAreUpdatedOnlyWhenAsked()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(addCodes(db) && addOldContract(db));
        const QString before = snapshot(db);
        // Line 3 changes, a line without a number is added; no customer column: it stays.
        QFile f(m_files.filePath("update.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KCNO,客单编号,行号,货号,成色,数量\nKCOLD,PO-10,3,R2,18KY,8\nKCOLD,PO-10,,R1,PT950,4\n");
        f.close();
        QCOMPARE(importFile(db, f.fileName()).problems.first().text(),
                 QStringLiteral("第 2 行 KCNO: KCOLD 已有 (already there); 要更新已有的合约, 用 --update 导入"));
        const ImportOutcome dry = importFile(db, f.fileName(), true, true);
        QCOMPARE(dry.text(), QStringLiteral("检查通过, 没有写入 Checked, nothing written; 导入将 would be: "
                                            "增加 0, 更新 1, 不变 0 (added 0, updated 1, unchanged 0)"));
        QCOMPARE(snapshot(db), before);
        QVERIFY(importFile(db, f.fileName(), true).ok());
        QCOMPARE(rowsOf(db, "select line_no, article_code, metal, quantity from scond order by line_no"),
                 (QStringList{"1|R1|18KY|5", "3|R2|18KY|8", "4|R1|PT950|4"}));
        QCOMPARE(rowsOf(db, "select cust_no, cust_order, next_line_no from sconh"), (QStringList{"C01|PO-10|5"}));
        // A line the contract does not have, and the form's checks at the file's rows.
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KCNO,行号,货号,数量\nKCOLD,9,R1,1\nKCOLD,3,R9,1\n");
        f.close();
        const ImportOutcome refused = importFile(db, f.fileName(), true);
        QCOMPARE(refused.text(), QStringLiteral("第 2 行 行号 Line: 合约 KCOLD 没有第 9 行\n"
                                                "没有导入, 1 处要改正 (refused: nothing was written)"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KCNO,行号,货号,数量\nKCOLD,4,R1,1\nKCOLD,3,R9,1\n");
        f.close();
        QCOMPARE(importFile(db, f.fileName(), true).text(),
                 QStringLiteral("第 3 行 货号 Article: 款式资料里没有货号 R9 (在 基础资料 › 款式 Styles 增加)\n"
                                "没有导入, 1 处要改正 (refused: nothing was written)"));
    }

    void exportImportRoundTrip_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("suffix");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (const char *suffix : {"csv", "xlsx"})
                QTest::addRow("%s %s", engine, suffix) << engine << suffix;
        }
    }
    void exportImportRoundTrip()
    {
        QFETCH(QString, suffix);
        WIP_TEST_DATABASE(db);
        QVERIFY(addCodes(db) && addOldContract(db));
        QVERIFY(importFile(db, csv("more.csv", "KC2,C02,,2026-05-05,2026-05-06,,,,,,,,,,,,\n"
                                               "KC3,C01,PO 3,2026-05-05,2026-05-06,7,D9,R2,PT950,S,F,R,3,1.005,PT950,0.125,备注\n"))
                    .ok());
        ContractImportKind kind;
        const QString path = m_files.filePath("round." + suffix);
        QString error;
        int rows = 0;
        QVERIFY2(Importer::exportFile(db.tr(), kind, path, &rows, &error), qPrintable(error));
        QCOMPARE(rows, 4);
        TestDatabase fresh(db.engine());
        QVERIFY(fresh.isValid() && addCodes(fresh));
        const ImportOutcome into = importFile(fresh, path);
        QVERIFY2(into.ok(), qPrintable(into.text()));
        QCOMPARE(exported(fresh), exported(db));
        QCOMPARE(rowsOf(fresh, "select scno, next_line_no from sconh order by 1"),
                 (QStringList{"KC2|1", "KC3|8", "KCOLD|4"}));
        const int audits = db.scalar("select count(*) from audit_log").toInt();
        const ImportOutcome same = importFile(db, path, true);
        QCOMPARE(same.counts(), QStringLiteral("增加 0, 更新 0, 不变 3 (added 0, updated 0, unchanged 3)"));
        QCOMPARE(db.scalar("select count(*) from audit_log").toInt(), audits);
    }

    // The template installed with the documentation: the header and an example
    // row as export writes them, which imports where its article and metal are.
    void theTemplateImports()
    {
        TestDatabase db;
        QVERIFY(db.isValid() && db.insert("article", {{"article_code", "R2401"}})
                && db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
        const QString path = qEnvironmentVariable("WIP_TEST_DATA") + "/../../../docs/templates/contracts.csv";
        const QByteArray bytes = Importer::templateCsv(ContractImportKind());
        QFile file(path);
        if (qEnvironmentVariableIsSet("WIP_UPDATE_GOLDEN"))
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        else
            QVERIFY2(file.open(QIODevice::ReadOnly) && file.readAll() == bytes, qPrintable(path));
        file.close();
        const ImportOutcome o = importFile(db, path);
        QVERIFY2(o.result == ImportOutcome::Result::Imported && o.added == 1, qPrintable(o.text()));
    }
};

QTEST_MAIN(tst_ContractImport)
#include "tst_contractimport.moc"
