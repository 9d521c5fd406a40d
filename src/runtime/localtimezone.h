#pragma once

namespace wip {

// The machine's time zone, read once. When TZ is not set, the C library looks
// at /etc/localtime again on every conversion to local time (a stat of the file
// each time), and every date a report reads is one: for 100 000 rows that was
// most of the time it took to read them. Naming that same file in TZ makes the
// library read it once; local times are the same. A program started so does not
// follow a change of the machine's time zone until it starts again.
//
// Call first thing in main, before any other thread runs: it sets an
// environment variable. A TZ the user set is left as it is.
class LocalTimeZone
{
public:
    // True when TZ was set here.
    static bool readOnce();
};

} // namespace wip
