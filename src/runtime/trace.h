#pragma once

#include <QString>
#include <QStringList>

namespace wip {

// The runtime's trace output: stderr and a trace log file. Host failures write
// "*** WE HAVE A PROBLEM HERE. Error = <code> ***"; database errors and other
// diagnostics write a line of their own. Tests read the captured lines.
class Trace
{
public:
    static QString problemLine(int code);          // the exact trace line of a host failure
    static void problem(int code, const QString &detail = QString()); // writes problemLine (+ detail line)
    static void write(const QString &line);        // any other trace line

    static void setLogFile(const QString &path);   // empty: no file
    static QString logFile();

    // Lines written since the last clearCaptured() (the last 10000 of them), for tests.
    static QStringList captured();
    static void clearCaptured();
};

} // namespace wip
