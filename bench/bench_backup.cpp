// wip backup of the embedded database (SQLite's online backup into a file
// written whole or not at all, DatabaseBackup) against copying the database
// file (std::filesystem::copy_file, the kernel's copy as cp makes it), both
// while a department desk keeps working on the same database: a thread of its
// own issues the bags of 执模 to a worker and takes them back, one Desk action
// a transaction, for as long as the benchmarks run. The factory is the demo
// at scale N (init-db --demo --scale N; N from WIP_BENCH_SCALE, 100 by
// default), or WIP_BENCH_DATABASE names a SQLite file made before (it is
// written to by the desk). Goal: the backup at most 2 times the copy. Printed
// in CPU time (steadier on a shared machine) against the copy and against the
// copy made durable with fsync, as the backup's file is before it is said to
// be written, and in wall time against the latter; with the desk's actions
// done while each ran, and the backup checked to open as a sound database.

#include "benchdata.h"
#include "database/initdatabase.h"
#include "database/rightscatalogue.h"
#include "desk/desk.h"
#include "maintenance/databasebackup.h"
#include "maintenance/sqlitebackup.h"
#include "runtime/transaction.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace wip;

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

// The factory's database file, built once.
const QString &databaseFile()
{
    return bench::demoFactoryFile();
}

// A desk of 执模 at work: each bag at its desk issued to a worker and taken
// back with its grams, over and over, one action a transaction.
class DeskAtWork
{
public:
    explicit DeskAtWork(const QString &file)
        : m_thread(QThread::create([this, file] { work(file); }))
    {
        m_thread->start();
    }
    ~DeskAtWork()
    {
        m_stop = true;
        m_thread->wait();
    }
    long long actions() const { return m_actions; }
    long long refused() const { return m_refused; }

private:
    void work(const QString &file)
    {
        Transaction tr;
        tr.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + file);
        if (!tr.connect())
            return;
        QList<QPair<QString, QString>> bags;   // ticket code, grams
        const QString sql = QStringLiteral(
            "select b.scno || '-' || d.line_no, b.weight from bag_place b join scond d on d.scond_id = b.scond_id "
            "where b.place = 'desk' and b.gongxu_code = '04-执模' and b.pcs > 0 order by b.scond_id");
        QSqlQuery q(tr.database());
        q.exec(sql);
        while (q.next() && bags.size() < 2000)
            bags.append({q.value(0).toString(), QString::number(q.value(1).toDouble(), 'f', 3)});
        q.finish();
        Desk desk(tr, {QStringLiteral("CLERK"), QStringLiteral("bench")}, Right::Scan, Desk::Options{});
        for (qsizetype i = 0; !m_stop && !bags.isEmpty(); i = (i + 1) % bags.size()) {
            for (const DeskAction action : {DeskAction::Issue, DeskAction::TakeBack}) {
                DeskRequest r;
                r.action = action;
                r.code = bags[i].first;
                r.department = QStringLiteral("执模");
                r.worker = QStringLiteral("0401");
                r.weight = bags[i].second;
                (desk.act(r).done() ? m_actions : m_refused)++;
            }
        }
        tr.disconnect();
    }

    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_actions{0};
    std::atomic<long long> m_refused{0};
    std::unique_ptr<QThread> m_thread;
};

DeskAtWork *desk()
{
    static DeskAtWork *d = new DeskAtWork(databaseFile());
    return d;
}

QString output() { return folder().filePath(QStringLiteral("backup.sqlite")); }

void BM_WipBackup(benchmark::State &state)
{
    ConnectionSettings settings;
    settings.dbms = QStringLiteral("SQLITE");
    settings.database = databaseFile();
    DeskAtWork *d = desk();
    const long long before = d->actions();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(output());
        state.ResumeTiming();
        QString error;
        if (!DatabaseBackup::backup(settings, output(), &error))
            state.SkipWithError(qPrintable(error));
    }
    state.counters["desk_actions"] = double(d->actions() - before);
    state.counters["MB"] = double(QFileInfo(output()).size()) / (1024.0 * 1024.0);
}

void BM_CopyFile(benchmark::State &state)
{
    const std::filesystem::path from(QFile::encodeName(databaseFile()).constData());
    const std::filesystem::path to(QFile::encodeName(output()).constData());
    DeskAtWork *d = desk();
    const long long before = d->actions();
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(output());
        state.ResumeTiming();
        std::error_code error;
        if (!std::filesystem::copy_file(from, to, error))
            state.SkipWithError(error.message().c_str());
    }
    state.counters["desk_actions"] = double(d->actions() - before);
}

// The copy made durable, as the backup is (on the disk before it says it is
// written): the baseline of the wall time.
void BM_CopyFileDurable(benchmark::State &state)
{
    const std::filesystem::path from(QFile::encodeName(databaseFile()).constData());
    const std::filesystem::path to(QFile::encodeName(output()).constData());
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(output());
        state.ResumeTiming();
        std::error_code error;
        if (!std::filesystem::copy_file(from, to, error))
            state.SkipWithError(error.message().c_str());
        const int fd = ::open(to.c_str(), O_RDONLY);
        if (fd < 0 || ::fsync(fd) != 0)
            state.SkipWithError("the copy could not be made durable");
        ::close(fd);
    }
}

} // namespace

BENCHMARK(BM_CopyFileDurable)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_WipBackup)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    databaseFile();
    const int code = bench::runAndCompare(argc, argv,
                                          {bench::Ratio{"BM_WipBackup", "BM_CopyFile", "wip backup / copying the file"},
                                           bench::Ratio{"BM_WipBackup", "BM_CopyFileDurable",
                                                        "wip backup / copying the file and syncing it"},
                                           bench::Ratio{"BM_WipBackup", "BM_CopyFileDurable",
                                                        "wip backup / copying the file and syncing it", true}});
    std::printf("desk actions while measuring: %lld done, %lld refused\n", desk()->actions(), desk()->refused());
    delete desk();
    // The last backup, taken while the desk worked, is a sound database.
    QString problem;
    const SqliteBackup::Contents contents = SqliteBackup::read(output());
    if (!SqliteBackup::quickCheck(output(), &problem) || !contents.version) {
        std::printf("the backup is not sound: %s\n", qPrintable(problem));
        return 1;
    }
    std::printf("the backup opens as Wip schema version %d and is sound\n", *contents.version);
    return code;
}
