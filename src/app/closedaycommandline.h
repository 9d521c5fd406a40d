#pragma once

#include "app/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

// The command line of wip close-day (CommandLine::parse hands it here).
namespace wip::commandline {

CommandLine::Result parseCloseDay(QCommandLineParser &parser, const QStringList &arguments,
                                  const QCommandLineOption &help, const QCommandLineOption &database);

} // namespace wip::commandline
