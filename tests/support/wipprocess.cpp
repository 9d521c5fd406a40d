#include "wipprocess.h"

#include <QDir>
#include <QProcess>

namespace wip::test {

QString describe(const WipRun &run, int outLimit)
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3")
        .arg(run.exitCode)
        .arg(outLimit < 0 ? run.out : run.out.left(outLimit), run.err);
}

QProcessEnvironment wipEnvironment(const QString &home, const QStringList &extra)
{
    const QDir dir(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("WIP_PASSWORD"));
    for (const QString &e : extra)
        env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
    return env;
}

WipRun runWip(const QString &program, const QString &home, const QStringList &args, const WipOptions &options)
{
    QProcessEnvironment env = wipEnvironment(home, options.environment);
    if (!options.password.isNull())
        env.insert(QStringLiteral("WIP_PASSWORD"), options.password);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    if (!options.workingDirectory.isEmpty())
        p.setWorkingDirectory(options.workingDirectory);
    if (options.shellRedirect.isEmpty()) {
        p.start(program, args);
    } else {
        // exec "$0" "$1" ... <redirect>, the program and its arguments passed as
        // the shell's own, so that none of them is read as shell words.
        QStringList quoted{QStringLiteral("exec"), QStringLiteral("\"$0\"")};
        for (int i = 0; i < args.size(); ++i)
            quoted << QStringLiteral("\"$%1\"").arg(i + 1);
        p.start(QStringLiteral("/bin/sh"),
                QStringList{QStringLiteral("-c"), quoted.join(QLatin1Char(' ')) + QLatin1Char(' ') + options.shellRedirect,
                            program}
                    + args);
    }
    WipRun r;
    if (!p.waitForFinished(options.timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace wip::test
