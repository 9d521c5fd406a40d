#include "app/launcherwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>

namespace wip {

const QVector<LauncherWindow::Entry> &LauncherWindow::entries()
{
    static const QVector<Entry> list{
        {QStringLiteral("w_wip_today"), QStringLiteral("在做资料")},
        {QStringLiteral("w_wip_mattran"), QStringLiteral("产量统计报表")},
        {QStringLiteral("w_wipmat"), QStringLiteral("在做资料 (物料)")},
        {QStringLiteral("w_wip_detail"), QStringLiteral("在做明细 WIP Detail")},
        {QStringLiteral("w_scno_process"), QStringLiteral("销售合约")},
        {QStringLiteral("w_ordergress"), QStringLiteral("订单分析")},
        {QStringLiteral("w_order_followup"), QStringLiteral("订单跟进 Order follow-up")},
        {QStringLiteral("w_scprogress"), QStringLiteral("订单进度")},
        {QStringLiteral("w_production"), QStringLiteral("产量统计")},
    };
    return list;
}

const QVector<LauncherWindow::Tool> &LauncherWindow::tools()
{
    static const QVector<Tool> list{
        {QStringLiteral("w_wip_detail"), QStringLiteral("cb_1"), QStringLiteral("镶法 Setting methods by worker")},
        {QStringLiteral("w_wip_detail"), QStringLiteral("cb_2"), QStringLiteral("镶法EXCL Export setting methods")},
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

    QMenu *fileMenu = menuBar()->addMenu(QStringLiteral("文件 &File"));
    QAction *quit = fileMenu->addAction(QStringLiteral("退出 E&xit"));
    quit->setObjectName(QStringLiteral("m_exit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu *windowMenu = menuBar()->addMenu(QStringLiteral("窗口 &Windows"));
    QToolBar *toolbar = addToolBar(QStringLiteral("窗口"));
    toolbar->setObjectName(QStringLiteral("tb_windows"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setMovable(false);

    const QIcon icon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    for (const Entry &entry : entries()) {
        auto *action = new QAction(icon, entry.caption, this);
        action->setObjectName(entry.className);
        action->setToolTip(QStringLiteral("%1 (%2)").arg(entry.caption, entry.className));
        action->setStatusTip(entry.className);
        // The action's object name is the window class it opens.
        connect(action, &QAction::triggered, this, [this, action]() {
            if (m_opener)
                m_opener(action->objectName());
        });
        windowMenu->addAction(action);
        toolbar->addAction(action);
        m_actions.append(action);
    }

    QMenu *toolMenu = menuBar()->addMenu(QStringLiteral("工具 &Tools"));
    for (const Tool &tool : tools()) {
        auto *action = toolMenu->addAction(tool.caption);
        action->setObjectName(toolTarget(tool));
        action->setStatusTip(toolTarget(tool));
        connect(action, &QAction::triggered, this, [this, action]() {
            if (m_opener)
                m_opener(action->objectName());
        });
        m_actions.append(action);
    }

    auto *central = new QLabel(this);
    central->setObjectName(QStringLiteral("st_welcome"));
    central->setAlignment(Qt::AlignCenter);
    central->setText(QStringLiteral("<h2>在做资料与订单进度</h2><p>Work in process and order progress</p>"
                                    "<p>请从菜单或工具栏打开窗口。<br>Open a window from the menu or the toolbar.</p>"));
    setCentralWidget(central);

    m_database = new QLabel(this);
    m_database->setObjectName(QStringLiteral("st_database"));
    m_user = new QLabel(this);
    m_user->setObjectName(QStringLiteral("st_user"));
    statusBar()->addWidget(m_database, 1);
    statusBar()->addPermanentWidget(m_user);

    resize(900, 420);
    refreshEntries();
}

LauncherWindow::~LauncherWindow() = default;

void LauncherWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        QTimer::singleShot(0, qApp, &QApplication::closeAllWindows);
}

void LauncherWindow::setDatabaseText(const QString &text)
{
    m_database->setText(QStringLiteral("数据库 Database: %1").arg(text));
}

void LauncherWindow::setUserText(const QString &userCode)
{
    m_user->setText(QStringLiteral("用户 User: %1").arg(userCode));
}

void LauncherWindow::refreshEntries()
{
    for (QAction *action : std::as_const(m_actions)) {
        const QString className = action->objectName().section(QLatin1Char('.'), 0, 0);
        const bool registered = m_isRegistered && m_isRegistered(className);
        action->setEnabled(registered);
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

} // namespace wip
