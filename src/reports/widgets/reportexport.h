#pragma once

#include <QString>

class QWidget;

namespace wip::reports {

class DataStore;

// The export button of a report window: the shown rows written to a workbook
// (.xlsx) or a CSV file, chosen by the file's suffix. A file that cannot be
// written is told in a message box titled after the window; nothing is
// announced as written that was not.
class ReportExport
{
public:
    // Writes store to fileName; false (after the message box) on failure.
    static bool toFile(const DataStore &store, const QString &fileName, const QString &title);
    // Asks for the file, named after the report at first, then writes it. False
    // when the clerk cancelled or the file could not be written.
    static bool withDialog(QWidget *parent, const DataStore &store, const QString &title);
};

} // namespace wip::reports
