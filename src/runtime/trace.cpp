#include "runtime/trace.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace wip {

namespace {

constexpr qsizetype kCapturedLimit = 10000;

// The trace state of the process: one log file and the lines captured for tests.
struct TraceState
{
    QMutex mutex;
    QString logFile;
    QStringList captured;
};

TraceState &state()
{
    static TraceState s;
    return s;
}

} // namespace

QString Trace::problemLine(int code)
{
    return QStringLiteral("*** WE HAVE A PROBLEM HERE. Error = %1 ***").arg(code);
}

void Trace::problem(int code, const QString &detail)
{
    write(problemLine(code));
    if (!detail.isEmpty())
        write(detail);
}

void Trace::write(const QString &line)
{
    TraceState &s = state();
    QMutexLocker lock(&s.mutex);
    s.captured.append(line);
    // Tests read a few lines; a long session must not keep every line it wrote.
    if (s.captured.size() > kCapturedLimit)
        s.captured.remove(0, s.captured.size() - kCapturedLimit);

    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);

    if (!s.logFile.isEmpty()) {
        QFile file(s.logFile);
        // A log that cannot be written must not stop the program; stderr still has the line.
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(bytes);
    }
}

void Trace::setLogFile(const QString &path)
{
    TraceState &s = state();
    QMutexLocker lock(&s.mutex);
    s.logFile = path;
}

QString Trace::logFile()
{
    TraceState &s = state();
    QMutexLocker lock(&s.mutex);
    return s.logFile;
}

QStringList Trace::captured()
{
    TraceState &s = state();
    QMutexLocker lock(&s.mutex);
    return s.captured;
}

void Trace::clearCaptured()
{
    TraceState &s = state();
    QMutexLocker lock(&s.mutex);
    s.captured.clear();
}

} // namespace wip
