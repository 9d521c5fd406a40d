#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace wip {

// Opens a file, or a folder, with the desktop's program for it: the workbook the
// setting-method export saved, a report the clerk exported. One service for the
// program: the application installs the desktop's opener at start
// (installDesktopFileOpener); without one (the command line) nothing is opened.
// In tests it is scripted: every request is recorded and nothing is started.
//
//   FileOpener::open("/home/clerk/exports/LAsb.xls");   // the spreadsheet program shows it
class FileOpener
{
public:
    // Whatever opens a local path; true when it was handed over.
    using Handler = std::function<bool(const QString &localPath)>;

    // Opens a local file or folder; false when nothing could open it.
    static bool open(const QString &localPath);
    static void setHandler(Handler handler);

    static void setScripted(bool scripted);
    static bool isScripted();
    // The paths asked to be opened, oldest first (recorded in every mode).
    static QStringList opened();
    static void clear();
};

} // namespace wip
