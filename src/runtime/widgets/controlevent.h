#pragma once

namespace wip {

// Events a handler can run at once with TriggerEvent.
enum class ControlEvent { Clicked, GetFocus, SelectionChanged };

} // namespace wip
