// Every refusal of a casting batch at 倒模, on both engines: the reason it
// gives and that nothing at all was written, not even for the bags of the
// batch that would have been cast.

#include "deskfixture.h"

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

namespace {

DeskRequest req(A action, const char *dept, const char *weight, const char *code)
{
    DeskRequest r;
    r.action = action;
    r.code = QString::fromUtf8(code);
    r.department = QString::fromUtf8(dept);
    r.weight = QString::fromUtf8(weight);
    return r;
}

// The bag KC1-1 received at 唧蜡, passed on, received at 倒模 and passed on.
const QList<DeskRequest> kKC1 = {req(A::Receive, "唧蜡", "12", "KC1-1"), req(A::PassOn, "唧蜡", "12", "KC1-1"),
                                 req(A::Receive, "倒模", "12", "KC1-1"), req(A::PassOn, "倒模", "31.25", "KC1-1")};

// The bags KC1-1 (18KY, 10 pieces), KC1-2 (PT950, 4) and KC1-3 (18KY, 6)
// received at 倒模.
const QList<DeskRequest> kAtCasting = [] {
    QList<DeskRequest> list;
    for (const char *code : {"KC1-1", "KC1-2", "KC1-3"}) {
        list << req(A::Receive, "唧蜡", "5", code) << req(A::PassOn, "唧蜡", "5", code)
             << req(A::Receive, "倒模", "5", code);
    }
    return list;
}();

struct CastRefusal
{
    const char *name;
    QList<DeskRequest> before;   // done first, each must succeed
    QStringList castBefore;      // a batch cast first ("CODE=G"), 40 g issued
    const char *sql;
    const char *department;
    const char *issued;
    const char *returned;
    QStringList bags;            // "CODE=G"
    R result;
    const char *says;
    Rights rights = Right::Scan;
};

const QList<CastRefusal> &castRefusals()
{
    const QStringList one{"KC1-1=31.25"}, tree{"KC1-1=31.25", "KC1-3=18.75"};
    static const QList<CastRefusal> list = {
        {"no right", kAtCasting, {}, "", "倒模", "40", "", one, R::NoRight, "没有部门收发的权限", Rights()},
        {"another desk", kAtCasting, {}, "", "执模", "40", "", one, R::BadInput, "铸造只在倒模"},
        {"no bag", kAtCasting, {}, "", "倒模", "40", "", {}, R::BadInput, "没有袋卡"},
        {"a bag twice", kAtCasting, {}, "", "倒模", "80", "", {"KC1-1=31.25", "KC1-3=18.75", "KC1-1=3"}, R::BadInput,
         "袋卡 KC1-1 在铸造批中写了两次"},
        {"a bag twice, spelt apart", kAtCasting, {}, "", "倒模", "80", "", {"KC1-1=31.25", " KC1-01=3"}, R::BadInput,
         "写了两次"},
        {"cast weight with a comma", kAtCasting, {}, "", "倒模", "40", "", {"KC1-1=31,25"}, R::BadInput, "最多三位小数"},
        {"cast weight of four decimals", kAtCasting, {}, "", "倒模", "40", "", {"KC1-1=31.2501"}, R::BadInput,
         "KC1-1 的金重"},
        {"nothing cast", kAtCasting, {}, "", "倒模", "40", "", {"KC1-1=0"}, R::BadInput, "须大于 0"},
        {"no metal issued", kAtCasting, {}, "", "倒模", " ", "", one, R::BadInput, "没有发出金重"},
        {"issued not a number", kAtCasting, {}, "", "倒模", "4O", "", one, R::BadInput, "发出金重 \"4O\""},
        {"returned below none", kAtCasting, {}, "", "倒模", "40", "-1", one, R::BadInput, "回收金重"},
        {"not a ticket", kAtCasting, {}, "", "倒模", "40", "", {"KC1=3"}, R::UnknownBag, "未知的袋卡 KC1"},
        {"unknown contract", kAtCasting, {}, "", "倒模", "40", "", {"KC9-1=3"}, R::UnknownBag, "没有合约 KC9"},
        {"invoiced", kAtCasting, {}, "update sconh set inv_no = 'INV1'", "倒模", "40", "", one, R::Invoiced, "INV1"},
        {"received nowhere yet", {}, {}, "", "倒模", "40", "", one, R::WrongPlace, "未接收"},
        {"still at wax", kKC1.mid(0, 1), {}, "", "倒模", "40", "", one, R::WrongPlace, "在唧蜡收发"},
        {"on its way to casting", kKC1.mid(0, 2), {}, "", "倒模", "40", "", one, R::WrongPlace, "在途: 唧蜡 → 倒模"},
        {"passed on", kKC1, {}, "", "倒模", "40", "", one, R::WrongPlace, "在途: 倒模 → 执模"},
        {"one bag of the tree elsewhere", kAtCasting + QList<DeskRequest>{req(A::PassOn, "倒模", "18", "KC1-3")},
         {}, "", "倒模", "60", "", tree, R::WrongPlace, "袋卡 KC1-3 在途"},
        {"cast before", kAtCasting, {"KC1-1=31.25"}, "", "倒模", "60", "", tree, R::WrongPlace,
         "袋卡 KC1-1 已在铸造批 CB000001 铸造"},
        {"two metals on one tree", kAtCasting, {}, "", "倒模", "60", "", {"KC1-1=31.25", "KC1-2=16"}, R::BadInput,
         "一棵树只铸一种金属: 袋卡 KC1-1 是 18KY, 袋卡 KC1-2 是 PT950"},
        {"more cast than issued", kAtCasting, {}, "", "倒模", "49.999", "", tree, R::Gain, "多于发出的 49.999 克"},
        {"more cast and returned than issued", kAtCasting, {}, "", "倒模", "50", "0.001", tree, R::Gain,
         "铸出 50.000 克加回收 0.001 克"},
    };
    return list;
}

} // namespace

class CastingRefusalsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedWithItsReasonAndNothingWritten_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<int>("index");
        for (const char *engine : {"sqlite", "postgresql"}) {
            for (int i = 0; i < castRefusals().size(); ++i)
                QTest::addRow("%s: %s", engine, castRefusals()[i].name) << QString::fromLatin1(engine) << i;
        }
    }
    void refusedWithItsReasonAndNothingWritten()
    {
        WIP_DESK_FACTORY(db);
        QFETCH(int, index);
        const CastRefusal &c = castRefusals()[index];
        DeskClerk clerk(db.tr());
        for (const DeskRequest &r : c.before) {
            const DeskOutcome o = clerk.desk.act(r);
            QVERIFY2(o.done(), qPrintable(o.message));
        }
        if (!c.castBefore.isEmpty()) {
            const auto first = clerk.cast("40", "", c.castBefore);
            QVERIFY2(first.done(), qPrintable(first.message));
        }
        if (*c.sql)
            QVERIFY2(db.exec(QString::fromUtf8(c.sql)), qPrintable(db.error()));
        const QStringList before = deskRows(db);
        DeskClerk desk(db.tr(), QStringLiteral("CLERK"), c.rights);
        CastingBatch batch;
        batch.department = QString::fromUtf8(c.department);
        batch.issued = QString::fromUtf8(c.issued);
        batch.returned = QString::fromUtf8(c.returned);
        for (const QString &b : c.bags)
            batch.bags.append({b.section(QLatin1Char('='), 0, 0), b.section(QLatin1Char('='), 1)});
        const CastingDesk::Outcome o = desk.casting.cast(batch);
        QVERIFY2(o.result == c.result, qPrintable(QStringLiteral("%1: %2").arg(int(o.result)).arg(o.message)));
        QVERIFY2(o.message.contains(QString::fromUtf8(c.says)), qPrintable(o.message));
        QCOMPARE(deskRows(db), before);
        QVERIFY(!db.tr().inTransaction());
    }

};

QTEST_GUILESS_MAIN(CastingRefusalsTest)
#include "tst_castingrefusals.moc"
