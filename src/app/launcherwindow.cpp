#include "app/launcherwindow.h"

#include "app/appicons.h"
#include "app/buildinfo.h"
#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>
#include <utility>

namespace wip {

namespace {

constexpr int kWindowSlots = 9;

int catalogueIndex(const QString &className)
{
    const auto &all = WindowCatalogue::all();
    for (int i = 0; i < all.size(); ++i) {
        if (all.at(i).className.compare(className, Qt::CaseInsensitive) == 0)
            return i;
    }
    return int(all.size());
}

void bringToFront(QWidget *w)
{
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace

QVector<LauncherWindow::Entry> LauncherWindow::entries()
{
    return WindowCatalogue::launcherEntries();
}

const QVector<LauncherWindow::Tool> &LauncherWindow::tools()
{
    static const QVector<Tool> list{
        {QStringLiteral("w_wip_detail"), QStringLiteral("cb_1"), QStringLiteral("镶法 Setting methods by worker"),
         QStringLiteral("镶法: 各工人在做的镶法"), QStringLiteral("setting-methods")},
        {QStringLiteral("w_wip_detail"), QStringLiteral("cb_2"), QStringLiteral("镶法EXCL Export setting methods"),
         QStringLiteral("镶法EXCL: 镶法清单导出到电子表格"), QStringLiteral("export-sheet")},
    };
    return list;
}

LauncherWindow::LauncherWindow(IsRegistered isRegistered, Opener opener, QWidget *parent)
    : QMainWindow(parent)
    , m_isRegistered(std::move(isRegistered))
    , m_opener(std::move(opener))
{
    setObjectName(QStringLiteral("w_main"));
    setWindowTitle(QStringLiteral("Wip"));
    setWindowIcon(AppIcons::application());
    buildMenus();

    auto *central = new QLabel(this);
    central->setObjectName(QStringLiteral("st_welcome"));
    central->setAlignment(Qt::AlignCenter);
    central->setText(QStringLiteral("<h2>在做资料与订单进度</h2><p>Work in process and order progress</p>"
                                    "<p>请从菜单或工具栏打开窗口。<br>Open a window from the menu or the toolbar.</p>"
                                    "<p>F1: 用户指南 User guide</p>"));
    setCentralWidget(central);

    m_database = new QLabel(this);
    m_database->setObjectName(QStringLiteral("st_database"));
    m_user = new QLabel(this);
    m_user->setObjectName(QStringLiteral("st_user"));
    m_backup = new QLabel(this);
    m_backup->setObjectName(QStringLiteral("st_backup"));
    m_backup->hide();
    // A long URL gives way to the backup and the user on a narrow window.
    m_database->setMinimumWidth(1);
    m_database->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(m_database, 1);
    statusBar()->addPermanentWidget(m_backup);
    statusBar()->addPermanentWidget(m_user);

    // Wide enough for every window's button (the toolbar's width while all are
    // shown), as far as the screen allows; the toolbar folds the rest away.
    const QToolBar *toolbar = findChild<QToolBar *>(QStringLiteral("tb_windows"));
    int width = toolbar->sizeHint().width() + 16;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        width = qMin(width, screen->availableGeometry().width());
    resize(width, 440);
    refreshEntries();
}

LauncherWindow::~LauncherWindow() = default;

QAction *LauncherWindow::addEntryAction(const QString &target, const QString &caption, const QString &hint,
                                        const QString &icon)
{
    auto *action = new QAction(AppIcons::icon(icon), caption, this);
    // The action's object name is what it opens: a window class, or "class.button".
    action->setObjectName(target);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    connect(action, &QAction::triggered, this, [this, action]() {
        if (m_opener)
            m_opener(action->objectName());
    });
    m_actions.append(action);
    return action;
}

void LauncherWindow::buildMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(QStringLiteral("文件 &File"));
    QAction *password = fileMenu->addAction(QStringLiteral("更改密码 Change &password…"));
    password->setObjectName(QStringLiteral("m_password"));
    password->setStatusTip(QStringLiteral("更改密码: 更改自己的登录密码"));
    connect(password, &QAction::triggered, this, &LauncherWindow::passwordChangeRequested);
    m_restore = fileMenu->addAction(QStringLiteral("恢复 &Restore…"));
    m_restore->setObjectName(QStringLiteral("m_restore"));
    m_restore->setStatusTip(QStringLiteral("恢复: 用备份代替本机的数据库, 现在的数据库另存不删"));
    m_restore->setVisible(false);
    connect(m_restore, &QAction::triggered, this, &LauncherWindow::restoreRequested);
    fileMenu->addSeparator();
    QAction *quit = fileMenu->addAction(QStringLiteral("退出 E&xit"));
    quit->setObjectName(QStringLiteral("m_exit"));
    // Ctrl+Q from whichever window has the keyboard, not only from this one; named
    // outright, since the platform's standard Quit key is not Ctrl+Q everywhere.
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu *openMenu = menuBar()->addMenu(QStringLiteral("打开 &Open"));
    QToolBar *toolbar = addToolBar(QStringLiteral("窗口"));
    toolbar->setObjectName(QStringLiteral("tb_windows"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setIconSize(QSize(32, 32));
    toolbar->setMovable(false);
    for (const Entry &entry : entries()) {
        QAction *action = addEntryAction(entry.className, entry.caption, entry.hint, entry.icon);
        openMenu->addAction(action);
        toolbar->addAction(action);
    }

    m_windowMenu = menuBar()->addMenu(QStringLiteral("窗口 &Windows"));
    m_windowMenu->setObjectName(QStringLiteral("m_windows"));
    QAction *home = m_windowMenu->addAction(AppIcons::application(), QStringLiteral("主窗口 &Main window"));
    home->setObjectName(QStringLiteral("m_main_window"));
    home->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    home->setShortcutContext(Qt::ApplicationShortcut);
    connect(home, &QAction::triggered, this, [this] { bringToFront(this); });
    QAction *closeAll = m_windowMenu->addAction(QStringLiteral("关闭全部窗口 &Close all windows"));
    closeAll->setObjectName(QStringLiteral("m_close_all"));
    connect(closeAll, &QAction::triggered, this, [] { Window::CloseAll(); });
    m_windowMenu->addSeparator();
    for (int i = 1; i <= kWindowSlots; ++i) {
        auto *slot = m_windowMenu->addAction(QString());
        slot->setObjectName(QStringLiteral("m_window_%1").arg(i));
        slot->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + i)));
        slot->setShortcutContext(Qt::ApplicationShortcut);
        slot->setVisible(false);
        connect(slot, &QAction::triggered, this, [this, i] { activateOpenWindow(i); });
        m_windowSlots.append(slot);
    }
    connect(m_windowMenu, &QMenu::aboutToShow, this, &LauncherWindow::refreshWindowList);

    QMenu *toolMenu = menuBar()->addMenu(QStringLiteral("工具 &Tools"));
    for (const Tool &tool : tools())
        toolMenu->addAction(addEntryAction(toolTarget(tool), tool.caption, tool.hint, tool.icon));

    QMenu *helpMenu = menuBar()->addMenu(QStringLiteral("帮助 &Help"));
    QAction *guide = helpMenu->addAction(AppIcons::icon(QStringLiteral("help")), QStringLiteral("用户指南 &User guide"));
    guide->setObjectName(QStringLiteral("m_guide"));
    guide->setShortcut(QKeySequence::HelpContents);
    guide->setShortcutContext(Qt::ApplicationShortcut);
    guide->setStatusTip(QStringLiteral("用户指南: 日常工作的步骤"));
    connect(guide, &QAction::triggered, this, &LauncherWindow::showGuide);
    QAction *about = helpMenu->addAction(QStringLiteral("关于 &About Wip"));
    about->setObjectName(QStringLiteral("m_about"));
    connect(about, &QAction::triggered, this, &LauncherWindow::showAbout);
}

void LauncherWindow::closeEvent(QCloseEvent *event)
{
    // The windows opened from here close first, each asked about its unsaved
    // work before any of them closes: Cancel at a question keeps every window,
    // this one too.
    if (!Window::CloseAll()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    // What else is open (a print preview, a dialog) goes with it.
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget *w : topLevels) {
        if (w != this && w->isVisible())
            w->close();
    }
}

void LauncherWindow::setDatabaseText(const QString &text)
{
    m_database->setText(QStringLiteral("数据库 Database: %1").arg(text));
    m_database->setToolTip(text);
}

void LauncherWindow::setUserText(const QString &userCode)
{
    m_user->setText(QStringLiteral("用户 User: %1").arg(userCode));
}

void LauncherWindow::setBackupText(const QString &text, bool failed)
{
    m_backup->setText(text);
    m_backup->setToolTip(text);
    m_backup->setStyleSheet(failed ? QStringLiteral("color: #b00020; font-weight: bold;") : QString());
    // Whole, where the database's URL gives way when the window is narrow.
    m_backup->setMinimumWidth(failed ? 0 : m_backup->sizeHint().width());
    m_backup->setVisible(!text.isEmpty());
}

void LauncherWindow::setRestoreOffered(bool offered)
{
    m_restore->setVisible(offered);
}

void LauncherWindow::setMayUse(MayUse mayUse)
{
    m_mayUse = std::move(mayUse);
    refreshEntries();
}

void LauncherWindow::refreshEntries()
{
    for (QAction *action : std::as_const(m_actions)) {
        const QString className = action->objectName().section(QLatin1Char('.'), 0, 0);
        const bool registered = m_isRegistered && m_isRegistered(className);
        action->setEnabled(registered);
        const WindowInfo *info = WindowCatalogue::find(className);
        const bool offered = !info || !info->needs || (m_mayUse && m_mayUse(info->needs));
        action->setVisible(offered);
    }
}

QAction *LauncherWindow::entryAction(const QString &className) const
{
    for (QAction *action : m_actions) {
        if (action->objectName() == className)
            return action;
    }
    return nullptr;
}

QList<Window *> LauncherWindow::openWindows()
{
    QList<Window *> open = Window::openWindows();
    std::sort(open.begin(), open.end(), [](const Window *a, const Window *b) {
        const int ia = catalogueIndex(a->windowClassName());
        const int ib = catalogueIndex(b->windowClassName());
        if (ia != ib)
            return ia < ib;
        return a->windowTitle() < b->windowTitle();
    });
    return open;
}

QString LauncherWindow::windowName(const Window *window)
{
    const QString title = window->windowTitle();
    const WindowInfo *info = WindowCatalogue::find(window->windowClassName());
    // A title that says nothing ("Untitled") gives way to the launcher's name too.
    if (info && (title.isEmpty() || title == QLatin1String("Untitled") || info->caption.startsWith(title)))
        return info->caption;
    return title;
}

void LauncherWindow::refreshWindowList()
{
    const QList<Window *> open = openWindows();
    for (int i = 0; i < m_windowSlots.size(); ++i) {
        QAction *slot = m_windowSlots.at(i);
        if (i >= open.size()) {
            slot->setVisible(false);
            continue;
        }
        // "&1 销售合约": the digit is the menu's access key as well as Ctrl+1.
        slot->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(windowName(open.at(i))));
        slot->setIcon(open.at(i)->windowIcon());
        slot->setVisible(true);
    }
}

bool LauncherWindow::activateOpenWindow(int n)
{
    const QList<Window *> open = openWindows();
    if (n < 1 || n > open.size())
        return false;
    bringToFront(open.at(n - 1));
    return true;
}

void LauncherWindow::showGuide()
{
    // F1 in a window opens the guide at the part about that window.
    QString context;
    if (auto *active = qobject_cast<Window *>(QApplication::activeWindow()))
        context = active->windowClassName();
    try {
        Window::OpenWithParm(QStringLiteral("w_help"), context);
    } catch (const HostError &e) {
        Trace::problem(e.code(), e.detail());
        MessageBoxService::show(windowTitle(), QStringLiteral("用户指南无法打开。\nThe user guide cannot be opened."),
                                MessageIcon::StopSign);
    }
}

void LauncherWindow::showAbout()
{
    MessageBoxService::show(QStringLiteral("关于 Wip"),
                            QStringLiteral("在做资料与订单进度\nWork in process and order progress\n\n%1")
                                .arg(BuildInfo::versionLine()),
                            MessageIcon::Information);
}

} // namespace wip
