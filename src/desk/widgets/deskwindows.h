#pragma once

namespace wip {

// Registers the desk's windows with the runtime: w_desk.
void registerDeskWindows();

} // namespace wip
