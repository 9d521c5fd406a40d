#pragma once

#include "app/commandline.h"

#include <QTextStream>
#include <functional>

namespace wip {

// `wip scan`: the scan station of a fixed scanner, headless. The user logs in
// with the password of WIP_PASSWORD, or typed on the terminal without echo
// (never from the arguments, PasswordPrompt); each code is one scan in a transaction of its own,
// reported on one line. Wrong passwords slow it down as they slow the login,
// with the login's count of this machine (CommandThrottle). Exit code 0 when every scan was recorded, 1 when any was
// refused or the login failed, 2 for a department or action that does not exist.
class ScanCommand
{
public:
    static int run(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
};

} // namespace wip
