// 冲销 at the desk, on both engines: the refusals (nothing written), and a
// take-back reversed on the day after its own was closed and taken back again,
// after which the sheet's lines, the loss against allowance and the metal
// balance net the mistake out, while the closed day's rows and figures stay
// as they were. An issue reversed gives every piece back to the desk; a
// receive or a pass-on reversed and done again nets out in the transfers, the
// desks' holdings, the outside steps and the progress record.

#include "database/closeddays.h"
#include "maintenance/consistencycheck.h"
#include "deskfixture.h"

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

namespace {

const QDate kMonday(2004, 3, 1);
const QDate kTuesday(2004, 3, 2);

DeskRequest req(A action, const char *dept, const char *weight, const char *pieces = "", const char *worker = "")
{
    DeskRequest r;
    r.action = action;
    r.code = QStringLiteral("KC1-1");
    r.department = QString::fromUtf8(dept);
    r.weight = QString::fromUtf8(weight);
    r.pieces = QString::fromUtf8(pieces);
    r.worker = QString::fromUtf8(worker);
    return r;
}

DeskRequest takeBack(const char *pieces, const char *weight, const char *returned, const char *unfinished = "")
{
    DeskRequest r = req(A::TakeBack, "执模", weight, pieces);
    r.returned = QString::fromUtf8(returned);
    r.unfinishedToDesk = *unfinished != '\0';
    r.unfinishedWeight = QString::fromUtf8(unfinished);
    return r;
}

DeskRequest reverse(const char *dept = "执模", const char *reason = "重量记错")
{
    DeskRequest r = req(A::Reverse, dept, "");
    r.reason = QString::fromUtf8(reason);
    return r;
}

// KC1-1 (10 pieces of 18KY) at the desk of 执模 with 31.25 g, Monday morning.
const QList<DeskRequest> kToFiling = {req(A::Receive, "唧蜡", "12"), req(A::PassOn, "唧蜡", "12"),
                                      req(A::Receive, "倒模", "12"), req(A::PassOn, "倒模", "31.25"),
                                      req(A::Receive, "执模", "31.25")};
const DeskRequest kIssue = req(A::Issue, "执模", "31.25", "", "0401");

struct Refusal
{
    const char *name;
    QList<DeskRequest> after;   // on Monday, after kToFiling, a minute apart
    DeskRequest request;        // on Tuesday
    Rights rights;
    const char *closed;         // 执模's Tuesday closed by BOSS first
    R result;
    const char *says;
};

const Rights kBoss = Right::Scan | Right::Supervisor;

const QList<Refusal> kRefusals = {
    {"no reason", {kIssue, takeBack("10", "30", "0.5")}, reverse("执模", "  "), kBoss, "", R::BadInput, "原因"},
    {"no supervisor right", {kIssue, takeBack("10", "30", "0.5")}, reverse(), Right::Scan, "", R::NoRight, "主管"},
    {"today closed", {kIssue, takeBack("10", "30", "0.5")}, reverse(), kBoss, "执模", R::DayClosed,
     "执模 2004-03-02 已日结 (BOSS"},
    {"received by the next department", {kIssue, takeBack("10", "30", "0.5"), req(A::PassOn, "执模", "30"),
                                          req(A::Receive, "镶石", "30")},
     reverse(), kBoss, "", R::NotLast, "只能冲销袋在执模"},
    {"reversed already", {kIssue, takeBack("10", "30", "0.5"), reverse()}, reverse(), kBoss, "", R::NotLast,
     "已是冲销"},
    {"at another department", {kIssue}, reverse("镶石"), kBoss, "", R::NotLast, "只能冲销袋在镶石"},
    // Taking 转出 off the progress record takes the pieces off 镶石's received figure too.
    {"passed on, the next department closed", {req(A::PassOn, "执模", "31.25")}, reverse(), kBoss, "镶石",
     R::DayClosed, "镶石 2004-03-02 已日结"},
};

DeskRequest outside(A action, const char *weight)
{
    DeskRequest r = req(action, "执模", weight);
    r.toOutside = action == A::PassOn;
    r.worker = action == A::PassOn ? QStringLiteral("金艺") : QString();
    r.confirmDifference = true;
    return r;
}

DeskRequest confirmed(DeskRequest r)
{
    r.confirmDifference = true;
    return r;
}

// A query of the rows after the correction and the right action, and what it must give.
struct Check
{
    const char *kinds;
    const char *sql;
    QStringList rows;
};

// A receive or pass-on made wrong on Monday (that day then closed at the
// department), reversed on Tuesday and done again right.
struct Redo
{
    const char *name;
    QList<DeskRequest> monday;   // from the start of Monday, a minute apart
    const char *dept;            // where it is reversed, and its Monday closed
    BagPlace::Place after;       // where the reversal puts the bag
    QList<DeskRequest> tuesday;  // done again, after the reversal
    QList<Check> checks;
};

const char *const kOpenTransfers = "select count(*) from jcjl_mattran where zt = 'BEGIN'";
const char *const kDeskHolds = "select gongxu_code, sum(qty), sum(weight) from proch_new where edtime is null and "
                               "coalesce(changhao, '') = '' group by gongxu_code";

const QList<Redo> kRedos = {
    {"a pass-on", kToFiling + QList<DeskRequest>{req(A::PassOn, "执模", "31.25")}, "执模", BagPlace::Place::Desk,
     {req(A::PassOn, "执模", "31.2"), req(A::Receive, "镶石", "31.2")},
     {{"nn", "select sum(qtyref), sum(fweight) from jcjl_mattran where fcode = '04-执模收发'", {"31.2|31.2"}},
      {"n", kOpenTransfers, {"0"}},
      {"nnn", "select filing_in, filing_out, setting_in from process", {"10|10|10"}},
      {"tnn", kDeskHolds, {"06-镶石|10|31.2"}}}},
    {"a receive", kToFiling + QList<DeskRequest>{req(A::PassOn, "执模", "31.25"), confirmed(req(A::Receive, "镶石", "31"))},
     "镶石", BagPlace::Place::Transit, {req(A::Receive, "镶石", "31.25")},
     {{"nnn", "select count(*), sum(qtyref), sum(fweight) from jcjl_mattran where tcode = '05-镶石收发'",
       {"3|31.25|31.25"}},
      {"n", kOpenTransfers, {"0"}},
      {"tnn", kDeskHolds, {"06-镶石|10|31.25"}}}},
    {"a receive back from outside work", kToFiling + QList<DeskRequest>{outside(A::PassOn, "31.25"), outside(A::Receive, "31")},
     "执模", BagPlace::Place::Outside, {outside(A::Receive, "31.25")},
     {{"nn", "select sum(qtyref), sum(fweight) from jcjl_mattran where tcode = '12-外工收发'", {"31.25|31.25"}},
      {"nn", "select count(*), sum(qty) from proch where gongxu_code = '11-外发'", {"3|10"}},
      {"n", "select count(*) from proch where gongxu_code = '11-外发' and edtime is null", {"0"}},
      {"tnn", kDeskHolds, {"04-执模|10|31.25"}}}},
    {"a pass-on to outside work", kToFiling + QList<DeskRequest>{outside(A::PassOn, "31.25")}, "执模",
     BagPlace::Place::Desk, {req(A::PassOn, "执模", "31.25")},
     {{"nn", "select count(*), sum(qty) from proch where gongxu_code = '11-外发'", {"2|0"}},
      {"n", "select count(*) from proch where gongxu_code = '11-外发' and edtime is null", {"0"}},
      {"nn", "select sum(qtyref), sum(fweight) from jcjl_mattran where tcode = '12-外工收发'", {"0|0"}},
      {"n", kOpenTransfers, {"1"}}}},
    {"a receive at 唧蜡 from the line", {req(A::Receive, "唧蜡", "12")}, "唧蜡", BagPlace::Place::None,
     {req(A::Receive, "唧蜡", "12.5")},
     {{"nn", "select wax_in, wax_out from process", {"10|0"}},
      {"tnn", kDeskHolds, {"01-唧腊|10|12.5"}},
      {"n", "select count(*) from proch_new where gongxu_code = '01-唧腊'", {"2"}}}},
};

// The balance of a holder on the days: "opening|received|issued|taken back|returned|loss|passed on|closing".
QString balanceOf(Transaction &tr, const QDate &from, const QDate &to, const QString &kind, const QString &holder)
{
    reports::DataStore ds(QStringLiteral("d_metal_balance"));
    ds.SetTransObject(tr);
    if (ds.Retrieve({from, to}) < 0)
        return QStringLiteral("retrieve failed");
    for (int r = 1; r <= ds.RowCount(); ++r) {
        if (ds.GetItemString(r, "gongxu_code") != QStringLiteral("04-执模") || ds.GetItemString(r, "kind") != kind
            || ds.GetItemString(r, "holder") != holder)
            continue;
        QStringList cells;
        for (const char *f : {"opening", "received", "issued", "taken_back", "returned", "loss", "passed_on", "closing"})
            cells << ds.GetItemDecimal(r, QLatin1String(f)).normalized().toString();
        return cells.join(QLatin1Char('|'));
    }
    return QStringLiteral("none");
}

// Every row of a query as text.
QStringList textRows(TestDatabase &db, const QString &sql, const QVariantList &values)
{
    QStringList rows;
    for (const QVariantList &row : db.rows(sql, values)) {
        QStringList cells;
        for (const QVariant &v : row)
            cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// A take-back made wrong on Monday, then the right one on Tuesday.
struct Retake
{
    const char *name;
    DeskRequest wrong;
    DeskRequest right;
    const char *lines;      // the sheet's FIN lines summed: iss_pcs|iss_weight|fin_weight|ret_weight|loss|back_weight
    const char *alwloss;    // d_w_alwloss of 执模: iss_pcs|iss_weight|loss
    const char *worker;     // 0401's metal balance over Monday and Tuesday
    const char *desk;       // what the desk holds at the end: pcs|weight
};

const QList<Retake> kRetakes = {
    {"all pieces, wrong grams", takeBack("10", "30", "0.5"), takeBack("10", "30.5", "0.5"), "10|31.25|30.5|0.5|0.25|0",
     "10|31.25|0.25", "0|31.25|0|30.5|0.5|0.25|0|0", "10|30.5"},
    // The 4 pieces left with the worker come back to the desk with nothing done
    // and go out again on the sheet: 13.05 g back and issued again on Tuesday.
    {"pieces left with the worker", takeBack("6", "18", "0.2"), takeBack("10", "30.6", "0.4"),
     "10|31.25|30.6|0.4|0.25|13.05", "10|31.25|0.25", "0|44.3|0|43.65|0.4|0.25|0|0", "10|30.6"},
    {"pieces sent back unfinished", takeBack("7", "21", "0.3", "9.5"), takeBack("8", "24.8", "0.3", "6.1"),
     "8|25.15|24.8|0.3|0.05|6.1", "8|25.15|0.05", "0|31.25|0|30.9|0.3|0.05|0|0", "10|30.9"},
};

} // namespace

class tst_DeskReversal : public QObject
{
    Q_OBJECT

    static bool toFiling(DeskClerk &clerk, const QList<DeskRequest> &more, QString *why)
    {
        clerk.now = QDateTime(kMonday, QTime(9, 0));
        for (const DeskRequest &r : kToFiling + more) {
            const DeskOutcome o = clerk.desk.act(r);
            if (!o.done()) {
                *why = o.message;
                return false;
            }
            clerk.now = clerk.now.addSecs(60);
        }
        return true;
    }

private Q_SLOTS:
    void refusals_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("index");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < kRefusals.size(); ++i)
                QTest::addRow("%s: %s", engine, kRefusals[i].name) << QString::fromLatin1(engine) << i;
        }
    }
    void refusals()
    {
        WIP_DESK_FACTORY(db);
        QFETCH(int, index);
        const Refusal &c = kRefusals[index];
        DeskClerk clerk(db.tr(), "BOSS", kBoss);
        QString why;
        QVERIFY2(toFiling(clerk, c.after, &why), qPrintable(why));
        if (*c.closed)
            QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, QString::fromUtf8(c.closed), kTuesday)
                        .done);
        const QStringList before = deskRows(db);
        DeskClerk acting(db.tr(), "BOSS", c.rights);
        acting.now = QDateTime(kTuesday, QTime(9, 0));
        const DeskOutcome o = acting.desk.act(c.request);
        QCOMPARE(o.result, c.result);
        QVERIFY2(o.message.contains(QString::fromUtf8(c.says)), qPrintable(o.message));
        QCOMPARE(deskRows(db), before);
    }

    void reverseATakeBackAndTakeBackAgain_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("index");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < kRetakes.size(); ++i)
                QTest::addRow("%s: %s", engine, kRetakes[i].name) << QString::fromLatin1(engine) << i;
        }
    }
    void reverseATakeBackAndTakeBackAgain()
    {
        WIP_DESK_FACTORY(db);
        QFETCH(int, index);
        const Retake &c = kRetakes[index];
        DeskClerk clerk(db.tr(), "BOSS", kBoss);
        QString why;
        QVERIFY2(toFiling(clerk, {kIssue}, &why), qPrintable(why));
        clerk.now = QDateTime(kMonday, QTime(16, 0));
        const DeskOutcome wrong = clerk.desk.act(c.wrong);
        QVERIFY2(wrong.done(), qPrintable(wrong.message));
        QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, "执模", kMonday).done);
        // The lines settled in the closed day (a line still open is settled
        // when its pieces come back, as at any take-back).
        const QString mondayRows = "select * from work_report where zt = 'FIN' and ldate < ? order by lsh";
        const QStringList closedLines = textRows(db, mondayRows, {QDateTime(kTuesday, QTime(0, 0))});
        QCOMPARE(closedLines.size(), 1);
        const QString mondayWorker = balanceOf(db.tr(), kMonday, kMonday, "工人", "0401");
        const QString mondayDesk = balanceOf(db.tr(), kMonday, kMonday, "收发", "");

        clerk.now = QDateTime(kTuesday, QTime(9, 0));
        const DeskOutcome reversed = clerk.desk.act(reverse());
        QVERIFY2(reversed.done(), qPrintable(reversed.message));
        QCOMPARE(reversed.after.place, BagPlace::Place::Worker);
        QCOMPARE(reversed.after.noteNo, QStringLiteral("KC1-1/6"));
        // The worker holds the whole sheet again, as issued.
        QCOMPARE(table(db, "tnn", "select wsheetno, pen_pcs, pen_weight from work_report where zt = 'PEN'"),
                 QStringList{"KC1-1/6|10|31.25"});
        QCOMPARE(table(db, "nn", "select qtycal, qtyref from jcjl_mattran where zt = 'BEGIN' and tcode = '11-工人在做仓'"),
                 QStringList{"10|31.25"});
        QCOMPARE(table(db, "nn", "select pcs, weight from work_wip"), QStringList{"10|31.25"});
        QCOMPARE(table(db, "tt", "select field, new_value from audit_log where field = 'desk:reverse'"),
                 QStringList{"desk:reverse|冲销: 重量记错"});
        QVERIFY2(db.scalar("select old_value from audit_log where field = 'desk:reverse'").toString()
                     .contains(QStringLiteral("收回 工单 KC1-1/6")),
                 qPrintable(db.scalar("select old_value from audit_log where field = 'desk:reverse'").toString()));
        QCOMPARE(db.scalar("select count(*) from audit_log where field = 'bag:place' and changed_at = ?",
                           {QDateTime(kTuesday, QTime(9, 0))}).toInt(), 1);

        clerk.now = QDateTime(kTuesday, QTime(11, 0));
        const DeskOutcome right = clerk.desk.act(c.right);
        QVERIFY2(right.done(), qPrintable(right.message));

        // The closed day's rows and figures are as they were.
        QCOMPARE(textRows(db, mondayRows, {QDateTime(kTuesday, QTime(0, 0))}), closedLines);
        QCOMPARE(balanceOf(db.tr(), kMonday, kMonday, "工人", "0401"), mondayWorker);
        QCOMPARE(balanceOf(db.tr(), kMonday, kMonday, "收发", ""), mondayDesk);
        // Over both days the wrong take-back nets out.
        QCOMPARE(table(db, "nnnnnn", "select sum(iss_pcs), sum(iss_weight), sum(fin_weight), sum(ret_weight), sum(loss), "
                                     "sum(back_weight) from work_report where zt = 'FIN' and gongxu = '04-执模'"),
                 QStringList{QString::fromUtf8(c.lines)});
        QCOMPARE(db.scalar("select count(*) from work_report where zt = 'PEN'").toInt(), 0);
        QCOMPARE(report(db.tr(), "d_w_alwloss", {QStringList{"KC1"}}, {"gongxu", "iss_pcs", "iss_weight", "loss"}),
                 QStringList{QStringLiteral("04-执模|") + QString::fromUtf8(c.alwloss)});
        QCOMPARE(balanceOf(db.tr(), kMonday, kTuesday, "工人", "0401"), QString::fromUtf8(c.worker));
        const QStringList desk = QString::fromUtf8(c.desk).split(QLatin1Char('|'));
        QCOMPARE(right.after.place, BagPlace::Place::Desk);
        QCOMPARE(right.after.pcs.normalized().toString(), desk[0]);
        QCOMPARE(right.after.weight.normalized().toString(), desk[1]);
        QCOMPARE(balanceOf(db.tr(), kTuesday, kTuesday, "收发", "").section(QLatin1Char('|'), -1), desk[1]);
        // The filings returned and the worker's transfers net out the same way.
        QCOMPARE(table(db, "n", "select sum(weight) from flreturn"),
                 QStringList{QString::fromUtf8(c.lines).section(QLatin1Char('|'), 3, 3)});
        QCOMPARE(table(db, "nn", "select sum(fweight), sum(freturn) from jcjl_mattran where tcode = '11-工人在做仓'"),
                 QStringList{QString::fromUtf8(c.lines).section(QLatin1Char('|'), 2, 3)});
    }

    void reverseAMoveAndDoItAgain_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("index");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < kRedos.size(); ++i)
                QTest::addRow("%s: %s", engine, kRedos[i].name) << QString::fromLatin1(engine) << i;
        }
    }
    void reverseAMoveAndDoItAgain()
    {
        WIP_DESK_FACTORY(db);
        QFETCH(int, index);
        const Redo &c = kRedos[index];
        DeskClerk clerk(db.tr(), "BOSS", kBoss);
        clerk.now = QDateTime(kMonday, QTime(9, 0));
        for (const DeskRequest &r : c.monday) {
            const DeskOutcome o = clerk.desk.act(r);
            QVERIFY2(o.done(), qPrintable(o.message));
            clerk.now = clerk.now.addSecs(60);
        }
        QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, QString::fromUtf8(c.dept), kMonday).done);
        const QStringList balanceColumns{"gongxu_code", "kind", "holder", "mcode", "opening", "received", "issued",
                                         "taken_back", "returned", "loss", "passed_on", "closing"};
        const QStringList monday = report(db.tr(), "d_metal_balance", {kMonday, kMonday}, balanceColumns);

        clerk.now = QDateTime(kTuesday, QTime(9, 0));
        DeskRequest wrong = reverse(c.dept, "称错");
        wrong.code = QStringLiteral("KC1-1");
        const DeskOutcome reversed = clerk.desk.act(wrong);
        QVERIFY2(reversed.done(), qPrintable(reversed.message));
        QCOMPARE(reversed.after.place, c.after);
        QCOMPARE(ledgerDisagreement(db), QString());
        // What the desk held before the wrong pass-on.
        if (c.after == BagPlace::Place::Desk)
            QCOMPARE(reversed.after.weight.normalized().toString(), QStringLiteral("31.25"));
        QCOMPARE(db.scalar("select count(*) from audit_log where field = 'desk:reverse' and new_value = ?",
                           {QStringLiteral("冲销: 称错")}).toInt(), 1);
        for (int i = 1; i <= c.tuesday.size(); ++i) {
            clerk.now = QDateTime(kTuesday, QTime(9, 0)).addSecs(60 * i);
            const DeskOutcome o = clerk.desk.act(c.tuesday[i - 1]);
            QVERIFY2(o.done(), qPrintable(o.message));
        }
        for (const Check &check : c.checks)
            QCOMPARE(table(db, check.kinds, QString::fromUtf8(check.sql)), check.rows);
        QCOMPARE(report(db.tr(), "d_metal_balance", {kMonday, kMonday}, balanceColumns), monday);
        QCOMPARE(ledgerDisagreement(db), QString());
        // No holder below nothing, and the progress record agrees with where the bag is.
        ConsistencyCheck check(db.tr(), {7, QDateTime(kTuesday, QTime(18, 0))});
        QList<Finding> findings;
        QVERIFY2(check.negativeHoldings(&findings) && check.progressAgrees(&findings), qPrintable(check.error()));
        QStringList found;
        for (const Finding &f : findings)
            found << f.line();
        QCOMPARE(found, QStringList());
    }

    // A casting batch (KC1-1 and KC1-3, 18KY) cast wrong on Monday, 倒模's
    // Monday closed, reversed whole on Tuesday from either bag and cast again;
    // then, once a bag of the new batch has moved on, the batch is not reversed.
    void reverseACastingBatch_data() { addEngineRows(); }
    void reverseACastingBatch()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk clerk(db.tr(), "BOSS", kBoss);
        clerk.now = QDateTime(kMonday, QTime(9, 0));
        for (const char *code : {"KC1-1", "KC1-3"}) {
            for (const auto &[action, dept] : {std::pair{A::Receive, "唧蜡"}, {A::PassOn, "唧蜡"}, {A::Receive, "倒模"}}) {
                DeskRequest r = req(action, dept, code == QLatin1String("KC1-1") ? "12" : "7");
                r.code = QString::fromLatin1(code);
                const DeskOutcome o = clerk.desk.act(r);
                QVERIFY2(o.done(), qPrintable(o.message));
                clerk.now = clerk.now.addSecs(60);
            }
        }
        clerk.now = QDateTime(kMonday, QTime(10, 0));
        const CastingDesk::Outcome wrong = clerk.cast("40", "3.5", {"KC1-1=20", "KC1-3=16"});
        QVERIFY2(wrong.done(), qPrintable(wrong.message));
        QVERIFY(ClosedDays::close(db.tr(), {"BOSS", "test"}, Right::Supervisor, "倒模", kMonday).done);
        const QStringList balanceColumns{"gongxu_code", "kind", "holder", "mcode", "opening", "received", "issued",
                                         "taken_back", "returned", "loss", "passed_on", "closing"};
        const QStringList monday = report(db.tr(), "d_metal_balance", {kMonday, kMonday}, balanceColumns);

        clerk.now = QDateTime(kTuesday, QTime(9, 0));
        DeskRequest back = reverse("倒模", "称错");
        back.code = QStringLiteral("KC1-3");
        const DeskOutcome reversed = clerk.desk.act(back);
        QVERIFY2(reversed.done(), qPrintable(reversed.message));
        QVERIFY2(reversed.message.contains(wrong.batchNo), qPrintable(reversed.message));
        // Both bags wax again at the desk, with what they held before the cast.
        QCOMPARE(table(db, "tnn", "select scond_id, pcs, weight from bag_place where place = 'desk' order by scond_id"),
                 (QStringList{"1|10|12", "3|6|7"}));
        QCOMPARE(table(db, "tnn", kDeskHolds), QStringList{"03-倒模|16|19"});
        QCOMPARE(table(db, "nnn", "select count(*), sum(qtycal), sum(loss) from castind"), QStringList{"2|0|0"});
        QCOMPARE(db.scalar("select count(*) from audit_log where field = 'desk:reverse'").toInt(), 2);
        QCOMPARE(ledgerDisagreement(db), QString());

        clerk.now = QDateTime(kTuesday, QTime(10, 0));
        const CastingDesk::Outcome right = clerk.cast("40", "3.5", {"KC1-1=21", "KC1-3=15.4"});
        QVERIFY2(right.done(), qPrintable(right.message));
        QVERIFY(right.batchNo != wrong.batchNo);
        QCOMPARE(table(db, "nnn", "select sum(qtycal), sum(qtyref), sum(loss) from castind"),
                 QStringList{"36.4|16|0.1"});
        QCOMPARE(table(db, "n", "select sum(m.sqtycal) from matuse m join proch p on p.proch_id = m.proch_id "
                                "where p.memo = '铸造批'"),
                 QStringList{"36.5"});
        QCOMPARE(report(db.tr(), "d_metal_balance", {kMonday, kMonday}, balanceColumns), monday);
        QCOMPARE(ledgerDisagreement(db), QString());
        ConsistencyCheck check(db.tr(), {7, QDateTime(kTuesday, QTime(18, 0))});
        QList<Finding> findings;
        QVERIFY2(check.negativeHoldings(&findings) && check.progressAgrees(&findings), qPrintable(check.error()));
        QCOMPARE(findings.size(), 0);

        clerk.now = QDateTime(kTuesday, QTime(11, 0));
        const DeskOutcome passed = clerk.desk.act([] { DeskRequest r = req(A::PassOn, "倒模", "15.4"); r.code = "KC1-3"; return r; }());
        QVERIFY2(passed.done(), qPrintable(passed.message));
        const QStringList before = deskRows(db);
        clerk.now = QDateTime(kTuesday, QTime(11, 5));
        DeskRequest whole = reverse("倒模");
        const DeskOutcome refused = clerk.desk.act(whole);
        QCOMPARE(refused.result, R::NotLast);
        QVERIFY2(refused.message.contains(QStringLiteral("KC1-3")) && refused.message.contains(QStringLiteral("整批")),
                 qPrintable(refused.message));
        QCOMPARE(deskRows(db), before);
    }

    // An issue to the wrong worker reversed: the step closed with nothing, the
    // desk holds the bag again, and nothing is lost or gained.
    void reverseAnIssue_data() { addEngineRows(); }
    void reverseAnIssue()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk clerk(db.tr(), "BOSS", kBoss);
        QString why;
        QVERIFY2(toFiling(clerk, {req(A::Issue, "执模", "12.5", "4", "0402")}, &why), qPrintable(why));
        clerk.now = QDateTime(kTuesday, QTime(9, 0));
        const DeskOutcome o = clerk.desk.act(reverse("执模", "发错工人"));
        QVERIFY2(o.done(), qPrintable(o.message));
        QCOMPARE(o.after.place, BagPlace::Place::Desk);
        QCOMPARE(o.after.pcs.normalized().toString(), QStringLiteral("10"));
        QCOMPARE(o.after.weight.normalized().toString(), QStringLiteral("31.25"));
        QCOMPARE(table(db, "ttnnnnnn", "select zt, changhao, iss_weight, fin_weight, ret_weight, loss, back_pcs, "
                                       "back_weight from work_report"),
                 QStringList{"FIN|0402|0|0|0|0|4|12.5"});
        QCOMPARE(db.scalar("select count(*) from work_wip").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from jcjl_mattran where zt = 'BEGIN'").toInt(), 0);
        QCOMPARE(balanceOf(db.tr(), kMonday, kTuesday, "工人", "0402"), QStringLiteral("0|12.5|0|12.5|0|0|0|0"));
        QCOMPARE(balanceOf(db.tr(), kTuesday, kTuesday, "收发", ""), QStringLiteral("18.75|0|0|12.5|0|0|0|31.25"));
        // Now it goes to the right worker, on a sheet of its own.
        clerk.now = QDateTime(kTuesday, QTime(9, 5));
        const DeskOutcome again = clerk.desk.act(req(A::Issue, "执模", "31.25", "", "0401"));
        QVERIFY2(again.done(), qPrintable(again.message));
        QCOMPARE(again.after.noteNo, QStringLiteral("KC1-1/8"));
    }
};

QTEST_GUILESS_MAIN(tst_DeskReversal)
#include "tst_deskreversal.moc"
