#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace wip {

// A save dialog as it was asked (recorded in scripted mode).
struct AskedSave
{
    QString title;
    QString suggested;   // the path the dialog started with (folder and name)
    QString filter;
};

// Asks where to save a file. In the application Qt's save dialog (in the
// interface's language), starting at the suggested folder and name; in tests
// scripted: answers are queued beforehand ("" = Cancel) and every question is
// recorded; a question without a queued answer is cancelled.
class SaveFileService
{
public:
    // The chosen local path, or "" when the clerk cancels.
    static QString ask(QWidget *parent, const QString &title, const QString &suggested, const QString &filter);

    static void setScripted(bool scripted);
    static bool isScripted();
    static void queueAnswer(const QString &path);
    static QList<AskedSave> asked();
    static void clear();
};

} // namespace wip
