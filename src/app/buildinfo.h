#pragma once

#include <QString>

namespace wip {

// What this build of Wip is: the project version (CMake's project version) and,
// when it was built from a git checkout, the commit ("3f2a9c01de", with "+" when
// the checkout had uncommitted changes); empty otherwise.
class BuildInfo
{
public:
    static QString version();
    static QString commit();
    // "wip 0.1 (commit 3f2a9c01de)", or "wip 0.1" without a commit.
    static QString versionLine();
};

} // namespace wip
