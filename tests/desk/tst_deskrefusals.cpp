// Every refusal of the department desk, on both engines: the reason it gives
// and that nothing at all was written (every table the desk writes is as it
// was). Then what a confirmation or a clerk's choice lets through.

#include "deskfixture.h"

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

namespace {

// The bag KC1-1 brought to the desk of 执模 (wax 12 g, metal 31.25 g).
const QList<DeskRequest> kAtFiling = [] {
    QList<DeskRequest> list;
    const auto add = [&list](A action, const char *dept, const char *weight) {
        DeskRequest r;
        r.action = action;
        r.code = "KC1-1";
        r.department = QString::fromUtf8(dept);
        r.weight = QString::fromUtf8(weight);
        list << r;
    };
    add(A::Receive, "唧蜡", "12");
    add(A::PassOn, "唧蜡", "12");
    add(A::Receive, "倒模", "12");
    add(A::PassOn, "倒模", "31.25");
    add(A::Receive, "执模", "31.25");
    return list;
}();

// ... and issued there to worker 0401.
QList<DeskRequest> withWorker()
{
    DeskRequest issue;
    issue.action = A::Issue;
    issue.code = "KC1-1";
    issue.department = "执模";
    issue.weight = "31.25";
    issue.worker = "0401";
    return kAtFiling + QList<DeskRequest>{issue};
}

// ... and, passed on to 镶石 instead, issued there to the setter 0601 with
// its 30 stones (3 a piece, 钉镶).
QList<DeskRequest> withSetter()
{
    QList<DeskRequest> list = kAtFiling;
    const auto add = [&list](A action, const char *dept, const char *worker) {
        DeskRequest r;
        r.action = action;
        r.code = "KC1-1";
        r.department = QString::fromUtf8(dept);
        r.weight = "31.25";
        r.worker = QString::fromUtf8(worker);
        list << r;
    };
    add(A::PassOn, "执模", "");
    add(A::Receive, "镶石", "");
    add(A::Issue, "镶石", "0601");
    return list;
}

// Stones set ("钉镶=31", "钉镶/DIA-RD-1.0=2") and broken ("DIA-RD-1.0=1").
DeskRequest::StoneCount setBy(const char *text)
{
    const QString t = QString::fromUtf8(text), key = t.section(QLatin1Char('='), 0, 0);
    return {key.section(QLatin1Char('/'), 0, 0), key.section(QLatin1Char('/'), 1), t.section(QLatin1Char('='), 1)};
}
DeskRequest::StoneCount brokenOf(const char *text)
{
    const QString t = QString::fromUtf8(text);
    return {QString(), t.section(QLatin1Char('='), 0, 0), t.section(QLatin1Char('='), 1)};
}

struct Refusal
{
    const char *name;
    QList<DeskRequest> before;   // done first, each must succeed
    const char *sql;             // run after them; may be empty
    DeskRequest request;
    R result;
    const char *says;
    Rights rights = Right::Scan;
};

DeskRequest req(A action, const char *dept, const char *weight, const char *pieces = "", const char *worker = "",
                const char *code = "KC1-1")
{
    DeskRequest r;
    r.action = action;
    r.code = QString::fromUtf8(code);
    r.department = QString::fromUtf8(dept);
    r.weight = QString::fromUtf8(weight);
    r.pieces = QString::fromUtf8(pieces);
    r.worker = QString::fromUtf8(worker);
    return r;
}

DeskRequest with(DeskRequest r, const std::function<void(DeskRequest &)> &change)
{
    change(r);
    return r;
}

const QList<DeskRequest> kNone;
const QList<DeskRequest> kReceived = kAtFiling.mid(0, 1);
const QList<DeskRequest> kSent = kAtFiling.mid(0, 2);
const QList<DeskRequest> kToFiling = kAtFiling.mid(0, 4);

// Stones, at a take-back at 镶石 only, in whole stones the style sets and the
// setter was given.
QList<Refusal> stoneRefusals()
{
    return {
        {"stones at another desk", withWorker(), "",
         with(req(A::TakeBack, "执模", "31"), [](DeskRequest &r) { r.stonesSet = {setBy("钉镶=30")}; }), R::BadInput,
         "只有镶石收回"},
        {"stones at an issue", withSetter().mid(0, 7), "",
         with(req(A::Issue, "镶石", "31.25", "", "0601"), [](DeskRequest &r) { r.stonesBroken = {brokenOf("DIA-RD-1.0=1")}; }),
         R::BadInput, "只有镶石收回"},
        {"half a stone set", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesSet = {setBy("钉镶=29.5")}; }), R::BadInput,
         "不是整数粒数"},
        {"stones set below none", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesSet = {setBy("钉镶=-1")}; }), R::BadInput,
         "不是整数粒数"},
        {"half a stone broken", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesBroken = {brokenOf("DIA-RD-1.0=0.5")}; }),
         R::BadInput, "不是整数粒数"},
        {"setting method the style lacks", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesSet = {setBy("爪镶=30")}; }), R::Stones,
         "款式 R2401 没有镶法 \"爪镶\""},
        {"the placeholder is no setting method", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesSet = {setBy("初始镶法=0")}; }), R::Stones,
         "没有镶法 \"初始镶法\""},
        {"stone the method does not set", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesSet = {setBy("钉镶/RUBY-2=1")}; }), R::Stones,
         "没有石料 \"RUBY-2\""},
        {"more set than issued", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesSet = {setBy("钉镶=31")}; }), R::Stones,
         "多于发出的 30 粒"},
        {"more broken than issued", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesBroken = {brokenOf("DIA-RD-1.0=31")}; }),
         R::Stones, "破损 DIA-RD-1.0 31 粒, 多于发出的 30 粒"},
        {"broken stone the style lacks", withSetter(), "",
         with(req(A::TakeBack, "镶石", "31"), [](DeskRequest &r) { r.stonesBroken = {brokenOf("RUBY-2=1")}; }), R::Stones,
         "没有石料 \"RUBY-2\""},
    };
}

const QList<Refusal> &refusals()
{
    static const QList<Refusal> list = stoneRefusals() + QList<Refusal>{
        {"no right", kNone, "", req(A::Receive, "唧蜡", "12"), R::NoRight, "没有部门收发的权限", Rights()},
        {"unknown department", kNone, "", req(A::Receive, "喷砂", "12"), R::BadInput, "没有部门"},
        {"outside work is no desk", kNone, "", req(A::Receive, "外发", "12"), R::BadInput, "没有部门"},
        {"four decimals", kNone, "", req(A::Receive, "唧蜡", "1.2345"), R::BadInput, "最多三位小数"},
        {"comma", kNone, "", req(A::Receive, "唧蜡", "1,5"), R::BadInput, "最多三位小数"},
        {"negative", kNone, "", req(A::Receive, "唧蜡", "-1"), R::BadInput, "最多三位小数"},
        {"exponent", kNone, "", req(A::Receive, "唧蜡", "1e3"), R::BadInput, "最多三位小数"},
        {"no weight", kNone, "", req(A::Receive, "唧蜡", " "), R::BadInput, "没有重量"},
        {"bad returned weight", kNone, "", with(req(A::TakeBack, "执模", "1"), [](DeskRequest &r) { r.returned = "0.0001"; }),
         R::BadInput, "回料重量"},
        {"pieces not whole", kNone, "", req(A::Receive, "唧蜡", "12", "2.5"), R::BadInput, "整数"},
        {"no pieces", kNone, "", req(A::Issue, "唧蜡", "12", "0"), R::BadInput, "大于 0"},
        {"unknown contract", kNone, "", req(A::Receive, "唧蜡", "12", "", "", "KC9-1"), R::UnknownBag, "没有合约 KC9"},
        {"unknown line", kNone, "", req(A::Receive, "唧蜡", "12", "", "", "KC1-9"), R::UnknownBag, "第 9 行"},
        {"deleted line", kNone, "delete from scond where line_no = 3", req(A::Receive, "唧蜡", "7", "", "", "KC1-3"),
         R::UnknownBag, "第 3 行明细已删除"},
        {"not a ticket", kNone, "", req(A::Receive, "唧蜡", "12", "", "", "KC1"), R::UnknownBag, "未知的袋卡 KC1"},
        {"invoiced", kNone, "update sconh set inv_no = 'INV1'", req(A::Receive, "唧蜡", "12"), R::Invoiced, "INV1"},
        {"received nowhere yet", kNone, "", req(A::Receive, "倒模", "12"), R::WrongPlace, "未接收"},
        {"received twice", kReceived, "", req(A::Receive, "唧蜡", "12"), R::WrongPlace, "在唧蜡收发 (10 件 12.000 克)"},
        {"received by another desk", kSent, "", req(A::Receive, "执模", "12"), R::WrongPlace, "在途: 唧蜡 → 倒模"},
        {"fewer pieces than sent", kSent, "", req(A::Receive, "倒模", "12", "9"), R::WholeBag, "送出 10 件"},
        {"more pieces than sent", kSent, "", req(A::Receive, "倒模", "12", "11"), R::TooManyPieces, "不是 11 件"},
        {"more pieces than the line", kNone, "", req(A::Receive, "唧蜡", "12", "11"), R::TooManyPieces, "明细是 10 件"},
        {"weight off", kSent, "", req(A::Receive, "倒模", "12.011"), R::WeightDifference, "超过 0.010 克"},
        {"more than the desk holds", kAtFiling, "", req(A::Issue, "执模", "31", "11", "0401"), R::TooManyPieces, "只有 10 件"},
        {"bag with a worker", withWorker(), "", req(A::Issue, "执模", "1", "", "0402"), R::WithWorker, "0401 张三"},
        {"worker inactive", kAtFiling, "", req(A::Issue, "执模", "31.25", "", "0403"), R::BadWorker, "停用"},
        {"worker of another department", kAtFiling, "", req(A::Issue, "执模", "31.25", "", "0601"), R::BadWorker, "06-镶石"},
        {"unknown worker", kAtFiling, "", req(A::Issue, "执模", "31.25", "", "9999"), R::BadWorker, "9999"},
        {"no worker", kAtFiling, "", req(A::Issue, "执模", "31.25"), R::BadWorker, "没有工号"},
        {"issued by another desk", kAtFiling, "", req(A::Issue, "镶石", "31.25", "", "0601"), R::WrongPlace, "在执模收发"},
        {"taken back from the desk", kAtFiling, "", req(A::TakeBack, "执模", "31"), R::WrongPlace, "在执模收发"},
        {"more pieces than the worker holds", withWorker(), "", req(A::TakeBack, "执模", "31", "11"), R::TooManyPieces, "工人只有 10 件"},
        {"another worker", withWorker(), "", req(A::TakeBack, "执模", "31", "", "0402"), R::WrongPlace, "不是工人 0402"},
        {"gain", withWorker(), "", with(req(A::TakeBack, "执模", "31"), [](DeskRequest &r) { r.returned = "0.251"; }),
         R::Gain, "需主管确认"},
        {"gain confirmed by a clerk", withWorker(), "",
         with(req(A::TakeBack, "执模", "31.3"), [](DeskRequest &r) { r.gainConfirmedBy = "CLERK"; }), R::Gain, "没有主管权限"},
        {"gain with pieces left", withWorker(), "",
         with(req(A::TakeBack, "执模", "31.3", "8"), [](DeskRequest &r) { r.gainConfirmedBy = "BOSS"; }), R::Gain, "全部收回"},
        {"nothing taken back", withWorker(), "", req(A::TakeBack, "执模", "0", "0"), R::BadInput, "没有收回任何件数或回料"},
        {"unfinished back without weight", withWorker(), "",
         with(req(A::TakeBack, "执模", "24", "8"), [](DeskRequest &r) { r.unfinishedToDesk = true; }), R::BadInput, "没有重量"},
        {"part of the bag passed on", kAtFiling, "", req(A::PassOn, "执模", "28", "9"), R::WholeBag, "整袋转出"},
        {"passed on from a worker", withWorker(), "", req(A::PassOn, "执模", "31"), R::WithWorker, "收回后才能转出"},
        {"passed on before received", kToFiling, "", req(A::PassOn, "执模", "31"), R::WrongPlace, "在途: 倒模 → 执模"},
        {"progress record disagrees", kAtFiling, "update process set filing_in = 0", req(A::PassOn, "执模", "31"),
         R::WrongPlace, "进度记录"},
    };
    return list;
}


} // namespace

class DeskRefusalsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedWithItsReasonAndNothingWritten_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("index");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < refusals().size(); ++i)
                QTest::addRow("%s: %s", engine, refusals()[i].name) << QString::fromLatin1(engine) << i;
        }
    }
    void refusedWithItsReasonAndNothingWritten()
    {
        WIP_DESK_FACTORY(db);
        QFETCH(int, index);
        const Refusal &c = refusals()[index];
        DeskClerk clerk(db.tr());
        for (const DeskRequest &r : c.before) {
            const DeskOutcome o = clerk.desk.act(r);
            QVERIFY2(o.done(), qPrintable(o.message));
        }
        if (*c.sql)
            QVERIFY2(db.exec(QString::fromUtf8(c.sql)), qPrintable(db.error()));
        const QStringList before = deskRows(db);
        DeskClerk desk(db.tr(), QStringLiteral("CLERK"), c.rights);
        const DeskOutcome o = desk.desk.act(c.request);
        QVERIFY2(o.result == c.result, qPrintable(QStringLiteral("%1: %2").arg(int(o.result)).arg(o.message)));
        QVERIFY2(o.message.contains(QString::fromUtf8(c.says)), qPrintable(o.message));
        QCOMPARE(deskRows(db), before);
        QVERIFY(!db.tr().inTransaction());
    }

    // What a confirmation lets through, and unfinished pieces sent back to the
    // desk with their weight: the loss leaves them out.
    void confirmedAndChosen_data() { addEngineRows(); }
    void confirmedAndChosen()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk clerk(db.tr());
        for (const DeskRequest &r : withWorker())
            QVERIFY(clerk.desk.act(r).done());
        DeskRequest back = req(A::TakeBack, "执模", "24.5", "8");
        back.returned = "0.3";
        back.unfinishedToDesk = true;
        back.unfinishedWeight = "6.2";
        const DeskOutcome o = clerk.desk.act(back);
        QVERIFY2(o.done() && o.loss && *o.loss == Decimal::fromUnits(250, 3), qPrintable(o.message));
        QCOMPARE(table(db, "nnnnnn", "select iss_pcs, iss_weight, fin_pcs, fin_weight, ret_weight, loss "
                                     "from work_report"),
                 QStringList{"8|25.05|8|24.5|0.3|0.25"});
        QCOMPARE(table(db, "tnn", "select place, pcs, weight from bag_place"), QStringList{"desk|10|30.7"});
        QCOMPARE(table(db, "nn", "select qty, weight from proch_new where changhao = '' and edtime is null"),
                 QStringList{"10|30.7"});

        // The gain of a whole take-back, confirmed by the supervisor.
        QVERIFY(clerk.desk.act(req(A::Issue, "执模", "30.7", "", "0402")).done());
        DeskRequest gain = req(A::TakeBack, "执模", "30.75");
        gain.gainConfirmedBy = "BOSS";
        const DeskOutcome g = clerk.desk.act(gain);
        QVERIFY2(g.done() && g.loss && *g.loss == Decimal::fromUnits(-50, 3), qPrintable(g.message));
        QCOMPARE(db.scalar("select count(*) from audit_log where field = 'desk:gain'").toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(DeskRefusalsTest)
#include "tst_deskrefusals.moc"
