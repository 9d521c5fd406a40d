// Makes the pictures of the user guide (docs/images/) from the real windows on
// the offscreen platform, with the demo factory, so that they show the program
// as it is. Run through scripts/screenshots, which builds it.
//
//     wip_screenshots OUTPUT_FOLDER

#include "app/administratordialog.h"
#include "app/appicons.h"
#include "app/apppaths.h"
#include "app/demousersnote.h"
#include "app/firststartdialog.h"
#include "app/launcherwindow.h"
#include "app/logindialog.h"
#include "app/passworddialog.h"
#include "app/windowcatalogue.h"
#include "app/windowclasses.h"
#include "database/demopictures.h"
#include "database/initdatabase.h"
#include "database/useraccounts.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/cursor.h"
#include "runtime/drivemapping.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/window.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QTabWidget>
#include <QSqlDatabase>
#include <QToolBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <functional>

using namespace wip;

namespace {

QString g_output;
QStringList g_written;

// Lets queued work (open events, retrievals, layout) run for a while.
void settle(int ms = 150)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        // What was let go as the application's event loop would: charts drop the
        // items of their old axes so.
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(5);
    }
}

// Saves the widget as a small PNG, framed so that the guide does not read as
// the window itself: a palette of colours is plenty for windows.
void shoot(QWidget &w, const QString &name)
{
    settle();
    QImage grabbed = w.grab().toImage();
    {
        QPainter frame(&grabbed);
        frame.setPen(QColor(0x88, 0x88, 0x88));
        frame.drawRect(grabbed.rect().adjusted(0, 0, -1, -1));
    }
    const QImage image = grabbed.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    const QString file = g_output + QLatin1Char('/') + name + QStringLiteral(".png");
    if (image.save(file, "PNG", 9))
        g_written << file;
    else
        QTextStream(stderr) << "cannot write " << file << Qt::endl;
}

Window *open(const QString &className, QSize size = QSize())
{
    Window *w = Window::Open(className);
    if (size.isValid())
        w->resize(size);
    settle(300);
    return w;
}

void click(QWidget *window, const char *button)
{
    if (auto *b = window->findChild<CommandButton *>(QString::fromLatin1(button)))
        b->click();
    settle(300);
}

void type(QWidget *window, const char *field, const QString &text)
{
    if (auto *e = window->findChild<QLineEdit *>(QString::fromLatin1(field)))
        e->setText(text);
}

bool prepareDemo(const QString &folder)
{
    const QString file = folder + QStringLiteral("/wip.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("demo"));
        db.setDatabaseName(file);
        InitOptions options;
        options.demo = true;
        if (!db.open() || !initDatabase(db, options).ok)
            return false;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demo"));
    Transaction &sqlca = Transaction::sqlca();
    sqlca.settings = *ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + file);
    if (!sqlca.connect())
        return false;
    applicationConnection() = sqlca.settings;
    setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
        return UserAccounts::rights(Transaction::sqlca(), user, module, function);
    });
    QDir::setCurrent(folder);
    DriveMapping::instance().setWorkingFolder(folder);
    // The style pictures, for the windows that show them.
    writeDemoPictures(DriveMapping::instance().folder(QLatin1Char('P')), folder);
    return true;
}

void shootLogin()
{
    LoginDialog login([](const QString &, const QString &) { return LoginDialog::Check{}; }, nullptr);
    login.setUserCode(QStringLiteral("PLAN"));
    // Shown as a clerk's own embedded file, not the temporary one of this run.
    ConnectionSettings embedded;
    embedded.dbms = QStringLiteral("SQLITE");
    embedded.database = QStringLiteral("/home/clerk/.local/share/Wip/wip/wip.sqlite");
    login.setDatabase(embedded, true, false, embedded.database);
    login.setConnector([](const ConnectionSettings &, bool) { return LoginDialog::Check{}; });
    login.show();
    shoot(login, QStringLiteral("login"));
    login.setDemoUsers(DemoUsersNote::text(Transaction::sqlca()));
    shoot(login, QStringLiteral("login-demo"));
    login.setDemoUsers(QString());
    ConnectionSettings server;
    server.dbms = QStringLiteral("POSTGRESQL");
    server.serverName = QStringLiteral("db.factory:5432");
    server.database = QStringLiteral("wip");
    server.logId = QStringLiteral("clerk");
    login.setDatabase(server, false, false, embedded.database);
    login.showDatabaseProblem(QStringLiteral("数据库服务器 db.factory:5432 拒绝连接。\nThe database server "
                                             "db.factory:5432 refused the connection: nothing listens on port "
                                             "5432 of db.factory. Is the server running, and is the port right?"));
    shoot(login, QStringLiteral("login-database"));
}

// The first start, the administrator's form and the password dialogs.
void shootFirstDay()
{
    FirstStartDialog first(true);
    first.show();
    shoot(first, QStringLiteral("first-start"));
    first.hide();

    AdministratorDialog admin(nullptr);
    admin.setDatabaseText(QStringLiteral("sqlite:/home/clerk/.local/share/Wip/wip/wip.sqlite"));
    type(&admin, "sle_code", QStringLiteral("ANNA"));
    type(&admin, "sle_name", QStringLiteral("安娜 Anna"));
    type(&admin, "sle_password", QStringLiteral("anna-pass-1"));
    admin.show();
    shoot(admin, QStringLiteral("create-admin"));
    admin.hide();

    PasswordDialog own(QStringLiteral("PLAN"), nullptr);
    own.show();
    shoot(own, QStringLiteral("password"));
    own.hide();
    PasswordDialog forced(QStringLiteral("CLERK"), nullptr, QStringLiteral("reset-pass-1"));
    forced.show();
    shoot(forced, QStringLiteral("password-forced"));
    forced.hide();
}

void shootUsers()
{
    Window *users = open(QStringLiteral("w_users"), QSize(1180, 560));
    if (auto *table = users->findChild<QTableWidget *>(QStringLiteral("dw_users"))) {
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == QLatin1String("PLAN"))
                table->selectRow(row);
        }
    }
    shoot(*users, QStringLiteral("w_users"));
    users->Close();
    settle();
}

// 基础资料: the metals with purity and hallmark, and a style with its stones and picture.
void shootReferenceData()
{
    if (!Window::isRegistered(QStringLiteral("w_refdata")))
        return;
    Window *refdata = open(QStringLiteral("w_refdata"), QSize(1040, 560));
    auto *tabs = refdata->findChild<QTabWidget *>(QStringLiteral("tab_kinds"));
    if (!tabs)
        return;
    tabs->setCurrentIndex(1);
    shoot(*refdata, QStringLiteral("w_refdata-metals"));
    tabs->setCurrentIndex(5);
    if (auto *styles = refdata->findChild<QTableWidget *>(QStringLiteral("lv_styles")))
        styles->setCurrentCell(1, 0);   // B2410: its stone and its picture
    shoot(*refdata, QStringLiteral("w_refdata-styles"));
    refdata->Close();
    settle();
}

// 部门收发: bags of one desk (those sent to it, or else those it holds, passed
// on), the first done with the weight it carries, the next scanned and waiting
// for its weight.
void shootDesk()
{
    if (!Window::isRegistered(QStringLiteral("w_desk")))
        return;
    QString dept;
    QStringList codes, weights;
    bool passOn = false;
    for (const QString where : {QStringLiteral("b.place = 'transit'"), QStringLiteral("b.place = 'desk'")}) {
        passOn = where.contains(QLatin1String("desk"));
        Cursor bags(Transaction::sqlca(),
                    QStringLiteral("select %1, b.scno, s.line_no, %2 from bag_place b join scond s on s.scond_id = b.scond_id "
                                   "left join jcjl_mattran t on t.mattran_no = b.note_no and t.scond_id = b.scond_id "
                                   "and t.zt = 'BEGIN' where %3 order by 1, b.scno, s.line_no")
                        .arg(passOn ? QStringLiteral("b.gongxu_code") : QStringLiteral("b.next_gongxu"),
                             passOn ? QStringLiteral("b.weight") : QStringLiteral("t.qtyref"), where));
        if (!bags.open())
            continue;
        while (codes.size() < 2) {
            const auto row = bags.fetch();
            if (!row || (!dept.isEmpty() && row->at(0).toString() != dept))
                break;
            dept = row->at(0).toString();
            codes << row->at(1).toString().trimmed() + QLatin1Char('-') + row->at(2).toString();
            weights << row->at(3).toString();
        }
        bags.close();
        if (!codes.isEmpty())
            break;
    }
    Window *desk = open(QStringLiteral("w_desk"), QSize(1180, 640));
    auto *list = desk->findChild<QComboBox *>(QStringLiteral("ddlb_dept"));
    const int at = list ? list->findText(dept.section(QLatin1Char('-'), 1)) : -1;
    if (at > 0) {
        list->setCurrentIndex(at);
        Q_EMIT list->activated(at);
        settle();
    }
    if (passOn)
        click(desk, "cb_pass");
    for (qsizetype i = 0; i < codes.size(); ++i) {
        type(desk, "sle_code", codes.at(i));
        click(desk, "cb_ok");   // the scan: the pieces, shown
        click(desk, "cb_ok");
        if (i == 0) {
            type(desk, "sle_weight", weights.at(i));
            click(desk, "cb_ok");
        }
    }
    shoot(*desk, QStringLiteral("w_desk"));
    desk->Close();
    settle();
}

void shootWindows()
{
    LauncherWindow launcher([](const QString &c) { return Window::isRegistered(c); }, nullptr);
    launcher.setMayUse([](Rights) { return true; });   // the administrator's main window
    launcher.setDatabaseText(QStringLiteral("sqlite:/home/clerk/.local/share/Wip/wip/wip.sqlite"));
    launcher.setUserText(user_code());
    launcher.show();
    // As wide as its toolbar, so that the picture shows every window's button.
    if (auto *toolbar = launcher.findChild<QToolBar *>(QStringLiteral("tb_windows")))
        launcher.resize(qMax(launcher.width(), toolbar->sizeHint().width() + 8), launcher.height());
    shoot(launcher, QStringLiteral("launcher"));

    // The output chart before any day is computed says where to compute one.
    Window *none = open(QStringLiteral("w_production"), QSize(1000, 360));
    shoot(*none, QStringLiteral("w_production-none"));
    none->Close();
    settle();

    Window *today = open(QStringLiteral("w_wip_today"), QSize(980, 520));
    click(today, "cb_query");
    shoot(*today, QStringLiteral("w_wip_today"));
    click(today, "cb_1");
    if (Window *production = Window::findLatest(QStringLiteral("w_production"))) {
        production->resize(1000, 720);
        shoot(*production, QStringLiteral("w_production"));
        production->Close();
    }
    click(today, "cb_print");
    if (Window *preview = Window::findLatest(QStringLiteral("w_preview"))) {
        preview->resize(900, 640);
        shoot(*preview, QStringLiteral("w_preview"));
        preview->Close();
    }
    today->Close();

    Window *contracts = open(QStringLiteral("w_scno_process"), QSize(1180, 760));
    // A contract well on its way, with lines in two metals: its record shows stamped dates.
    const auto midway = Transaction::sqlca().selectInto(QStringLiteral(
        "select min(p.scno) from process p where p.setting_date is not null and p.rhodium_date is null "
        "and p.scno in (select scno from scond group by scno having count(distinct metal) > 1)"));
    if (auto *list = contracts->findChild<reports::ReportControl *>(QStringLiteral("dw_sconh")); list && midway) {
        for (int row = 1; row <= list->RowCount(); ++row) {
            if (list->GetItemString(row, QStringLiteral("scno")) == midway->value(0).toString()) {
                list->ScrollToRow(row);
                break;
            }
        }
        settle(300);
    }
    shoot(*contracts, QStringLiteral("w_scno_process"));
    click(contracts, "cb_sconh_find");
    if (Window *find = Window::findLatest(QStringLiteral("w_scno_process_search"))) {
        shoot(*find, QStringLiteral("w_scno_process_search"));
        find->Close();
        settle();
    }
    // The same contract in its form, its second line chosen.
    click(contracts, "cb_sconh_edit");
    if (Window *form = Window::findLatest(QStringLiteral("w_sconh_edit"))) {
        if (auto *lines = form->findChild<QTableWidget *>(QStringLiteral("dw_lines")); lines && lines->rowCount() > 1)
            lines->selectRow(1);
        shoot(*form, QStringLiteral("w_sconh_edit"));
    }
    QApplication::closeAllWindows();
    settle();

    Window *analysis = open(QStringLiteral("w_ordergress"), QSize(1180, 700));
    type(analysis, "em_deldate1", QDate::currentDate().addDays(-60).toString(Qt::ISODate));
    type(analysis, "em_deldate2", QDate::currentDate().addDays(90).toString(Qt::ISODate));
    click(analysis, "cb_2");
    shoot(*analysis, QStringLiteral("w_ordergress"));
    analysis->Close();

    if (Window::isRegistered(QStringLiteral("w_order_followup"))) {
        Window *followup = open(QStringLiteral("w_order_followup"), QSize(1000, 620));
        click(followup, "cb_query");
        shoot(*followup, QStringLiteral("w_order_followup"));
        if (auto *pages = followup->findChild<QTabWidget *>(QStringLiteral("tab_pages"))) {
            // The chart at the window's own size, where nine reasons read whole.
            followup->resize(1180, 780);
            pages->setCurrentIndex(1);
            settle(300);
            shoot(*followup, QStringLiteral("w_order_followup-reasons"));
        }
        followup->Close();
    }

    if (Window::isRegistered(QStringLiteral("w_loss_exceptions"))) {
        // The last 30 days at a gold and a platinum price.
        Window *loss = open(QStringLiteral("w_loss_exceptions"), QSize(1180, 820));
        type(loss, "em_stime", QDate::currentDate().addDays(-30).toString(Qt::ISODate));
        type(loss, "sle_gold_price", QStringLiteral("480"));
        type(loss, "sle_pt_price", QStringLiteral("230"));
        click(loss, "cb_query");
        settle(300);
        shoot(*loss, QStringLiteral("w_loss_exceptions"));
        loss->Close();
    }

    // The open contracts of the demo's busiest customer, over half a year.
    Window *progress = open(QStringLiteral("w_scprogress"), QSize(1000, 600));
    type(progress, "em_date1", QDate::currentDate().addDays(-90).toString(Qt::ISODate));
    type(progress, "em_date2", QDate::currentDate().addDays(90).toString(Qt::ISODate));
    const auto busiest = Transaction::sqlca().selectInto(QStringLiteral(
        "select cust_no from sconh where inv_no is null or inv_no = '' group by cust_no "
        "order by count(*) desc, cust_no"));
    type(progress, "sle_custno", busiest ? busiest->value(0).toString() : QString());
    click(progress, "cb_query");
    shoot(*progress, QStringLiteral("w_scprogress"));
    progress->Close();

    Window *detail = open(QStringLiteral("w_wip_detail"), QSize(1100, 620));
    click(detail, "cb_1");
    shoot(*detail, QStringLiteral("w_wip_detail-waycode"));
    detail->Close();
    settle();

    shootReferenceData();
    shootDesk();
}

} // namespace

int main(int argc, char **argv)
{
    // A home of its own: the demo's pictures and the settings stay out of the user's folders.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    AppPaths::setApplicationNames();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(AppIcons::application());
    if (argc != 2) {
        QTextStream(stderr) << "usage: wip_screenshots OUTPUT_FOLDER" << Qt::endl;
        return 2;
    }
    g_output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(g_output);

    QTemporaryDir folder;
    MessageBoxService::setScripted(true);
    if (!folder.isValid() || !prepareDemo(folder.path())) {
        QTextStream(stderr) << "cannot make the demo factory" << Qt::endl;
        return 1;
    }
    user_code() = QStringLiteral("ADMIN");
    WindowClasses::registerAll();
    WindowCatalogue::registerIcons();

    shootLogin();
    shootFirstDay();
    shootUsers();
    shootWindows();
    Transaction::sqlca().disconnect();
    for (const QString &f : std::as_const(g_written))
        QTextStream(stdout) << f << Qt::endl;
    return g_written.isEmpty() ? 1 : 0;
}
