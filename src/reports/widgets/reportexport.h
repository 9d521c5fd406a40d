#pragma once

#include <QString>

class QWidget;

namespace wip::reports {

class DataStore;

// The export button of a report window: the shown rows written to a workbook
// (.xlsx) or a CSV file, chosen by the file's suffix. The save dialog starts in
// the exports folder (drive D:) with the report's title and today's date as the
// name, as the print preview's does; after the save a message says where the
// file went and offers to open it. A file that cannot be written is told in a
// message box titled after the window; nothing is announced as written that
// was not.
class ReportExport
{
public:
    // Writes store to fileName; false (after the message box) on failure.
    static bool toFile(const DataStore &store, const QString &fileName, const QString &title);
    // Asks for the file, then writes it and says where. False when the clerk
    // cancelled or the file could not be written.
    static bool withDialog(QWidget *parent, const DataStore &store, const QString &title);

    // Where a save dialog for a report starts: the exports folder (made when it
    // is not there) and "<title> <yyyy-mm-dd>.<suffix>", the report's title
    // (ReportCriteria::title) without the characters a file name cannot hold.
    static QString suggestedFileName(const QString &title, const QString &suffix);
    // What the window says after a save: "已保存到 Saved to: <file>".
    static QString savedText(const QString &file);
};

} // namespace wip::reports
