// What a scanned bag shows at a desk before the action (DeskLook) and what a
// desk holds (DeskHoldings), on both engines. The refusal at the scan must say
// what Desk itself would say: at every place a bag passes, for every desk and
// action, DeskLook finds a misfit exactly when Desk refuses for the bag's place.

#include "deskfixture.h"
#include "desk/deskdepartment.h"
#include "desk/deskholdings.h"
#include "desk/desklook.h"

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

#define DONE(outcome)                                                \
    do {                                                             \
        const DeskOutcome o_ = (outcome);                            \
        QVERIFY2(o_.done(), qPrintable(o_.message));                 \
    } while (false)

namespace {

struct Step
{
    A action;
    const char *dept;
    const char *weight;
    const char *pieces = "";
    const char *worker = "";
    bool outside = false;
    const char *returned = "";
};

DeskRequest requestOf(const Step &s, const QString &code = QStringLiteral("KC1-1"))
{
    DeskRequest r;
    r.action = s.action;
    r.code = code;
    r.department = QString::fromUtf8(s.dept);
    r.weight = QString::fromUtf8(s.weight);
    r.pieces = QString::fromUtf8(s.pieces);
    r.worker = QString::fromUtf8(s.worker);
    r.returned = QString::fromUtf8(s.returned);
    r.toOutside = s.outside;
    return r;
}

// KC1-1 (10 pieces) from its line to 执模, to a worker and back, out for
// outside work and back: every place a bag has.
const Step kJourney[] = {
    {A::Receive, "唧蜡", "12"},
    {A::PassOn, "唧蜡", "12"},
    {A::Receive, "倒模", "12"},
    {A::PassOn, "倒模", "31.25"},
    {A::Receive, "执模", "31.25"},
    {A::Issue, "执模", "31.25", "", "0401"},
    {A::TakeBack, "执模", "24.5", "8", "", false, "0.3"},
    {A::TakeBack, "执模", "6.3", "", "", false, "0.1"},
    {A::PassOn, "执模", "30.7", "", "外发厂", true},
    {A::Receive, "执模", "30.7"},
};

} // namespace

class DeskLookTest : public QObject
{
    Q_OBJECT

    // Desk's answer to an action, in work that is rolled back afterwards.
    static DeskOutcome probe(TestDatabase &db, DeskClerk &clerk, A action, const DeskDepartment &dept, bool outside)
    {
        DeskRequest r;
        r.action = action;
        r.code = "KC1-1";
        r.department = dept.caption;
        r.weight = "10";
        r.worker = action == A::Issue ? "0401" : "";
        r.toOutside = outside;
        r.confirmDifference = true;
        if (!db.tr().begin())
            return DeskOutcome();
        const DeskOutcome o = clerk.desk.act(r);
        db.tr().rollback();
        return o;
    }

private Q_SLOTS:
    void aScanRefusesWhatDeskRefusesForThePlace_data() { addEngineRows(); }
    void aScanRefusesWhatDeskRefusesForThePlace()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk clerk(db.tr());
        const QStringList depts{"唧蜡", "倒模", "执模", "镶石", "出货"};
        const QList<QPair<A, bool>> actions{{A::Receive, false}, {A::Issue, false}, {A::TakeBack, false},
                                            {A::PassOn, false},  {A::PassOn, true}};
        int fits = 0;
        for (int step = 0; step <= int(std::size(kJourney)); ++step) {
            const DeskLook look = DeskLook::read(db.tr(), "KC1-1");
            QVERIFY2(look.found(), qPrintable(look.message));
            for (const QString &name : depts) {
                const DeskDepartment &dept = *DeskDepartment::find(name);
                for (const auto &[action, outside] : actions) {
                    const QString misfit = look.misfit(action, dept, outside);
                    const DeskOutcome o = probe(db, clerk, action, dept, outside);
                    QVERIFY2(o.result != R::Failed, qPrintable(o.message));
                    const bool placeRefused = o.result == R::WrongPlace || o.result == R::WithWorker;
                    const QString what = QStringLiteral("step %1, %2 %3%4: look \"%5\", desk \"%6\"")
                                             .arg(step).arg(name, DeskRequest::actionText(action),
                                                            outside ? QStringLiteral(" outside") : QString(), misfit,
                                                            o.message);
                    QVERIFY2(misfit.isEmpty() != placeRefused, qPrintable(what));
                    if (placeRefused)
                        QVERIFY2(misfit == o.message, qPrintable(what));   // in Desk's words
                    fits += misfit.isEmpty() ? 1 : 0;
                }
            }
            if (step == int(std::size(kJourney)))
                break;
            // The journey's next action fits, and is done.
            const Step &s = kJourney[step];
            QCOMPARE(look.misfit(s.action, *DeskDepartment::find(QString::fromUtf8(s.dept)), s.outside), QString());
            DONE(clerk.desk.act(requestOf(s)));
        }
        QVERIFY(fits > int(std::size(kJourney)));
    }

    // The pieces and grams an action starts from, at the places that have them.
    void fieldsStartFromWhatTheBagHolds_data() { addEngineRows(); }
    void fieldsStartFromWhatTheBagHolds()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk clerk(db.tr());
        const auto text = [](const std::optional<Decimal> &d) { return d ? d->normalized().toString() : QStringLiteral("-"); };
        const auto look = [&] { return DeskLook::read(db.tr(), "KC1-1"); };
        QCOMPARE(text(look().defaultPieces(A::Receive)), QStringLiteral("10"));   // the line's
        QCOMPARE(look().lineText(), QStringLiteral("KC1 第 1 行 18KY R2401 10 件"));
        for (int i = 0; i < 4; ++i)
            DONE(clerk.desk.act(requestOf(kJourney[i])));
        QCOMPARE(text(look().defaultPieces(A::Receive)), QStringLiteral("10"));   // the transfer's
        QCOMPARE(text(look().referenceWeight(A::Receive)), QStringLiteral("31.25"));
        DONE(clerk.desk.act(requestOf(kJourney[4])));
        QCOMPARE(text(look().defaultPieces(A::Issue)), QStringLiteral("10"));     // the desk's
        QCOMPARE(text(look().referenceWeight(A::PassOn)), QStringLiteral("31.25"));
        DONE(clerk.desk.act(requestOf(kJourney[5])));
        DONE(clerk.desk.act(requestOf(kJourney[6])));
        const DeskLook held = look();
        QCOMPARE(text(held.defaultPieces(A::TakeBack)), QStringLiteral("2"));     // the worker's
        QCOMPARE(text(held.referenceWeight(A::TakeBack)), QStringLiteral("6.45"));
        QCOMPARE(held.place.changhao, QStringLiteral("0401"));

        for (const char *code : {"KC9-1", "KC1-7", "nonsense"}) {
            const DeskLook unknown = DeskLook::read(db.tr(), code);
            QCOMPARE(unknown.result, DeskLook::Result::UnknownBag);
            QVERIFY2(unknown.message.contains(code), qPrintable(unknown.message));
        }
    }

    // A desk's bags: at the desk, with a worker (the worker's share and the
    // desk's rest), sent to it; a bag elsewhere is not listed.
    void holdingsListTheDesksBags_data() { addEngineRows(); }
    void holdingsListTheDesksBags()
    {
        WIP_DESK_FACTORY(db);
        DeskClerk clerk(db.tr());
        const QStringList codes{"KC1-1", "KC1-2", "KC1-3"};
        const char *metal[] = {"31.25", "16", "18.75"};
        for (int i = 0; i < 3; ++i) {
            for (int s = 0; s < 3; ++s)
                DONE(clerk.desk.act(requestOf(kJourney[s], codes[i])));
            DONE(clerk.desk.act(requestOf({A::PassOn, "倒模", metal[i]}, codes[i])));
        }
        DONE(clerk.desk.act(requestOf(kJourney[4])));
        DONE(clerk.desk.act(requestOf({A::Receive, "执模", "16"}, "KC1-2")));
        DONE(clerk.desk.act(requestOf({A::Issue, "执模", "12.5", "3", "0402"}, "KC1-2")));

        QList<DeskHoldings::Bag> bags;
        QString error;
        QVERIFY2(DeskHoldings::read(db.tr(), *DeskDepartment::find("执模"), &bags, &error), qPrintable(error));
        QStringList rows;
        const auto text = [](const std::optional<Decimal> &d) { return d ? d->normalized().toString() : QStringLiteral("-"); };
        for (const DeskHoldings::Bag &b : bags)
            rows << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                        .arg(b.code, BagPlace::placeName(b.place.place), b.place.pcs.normalized().toString(),
                             b.place.weight.normalized().toString(), text(b.workerPcs), text(b.workerWeight),
                             text(b.sentPcs));
        QCOMPARE(rows, (QStringList{"KC1-1|desk|10|31.25|-|-|-", "KC1-2|worker|1|3.5|3|12.5|-",
                                    "KC1-3|transit|0|0|-|-|6"}));
        QCOMPARE(DeskHoldings::describe(DeskHoldings::totals(bags)),
                 QStringLiteral("收发 1 袋 11 件 34.750 克 · 工人手中 1 袋 3 件 12.500 克 · 待接收 1 袋 · 外发 0 袋"));
        QVERIFY(DeskHoldings::read(db.tr(), *DeskDepartment::find("镶石"), &bags, &error));
        QVERIFY(bags.isEmpty());
    }
};

QTEST_MAIN(DeskLookTest)
#include "tst_desklook.moc"
