#include "benchdata.h"

#include "database/initdatabase.h"
#include "runtime/localtimezone.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace wip::bench {

const QString &demoFactoryFile()
{
    static QTemporaryDir dir;
    static const QString file = [] {
        const QString given = qEnvironmentVariable("WIP_BENCH_DATABASE");
        if (!given.isEmpty())
            return given.startsWith(QLatin1String("sqlite:")) ? given.mid(7) : given;
        const QString path = dir.filePath(QStringLiteral("bench.db"));
        Transaction tr;
        tr.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + path);
        tr.settings.autoCommit = true;
        InitOptions options;
        options.demo = true;
        options.scale = qEnvironmentVariableIsSet("WIP_BENCH_SCALE") ? qEnvironmentVariableIntValue("WIP_BENCH_SCALE") : 100;
        std::fprintf(stderr, "building the demo factory at scale %d...\n", options.scale);
        if (!tr.connect() || !initDatabase(tr, options).ok) {
            std::fprintf(stderr, "the demo factory could not be built: %s\n", qPrintable(tr.sqlErrText));
            std::abort();
        }
        tr.disconnect();
        return path;
    }();
    return file;
}

BenchDatabase::BenchDatabase(int rows)
{
    m_tr.settings.dbms = QStringLiteral("SQLITE");
    m_tr.settings.database = m_dir.filePath(QStringLiteral("bench.db"));
    if (!m_tr.connect()) {
        m_error = m_tr.sqlErrText;
        return;
    }
    const InitResult init = initDatabase(m_tr);
    if (!init.ok) {
        m_error = init.error;
        return;
    }
    QSqlDatabase db = m_tr.database();
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("insert into proch (proch_id, scno, gongxu_code, changhao, xingming, sttime, edtime, "
                                  "qty, wsheetno, opername, memo) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QStringList processes = {"01-唧腊", "03-倒模", "04-执模", "06-镶石", "07-执边",
                                   "08-打磨", "09-电金", "11-外发", "12-石仓", "20-出货"};
    const QDateTime start(QDate(2004, 1, 1), QTime(8, 0));
    for (int i = 1; i <= rows; ++i) {
        insert.addBindValue(i);
        insert.addBindValue(QStringLiteral("KC%1").arg(i / 7, 6, 10, QLatin1Char('0')));
        insert.addBindValue(processes.at(i % processes.size()));
        insert.addBindValue(QStringLiteral("W%1").arg(i % 200, 3, 10, QLatin1Char('0')));
        insert.addBindValue(QStringLiteral("工人%1").arg(i % 200));
        insert.addBindValue(start.addSecs(qint64(i) * 300).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        insert.addBindValue(i % 5 == 0 ? QVariant(QMetaType::fromType<QString>())
                                       : QVariant(start.addSecs(qint64(i) * 300 + 86400).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        insert.addBindValue(double(i % 50) + 0.5);
        insert.addBindValue(QStringLiteral("WS%1").arg(i));
        insert.addBindValue(QStringLiteral("clerk"));
        insert.addBindValue(QVariant(QMetaType::fromType<QString>()));
        if (!insert.exec()) {
            m_error = insert.lastError().text();
            db.rollback();
            return;
        }
    }
    db.commit();
}

BenchDatabase::~BenchDatabase()
{
    m_tr.disconnect();
}

std::shared_ptr<const reports::Definition> stepsDefinition(const QStringList &sort)
{
    using namespace reports;
    auto d = std::make_shared<Definition>();
    d->name = QStringLiteral("d_bench_steps");
    d->query = QStringLiteral("select proch_id, scno, gongxu_code, changhao, xingming, sttime, edtime, qty, wsheetno, "
                              "opername, memo from proch");
    const std::pair<const char *, ValueType> columns[] = {
        {"proch_id", ValueType::Number}, {"scno", ValueType::String},      {"gongxu_code", ValueType::String},
        {"changhao", ValueType::String}, {"xingming", ValueType::String},  {"sttime", ValueType::DateTime},
        {"edtime", ValueType::DateTime}, {"qty", ValueType::Number},       {"wsheetno", ValueType::String},
        {"opername", ValueType::String}, {"memo", ValueType::String},
    };
    for (const auto &[name, type] : columns) {
        Column c;
        c.name = QString::fromLatin1(name);
        c.type = type;
        d->columns.append(c);
    }
    d->sort = sort;
    return d;
}

namespace {

// Keeps the mean CPU time per iteration (steadier than wall time on a busy machine) of every run while printing as usual.
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                times[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations);
                wallTimes[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
    std::map<std::string, double> wallTimes;
};

} // namespace

int runAndCompare(int argc, char **argv, std::initializer_list<Ratio> ratios)
{
    // As the program does when it starts (a bench that prepared data first read
    // its dates more slowly; its measurements start here).
    LocalTimeZone::readOnce();
    // A benchmark that measured something before (memory) made the application already.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto find = [&reporter](const char *prefix, bool wall) -> double {
        for (const auto &[name, time] : wall ? reporter.wallTimes : reporter.times) {
            if (name.rfind(prefix, 0) == 0 && (name.size() == std::strlen(prefix) || name[std::strlen(prefix)] == '/'))
                return time;
        }
        return 0.0;
    };
    for (const Ratio &r : ratios) {
        const double a = find(r.numerator, r.wallClock);
        const double b = find(r.denominator, r.wallClock);
        if (a > 0 && b > 0)
            std::printf("%s: %s / %s = %.2fx%s\n", r.label, r.numerator, r.denominator, a / b,
                        r.wallClock ? " (wall time)" : "");
    }
    return 0;
}

int runAndCompare(int argc, char **argv, const char *numerator, const char *denominator, const char *label)
{
    return runAndCompare(argc, argv, {Ratio{numerator, denominator, label}});
}

} // namespace wip::bench
