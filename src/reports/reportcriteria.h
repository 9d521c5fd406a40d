#pragma once

#include "reports/reportdata.h"

#include <QString>
#include <QVariant>

namespace wip::reports {

// The line a printed or exported report carries under its title to say what was
// asked: the values it was retrieved with, each named by its argument's caption.
// Two dates of one caption in a row read as a range, a long list as its first
// value and its count:
//
//   货期 Deldate: 2026-11-01 至 2026-12-31   客户 Customer: QOR   KCNO: KC2400001 … (20)
//
// A value that the heading already shows (a window wrote the dates into t_head;
// only texts set at run time count) is not repeated; nothing at all when the heading shows everything or the report
// was retrieved without arguments.
class ReportCriteria
{
public:
    static QString text(const ReportData &data);
    // What the report is called: its title text (t_title), else its heading
    // (t_head), else the title of the window that showed it, else its first header
    // text, else the definition's name. Names files and windows.
    static QString title(const ReportData &data);
    // One retrieval value as the line shows it (dates yyyy-mm-dd, a time only when set).
    static QString valueText(const QVariant &value);
    // A list as the line shows it: up to three values in full, else the first,
    // an ellipsis and the count.
    static QString listText(const QStringList &values);
};

} // namespace wip::reports
