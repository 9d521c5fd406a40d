#pragma once

#include "reports/render/columnsizer.h"

namespace wip::reports {

// Measures the section layout, the page model, pagination and the painter share,
// in points: one place, so a page is laid out and painted alike.
inline constexpr double kPadding = ColumnSizer::padding;   // inside a cell, each side
inline constexpr double kSectionGap = 12;                  // between a report's sections
inline constexpr double kEps = 1e-6;                       // heights that differ by less are equal

} // namespace wip::reports
