#pragma once

namespace wip {

// Registers w_wip_detail by class name.
void registerWipDetailWindows();

} // namespace wip
