#pragma once

namespace wip::reference {

// Registers w_refdata by class name.
void registerReferenceWindows();

} // namespace wip::reference
