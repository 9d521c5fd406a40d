#pragma once

#include <QDateTime>
#include <QString>

namespace wip::reports {
class DataStore;
}

namespace wip {

// What happens in the progress record when a department's transferred-out
// quantity is entered: the quantity becomes the next department's received
// quantity and the next department's date is stamped; when the department has
// then passed on all it received (in work = 0), its own date is stamped too,
// with the same moment. A null in-work quantity counts as not 0.
//
//   before: wax_in 10, wax_out 10 (just typed), casting_in null
//   after:  casting_in 10, wax_date = casting_date = now
//   before: wax_in 10, wax_out 4 (just typed)
//   after:  casting_in 4, casting_date = now, wax_date unchanged
//
// Polishing has a date of its own (polishing_date): stamped when finishing
// passes goods to it, and again when polishing empties.
class ProgressPropagation
{
public:
    // Applies the rule for column `changed` of `row` of a d_w_process_input store
    // (values as they are in the row now); `now` is the moment stamped. Other
    // columns change nothing. Works on any such store: the window's grid, or one
    // that holds a single process record read without a window.
    static void apply(reports::DataStore &process, int row, const QString &changed, const QDateTime &now);
};

} // namespace wip
