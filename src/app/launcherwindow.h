#pragma once

#include "app/windowcatalogue.h"

#include <QMainWindow>
#include <QString>
#include <QVector>
#include <functional>

class QAction;
class QLabel;
class QMenu;

namespace wip {

class Window;

// The main window of the application: an Open menu and a toolbar with one entry
// per window of the factory's work (WindowCatalogue), opened by window class
// name; a Windows menu of the windows open now (Ctrl+1 ... Ctrl+9 from any of
// them, Ctrl+0 back here); the tools; Help with the user guide (F1 from any
// window, at the part about that window); File › 更改密码 for the user's own
// password and, for the administrator on the embedded database, File › 恢复
// to put a backup in its place; and a status bar with the database, the user,
// the daily backup and each entry's spoken name. An entry that needs a right (用户与权限) is offered only to a
// user who holds it. An entry is enabled only when its
// window class is registered with the runtime, so a build without a window shows
// it greyed.
class LauncherWindow : public QMainWindow
{
    Q_OBJECT

public:
    using Entry = WindowInfo;
    // Work reached through a hidden button of a window: the launcher opens the
    // window and clicks the button (the setting-method list and export of
    // w_wip_detail, whose buttons the window keeps hidden).
    struct Tool
    {
        QString className;   // w_wip_detail
        QString button;      // cb_1
        QString caption;     // 镶法 ...
        QString hint;        // status bar
        QString icon;
    };
    static const QVector<Tool> &tools();
    // What the opener is given for a tool: "w_wip_detail.cb_1".
    static QString toolTarget(const Tool &tool) { return tool.className + QLatin1Char('.') + tool.button; }
    using IsRegistered = std::function<bool(const QString &className)>;
    using Opener = std::function<void(const QString &className)>;
    // Whether the user holds one of these rights (WindowInfo::needs).
    using MayUse = std::function<bool(Rights needs)>;

    LauncherWindow(IsRegistered isRegistered, Opener opener, QWidget *parent = nullptr);
    ~LauncherWindow() override;

    static QVector<Entry> entries();

    void setDatabaseText(const QString &text);   // URL without the password
    void setUserText(const QString &userCode);
    // The daily backup in the status bar; empty: none shown.
    void setBackupText(const QString &text, bool failed = false);
    // File › 恢复 Restore is offered (to the administrator, on the embedded database).
    void setRestoreOffered(bool offered);

    // Entries that need a right are offered only when mayUse says the user
    // holds it (without a function: not offered).
    void setMayUse(MayUse mayUse);
    // Enables each entry whose class is registered now, and shows those the
    // user may use.
    void refreshEntries();
    QAction *entryAction(const QString &className) const;

    // The windows open now, in the launcher's order, and their names in the
    // Windows menu (the launcher's fuller name where it says the same and more).
    static QList<Window *> openWindows();
    static QString windowName(const Window *window);
    // Rebuilds the Windows menu's list (it is rebuilt whenever the menu opens).
    void refreshWindowList();
    // Brings the n-th open window (from 1) to the front; false when there is none.
    bool activateOpenWindow(int n);

Q_SIGNALS:
    // File › 更改密码: the user wants to change his own password.
    void passwordChangeRequested();
    // File › 恢复 Restore: the administrator wants a backup in the database's place.
    void restoreRequested();

protected:
    // Closing the main window (File > Exit, Ctrl+Q in any window) closes the
    // windows opened from it, and so ends the application; when a window's
    // question about unsaved work is answered Cancel, every window stays open.
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    QAction *addEntryAction(const QString &target, const QString &caption, const QString &hint,
                            const QString &icon);
    void showGuide();
    void showAbout();

    IsRegistered m_isRegistered;
    Opener m_opener;
    MayUse m_mayUse;
    QVector<QAction *> m_actions;
    QMenu *m_windowMenu = nullptr;
    QVector<QAction *> m_windowSlots;       // Ctrl+1 ... Ctrl+9
    QLabel *m_database = nullptr;
    QLabel *m_user = nullptr;
    QLabel *m_backup = nullptr;
    QAction *m_restore = nullptr;
};

} // namespace wip
