// Two desks on the same bags at the same moment, each on its own connection
// in a thread of its own, on both engines: every action is done by exactly one
// of them, the other is told where the bag went, and the rows end as the
// actions taken in turns would leave them.

#include "deskfixture.h"

#include <QDeadlineTimer>
#include <QThread>

#include <latch>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

namespace {

constexpr int kBags = 8;

// Runs each desk in a thread of its own, all released at once; a desk still at
// work after a minute is hung and ends the test program.
void runDesks(const std::vector<std::function<void()>> &desks)
{
    std::latch ready(std::ptrdiff_t(desks.size()));
    std::vector<std::unique_ptr<QThread>> threads;
    for (const auto &desk : desks)
        threads.emplace_back(QThread::create([&ready, desk] {
            ready.arrive_and_wait();
            desk();
        }));
    for (auto &t : threads)
        t->start();
    const QDeadlineTimer deadline(60000);
    for (auto &t : threads) {
        if (!t->wait(deadline))
            qFatal("a desk was still at work after a minute");
    }
}

// What the two desks got for one kind of action, counted by result; the
// messages of anything but the expected refusal.
struct Tally
{
    std::mutex mutex;
    std::map<R, int> results;
    QStringList problems;

    void add(R result, const QString &message, R expectedRefusal)
    {
        std::lock_guard lock(mutex);
        ++results[result];
        if (result != R::Done && result != expectedRefusal)
            problems << message;
    }
    void add(const DeskOutcome &o, R expectedRefusal) { add(o.result, o.message, expectedRefusal); }
};

// Both desks take every bag of KC2 for the same action, one going up the
// pile, the other down, so that they meet in the middle.
void bothDesks(TestDatabase &db, const std::function<DeskRequest(int bag)> &request, R expectedRefusal, Tally &tally)
{
    std::vector<std::function<void()>> desks;
    for (int d = 0; d < 2; ++d) {
        desks.push_back([&, d] {
            Transaction tr;
            tr.settings = db.settings();
            if (!tr.connect()) {
                std::lock_guard lock(tally.mutex);
                tally.problems << QStringLiteral("cannot connect: ") + tr.sqlErrText;
                return;
            }
            Desk desk(tr, {QStringLiteral("DESK%1").arg(d), QStringLiteral("test")}, Right::Scan, Desk::Options{});
            for (int i = 1; i <= kBags; ++i)
                tally.add(desk.act(request(d == 0 ? i : kBags + 1 - i)), expectedRefusal);
            tr.disconnect();
        });
    }
    runDesks(desks);
}

DeskRequest request(A action, int bag, const char *dept, const QString &worker = QString())
{
    DeskRequest r;
    r.action = action;
    r.code = QStringLiteral("KC2-%1").arg(bag);
    r.department = QString::fromUtf8(dept);
    r.weight = QStringLiteral("%1.125").arg(bag);
    r.worker = worker;
    return r;
}

// KC2's bags, one to kBags pieces, on a factory's contract.
bool contractOfBags(TestDatabase &db)
{
    bool ok = db.insert("sconh", {{"scno", "KC2"}, {"cust_no", "QOR"}});
    for (int i = 1; i <= kBags; ++i)
        ok = ok && db.insert("scond", {{"scno", "KC2"}, {"design_no", "D2401"}, {"metal", "18KY"}, {"quantity", i}});
    return ok;
}

} // namespace

class DeskThreadsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoDesksOnOneBagTakeTurns_data() { addEngineRows(); }
    void twoDesksOnOneBagTakeTurns()
    {
        WIP_DESK_FACTORY(db);
        QVERIFY2(contractOfBags(db), qPrintable(db.error()));

        const struct
        {
            A action;
            const char *dept;
            R refusal;
        } rounds[] = {
            {A::Receive, "唧蜡", R::WrongPlace},   // the second finds it at the desk
            {A::PassOn, "唧蜡", R::WrongPlace},    // ... in transit
            {A::Receive, "倒模", R::WrongPlace},
            {A::PassOn, "倒模", R::WrongPlace},
            {A::Receive, "执模", R::WrongPlace},
        };
        for (const auto &round : rounds) {
            Tally tally;
            bothDesks(db, [&](int bag) { return request(round.action, bag, round.dept); }, round.refusal, tally);
            QVERIFY2(tally.problems.isEmpty(), qPrintable(tally.problems.join('\n')));
            QCOMPARE(tally.results[R::Done], kBags);
            QCOMPARE(tally.results[round.refusal], kBags);
        }
        // Each desk gives each bag to its own worker: one bag, one worker.
        Tally issued;
        bothDesks(db, [](int bag) { return request(A::Issue, bag, "执模", bag % 2 ? "0401" : "0402"); },
                  R::WithWorker, issued);
        QVERIFY2(issued.problems.isEmpty(), qPrintable(issued.problems.join('\n')));
        QCOMPARE(issued.results[R::Done], kBags);
        QCOMPARE(issued.results[R::WithWorker], kBags);

        const int pieces = kBags * (kBags + 1) / 2;
        QCOMPARE(table(db, "nnnnnn", "select wax_in, wax_out, casting_in, casting_out, filing_in, filing_out "
                                     "from process where scno = 'KC2'"),
                 QStringList{QStringLiteral("%1|%1|%1|%1|%1|0").arg(pieces)});
        QCOMPARE(db.scalar("select count(*) from bag_place where scno = 'KC2' and place = 'worker' and moves = 6").toInt(),
                 kBags);
        QCOMPARE(db.scalar("select sum(qty) from proch where scno = 'KC2' and edtime is null").toInt(), pieces);
        QCOMPARE(db.scalar("select count(*) from jcjl_mattran where scno = 'KC2' and zt = 'FINISH'").toInt(), 2 * kBags);
        QCOMPARE(db.scalar("select count(*) from audit_log where scno = 'KC2' and field like 'desk:%'").toInt(), 6 * kBags);
    }

    // Two casting desks cast KC2's bags at once, a tree for each bag, one going
    // up the pile and the other down: each bag is cast once, the other desk is
    // told so, and the batches are numbered one to kBags, none twice.
    void twoCastingDesksNumberInTurn_data() { addEngineRows(); }
    void twoCastingDesksNumberInTurn()
    {
        WIP_DESK_FACTORY(db);
        QVERIFY2(contractOfBags(db), qPrintable(db.error()));
        DeskClerk clerk(db.tr());
        const std::pair<A, const char *> toCasting[] = {{A::Receive, "唧蜡"}, {A::PassOn, "唧蜡"}, {A::Receive, "倒模"}};
        for (int i = 1; i <= kBags; ++i) {
            for (const auto &[action, dept] : toCasting) {
                const DeskOutcome o = clerk.desk.act(request(action, i, dept));
                QVERIFY2(o.done(), qPrintable(o.message));
            }
        }
        Tally tally;
        std::vector<std::function<void()>> desks;
        for (int d = 0; d < 2; ++d) {
            desks.push_back([&, d] {
                Transaction tr;
                tr.settings = db.settings();
                if (!tr.connect()) {
                    tally.add(R::Failed, QStringLiteral("cannot connect: ") + tr.sqlErrText, R::WrongPlace);
                    return;
                }
                CastingDesk desk(tr, {QStringLiteral("CAST%1").arg(d), QStringLiteral("test")}, Right::Scan,
                                 Desk::Options{});
                for (int i = 1; i <= kBags; ++i) {
                    CastingBatch batch;
                    batch.issued = QStringLiteral("30");
                    batch.bags = {{QStringLiteral("KC2-%1").arg(d == 0 ? i : kBags + 1 - i), QStringLiteral("20.5")}};
                    const CastingDesk::Outcome o = desk.cast(batch);
                    tally.add(o.result, o.message, R::WrongPlace);
                }
                tr.disconnect();
            });
        }
        runDesks(desks);
        QVERIFY2(tally.problems.isEmpty(), qPrintable(tally.problems.join('\n')));
        QCOMPARE(tally.results[R::Done], kBags);
        QCOMPARE(tally.results[R::WrongPlace], kBags);
        const int pieces = kBags * (kBags + 1) / 2;
        QCOMPARE(table(db, "nttn", "select count(distinct wsheetno), min(wsheetno), max(wsheetno), sum(qty) "
                                   "from proch where gongxu_code = '03-倒模'"),
                 QStringList{QStringLiteral("%1|CB000001|CB%2|%3").arg(kBags).arg(kBags, 6, 10, QLatin1Char('0')).arg(pieces)});
        QCOMPARE(table(db, "nnnn", "select count(distinct castinh_no), count(*), sum(qtyref), sum(loss) from castind "
                                   "where contractno = 'KC2'"),
                 QStringList{QStringLiteral("%1|%1|%2|%3").arg(kBags).arg(pieces).arg(kBags * 9.5)});
    }
};

QTEST_GUILESS_MAIN(DeskThreadsTest)
#include "tst_deskthreads.moc"
