// Importing reference data from files, on SQLite and PostgreSQL: each kind from
// CSV in UTF-8 and GB18030 and from a workbook; a refused file writes nothing
// and lists every row, column and reason (golden files); a dry run; codes the
// database has updated only when asked, columns a file leaves out kept; the
// audit trail; export and import back into a fresh database and into the same
// one unchanged; the right 导入; the templates of the documentation.

#include "importfixture.h"
#include "reffixture.h"
#include "runtime/drivemapping.h"

#include <QTest>

using namespace wip;
using namespace wip::import;
using namespace wip::reference;
using namespace wip::test;

namespace {

// The rows each kind's test file gives, as export writes them.
QList<QStringList> rowsOf(const QString &kind)
{
    static const QHash<QString, QList<QStringList>> rows{
        {"customers", {{"C100", "示例珠宝 Example, Ltd.", "陈小姐 \"Ms\" Chan", "1"}, {"C101", "新客户", "", "0"}}},
        {"metals", {{"14KY", "GOLD", "0.585", "585", "14K黄金", "1"}, {"PT900", "PT", "0.900", "PT900", "铂金900", "1"}}},
        {"stones", {{"CZ-1.2", "锆石", "粒", "0"}, {"RUBY-OV-3X2", "红宝石 椭圆", "粒", "1"}}},
        {"settypes", {{"爪镶", "PRONG", "1"}}},
        {"arttypes", {{"E", "耳环 EARRING", "1"}}},
        {"styles",
         {{"P300", "P", "", "1", "", "", ""},
          {"R300", "R", "R300.png", "1", "DIA", "包镶", "1.5"},
          {"R300", "R", "R300.png", "1", "DIA", "钉镶", "12"}}},
        {"workers", {{"0601", "王芳", "06-镶石", "1"}, {"0602", "Li Wei", "04-执模", "0"}}},
    };
    return rows.value(kind);
}

// Every row of the tables reference data lives in, and the audit trail's count.
QString snapshot(TestDatabase &db)
{
    QStringList parts;
    for (const char *sql : {"select cust_no, cust_name, contact, active from customer order by 1",
                            "select mcode, mtype, purate, hallmark, mname, unit, active from material order by 1",
                            "select settype_code, settype_name, active from settype order by 1",
                            "select arttype_code, arttype_name, active from arttype order by 1",
                            "select article_code, arttype_code, pic_name, active from article order by 1",
                            "select article_code, stone_code, settype_code, qtycal from artsd order by 1, 2, 3",
                            "select article_code, stoneneed from stoneneed order by 1",
                            "select changhao, xingming, gongxu_code, active from worker order by 1",
                            "select count(*) from audit_log"}) {
        for (const QVariantList &r : db.rows(QString::fromLatin1(sql))) {
            QStringList cells;
            for (const QVariant &v : r)
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            parts << cells.join(QLatin1Char(','));
        }
    }
    return parts.join(QLatin1Char('\n'));
}

// The audit rows of source tst_import as "table|key|field|old|new".
QStringList audit(TestDatabase &db)
{
    QStringList out;
    for (const QVariantList &r : db.rows("select record_table, record_key, field, old_value, new_value from audit_log "
                                         "where source = 'tst_import' and user_code = 'IMPORTER' order by audit_id")) {
        QStringList cells;
        for (const QVariant &v : r)
            cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QString textFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
}

} // namespace

class tst_Import : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;

    static ImportOutcome importFile(TestDatabase &db, const QString &kind, const QString &path, bool update = false,
                                    bool dryRun = false, const QString &user = QStringLiteral("IMPORTER"))
    {
        ReferenceImportKind importKind(RefKind::get(kind));
        ImportOptions options;
        options.update = update;
        options.dryRun = dryRun;
        options.user = user;
        options.source = QStringLiteral("tst_import");
        return Importer::importFile(db.tr(), importKind, path, options);
    }

    QString file(const QString &kind, const QString &format, const QList<QStringList> &rows)
    {
        QString error;
        const QString path = writeKindFile(m_files, kind, format, rows, &error);
        if (path.isEmpty())
            qWarning("%s", qPrintable(error));
        return path;
    }

    static void compareGolden(const QString &name, const QString &text)
    {
        QString difference;
        const QString path = qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/import/") + name;
        QVERIFY2(matchesGolden(path, text.toUtf8() + '\n', &difference), qPrintable(difference));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        setQxpdFunction(importRights);
        DriveMapping::instance().setFolder(QLatin1Char('P'), m_files.filePath(QStringLiteral("pictures")));
    }

    void cleanupTestCase() { DriveMapping::instance().resetFolders(); }

    void eachKindFromEveryFormat_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("format");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (const char *kind : {"customers", "metals", "stones", "settypes", "arttypes", "styles", "workers"}) {
                for (const char *format : {"csv", "csv-gb18030", "xlsx"})
                    QTest::addRow("%s %s %s", engine, kind, format) << engine << kind << format;
            }
        }
    }
    void eachKindFromEveryFormat()
    {
        QFETCH(QString, kind);
        QFETCH(QString, format);
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const QList<QStringList> rows = rowsOf(kind);
        const ImportOutcome o = importFile(db, kind, file(kind, format, rows));
        QVERIFY2(o.result == ImportOutcome::Result::Imported, qPrintable(o.text()));
        QCOMPARE(o.format, format == "xlsx" ? QStringLiteral("xlsx")
                                            : format == "csv" ? QStringLiteral("CSV UTF-8") : QStringLiteral("CSV GB18030"));
        QCOMPARE(o.rows, int(rows.size()));
        QCOMPARE(o.added, kind == "styles" ? 2 : int(rows.size()));
        const QList<QStringList> after = exported(db.tr(), kind);
        for (const QStringList &row : rows)
            QVERIFY2(after.contains(row), qPrintable(row.join('|') + " not among\n" + after.value(0).join('|')));
        QVERIFY(!audit(db).isEmpty());
    }

    // The audit trail of an import is that of the window's saves, one row a field.
    void importsAreAuditedAsSaves_data() { addEngineRows(); }
    void importsAreAuditedAsSaves()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        QVERIFY(importFile(db, "styles", file("styles", "xlsx", {rowsOf("styles").at(2)})).ok());
        QCOMPARE(audit(db), (QStringList{"article|R300|article_code|NULL|R300", "article|R300|arttype_code|NULL|R",
                                         "article|R300|pic_name|NULL|R300.png", "article|R300|active|NULL|1",
                                         "artsd|R300/DIA/钉镶|stone_code|NULL|DIA",
                                         "artsd|R300/DIA/钉镶|settype_code|NULL|钉镶", "artsd|R300/DIA/钉镶|qtycal|NULL|12"}));
        QCOMPARE(db.scalar("select stoneneed from stoneneed where article_code = 'R300'").toInt(), 12);
    }

    void aRefusedFileWritesNothing_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("golden");
        for (const char *engine : {"sqlite", "postgresql"}) {
            QTest::addRow("%s metals", engine) << engine << "metals" << "refused-metals.txt";
            QTest::addRow("%s styles", engine) << engine << "styles" << "refused-styles.txt";
            QTest::addRow("%s workers, more than fifty", engine) << engine << "workers" << "refused-workers.txt";
        }
    }
    void aRefusedFileWritesNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, golden);
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        QString path;
        if (kind == "metals") {
            QStringEncoder gb18030("GB18030");
            path = textFile(m_files.filePath("bad-metals.csv"),
                            gb18030.encode(QStringLiteral("成色代码 Metal,类别 Type,成色 Purity,字印 Hallmark,名称 Name,使用中 Active\r\n"
                                                          "22KY,GOLD,0.916,916,22K黄金,1\r\n"
                                                          "18KR,gold,0.75,585,18K玫瑰金,1\r\n"
                                                          "18kr,GOLD,0.750,750,again,1\r\n"
                                                          "18KY,GOLD,0.750,750,18K黄金,1\r\n"
                                                          "DIA,GOLD,0.5,,,1\r\n"
                                                          "X1,SILVER,1.2,,,maybe\r\n"
                                                          ",PT,0.950,PT950,,1\r\n"
                                                          "X2,PT,0.9505,PT950,\"two\r\nlines\",1\r\n"
                                                          "X3,GOLD,0.375,375,ok,1,extra\r\n")));
        } else if (kind == "styles") {
            path = file("styles", "xlsx",
                        {{"R400", "R", "", "1", "DIA", "钉镶", "2"},
                         {"R400", "R", "", "1", "NOSTONE", "钉镶", "1"},
                         {"R400", "P", "", "1", "DIA", "包镶", "1"},
                         {"R401", "NONE", "", "1", "", "", ""},
                         {"R402", "R", "", "1", "DIA", "钉镶", "0"},
                         {"R402", "R", "", "1", "dia", "钉镶", "1"},
                         {"R403", "OLDTYPE", "a/b.png", "1", "OLD-STONE", "OLDSET", "x"}});
        } else {
            QList<QStringList> rows;
            for (int i = 0; i < 60; ++i)
                rows << QStringList{QStringLiteral("W%1").arg(i, 3, 10, QLatin1Char('0')), "", "04-执模", "1"};
            path = file("workers", "csv", rows);
        }
        const QString before = snapshot(db);
        const ImportOutcome o = importFile(db, kind, path, false);
        QCOMPARE(o.result, ImportOutcome::Result::Refused);
        compareGolden(golden, o.text());
        QCOMPARE(snapshot(db), before);
        // A dry run finds the same.
        QCOMPARE(importFile(db, kind, path, false, true).text(), o.text());
        QCOMPARE(snapshot(db), before);
    }

    // The rows go to the database many at a time, the audit rows with them: a
    // statement failing late, after thousands of rows, still leaves nothing.
    void aFailureAfterManyRowsWritesNothing_data() { addEngineRows(); }
    void aFailureAfterManyRowsWritesNothing()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        QList<QStringList> rows;
        for (int i = 0; i < 3000; ++i)
            rows << QStringList{QStringLiteral("C%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("客户 %1").arg(i),
                                i == 2999 ? QStringLiteral("no audit") : QString(), "1"};
        const QString path = file("customers", "csv", rows);
        // The audit trail refuses the last customer's contact.
        QVERIFY(db.exec(db.engine() == Engine::SQLite
                            ? "create trigger no_audit before insert on audit_log when new.new_value = 'no audit' "
                              "begin select raise(abort, 'audit refused'); end"
                            : "alter table audit_log add constraint no_audit check (new_value <> 'no audit')"));
        const QString before = snapshot(db);
        const ImportOutcome o = importFile(db, "customers", path);
        QCOMPARE(o.result, ImportOutcome::Result::Failed);
        QVERIFY2(o.text().startsWith(QStringLiteral("没有导入 (nothing was written): ")), qPrintable(o.text()));
        QCOMPARE(snapshot(db), before);
        QVERIFY(db.exec(db.engine() == Engine::SQLite ? "drop trigger no_audit"
                                                      : "alter table audit_log drop constraint no_audit"));
        QVERIFY(importFile(db, "customers", path).ok());
        QCOMPARE(db.scalar("select count(*) from customer").toInt(), 3002);
        QCOMPARE(db.scalar("select count(*) from audit_log where source = 'tst_import'").toInt(), 3000 * 3 + 1);
    }

    void aDryRunSaysWhatItWouldDo_data() { addEngineRows(); }
    void aDryRunSaysWhatItWouldDo()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const QString path = file("metals", "csv",
                                  {{"22KY", "GOLD", "0.916", "916", "22K", "1"},
                                   {"18KY", "GOLD", "0.750", "750", "18K黄金 new name", "1"},
                                   {"9KR", "GOLD", "0.375", "375", "", "1"}});
        const QString before = snapshot(db);
        const ImportOutcome o = importFile(db, "metals", path, true, true);
        QCOMPARE(o.result, ImportOutcome::Result::Checked);
        QCOMPARE(o.text(), QStringLiteral("检查通过, 没有写入 Checked, nothing written; 导入将 would be: "
                                          "增加 1, 更新 1, 不变 1 (added 1, updated 1, unchanged 1)"));
        QCOMPARE(snapshot(db), before);
    }

    void codesThereAlreadyAreUpdatedOnlyWhenAsked_data() { addEngineRows(); }
    void codesThereAlreadyAreUpdatedOnlyWhenAsked()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        // A file of two columns: what it leaves out stays; a code in any case is the code.
        const QString names = textFile(m_files.filePath("names.csv"),
                                       "Metal,名称\n18ky,18K黄金 new name\n9KR,\nPT950,铂金950\n");
        const ImportOutcome refused = importFile(db, "metals", names);
        QCOMPARE(refused.problems.size(), 3);
        QCOMPARE(refused.problems.first().text(),
                 QStringLiteral("第 2 行 成色代码 Metal: 18ky 已有 (already there); 要更新已有的代码, 用 --update 导入"));
        const ImportOutcome o = importFile(db, "metals", names, true);
        QVERIFY2(o.result == ImportOutcome::Result::Imported, qPrintable(o.text()));
        QCOMPARE(o.counts(), QStringLiteral("增加 0, 更新 1, 不变 2 (added 0, updated 1, unchanged 2)"));
        QCOMPARE(db.scalar("select mname from material where mcode = '18KY'").toString(), QStringLiteral("18K黄金 new name"));
        QCOMPARE(db.scalar("select hallmark from material where mcode = '18KY'").toString(), QStringLiteral("750"));
        QVERIFY(db.scalar("select mname from material where mcode = '9KR'").isNull());
        QCOMPARE(audit(db), (QStringList{"material|18KY|mname|18K黄金|18K黄金 new name"}));
        // A style's stones change with stone columns, and stay without them.
        QVERIFY(importFile(db, "styles", file("styles", "csv", {{"R100", "R", "R100.bmp", "1", "DIA", "包镶", "3"}}), true).ok());
        QCOMPARE(db.scalar("select count(*) from artsd where article_code = 'R100'").toInt(), 1);
        QCOMPARE(db.scalar("select settype_code from artsd where article_code = 'R100'").toString(), QStringLiteral("包镶"));
        QCOMPARE(db.scalar("select qtycal from artsd where article_code = 'R100'").toDouble(), 3.0);
        const QString typeOnly = textFile(m_files.filePath("type.csv"), "款号,产品类别\nR100,P\n");
        QVERIFY(importFile(db, "styles", typeOnly, true).ok());
        QCOMPARE(db.scalar("select arttype_code from article where article_code = 'R100'").toString(), QStringLiteral("P"));
        QCOMPARE(db.scalar("select count(*) from artsd where article_code = 'R100'").toInt(), 1);
    }

    // What export writes imports back unchanged: into a fresh database, and
    // into the same one, where nothing changes.
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
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        TestDatabase fresh(db.engine());
        QVERIFY2(fresh.isValid(), qPrintable(fresh.error()));
        for (const char *process : {"04-执模", "06-镶石"})
            QVERIFY(fresh.insert("gongxu", {{"gongxu_code", QString::fromUtf8(process)}}));
        const QStringList kinds{"customers", "metals", "stones", "settypes", "arttypes", "styles", "workers"};
        for (const QString &kind : kinds) {
            ReferenceImportKind importKind(RefKind::get(kind));
            const QString path = m_files.filePath(kind + "-round." + suffix);
            QString error;
            int rows = 0;
            QVERIFY2(Importer::exportFile(db.tr(), importKind, path, &rows, &error), qPrintable(error));
            QCOMPARE(rows, int(exported(db.tr(), kind).size()));
            const ImportOutcome into = importFile(fresh, kind, path);
            QVERIFY2(into.result == ImportOutcome::Result::Imported, qPrintable(kind + ": " + into.text()));
            QCOMPARE(exported(fresh.tr(), kind), exported(db.tr(), kind));
            const int auditRows = db.scalar("select count(*) from audit_log").toInt();
            const ImportOutcome same = importFile(db, kind, path, true);
            QVERIFY2(same.ok(), qPrintable(same.text()));
            QCOMPARE(same.added + same.updated, 0);
            QCOMPARE(db.scalar("select count(*) from audit_log").toInt(), auditRows);
        }
    }

    void onlyAUserWithTheRightImports_data() { addEngineRows(); }
    void onlyAUserWithTheRightImports()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY2(fillFactory(db), qPrintable(db.error()));
        const QString path = file("customers", "csv", rowsOf("customers"));
        const QString before = snapshot(db);
        for (const char *user : {"VIEW", "CLERK", ""}) {
            const ImportOutcome o = importFile(db, "customers", path, false, false, QString::fromLatin1(user));
            QCOMPARE(o.result, ImportOutcome::Result::Refused);
            QCOMPARE(o.problems.size(), 1);
            QCOMPARE(o.problems.first().text(),
                     QStringLiteral("用户 %1 没有导入 (import) 的权限, 不能导入文件。").arg(QString::fromLatin1(user)));
        }
        QCOMPARE(snapshot(db), before);
        QVERIFY(importFile(db, "customers", path, false, false, "ADMIN").ok());
    }

    // The templates installed with the documentation: a header and an example
    // row of each kind, as export writes them, which import in their order.
    void theTemplatesImport()
    {
        TestDatabase db;
        QVERIFY2(db.isValid(), qPrintable(db.error()));
        QVERIFY(db.insert("gongxu", {{"gongxu_code", QStringLiteral("04-执模")}}));
        const QString folder = qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/../../../docs/templates/");
        for (const char *name : {"customers", "metals", "stones", "settypes", "arttypes", "styles", "workers"}) {
            const QString kind = QString::fromLatin1(name);
            ReferenceImportKind importKind(RefKind::get(kind));
            QString difference;
            QVERIFY2(matchesGolden(folder + kind + ".csv", Importer::templateCsv(importKind), &difference),
                     qPrintable(difference));
            const ImportOutcome o = importFile(db, kind, folder + kind + ".csv");
            QVERIFY2(o.result == ImportOutcome::Result::Imported && o.added == 1, qPrintable(kind + ": " + o.text()));
        }
    }
};

QTEST_MAIN(tst_Import)
#include "tst_import.moc"
