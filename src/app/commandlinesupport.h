#pragma once

#include "app/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// What the parsers of the commands share (commandline.cpp and the files of
// groups of commands): the outcome of a refused command line, running Qt's
// parser with help, and the database every command needs.
namespace wip::commandline {

CommandLine::Result error(const QString &text);

// Runs the parser; fills r with help, version or an error when that is the outcome.
bool runParser(QCommandLineParser &parser, const QStringList &arguments, const QCommandLineOption &help,
               const QString &label, CommandLine::Result &r);

bool requireDatabase(const QCommandLineParser &parser, const QCommandLineOption &database, const QString &command,
                     CommandLine::Result &r);

// Parses what follows the command name; false with r filled when that is the
// outcome (help or an error).
bool parseCommand(QCommandLineParser &parser, const QStringList &arguments, const QCommandLineOption &help,
                  const QCommandLineOption &database, const QString &command, CommandLine::Result &r);

} // namespace wip::commandline
