#pragma once

namespace wip {

// Registers the order-progress windows (w_ordergress, w_ordergress_detail,
// w_order_followup) so that they open by name. Called once at start-up.
void registerOrderProgressWindows();

} // namespace wip
