#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace wip::test {

// How a run of the wip program ended and what it printed.
struct WipRun
{
    int exitCode = -1;   // -2 when it crashed, -1 when it did not end in time
    QString out;
    QString err;
};

// "exit N", then standard output (its first outLimit characters when given) and
// error output: a readable failure message.
QString describe(const WipRun &run, int outLimit = -1);

struct WipOptions
{
    QString password;           // WIP_PASSWORD; a null text removes it from the environment
    QStringList environment;    // further NAME=value entries
    QString workingDirectory;   // empty: the test's own
    QString shellRedirect;      // standard output where the shell's words say (">/dev/full", ">&-")
    int timeoutMs = 120000;
};

// The environment of a user whose home, data and configuration folders lie in
// `home`, with the offscreen platform: nothing of the tester's own settings is read.
QProcessEnvironment wipEnvironment(const QString &home, const QStringList &extra = {});

// Runs `program` (the wip binary) with args as that user, standard input empty,
// to its end or the timeout.
WipRun runWip(const QString &program, const QString &home, const QStringList &args,
              const WipOptions &options = {});

} // namespace wip::test
