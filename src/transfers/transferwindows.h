#pragma once

namespace wip {

// Registers w_wip_mattran and w_wipmat by class name.
void registerTransferWindows();

} // namespace wip
