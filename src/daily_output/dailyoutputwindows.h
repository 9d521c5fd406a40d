#pragma once

namespace wip {

// Registers the windows of the daily output (w_wip_today, w_production) by class
// name, so that the launcher and other windows can Open() them.
void registerDailyOutputWindows();

} // namespace wip
