#pragma once

namespace wip {

// Registers the order-progress windows (w_ordergress, w_ordergress_detail) so that
// they open by name. Called once at start-up.
void registerOrderProgressWindows();

} // namespace wip
