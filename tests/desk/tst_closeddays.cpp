// Closed days on both engines: every writer of a department's figures (the
// desk's actions, a casting batch, a scan, the progress save) refuses a change
// on a day the department has closed, names the day and who closed it, and
// writes nothing; other days and other departments go on. Closing needs the
// supervisor, reopening the administrator, both audited.

#include "database/closeddays.h"
#include "deskfixture.h"
#include "desk/contractwrites.h"
#include "desk/scanstation.h"

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

namespace {

const QDate kMonday(2004, 3, 1);
const QDate kTuesday(2004, 3, 2);

DeskRequest req(A action, const char *dept, const char *weight, const char *worker = "")
{
    DeskRequest r;
    r.action = action;
    r.code = QStringLiteral("KC1-1");
    r.department = QString::fromUtf8(dept);
    r.weight = QString::fromUtf8(weight);
    r.worker = QString::fromUtf8(worker);
    return r;
}

// KC1-1 taken in at 唧蜡 and brought to the desk of 执模 on Monday.
const QList<DeskRequest> kToFiling = {req(A::Receive, "唧蜡", "12"), req(A::PassOn, "唧蜡", "12"),
                                      req(A::Receive, "倒模", "12"), req(A::PassOn, "倒模", "31.25"),
                                      req(A::Receive, "执模", "31.25")};

struct Case
{
    const char *name;
    const char *closed;        // the department whose day is closed
    QDate day;                 // the day closed
    QDate actedOn;             // the day of the action
    DeskRequest request;
    R result;
};

const QList<Case> kCases = {
    {"issue at a closed desk", "执模", kTuesday, kTuesday, req(A::Issue, "执模", "31.25", "0401"), R::DayClosed},
    {"pass on from a closed desk", "执模", kTuesday, kTuesday, req(A::PassOn, "执模", "31.25"), R::DayClosed},
    // The transfer out adds to 镶石's received figure of the progress record.
    {"pass on to a closed desk", "镶石", kTuesday, kTuesday, req(A::PassOn, "执模", "31.25"), R::DayClosed},
    {"another department closed", "打磨", kTuesday, kTuesday, req(A::Issue, "执模", "31.25", "0401"), R::Done},
    {"the day before is closed", "执模", kMonday, kTuesday, req(A::Issue, "执模", "31.25", "0401"), R::Done},
};

QString closerOf(const Case &c)
{
    return QStringLiteral("%1 %2 已日结 (BOSS").arg(QString::fromUtf8(c.closed), c.day.toString(Qt::ISODate));
}

} // namespace

class tst_ClosedDays : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deskActionOnAClosedDay_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("index");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < kCases.size(); ++i)
                QTest::addRow("%s: %s", engine, kCases[i].name) << QString::fromLatin1(engine) << i;
        }
    }

    void deskActionOnAClosedDay()
    {
        WIP_DESK_FACTORY(db);
        QFETCH(int, index);
        const Case &c = kCases[index];
        DeskClerk clerk(db.tr());
        for (const DeskRequest &r : kToFiling)
            QVERIFY2(clerk.desk.act(r).done(), qPrintable(r.department));
        const ClosedDays::Outcome closed = ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor,
                                                             QString::fromUtf8(c.closed), c.day);
        QVERIFY2(closed.done, qPrintable(closed.message));
        const QStringList before = deskRows(db);
        clerk.now = QDateTime(c.actedOn, QTime(10, 0));
        const DeskOutcome o = clerk.desk.act(c.request);
        QCOMPARE(o.result, c.result);
        if (c.result == R::DayClosed) {
            QVERIFY2(o.message.contains(closerOf(c)), qPrintable(o.message));
            QCOMPARE(deskRows(db), before);
        }
    }

    void castingBatchOnAClosedDay_data() { addEngineRows(); }
    void castingBatchOnAClosedDay()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk clerk(db.tr());
        for (const DeskRequest &r : kToFiling.mid(0, 3))
            QVERIFY(clerk.desk.act(r).done());
        QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, "倒模", kMonday).done);
        const QStringList before = deskRows(db);
        const CastingDesk::Outcome o = clerk.cast("40", "5", {"KC1-1=31.25"});
        QCOMPARE(o.result, R::DayClosed);
        QVERIFY2(o.message.contains(QStringLiteral("倒模 2004-03-01 已日结 (BOSS")), qPrintable(o.message));
        QCOMPARE(deskRows(db), before);
    }

    // A scan and a save of the progress form count on the day they are made,
    // for each department whose figures they change.
    void scanAndProgressSaveOnAClosedDay_data() { addEngineRows(); }
    void scanAndProgressSaveOnAClosedDay()
    {
        WIP_DESK_FACTORY(db);
        const QDate today = QDate::currentDate();
        QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, "唧蜡", today).done);
        const QString says = QStringLiteral("唧蜡 %1 已日结 (BOSS").arg(today.toString(Qt::ISODate));
        ScanStation station(db.tr(), {"CLERK", "test"}, QString(), true);
        const ScanOutcome scan = station.scan("KC1-1", *ScanDepartment::find("唧蜡"), ScanAction::In);
        QCOMPARE(scan.result, ScanOutcome::Result::DayClosed);
        QVERIFY2(scan.message.contains(says), qPrintable(scan.message));
        QCOMPARE(db.scalar("select count(*) from process").toInt(), 0);

        reports::DataStore process("d_w_process_input");
        process.SetTransObject(db.tr());
        QCOMPARE(process.Retrieve({"KC1"}), 0);
        const int row = process.InsertRow(0);
        process.SetItem(row, "scno", "KC1");
        process.SetItem(row, "wax_in", 10);
        QString refusal;
        QCOMPARE(ContractWrites::saveProcess(process, db.tr(), {"CLERK", "test"}, QVariant(), &refusal),
                 ContractWrites::SaveResult::DayClosed);
        QVERIFY2(refusal.contains(says), qPrintable(refusal));
        QCOMPARE(db.scalar("select count(*) from process").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from audit_log where scno = 'KC1'").toInt(), 0);
        // The record is kept as typed: once the administrator reopens the day it saves.
        QVERIFY(ClosedDays::reopen(db.tr(), {"ADMIN", "test"}, Right::Users, "唧蜡", today).done);
        QCOMPARE(ContractWrites::saveProcess(process, db.tr(), {"CLERK", "test"}), ContractWrites::SaveResult::Saved);
        QCOMPARE(db.scalar("select wax_in from process where scno = 'KC1'").toInt(), 10);
    }

    void departmentsOfTheProgressColumns()
    {
        const QList<QPair<const char *, const char *>> rows = {
            {"wax_in", "唧蜡"},     {"wax_out", "唧蜡"},  {"wax_date", "唧蜡"},       {"casting_in", "倒模"},
            {"filing_out", "执模"}, {"setting_date", "镶石"}, {"rhodium_in", "电金"}, {"qc_out", "石仓"},
            {"remark", ""},         {"bz", ""},
        };
        for (const auto &[column, department] : rows)
            QCOMPARE(ContractWrites::departmentOf(QString::fromLatin1(column)), QString::fromUtf8(department));
    }

    // Who may close and reopen, and what each leaves in closed_day and the audit trail.
    void closeNeedsTheSupervisorReopenTheAdministrator_data() { addEngineRows(); }
    void closeNeedsTheSupervisorReopenTheAdministrator()
    {
        WIP_DESK_FACTORY(db);
        const QDate today = QDate::currentDate();
        const struct
        {
            const char *user;
            bool reopen;
            Rights rights;
            QDate day;
            bool done;
            const char *says;
        } steps[] = {
            {"CLERK", false, Right::Scan, kMonday, false, "没有主管权限"},
            {"BOSS", false, Right::Supervisor, today.addDays(1), false, "还没有过完"},
            {"BOSS", true, Right::Supervisor, kMonday, false, "不是管理员"},
            {"ADMIN", true, Right::Users, kMonday, false, "没有日结"},
            {"BOSS", false, Right::Supervisor, kMonday, true, "执模 2004-03-01 已日结 (BOSS)"},
            {"BOSS", false, Right::Supervisor, kMonday, false, "已由 BOSS 日结"},
            {"BOSS", true, Right::Supervisor, kMonday, false, "不是管理员"},
            {"ADMIN", true, Right::Users, kMonday, true, "执模 2004-03-01 已重开 (ADMIN)"},
            {"BOSS", false, Right::Supervisor, kMonday, true, "已日结"},
        };
        for (const auto &s : steps) {
            const AuditSource who{QString::fromLatin1(s.user), "test"};
            const ClosedDays::Outcome o = s.reopen ? ClosedDays::reopen(db.tr(), who, s.rights, "执模", s.day)
                                                   : ClosedDays::close(db.tr(), who, s.rights, "执模", s.day);
            QCOMPARE(o.done, s.done);
            QVERIFY2(o.message.contains(QString::fromUtf8(s.says)), qPrintable(o.message));
        }
        QCOMPARE(table(db, "ttttt", "select dept, closed_by, reopened_by, case when day is null then 'x' else 'd' end, "
                                    "case when reopened_at is null then 'open' else 'reopened' end from closed_day"),
                 QStringList({"执模|BOSS|-|d|open", "执模|BOSS|ADMIN|d|reopened"}));
        QCOMPARE(table(db, "tttt", "select user_code, field, old_value, new_value from audit_log"),
                 QStringList({"ADMIN|day:reopen|执模 2004-03-01 (BOSS 日结)|执模 2004-03-01",
                              "BOSS|day:close|-|执模 2004-03-01", "BOSS|day:close|-|执模 2004-03-01"}));
        const auto closed = ClosedDays::find(db.tr(), "执模", kMonday);
        QVERIFY(closed);
        QCOMPARE(closed->closedBy, QStringLiteral("BOSS"));
        QVERIFY(!ClosedDays::find(db.tr(), "执模", kTuesday));
    }
};

QTEST_GUILESS_MAIN(tst_ClosedDays)
#include "tst_closeddays.moc"
