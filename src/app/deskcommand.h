#pragma once

#include "app/commandline.h"

#include <QTextStream>

namespace wip {

// `wip desk`: one action of a department's desk on one bag (Desk), or a
// casting batch at 倒模 (--action cast, CastingDesk: one line "DONE <the
// batch>" or "REFUSED <why>"), for fixed stations and scripts. --stones and
// --broken give the stones of a take-back at 镶石 (METHOD/STONE splits at '/'). The user logs in as for `wip scan` (WIP_PASSWORD or
// the terminal, never the arguments; CommandThrottle after wrong passwords)
// and needs the desk's right; --confirm confirms a receipt off its sent weight,
// or a gain, which the user confirms as supervisor. The tolerance of a receipt
// is the setting desk/tolerance. One line: "DONE <what was done>; <where the bag
// is>" or "REFUSED <why>". Exit code 0 when done, 1 when refused or the login
// failed, 2 for a department that does not exist.
class DeskCommand
{
public:
    static int run(const CommandLine::Options &options, QTextStream &out, QTextStream &err);
};

} // namespace wip
