#pragma once

namespace wip {

// Registers the windows of the sales contracts by class name: w_scno_process,
// its find dialog w_scno_process_search, w_pomatuse, w_sconh_add, w_sconh_edit,
// and the order-progress window w_scprogress with w_scprogress_search.
void registerContractWindows();

} // namespace wip
