#pragma once

#include "app/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

// The command lines of the database's upkeep: wip backup, wip restore and
// wip check (CommandLine::parse hands them here).
namespace wip::commandline {

CommandLine::Result parseBackup(QCommandLineParser &parser, const QStringList &arguments,
                                const QCommandLineOption &help, const QCommandLineOption &database);
CommandLine::Result parseRestore(QCommandLineParser &parser, const QStringList &arguments,
                                 const QCommandLineOption &help, const QCommandLineOption &database);
CommandLine::Result parseCheck(QCommandLineParser &parser, const QStringList &arguments,
                               const QCommandLineOption &help, const QCommandLineOption &database);

} // namespace wip::commandline
