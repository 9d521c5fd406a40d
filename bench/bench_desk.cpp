// A department desk's actions from the scan to the commit (Desk::act, as the
// desk window and `wip desk` call it) against the same rows written by hand
// (HandDesk: plain prepared statements, one transaction an action, nothing
// read), on the demo factory at scale N (init-db --demo --scale N; N from
// WIP_BENCH_SCALE, 100 by default) or a SQLite file made before
// (WIP_BENCH_DATABASE), which is copied first and never written. Each
// iteration takes one bag in transit to 执模 through the desk: received,
// issued whole to a worker, taken back, passed on to 镶石; the desk and the
// hand-written statements work on bags of different contracts. Before
// measuring, one bag of each is taken through and the rows each wrote are
// counted, table by table: they must be the same (and the statements the desk
// ran for each action are counted). Goal: the desk at most 1.5
// times the hand-written statements, and a median under 30 ms an action.
// WIP_BENCH_DESK_BAGS sets the bags of each (200 by default) for the
// benchmarks, and as many again for the ratio measured in turns.

#include "benchdata.h"
#include "deskcycle.h"
#include "handdesk.h"

#include "database/initdatabase.h"
#include "database/rightscatalogue.h"
#include "desk/desk.h"
#include "runtime/transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <vector>

using namespace wip;
using bench::DeskBag;
using bench::DeskCycle;
using bench::HandDesk;

namespace {

const char *const kTables[] = {"proch", "proch_new", "matuse", "work_report", "work_wip", "jcjl_mattran",
                               "bag_place", "audit_log", "process", "flreturn"};
const char *const kActions[] = {"receive", "issue", "take back", "pass on"};

struct Bench
{
    QTemporaryDir dir;
    Transaction tr;
    std::unique_ptr<Desk> desk;
    std::unique_ptr<HandDesk> hand;
    QString worker;
    QList<DeskBag> deskBags;
    QList<HandDesk::Bag> handBags;
    std::vector<double> deskMs[4], handMs[4];
    qsizetype nextDesk = 1, nextHand = 1;   // the first of each is the one whose rows are counted
};

Bench &theBench()
{
    static Bench b;
    return b;
}

// The factory's database: the file WIP_BENCH_DATABASE names, copied (the desk
// writes it), or the demo built for this run at scale N (bench::demoFactoryFile).
QString databaseFile(QTemporaryDir &dir)
{
    if (qEnvironmentVariableIsEmpty("WIP_BENCH_DATABASE"))
        return bench::demoFactoryFile();
    const QString given = bench::demoFactoryFile();
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    std::fprintf(stderr, "copying %s...\n", qPrintable(given));
    std::error_code error;
    std::filesystem::copy_file(given.toStdString(), path.toStdString(), error);
    return error ? QString() : path;
}

QList<long long> counts(Transaction &tr)
{
    QList<long long> list;
    for (const char *t : kTables) {
        const auto row = tr.selectInto(QStringLiteral("select count(*) from ") + QString::fromLatin1(t));
        list << (row ? row->at(0).toLongLong() : -1);
    }
    return list;
}

QList<long long> minus(const QList<long long> &a, const QList<long long> &b)
{
    QList<long long> d;
    for (qsizetype i = 0; i < a.size(); ++i)
        d << a[i] - b[i];
    return d;
}

// The statements the desk ran for each action of the bag it was counted on.
int statements[4] = {0, 0, 0, 0};
int *counting = nullptr;

// One bag's four actions at the desk; false with the message of a refusal.
bool deskCycle(Bench &b, const DeskBag &bag, bool timed)
{
    const QList<DeskRequest> requests = DeskCycle::requests(bag, *DeskDepartment::find(QStringLiteral("执模")), b.worker);
    for (qsizetype i = 0; i < requests.size(); ++i) {
        QElapsedTimer t;
        t.start();
        counting = timed ? nullptr : &statements[i];
        const DeskOutcome o = b.desk->act(requests[i]);
        counting = nullptr;
        if (timed)
            b.deskMs[i].push_back(double(t.nsecsElapsed()) / 1e6);
        if (!o.done()) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(o.message));
            return false;
        }
    }
    return true;
}

bool handCycle(Bench &b, HandDesk::Bag &bag, bool timed)
{
    bool (HandDesk::*const steps[])(HandDesk::Bag &) = {&HandDesk::receive, &HandDesk::issue, &HandDesk::takeBack,
                                                         &HandDesk::passOn};
    for (int i = 0; i < 4; ++i) {
        QElapsedTimer t;
        t.start();
        const bool ok = (b.hand.get()->*steps[i])(bag);
        if (timed)
            b.handMs[i].push_back(double(t.nsecsElapsed()) / 1e6);
        if (!ok) {
            std::fprintf(stderr, "hand-written %s failed: %s\n", kActions[i], qPrintable(b.hand->error()));
            return false;
        }
    }
    return true;
}

bool nextDeskCycle(Bench &b)
{
    return b.nextDesk < b.deskBags.size() && deskCycle(b, b.deskBags[b.nextDesk++], true);
}

bool nextHandCycle(Bench &b)
{
    return b.nextHand < b.handBags.size() && handCycle(b, b.handBags[b.nextHand++], true);
}

void BM_DeskCycle(benchmark::State &state)
{
    Bench &b = theBench();
    for (auto _ : state) {
        if (!nextDeskCycle(b))
            state.SkipWithError("a desk action was refused or the bags ran out");
    }
}

void BM_HandWritten(benchmark::State &state)
{
    Bench &b = theBench();
    for (auto _ : state) {
        if (!nextHandCycle(b))
            state.SkipWithError("a hand-written action failed or the bags ran out");
    }
}

double seconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The ratio again, measured in turns (a bag by hand, a bag at the desk, each
// round): on a shared machine the speed drifts over seconds, which moves the
// ratio of two benchmarks run one after the other. The median of the rounds'
// ratios, in CPU and in wall time.
void printRatioInTurns(Bench &b, int rounds)
{
    std::vector<double> cpu, wall;
    for (int i = 0; i < rounds; ++i) {
        const double c0 = seconds(CLOCK_PROCESS_CPUTIME_ID), w0 = seconds(CLOCK_MONOTONIC);
        const bool hand = nextHandCycle(b);
        const double c1 = seconds(CLOCK_PROCESS_CPUTIME_ID), w1 = seconds(CLOCK_MONOTONIC);
        if (!hand || !nextDeskCycle(b))
            break;
        const double c2 = seconds(CLOCK_PROCESS_CPUTIME_ID), w2 = seconds(CLOCK_MONOTONIC);
        cpu.push_back((c2 - c1) / (c1 - c0));
        wall.push_back((w2 - w1) / (w1 - w0));
    }
    if (cpu.empty())
        return;
    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    std::printf("desk / hand-written measured in turns, median of %zu bags (goal <= 1.5): %.2fx in CPU time, %.2fx "
                "in wall time\n",
                cpu.size(), cpu[cpu.size() / 2], wall[wall.size() / 2]);
}

// The desk's bags on contracts of even position, the hand-written ones' on the others.
bool prepare(Bench &b, int wanted)
{
    const QString file = databaseFile(b.dir);
    b.tr.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + file);
    b.tr.settings.autoCommit = true;
    // Brought up to this build's schema, as the desk window's start does.
    if (file.isEmpty() || !b.tr.connect() || !upgradeDatabase(b.tr).ok)
        return false;
    const DeskDepartment &filing = *DeskDepartment::find(QStringLiteral("执模"));
    b.worker = DeskCycle::workerOf(b.tr, filing);
    const auto name = b.tr.selectInto(QStringLiteral("select xingming from worker where changhao = ?"), {b.worker});
    b.desk = std::make_unique<Desk>(b.tr, AuditSource{QStringLiteral("CLERK"), QStringLiteral("bench")}, Right::Scan,
                                    Desk::Options{});
    b.hand = std::make_unique<HandDesk>(b.tr.database(), b.worker, name ? name->at(0).toString().trimmed() : QString());
    QStringList contracts;
    QList<long long> handIds;
    for (const DeskBag &bag : DeskCycle::bagsFor(b.tr, filing, 1000000)) {
        if (bag.at != DeskBag::At::Transit)
            continue;
        if (contracts.isEmpty() || contracts.last() != bag.scno)
            contracts << bag.scno;
        if (contracts.size() % 2 == 1 && b.deskBags.size() <= 2 * wanted)
            b.deskBags << bag;
        else if (contracts.size() % 2 == 0 && handIds.size() <= 2 * wanted)
            handIds << bag.scondId;
    }
    b.handBags = b.hand->read(b.tr, handIds);
    std::fprintf(stderr, "%lld bags for the desk, %lld for the hand-written statements\n",
                 (long long)b.deskBags.size(), (long long)b.handBags.size());
    return b.deskBags.size() > 1 && b.handBags.size() > 1;
}

// The first bag of each, taken through while the rows are counted.
bool sameRows(Bench &b)
{
    const QList<long long> start = counts(b.tr);
    Transaction::setStatementHook([](Transaction &, const QString &sql) {
        if (counting)
            ++*counting;
        if (qEnvironmentVariableIsSet("WIP_BENCH_DESK_TRACE"))
            std::fprintf(stderr, "%s\n", qPrintable(sql.left(150)));
    });
    const bool desk = deskCycle(b, b.deskBags.first(), false);
    Transaction::setStatementHook({});
    const QList<long long> middle = counts(b.tr);
    const bool hand = desk && handCycle(b, b.handBags.first(), false);
    const QList<long long> deskRows = minus(middle, start), handRows = minus(counts(b.tr), middle);
    std::printf("rows added by one bag's four actions (desk / hand-written):");
    for (qsizetype i = 0; i < deskRows.size(); ++i)
        std::printf(" %s %lld/%lld", kTables[i], deskRows[i], handRows[i]);
    std::printf("\nstatements the desk ran: receive %d, issue %d, take back %d, pass on %d\n", statements[0],
                statements[1], statements[2], statements[3]);
    return desk && hand && deskRows == handRows;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void printLatencies(const Bench &b)
{
    std::vector<double> all;
    for (int i = 0; i < 4; ++i) {
        std::printf("median %-9s desk %.2f ms, hand-written %.2f ms (%zu actions)\n", kActions[i], median(b.deskMs[i]),
                    median(b.handMs[i]), b.deskMs[i].size());
        all.insert(all.end(), b.deskMs[i].begin(), b.deskMs[i].end());
    }
    std::printf("median desk action: %.2f ms (goal under 30 ms)\n", median(all));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int wanted = qEnvironmentVariableIsSet("WIP_BENCH_DESK_BAGS") ? qEnvironmentVariableIntValue("WIP_BENCH_DESK_BAGS")
                                                                        : 200;
    Bench &b = theBench();
    if (!prepare(b, wanted)) {
        std::fprintf(stderr, "no bags in transit to 执模 to work on: %s\n", qPrintable(b.tr.sqlErrText));
        return 1;
    }
    if (!sameRows(b)) {
        std::fprintf(stderr, "the hand-written statements do not write the rows the desk writes\n");
        return 1;
    }
    // Half the bags for the benchmarks, half for the turns.
    const int n = int(std::min(b.deskBags.size(), b.handBags.size()) - 1) / 2;
    benchmark::RegisterBenchmark("BM_DeskCycle", BM_DeskCycle)->Iterations(n)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_HandWritten", BM_HandWritten)->Iterations(n)->Unit(benchmark::kMillisecond)->UseRealTime();
    const int code = bench::runAndCompare(
        argc, argv,
        {bench::Ratio{"BM_DeskCycle", "BM_HandWritten", "desk / hand-written, four actions a bag"},
         bench::Ratio{"BM_DeskCycle", "BM_HandWritten", "desk / hand-written, four actions a bag", true}});
    printRatioInTurns(b, n);
    printLatencies(b);
    b.desk.reset();
    b.hand.reset();
    b.tr.disconnect();
    return code;
}
