// Entry point of Wip: reads the command line and hands over to the desktop
// application or to a headless command.

#include "app/appicons.h"
#include "app/apppaths.h"
#include "app/commandline.h"
#include "app/commandrunner.h"
#include "app/desktopapplication.h"
#include "runtime/localtimezone.h"
#include "runtime/outputfile.h"
#include "runtime/settings.h"
#include "runtime/widgets/desktopfileopener.h"
#include "runtime/widgets/interfacelanguage.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

bool isHeadlessCommand(int argc, char **argv)
{
    if (argc < 2)
        return false;
    for (const char *name :
         {"init-db", "report", "recompute-day-wip", "tickets", "badges", "scan", "desk", "user", "import", "export",
          "backup", "restore", "check", "close-day"}) {
        if (std::strcmp(argv[1], name) == 0)
            return true;
    }
    return false;
}

// Help and version need no screen: they are answered without the desktop.
bool asksForHelpOrVersion(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *name : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], name) == 0)
                return true;
        }
    }
    return false;
}

// A command whose own lines could not reach standard output (a full disk, a
// closed pipe) has not done all it was asked: 1 instead of 0, and why on stderr.
int checkedStandardOutput(int exitCode, QTextStream &out, QTextStream &err)
{
    errno = 0;
    out.flush();
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout) && out.status() == QTextStream::Ok;
    const int e = errno;
    if (written)
        return exitCode;
    err << "wip: standard output could not be written"
        << (e != 0 ? QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(e))) : QString()) << "."
        << Qt::endl;
    return exitCode == 0 ? 1 : exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    // Before anything opens a file: a closed standard stream must not be reused.
    wip::OutputFile::guardStandardStreams();
    // Before any thread, and before the first date is read.
    wip::LocalTimeZone::readOnce();
    wip::AppPaths::setApplicationNames();

    const bool headless = isHeadlessCommand(argc, argv);
    std::unique_ptr<QCoreApplication> app;
    if (!headless && asksForHelpOrVersion(argc, argv)) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else if (headless) {
        // Reports are drawn for PDF without a screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QApplication>(argc, argv);
    }

    QTextStream out(stdout);
    QTextStream err(stderr);
    const wip::CommandLine::Result parsed = wip::CommandLine::parse(QCoreApplication::arguments());
    switch (parsed.outcome) {
    case wip::CommandLine::Outcome::ShowHelp:
    case wip::CommandLine::Outcome::ShowVersion:
        out << parsed.text << Qt::endl;
        return 0;
    case wip::CommandLine::Outcome::Error:
        err << "wip: " << parsed.text << Qt::endl << "Try: wip --help" << Qt::endl;
        return 2;
    case wip::CommandLine::Outcome::Run:
        break;
    }

    if (headless) {
        wip::Settings().apply();     // drive folders (P: for the demo pictures), trace log
        return checkedStandardOutput(wip::CommandRunner::run(parsed.options, out, err), out, err);
    }

    QApplication::setApplicationDisplayName(QStringLiteral("Wip"));
    QApplication::setWindowIcon(wip::AppIcons::application());
    QGuiApplication::setDesktopFileName(QStringLiteral("wip"));   // wip.desktop of the package
    // Qt's own dialogs in the interface's language; files open with the desktop's programs.
    wip::loadQtTranslations();
    wip::installDesktopFileOpener();
    wip::DesktopApplication desktop(parsed.options);
    return desktop.run();
}
