#pragma once

#include "app/commandline.h"

#include <QTextStream>

namespace wip {

// `wip close-day`: a department's supervisor closes its day (ClosedDays), or
// with --reopen the administrator opens it again. The user logs in as for
// `wip scan` (CommandLogin). One line, DONE or REFUSED; exit code 0 when done,
// 1 when refused or the login failed, 2 for a department that does not exist.
class CloseDayCommand
{
public:
    static int run(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
};

} // namespace wip
