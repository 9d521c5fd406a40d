// The order follow-up window filling its board and both charts (查询: the three
// definitions retrieved, the charts drawn, the board's counts) on a scaled demo
// factory, against the same three queries run by plain QSqlQuery loops that read
// every value, in the same run. The factory is built with init-db --demo --scale N
// (N from WIP_BENCH_SCALE, 100 by default: 80 000 contracts, some 30 000 on the
// board), or WIP_BENCH_DATABASE names one made before (a URL, SQLite or PostgreSQL).
// Prints the median over rounds measured in turns of the window's time, in CPU and
// wall milliseconds, and of its ratio to the plain queries. The goal: under a
// second at scale 100.

#include "database/initdatabase.h"
#include "order_progress/w_order_followup.h"
#include "reports/catalogue.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

using namespace wip;

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// CPU seconds of the PostgreSQL backend serving tr, when the server runs on this
// machine (its /proc entry readable); -1 otherwise or on SQLite.
double serverCpuSeconds(Transaction &tr)
{
    static long long pid = -2;
    if (pid == -2) {
        pid = -1;
        QSqlQuery q(tr.database());
        if (tr.kind() == DbKind::PostgreSQL && q.exec(QStringLiteral("select pg_backend_pid()")) && q.next())
            pid = q.value(0).toLongLong();
    }
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid < 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    // Fields after the command's closing bracket: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = stat.readAll().split(')').last().simplified().split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool connectFactory(Transaction &tr, const QTemporaryDir &dir)
{
    const QString url = qEnvironmentVariable("WIP_BENCH_DATABASE");
    const bool build = url.isEmpty();
    const auto settings = ConnectionSettings::fromUrl(build ? QStringLiteral("sqlite:") + dir.filePath("bench.db") : url);
    if (!settings) {
        std::fprintf(stderr, "WIP_BENCH_DATABASE is not a database URL\n");
        return false;
    }
    tr.settings = *settings;
    if (!tr.connect()) {
        std::fprintf(stderr, "bench database: %s\n", qPrintable(tr.sqlErrText));
        return false;
    }
    if (build) {
        InitOptions options;
        options.demo = true;
        options.scale = qEnvironmentVariableIsSet("WIP_BENCH_SCALE") ? qEnvironmentVariableIntValue("WIP_BENCH_SCALE") : 100;
        std::fprintf(stderr, "building the demo factory at scale %d...\n", options.scale);
        const InitResult result = initDatabase(tr, options);
        if (!result.ok) {
            std::fprintf(stderr, "init-db: %s\n", qPrintable(result.error));
            return false;
        }
    }
    return true;
}

// The three definitions' queries as the window asks them, read value by value.
long long plainQueries(Transaction &tr, const QDate &today)
{
    const auto day = [&tr](const QDate &d) { return toDbValue(d, tr.kind()); };
    const QList<QPair<QString, QList<QPair<QString, QVariant>>>> queries = {
        {"d_order_followup", {{":asof", day(today)}, {":horizon", day(today.addDays(7))}}},
        {"d_delay_reasons", {{":asof", day(today)}}},
        {"d_ontime_rate", {{":stime", day(today.addDays(-89))}, {":etime", day(today)}}},
    };
    long long values = 0;
    for (const auto &[name, arguments] : queries) {
        QSqlQuery q(tr.database());
        q.setForwardOnly(true);
        if (!q.prepare(reports::Catalogue::instance().find(name)->query))
            return -1;
        for (const auto &[placeholder, value] : arguments)
            q.bindValue(placeholder, value);
        if (!q.exec())
            return -1;
        const int columns = q.record().count();
        while (q.next()) {
            for (int c = 0; c < columns; ++c)
                values += q.value(c).isNull() ? 0 : 1;
        }
    }
    return values;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Transaction &tr = Transaction::sqlca();
    if (!dir.isValid() || !connectFactory(tr, dir))
        return 1;

    auto *w = new w_order_followup;
    Window::Open(w);
    QElapsedTimer opened;
    opened.start();
    while (w->report(w_order_followup::Page::Board).RowCount() == 0 && opened.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int boardRows = w->report(w_order_followup::Page::Board).RowCount();
    std::fprintf(stderr, "board: %d contracts; first fill with the window's opening: %lld ms wall\n", boardRows,
                 opened.elapsed());

    std::vector<double> cpu, server, wall, ratios;
    const int rounds = 7;
    for (int i = 0; i < rounds; ++i) {
        const double c0 = cpuSeconds();
        if (plainQueries(tr, QDate::currentDate()) < 0) {
            std::fprintf(stderr, "plain query failed\n");
            return 1;
        }
        const double c1 = cpuSeconds();
        const double s1 = serverCpuSeconds(tr);
        QElapsedTimer clock;
        clock.start();
        w->cb_query_clicked();
        const double elapsed = clock.nsecsElapsed() / 1e6;
        const double c2 = cpuSeconds();
        if (s1 >= 0)
            server.push_back((serverCpuSeconds(tr) - s1) * 1000);
        cpu.push_back((c2 - c1) * 1000);
        wall.push_back(elapsed);
        if (c1 > c0)
            ratios.push_back((c2 - c1) / (c1 - c0));
    }
    std::printf("order follow-up, board and both charts (goal < 1 s at scale 100): median of %d rounds "
                "%.0f ms CPU, %.0f ms wall; / the plain queries = %.2fx\n",
                rounds, median(cpu), median(wall), median(ratios));
    if (!server.empty())
        std::printf("  and the PostgreSQL server's own CPU for it: %.0f ms (the ratio counts this process only)\n",
                    median(server));
    w->Close();
    QCoreApplication::processEvents();
    tr.disconnect();
    return 0;
}
