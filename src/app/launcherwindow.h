#pragma once

#include <QMainWindow>
#include <QString>
#include <QVector>
#include <functional>

class QAction;
class QLabel;

namespace wip {

// The main window of the application: a menu and a toolbar with one entry per
// window of the factory's work, opened by window class name, and a status bar
// with the database and the user. An entry is enabled only when its window class
// is registered with the runtime, so a build without a window shows it greyed.
class LauncherWindow : public QMainWindow
{
    Q_OBJECT

public:
    struct Entry
    {
        QString className;   // w_wip_today ...
        QString caption;     // 在做资料 ...
    };
    // Work reached through a hidden button of a window: the launcher opens the
    // window and clicks the button (the setting-method list and export of
    // w_wip_detail, whose buttons the window keeps hidden).
    struct Tool
    {
        QString className;   // w_wip_detail
        QString button;      // cb_1
        QString caption;     // 镶法 ...
    };
    static const QVector<Tool> &tools();
    // What the opener is given for a tool: "w_wip_detail.cb_1".
    static QString toolTarget(const Tool &tool) { return tool.className + QLatin1Char('.') + tool.button; }
    using IsRegistered = std::function<bool(const QString &className)>;
    using Opener = std::function<void(const QString &className)>;

    LauncherWindow(IsRegistered isRegistered, Opener opener, QWidget *parent = nullptr);
    ~LauncherWindow() override;

    static const QVector<Entry> &entries();

    void setDatabaseText(const QString &text);   // URL without the password
    void setUserText(const QString &userCode);

    // Enables each entry whose class is registered now.
    void refreshEntries();
    QAction *entryAction(const QString &className) const;

protected:
    // Closing the main window closes the windows opened from it, and so ends the application.
    void closeEvent(QCloseEvent *event) override;

private:
    IsRegistered m_isRegistered;
    Opener m_opener;
    QVector<QAction *> m_actions;
    QLabel *m_database = nullptr;
    QLabel *m_user = nullptr;
};

} // namespace wip
