#pragma once

#include "reports/definition.h"
#include "runtime/transaction.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <initializer_list>
#include <memory>

namespace wip::bench {

// A SQLite factory database in a temporary folder with `rows` process steps in
// proch: ten processes, two hundred workers, dates over one year.
class BenchDatabase
{
public:
    explicit BenchDatabase(int rows);
    ~BenchDatabase();

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    Transaction &tr() { return m_tr; }

private:
    QTemporaryDir m_dir;
    Transaction m_tr;
    QString m_error;
};

// The demo factory's SQLite file for benchmarks that read a big factory: the
// file WIP_BENCH_DATABASE names ("sqlite:" allowed), or the demo built once at
// scale WIP_BENCH_SCALE (100) in a temporary folder. Never written by the caller.
const QString &demoFactoryFile();

// The columns of proch as a report definition: "select <all> from proch", sorted as given.
std::shared_ptr<const reports::Definition> stepsDefinition(const QStringList &sort = {});

// One ratio to print: the mean CPU time per iteration of two benchmarks, or
// with wallClock their mean wall time (work that waits for the disk).
struct Ratio
{
    const char *numerator;
    const char *denominator;
    const char *label;
    bool wallClock = false;
};

// Runs the registered benchmarks and prints "<label>: <a> / <b> = <ratio>x" for
// each ratio.
int runAndCompare(int argc, char **argv, std::initializer_list<Ratio> ratios);
int runAndCompare(int argc, char **argv, const char *numerator, const char *denominator, const char *label);

} // namespace wip::bench
