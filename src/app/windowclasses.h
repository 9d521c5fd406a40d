#pragma once

namespace wip {

// Registers the window classes of every feature library linked into the
// application with the runtime, so that Open("w_...") finds them and the
// launcher enables their entries. Safe to call more than once.
class WindowClasses
{
public:
    static void registerAll();
};

} // namespace wip
