// Eight department desks acting at once on PostgreSQL: one thread a desk (唧蜡,
// 倒模, 执模, 镶石, 执边, 打磨, 电金, 出货), each with its own connection,
// takes the bags that fit its desk through it (received, issued whole to a
// worker, taken back, passed on; at 出货 received) and hands each bag it passes
// on to the next desk's thread, as the factory does, for a minute
// (WIP_BENCH_DESK_SECONDS, 60 by default). The factory is the demo at scale N
// in a throw-away database of the server WIP_TEST_POSTGRES names
// (WIP_BENCH_POSTGRES_SCALE, else WIP_BENCH_SCALE, else 100); without that
// variable there is nothing to measure. Afterwards every action a thread
// counted as done must be in the database exactly once: one desk row and one
// bag:place row in the change record each, and each bag's moves grown by the
// actions done on it. Prints the actions a second, the median and 95th
// percentile milliseconds of an action, the refusals with their reasons, and
// the tables the server read whole meanwhile.

#include "deskcycle.h"

#include "database/initdatabase.h"
#include "database/postgresadmin.h"
#include "database/rightscatalogue.h"
#include "desk/desk.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

using namespace wip;
using bench::DeskBag;
using bench::DeskCycle;

namespace {

const char *const kFields[] = {"desk:receive", "desk:issue", "desk:return", "desk:pass"};

// The bags waiting at one desk: those found there at the start, then those the
// desk before passes on.
struct Queue
{
    std::mutex mutex;
    std::deque<DeskBag> bags;

    void push(const DeskBag &bag)
    {
        const std::lock_guard lock(mutex);
        bags.push_back(bag);
    }
    std::optional<DeskBag> pop()
    {
        const std::lock_guard lock(mutex);
        if (bags.empty())
            return std::nullopt;
        DeskBag b = bags.front();
        bags.pop_front();
        return b;
    }
};

// What one desk's thread did.
struct Tally
{
    long long done[4] = {0, 0, 0, 0};
    QMap<QString, long long> refused;      // reason: actions
    QHash<long long, int> perBag;          // scond_id: actions done
    std::vector<double> ms;
    QString failure;                       // the thread could not work at all
};

struct Run
{
    ConnectionSettings settings;
    const DeskDepartment *departments[8] = {};
    QString workers[8];
    Queue queues[8];
    Tally tallies[8];
    std::chrono::steady_clock::time_point deadline;
};

// The reason of a refusal without the bag's own numbers, to count alike refusals together.
QString reason(const DeskOutcome &o)
{
    return QStringLiteral("%1 %2: %3").arg(DeskRequest::actionText(o.action)).arg(int(o.result)).arg(o.message.section(QLatin1Char(':'), -1).trimmed().left(60));
}

void work(Run &run, int d)
{
    Tally &t = run.tallies[d];
    Transaction tr;
    tr.settings = run.settings;
    tr.settings.autoCommit = true;
    if (!tr.connect()) {
        t.failure = tr.sqlErrText;
        return;
    }
    Desk desk(tr, AuditSource{QStringLiteral("CLERK"), QStringLiteral("bench")}, Right::Scan, Desk::Options{});
    const DeskDepartment &department = *run.departments[d];
    while (std::chrono::steady_clock::now() < run.deadline) {
        const std::optional<DeskBag> bag = run.queues[d].pop();
        if (!bag) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        bool whole = true;
        for (const DeskRequest &r : DeskCycle::requests(*bag, department, run.workers[d])) {
            if (std::chrono::steady_clock::now() >= run.deadline) {
                whole = false;
                break;
            }
            QElapsedTimer timer;
            timer.start();
            const DeskOutcome o = desk.act(r);
            t.ms.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (!o.done()) {
                ++t.refused[reason(o)];
                whole = false;
                break;
            }
            ++t.done[int(r.action)];
            ++t.perBag[bag->scondId];
        }
        if (const auto next = whole ? DeskCycle::passedOn(*bag, department) : std::nullopt)
            run.queues[d + 1].push(*next);
    }
    tr.disconnect();
}

QHash<long long, int> moves(Transaction &tr)
{
    QHash<long long, int> m;
    Cursor c(tr, QStringLiteral("select scond_id, moves from bag_place"));
    if (c.open()) {
        while (const auto row = c.fetch())
            m.insert(row->at(0).toLongLong(), row->at(1).toInt());
        c.close();
    }
    return m;
}

// The server's count of rows read by scanning whole tables, by table.
QMap<QString, long long> wholeTableRows(Transaction &tr)
{
    QMap<QString, long long> rows;
    tr.selectInto(QStringLiteral("select pg_stat_force_next_flush()"));   // this connection's own reads counted
    Cursor c(tr, QStringLiteral("select relname, seq_tup_read from pg_stat_user_tables"));
    if (c.open()) {
        while (const auto row = c.fetch())
            rows.insert(row->at(0).toString(), row->at(1).toLongLong());
        c.close();
    }
    return rows;
}

// Where the server read whole tables while the desks worked: a lookup without its index.
void printWholeTableReads(const QMap<QString, long long> &before, const QMap<QString, long long> &after)
{
    QStringList read;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (it.value() - before.value(it.key()) > 10000)
            read << QStringLiteral("%1 %2").arg(it.key()).arg(it.value() - before.value(it.key()));
    }
    std::printf("rows the server read by scanning whole tables while the desks worked: %s\n",
                read.isEmpty() ? "none above 10000 a table" : qPrintable(read.join(QStringLiteral(", "))));
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Every action counted done is saved once; returns the mismatches found.
int check(Run &run, Transaction &tr, long long firstAudit, const QHash<long long, int> &before)
{
    long long done[4] = {0, 0, 0, 0};
    QHash<long long, int> perBag;
    for (const Tally &t : run.tallies) {
        for (int i = 0; i < 4; ++i)
            done[i] += t.done[i];
        for (auto it = t.perBag.cbegin(); it != t.perBag.cend(); ++it)
            perBag[it.key()] += it.value();
    }
    int wrong = 0;
    long long total = 0;
    for (int i = 0; i < 4; ++i) {
        const auto row = tr.selectInto(QStringLiteral("select count(*) from audit_log where audit_id > ? and field = ?"),
                                       {firstAudit, QString::fromLatin1(kFields[i])});
        const long long saved = row ? row->at(0).toLongLong() : -1;
        std::printf("  %-12s done %lld, saved %lld\n", kFields[i], done[i], saved);
        wrong += saved != done[i];
        total += done[i];
    }
    const auto places = tr.selectInto(QStringLiteral("select count(*) from audit_log where audit_id > ? and field = 'bag:place'"),
                                      {firstAudit});
    const long long placeRows = places ? places->at(0).toLongLong() : -1;
    std::printf("  %-12s done %lld, saved %lld\n", "bag:place", total, placeRows);
    wrong += placeRows != total;
    const QHash<long long, int> after = moves(tr);
    int bagsWrong = 0;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        bagsWrong += it.value() - before.value(it.key(), 0) != perBag.value(it.key(), 0);
    std::printf("  bags whose moves grew by the actions done on them: %lld of %lld (%d differ)\n",
                (long long)(after.size() - bagsWrong), (long long)after.size(), bagsWrong);
    return wrong + bagsWrong;
}

void report(Run &run, double seconds)
{
    std::vector<double> all;
    long long done = 0, refused = 0;
    QMap<QString, long long> reasons;
    for (int d = 0; d < 8; ++d) {
        const Tally &t = run.tallies[d];
        long long n = 0;
        for (long long x : t.done)
            n += x;
        long long r = 0;
        for (auto it = t.refused.cbegin(); it != t.refused.cend(); ++it) {
            r += it.value();
            reasons[run.departments[d]->caption + QLatin1Char(' ') + it.key()] += it.value();
        }
        std::printf("  %s: %lld actions done, %lld refused, median %.1f ms%s%s\n", qPrintable(run.departments[d]->caption),
                    n, r, percentile(t.ms, 0.5), t.failure.isEmpty() ? "" : ", could not connect: ",
                    qPrintable(t.failure));
        all.insert(all.end(), t.ms.begin(), t.ms.end());
        done += n;
        refused += r;
    }
    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
        std::printf("  refused %lld times: %s\n", it.value(), qPrintable(it.key()));
    std::printf("eight desks for %.0f s: %lld actions done, %lld refused; %.1f actions/s; median %.1f ms, 95th "
                "percentile %.1f ms an action\n",
                seconds, done, refused, double(done) / seconds, percentile(all, 0.5), percentile(all, 0.95));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString url = qEnvironmentVariable("WIP_TEST_POSTGRES").trimmed();
    if (url.isEmpty()) {
        std::printf("skipped: WIP_TEST_POSTGRES is not set (the URL of a PostgreSQL server to make a throw-away "
                    "database on)\n");
        return 0;
    }
    QString error;
    const auto server = ConnectionSettings::fromUrl(url, &error);
    const QString name = QStringLiteral("wip_bench_desk_%1").arg(QCoreApplication::applicationPid());
    if (!server || !PostgresAdmin::createDatabase(*server, name, &error)) {
        std::fprintf(stderr, "WIP_TEST_POSTGRES: %s\n", qPrintable(error));
        return 1;
    }
    Run run;
    run.settings = *server;
    run.settings.database = name;
    const int scale = qEnvironmentVariableIsSet("WIP_BENCH_POSTGRES_SCALE") ? qEnvironmentVariableIntValue("WIP_BENCH_POSTGRES_SCALE")
                    : qEnvironmentVariableIsSet("WIP_BENCH_SCALE")          ? qEnvironmentVariableIntValue("WIP_BENCH_SCALE")
                                                                            : 100;
    const int seconds = qEnvironmentVariableIsSet("WIP_BENCH_DESK_SECONDS") ? qEnvironmentVariableIntValue("WIP_BENCH_DESK_SECONDS") : 60;
    int code = 1;
    {
        Transaction tr;
        tr.settings = run.settings;
        tr.settings.autoCommit = true;
        InitOptions options;
        options.demo = true;
        options.scale = scale;
        std::fprintf(stderr, "building the demo factory at scale %d on PostgreSQL...\n", scale);
        if (tr.connect() && initDatabase(tr, options).ok) {
            int d = 0;
            for (const DeskDepartment &department : DeskDepartment::all()) {
                if (department.isOutside())
                    continue;
                run.departments[d] = &department;
                run.workers[d] = DeskCycle::workerOf(tr, department);
                for (const DeskBag &bag : DeskCycle::bagsFor(tr, department, 100000))
                    run.queues[d].push(bag);
                std::fprintf(stderr, "%s: %lld bags to begin with\n", qPrintable(department.caption),
                             (long long)run.queues[d].bags.size());
                ++d;
            }
            const auto last = tr.selectInto(QStringLiteral("select coalesce(max(audit_id), 0) from audit_log"));
            const QHash<long long, int> before = moves(tr);
            const QMap<QString, long long> scannedBefore = wholeTableRows(tr);
            QElapsedTimer clock;
            clock.start();
            run.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            std::vector<std::thread> threads;
            for (int i = 0; i < 8; ++i)
                threads.emplace_back(work, std::ref(run), i);
            for (std::thread &t : threads)
                t.join();
            report(run, double(clock.elapsed()) / 1000.0);
            std::this_thread::sleep_for(std::chrono::seconds(1));   // the server's statistics reach its views
            printWholeTableReads(scannedBefore, wholeTableRows(tr));
            const int wrong = last ? check(run, tr, last->at(0).toLongLong(), before) : 1;
            std::printf(wrong == 0 ? "every action done was saved exactly once, none lost\n"
                                   : "MISMATCH: %d counts differ from the actions done\n",
                        wrong);
            code = wrong == 0 ? 0 : 1;
        } else {
            std::fprintf(stderr, "the demo factory could not be built: %s\n", qPrintable(tr.sqlErrText));
        }
        tr.disconnect();
    }
    if (!PostgresAdmin::dropDatabase(*server, name, &error))
        std::fprintf(stderr, "cannot drop %s: %s\n", qPrintable(name), qPrintable(error));
    return code;
}
