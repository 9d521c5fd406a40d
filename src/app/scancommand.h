#pragma once

#include "app/commandline.h"

#include <QTextStream>
#include <functional>

namespace wip {

// `wip scan`: the scan station of a fixed scanner, headless. The user logs in
// with the password of WIP_PASSWORD, or typed on the terminal without echo
// (never from the arguments); each code is one scan in a transaction of its own,
// reported on one line. Wrong passwords slow it down as they slow the login,
// with the login's count of this machine (CommandThrottle). Exit code 0 when every scan was recorded, 1 when any was
// refused or the login failed, 2 for a department or action that does not exist.
class ScanCommand
{
public:
    static int run(const CommandLine::Options &options, QTextStream &out, QTextStream &err);

    // Asks for the password on the terminal; tests put their own here. The
    // default reads the controlling terminal with echo off, and gives a null
    // QString when there is none.
    using PasswordPrompt = std::function<QString(const QString &prompt)>;
    static void setPasswordPrompt(PasswordPrompt prompt);
};

} // namespace wip
