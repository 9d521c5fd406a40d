#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace wip {

// An open dialog as it was asked (recorded in scripted mode).
struct AskedOpen
{
    QString title;
    QString folder;      // where the dialog started
    QString filter;
};

// Asks which existing file to read (a style's picture). In the application
// Qt's open dialog (in the interface's language); in tests scripted, as
// SaveFileService: answers queued beforehand ("" = Cancel), every question
// recorded, a question without a queued answer cancelled.
class OpenFileService
{
public:
    // The chosen local path, or "" when the clerk cancels.
    static QString ask(QWidget *parent, const QString &title, const QString &folder, const QString &filter);

    static void setScripted(bool scripted);
    static bool isScripted();
    static void queueAnswer(const QString &path);
    static QList<AskedOpen> asked();
    static void clear();
};

} // namespace wip
