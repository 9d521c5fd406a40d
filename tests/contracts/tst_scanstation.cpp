#include "contractfixture.h"
#include "desk/contractwrites.h"
#include "desk/scanstation.h"
#include "reports/datastore.h"
#include "runtime/decimal.h"

#include <QTest>

using namespace wip;
using wip::test::TestDatabase;
using R = ScanOutcome::Result;

// The scan station on hand-worked progress records, on both databases: what a
// scan adds and propagates, what it refuses with nothing written, undo, and the
// audit rows that every change to a record or header leaves.
class ScanStationTest : public QObject
{
    Q_OBJECT

    // The record of scno as "wax 5/0 casting 0/0 ... | dates wax casting": each
    // department received/transferred (null as -), then the stamped dates.
    static QString state(TestDatabase &db, const QString &scno)
    {
        const QList<QVariantList> rows = db.rows(
            "select wax_in, wax_out, casting_in, casting_out, filing_in, filing_out, wax_date, casting_date, "
            "filing_date from process where scno = ?", {scno});
        if (rows.isEmpty())
            return QStringLiteral("none");
        const QVariantList &r = rows.first();
        auto n = [](const QVariant &v) { return v.isNull() ? QStringLiteral("-") : QString::number(v.toDouble()); };
        QString s = QStringLiteral("wax %1/%2 casting %3/%4 filing %5/%6 | dates")
                        .arg(n(r[0]), n(r[1]), n(r[2]), n(r[3]), n(r[4]), n(r[5]));
        const char *names[] = {"wax", "casting", "filing"};
        for (int i = 0; i < 3; ++i) {
            if (!r[6 + i].isNull())
                s += QLatin1Char(' ') + QLatin1String(names[i]);
        }
        return s;
    }

    // Rows of a query as "a|b|NULL" texts.
    static QStringList table(TestDatabase &db, const QString &sql)
    {
        QStringList out;
        for (const QVariantList &row : db.rows(sql)) {
            QStringList cells;
            for (const QVariant &v : row)
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            out << cells.join('|');
        }
        return out;
    }

    static int count(TestDatabase &db, const QString &where = QStringLiteral("1 = 1"))
    {
        return db.scalar("select count(*) from audit_log where " + where).toInt();
    }

private Q_SLOTS:

    void mayUpdate_data()
    {
        QTest::addColumn<QString>("rights");
        QTest::addColumn<bool>("may");
        QTest::newRow("all") << "A" << true;
        QTest::newRow("add") << "X02B" << true;
        QTest::newRow("edit") << "X03B" << true;
        QTest::newRow("delete") << "X04B" << true;
        QTest::newRow("all by B08") << "Z08B " << true;
        QTest::newRow("add and delete") << "X24B" << true;
        QTest::newRow("edit and delete") << "X34B" << true;
        QTest::newRow("other function") << "X05B" << false;
        QTest::newRow("read only") << "X02C" << false;
        QTest::newRow("none") << "" << false;
    }
    void mayUpdate()
    {
        QFETCH(QString, rights);
        QFETCH(bool, may);
        QCOMPARE(ScanStation::mayUpdate(rights), may);
    }

    // One clerk's session, step by step: each scan's result and the record after it.
    void scansFollowTheProgressRules_data() { wip::test::addEngineRows(); }
    void scansFollowTheProgressRules()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(wip::test::addContract(db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(db, "KC1", "D1", "750", ""));   // 5 pieces
        QVERIFY(db.insert("scond", {{"scno", "KC1"}, {"design_no", "D2"}, {"quantity", 3}}));
        QVERIFY(wip::test::addContract(db, "KC2", "PO-2"));
        QVERIFY(wip::test::addLine(db, "KC2", "D3", "", ""));
        QVERIFY(db.exec("update sconh set inv_no = 'INV-9' where scno = 'KC2'"));
        ScanStation station(db.tr(), {"CLERK", "test"}, "A");

        struct Step
        {
            const char *code, *dept;
            ScanAction action;
            bool again;
            R result;
            const char *after;   // the record of KC1 afterwards
        };
        const ScanAction in = ScanAction::In, out = ScanAction::Out;
        const Step steps[] = {
            {"KC1-1", "倒模", out, false, R::OverScan, "none"},
            {"KC1-1", "唧蜡", in, false, R::Done, "wax 5/0 casting 0/0 filing 0/0 | dates"},
            // A line is received once: asked again or not, a second receipt would pass its quantity.
            {"KC1-1", "唧蜡", in, false, R::OverScan, "wax 5/0 casting 0/0 filing 0/0 | dates"},
            {"KC1-1", "唧蜡", in, true, R::OverScan, "wax 5/0 casting 0/0 filing 0/0 | dates"},
            {"KC1-2", "唧蜡", in, false, R::Done, "wax 8/0 casting 0/0 filing 0/0 | dates"},
            {"KC1-1", "唧蜡", out, false, R::Done, "wax 8/5 casting 5/0 filing 0/0 | dates casting"},
            {"KC1-2", "唧蜡", out, false, R::Done, "wax 8/8 casting 8/0 filing 0/0 | dates wax casting"},
            {"KC1-1", "倒模", out, false, R::Done, "wax 8/8 casting 8/5 filing 5/0 | dates wax casting filing"},
            {"KC1-2", "倒模", out, false, R::Done, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
            {"KC1-2", "倒模", out, false, R::Duplicate, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
            {"KC1-1", "倒模", out, true, R::OverScan, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
            {"KC1-3", "唧蜡", in, false, R::UnknownCode, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
            {"KC9-1", "唧蜡", in, false, R::UnknownCode, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
            {"garbage", "唧蜡", in, false, R::UnknownCode, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
            {"KC2-1", "唧蜡", in, false, R::Invoiced, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
            {"KC1-1", "倒模", in, false, R::NotForDepartment, "wax 8/8 casting 8/8 filing 8/0 | dates wax casting filing"},
        };
        int scans = 0;
        for (const Step &s : steps) {
            const QString what = QStringLiteral("%1 %2 %3").arg(s.code, s.dept, ScanStation::actionText(s.action));
            const int auditBefore = count(db);
            const ScanOutcome o = station.scan(s.code, *ScanDepartment::find(s.dept), s.action, s.again);
            QVERIFY2(o.result == s.result, qPrintable(what + ": " + o.message));
            QVERIFY2(!o.message.isEmpty(), qPrintable(what));
            QCOMPARE(state(db, "KC1"), QString::fromUtf8(s.after));
            // A refusal writes nothing, not even an audit row.
            if (!o.done())
                QCOMPARE(count(db), auditBefore);
            scans += o.done() ? 1 : 0;
        }
        QCOMPARE(count(db, "field like 'scan:%' and user_code = 'CLERK' and source = 'test'"), scans);
        QCOMPARE(count(db, "field = 'casting_out' and old_value = '5' and new_value = '8' and scno = 'KC1'"), 1);
        QCOMPARE(state(db, "KC2"), QStringLiteral("none"));
    }

    // Undo puts back what the scan changed, one scan after the other; a record
    // the scan created goes again; a scan whose fields were changed since stays.
    void undoReversesTheLastScan_data() { wip::test::addEngineRows(); }
    void undoReversesTheLastScan()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(wip::test::addContract(db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(db, "KC1", "D1", "", ""));
        ScanStation station(db.tr(), {"CLERK", "w_scan_station"}, "X02B");
        const ScanDepartment &wax = *ScanDepartment::find("唧蜡");
        const ScanOutcome first = station.scan("KC1-1", wax, ScanAction::In);
        const ScanOutcome second = station.scan("KC1-1", wax, ScanAction::Out);
        QVERIFY(first.done() && first.createdRecord && second.done() && !second.createdRecord);
        QCOMPARE(state(db, "KC1"), QStringLiteral("wax 5/5 casting 5/0 filing 0/0 | dates wax casting"));

        QVERIFY(station.undo(second).done());
        QCOMPARE(state(db, "KC1"), QStringLiteral("wax 5/0 casting 0/0 filing 0/0 | dates"));
        // Undone, the ticket may be scanned out again without asking.
        const ScanOutcome again = station.scan("KC1-1", wax, ScanAction::Out);
        QVERIFY2(again.done(), qPrintable(again.message));
        QVERIFY(station.undo(again).done());

        QVERIFY(db.exec("update process set wax_in = 6 where scno = 'KC1'"));
        const int audit = count(db);
        const ScanOutcome refused = station.undo(first);
        QVERIFY2(!refused.done() && refused.message.contains("wax_in"), qPrintable(refused.message));
        QCOMPARE(count(db), audit);
        QVERIFY(db.exec("update process set wax_in = 5 where scno = 'KC1'"));
        QVERIFY(station.undo(first).done());
        QCOMPARE(state(db, "KC1"), QStringLiteral("none"));
        QCOMPARE(count(db, "field = 'scan:wax_in' and old_value = 'KC1-1' and new_value is null"), 1);
    }

    // 接收 at 唧蜡 never takes a line or its contract above the quantity ordered:
    // a line received (and not undone) is refused, also when asked to record it
    // again; a receipt on top of figures typed by hand is refused when the
    // contract would pass its lines' total. Nothing is written then.
    void receiptsNeverPassTheOrderedQuantity_data() { wip::test::addEngineRows(); }
    void receiptsNeverPassTheOrderedQuantity()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(wip::test::addContract(db, "KC2400061", "PO-61"));
        QVERIFY(db.insert("scond", {{"scno", "KC2400061"}, {"design_no", "D1"}, {"quantity", 8}}));
        QVERIFY(wip::test::addContract(db, "KC2", "PO-2"));
        QVERIFY(db.insert("scond", {{"scno", "KC2"}, {"design_no", "D1"}, {"quantity", 8}}));
        QVERIFY(db.insert("scond", {{"scno", "KC2"}, {"design_no", "D2"}, {"quantity", 2}}));
        QVERIFY(db.insert("process", {{"scno", "KC2"}, {"wax_in", 4}, {"wax_out", 0}}));   // typed in the form
        ScanStation station(db.tr(), {"CLERK", "test"}, "A");
        const ScanDepartment &wax = *ScanDepartment::find("唧蜡");
        const auto received = [&db](const char *scno) {
            return db.scalar("select wax_in from process where scno = ?", {scno}).toInt();
        };

        const ScanOutcome first = station.scan("KC2400061-1", wax, ScanAction::In);
        QVERIFY2(first.done(), qPrintable(first.message));
        for (const bool again : {false, true}) {
            const int audit = count(db);
            const ScanOutcome o = station.scan("KC2400061-1", wax, ScanAction::In, again);
            QCOMPARE(o.result, R::OverScan);
            QVERIFY2(o.message.contains("KC2400061-1") && o.message.contains("8"), qPrintable(o.message));
            QCOMPARE(received("KC2400061"), 8);
            QCOMPARE(count(db), audit);
        }
        // Undone, the ticket is received again, once.
        QVERIFY(station.undo(first).done());
        QVERIFY(station.scan("KC2400061-1", wax, ScanAction::In).done());
        QCOMPARE(received("KC2400061"), 8);

        // 4 typed + 8 would pass the 10 ordered; the 2-piece line fits.
        const ScanOutcome over = station.scan("KC2-1", wax, ScanAction::In);
        QCOMPARE(over.result, R::OverScan);
        QVERIFY2(over.message.contains("10"), qPrintable(over.message));
        QCOMPARE(received("KC2"), 4);
        QVERIFY(station.scan("KC2-2", wax, ScanAction::In).done());
        QCOMPARE(received("KC2"), 6);
    }

    // The stone store counts stones: a scan there adds the line's stones (stones
    // per piece of its article times its pieces), checked against the stones it
    // received, and the stone-store report reads them so. A line whose article
    // has no stones per piece, or two that disagree, is refused.
    void stoneStoreCountsStones_data() { wip::test::addEngineRows(); }
    void stoneStoreCountsStones()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(wip::test::addContract(db, "KC5", "PO-5"));
        for (const char *design : {"D1", "D2", "D3"})
            QVERIFY(wip::test::addLine(db, "KC5", design, "", ""));   // 5 pieces of article A-<design>
        QVERIFY(db.insert("stoneneed", {{"article_code", "A-D1"}, {"stoneneed", 12}}));
        QVERIFY(db.insert("stoneneed", {{"article_code", "A-D3"}, {"stoneneed", 4}}));
        QVERIFY(db.insert("stoneneed", {{"article_code", "A-D3"}, {"stoneneed", 6}}));
        QVERIFY(db.insert("process", {{"scno", "KC5"}, {"qc_in", 100}, {"qc_out", 0}}));
        ScanStation station(db.tr(), {"CLERK", "test"}, "A");
        const ScanDepartment &store = *ScanDepartment::find("石仓");
        const auto issued = [&db] { return db.scalar("select qc_out from process where scno = 'KC5'").toInt(); };

        const ScanOutcome o = station.scan("KC5-1", store, ScanAction::Out);
        QVERIFY2(o.done(), qPrintable(o.message));
        QCOMPARE(issued(), 60);
        QVERIFY(Decimal::fromVariant(o.added) == Decimal::fromInt(60));
        QVERIFY2(o.message.contains("60 粒"), qPrintable(o.message));
        QCOMPARE(db.scalar("select all_total from view_bm_qc where scno = 'KC5'").toInt(), 40);

        struct Refused
        {
            const char *code;
            bool again;
            R result;
            const char *says;
        };
        for (const Refused &r : {Refused{"KC5-2", false, R::NoStones, "A-D2"}, Refused{"KC5-3", false, R::NoStones, "不一致"},
                                 Refused{"KC5-1", true, R::OverScan, "100"}}) {
            const int audit = count(db);
            const ScanOutcome refused = station.scan(r.code, store, ScanAction::Out, r.again);
            QVERIFY2(refused.result == r.result && refused.message.contains(QString::fromUtf8(r.says)),
                     qPrintable(refused.message));
            QCOMPARE(issued(), 60);
            QCOMPARE(count(db), audit);
        }
        QVERIFY(station.undo(o).done());
        QCOMPARE(issued(), 0);
    }

    void userWithoutRightsWritesNothing_data() { wip::test::addEngineRows(); }
    void userWithoutRightsWritesNothing()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(wip::test::addContract(db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(db, "KC1", "D1", "", ""));
        ScanStation station(db.tr(), {"GUEST", "w_scan_station"}, "X05B");
        const ScanOutcome o = station.scan("KC1-1", *ScanDepartment::find("唧蜡"), ScanAction::In);
        QCOMPARE(o.result, R::NoRight);
        QVERIFY(o.message.contains("GUEST"));
        QCOMPARE(state(db, "KC1"), QStringLiteral("none"));
        QCOMPARE(count(db), 0);

        // The scan right alone lets a station's clerk scan.
        ScanStation clerk(db.tr(), {"GUEST", "w_scan_station"}, QString(), true);
        QVERIFY(clerk.scan("KC1-1", *ScanDepartment::find("唧蜡"), ScanAction::In).done());
        QVERIFY(count(db, "user_code = 'GUEST' and field = 'scan:wax_in'") == 1);
    }

    // The audit rows of a progress save, of a header deletion, and none of a
    // save that fails.
    void changesLeaveAuditRows_data() { wip::test::addEngineRows(); }
    void changesLeaveAuditRows()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(wip::test::addContract(db, "KC1", "PO-1", "C01"));
        QVERIFY(db.insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 4}}));
        reports::DataStore process("d_w_process_input");
        process.SetTransObject(db.tr());
        QCOMPARE(process.Retrieve({"KC1"}), 1);
        process.SetItem(1, "wax_out", 10);
        process.SetItem(1, "bz", "1-无石Stone delay");
        const AuditSource clerk{"U7", "w_scno_process"};
        QCOMPARE(ContractWrites::saveProcess(process, db.tr(), clerk), ContractWrites::SaveResult::Saved);
        QCOMPARE(table(db, "select user_code, source, scno, scond_id, field, old_value, new_value from audit_log "
                           "order by field"),
                 (QStringList{"U7|w_scno_process|KC1|NULL|bz|NULL|1-无石Stone delay",
                              "U7|w_scno_process|KC1|NULL|wax_out|4|10"}));
        QVERIFY(!db.scalar("select min(changed_at) from audit_log").isNull());

        // The header goes while the clerk types: the save fails and leaves no row.
        process.SetItem(1, "wax_in", 12);
        QVERIFY(db.exec("delete from sconh where scno = 'KC1'"));
        QCOMPARE(ContractWrites::saveProcess(process, db.tr(), clerk), ContractWrites::SaveResult::HeaderGone);
        QCOMPARE(count(db), 2);
        QVERIFY(wip::test::addContract(db, "KC1", "PO-1", "C01"));
        QVERIFY(db.exec("delete from process"));
        QCOMPARE(ContractWrites::saveProcess(process, db.tr(), clerk), ContractWrites::SaveResult::Failed);
        QCOMPARE(count(db), 2);

        QVERIFY(ContractWrites::deleteHeader("KC1", db.tr(), clerk));
        QCOMPARE(table(db, "select field, old_value, new_value from audit_log where field in ('cust_no', 'deldate', "
                           "'scno') order by field"),
                 (QStringList{"cust_no|C01|NULL", "deldate|2004-06-01 00:00:00|NULL", "scno|KC1|NULL"}));
        const int afterDelete = count(db);
        QVERIFY(!ContractWrites::deleteHeader("KC1", db.tr(), clerk));
        QCOMPARE(count(db), afterDelete);
    }
};

QTEST_MAIN(ScanStationTest)
#include "tst_scanstation.moc"
