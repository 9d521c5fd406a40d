#include "../contracts/contractfixture.h"
#include "contracts/contractheaderform.h"
#include "contracts/contractwindows.h"
#include "contracts/w_scno_process.h"
#include "daily_output/dailyoutputwindows.h"
#include "daily_output/recomputedaywip.h"
#include "daily_output/w_wip_today.h"
#include "reports/datastore.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/hosterror.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "testdatabase.h"
#include "transfers/transferwindows.h"
#include "transfers/w_wip_mattran.h"
#include "wip_detail/w_wip_detail.h"
#include "wip_detail/wipdetailwindows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <unistd.h>

using namespace wip;
using wip::reports::ReportControl;
using wip::test::TestDatabase;

namespace {

// A PostgreSQL server of this test alone, started with the project's script, so
// that stopping it disturbs no other test. Stopped with "fast" shutdown: the
// server ends every connection and keeps what was committed.
class ThrowAwayServer
{
public:
    ~ThrowAwayServer() { remove(); }

    bool start(QString *error)
    {
        if (!m_state.isValid()) {
            *error = QStringLiteral("no temporary folder");
            return false;
        }
        m_stateFile = m_state.filePath(QStringLiteral("server"));
        QProcess script;
        script.start(QStringLiteral(WIP_SCRIPTS_DIR "/start-test-postgres"), {m_stateFile});
        if (!script.waitForFinished(120000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
            *error = QString::fromLocal8Bit(script.readAllStandardError()).trimmed();
            return false;
        }
        url = QString::fromLocal8Bit(script.readAllStandardOutput()).trimmed();
        QFile state(m_stateFile);
        if (!state.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("start-test-postgres wrote no state file");
            return false;
        }
        const QStringList lines = QString::fromLocal8Bit(state.readAll()).split(QLatin1Char('\n'));
        m_dir = lines.value(0);
        m_bindir = lines.value(1);
        m_port = QUrl(url).port();
        if (m_dir.isEmpty() || m_port <= 0 || !QFile::exists(m_bindir + QStringLiteral("/pg_ctl"))) {
            *error = QStringLiteral("no pg_ctl in \"%1\" or no port in \"%2\"").arg(m_bindir, url);
            return false;
        }
        m_running = true;
        return true;
    }

    bool stop()
    {
        m_running = !pgCtl({QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-m"),
                            QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                            QStringLiteral("stop")});
        return !m_running;
    }

    // Again on the same port with the options of start-test-postgres.
    bool restart()
    {
        m_running = pgCtl({QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-l"),
                           m_dir + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-t"),
                           QStringLiteral("60"), QStringLiteral("-o"),
                           QStringLiteral("-h 127.0.0.1 -p %1 -k %2 -c fsync=off -c synchronous_commit=off "
                                          "-c full_page_writes=off -c max_connections=200")
                               .arg(m_port)
                               .arg(m_dir),
                           QStringLiteral("start")});
        return m_running;
    }

    bool running() const { return m_running; }

    void remove()
    {
        if (m_stateFile.isEmpty())
            return;
        QProcess::execute(QStringLiteral(WIP_SCRIPTS_DIR "/stop-test-postgres"), {m_stateFile});
        m_stateFile.clear();
        m_running = false;
    }

    QString url;

private:
    bool pgCtl(const QStringList &args)
    {
        QString program = m_bindir + QStringLiteral("/pg_ctl");
        QStringList all = args;
        if (::geteuid() == 0) {
            // The server refuses to run as root: the script made it postgres's.
            all = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args;
            program = QStringLiteral("runuser");
        }
        QProcess p;
        p.start(program, all);
        const bool ok = p.waitForFinished(90000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok)
            qWarning("pg_ctl %s: %s", qPrintable(args.join(' ')), p.readAllStandardError().constData());
        return ok;
    }

    QTemporaryDir m_state;
    QString m_stateFile;
    QString m_dir;
    QString m_bindir;
    int m_port = 0;
    bool m_running = false;
};

QVariant day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }

bool step(TestDatabase &db, const char *scno, const char *code, const QVariant &edtime, double qty)
{
    return db.insert(QStringLiteral("proch"),
                     {{"scno", QString::fromUtf8(scno)}, {"gongxu_code", QString::fromUtf8(code)},
                      {"changhao", "W01"}, {"sttime", QDateTime(QDate(2004, 2, 1), QTime(8, 0))},
                      {"edtime", edtime}, {"qty", qty}});
}

// Steps, castings and a set stone line that give every figure of day_wip a
// value other than 0 on 2004-03-01, and other values on 2004-02-29.
void fillDailyOutput(TestDatabase &db)
{
    QVERIFY(step(db, "KC1", "04-执模", day(2004, 3, 1), 5));
    QVERIFY(step(db, "KC1", "04-执模", day(2004, 3, 1), 3));
    QVERIFY(step(db, "KC2", "06-镶石", day(2004, 3, 1), 2));
    QVERIFY(step(db, "KC3", "04-执模", day(2004, 2, 29), 50));
    QVERIFY(step(db, "KC4", "04-执模", QVariant(), 4));
    QVERIFY(step(db, "KC4", "07-执边", QVariant(), 6));
    QVERIFY(db.insert("castind", {{"castinh_no", "C1"}, {"contractno", "KC2"}, {"ldate", day(2004, 3, 1)},
                                  {"qtycal", 3}, {"qtyref", 11.5}}));
    QVERIFY(db.insert("castind", {{"castinh_no", "C0"}, {"contractno", "KC9"}, {"ldate", day(2004, 2, 28)},
                                  {"qtycal", 1}, {"qtyref", 99}}));
    QVERIFY(db.insert("scond", {{"scno", "KC2"}, {"article_code", "A1"}, {"design_no", "D1"}, {"quantity", 2}}));
    QVERIFY(db.insert("artsd", {{"article_code", "A1"}, {"stone_code", "S1"}, {"settype_code", "钉镶"}, {"qtycal", 4}}));
}

// Every figure of day_wip, one text per department, for comparing whole tables.
QStringList dayWip(TestDatabase &db)
{
    QStringList out;
    const auto rows = db.rows(QStringLiteral("select dep_c, today_fin, today_tot, today_set, month_set, wip "
                                             "from day_wip order by dep_c"));
    for (const QVariantList &r : rows) {
        QStringList fields{r.value(0).toString()};
        for (int i = 1; i < r.size(); ++i)
            fields << QString::number(r.value(i).toDouble());
        out << fields.join(QLatin1Char(' '));
    }
    return out;
}

bool traced(const QString &part)
{
    for (const QString &line : Trace::captured())
        if (line.contains(part))
            return true;
    return false;
}

} // namespace

// The shared PostgreSQL server stopping in the middle of a handler: the handler
// gives its trace line or message, nothing of its work is written, and the next
// handler works on the same connections once the server is back.
class ServerLossTest : public QObject
{
    Q_OBJECT

    ThrowAwayServer server;
    std::unique_ptr<TestDatabase> db;
    QPointer<Window> window;
    QString stopAt;            // statement (its start, lower case) before which the server stops
    bool stopped = false;

    template <class T>
    T &c(const char *name) { return window->control<T>(QString::fromLatin1(name)); }
    ReportControl &dw(const char *name) { return c<ReportControl>(name); }

    // Stops the server just before the first statement that starts with `statement`.
    void stopBefore(const QString &statement)
    {
        stopAt = statement.toLower();
        stopped = false;
    }

    void bringServerBack()
    {
        stopAt.clear();
        if (!server.running())
            QVERIFY(server.restart());
    }

    template <class W>
    W *open(const char *name)
    {
        auto *w = qobject_cast<W *>(Window::Open(QString::fromLatin1(name)));
        window = w;
        if (w && !QTest::qWaitForWindowExposed(w))
            return nullptr;
        return w;
    }

    // Every transaction's statements pass here: stopBefore() arms it.
    void installStopHook()
    {
        Transaction::setStatementHook([this](Transaction &, const QString &sql) {
            if (stopAt.isEmpty() || stopped || !sql.trimmed().toLower().startsWith(stopAt))
                return;
            stopped = true;
            QVERIFY(server.stop());
        });
    }

    QString lastMessage() const
    {
        const auto shown = MessageBoxService::shown();
        return shown.isEmpty() ? QString() : shown.last().text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!wip::test::postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        QString error;
        if (!server.start(&error))
            QSKIP(qPrintable(QStringLiteral("cannot start a server of this test: ") + error));
        // The databases of this test live on its own server; a short connect
        // timeout keeps a reconnect to a stopped server from hanging.
        qputenv("WIP_TEST_POSTGRES", (server.url + QStringLiteral("?connect_timeout=5")).toUtf8());

        MessageBoxService::setScripted(true);
        registerDailyOutputWindows();
        registerContractWindows();
        registerWipDetailWindows();
        registerTransferWindows();
        user_code() = QStringLiteral("U1");
        setQxpdFunction([](const QString &, const QString &, const QString &) { return QStringLiteral("X08B"); });
        installStopHook();
    }

    void cleanupTestCase()
    {
        Transaction::setStatementHook({});
        server.remove();
    }

    void init()
    {
        MessageBoxService::clear();
        db = std::make_unique<TestDatabase>(wip::test::Engine::PostgreSQL);
        QVERIFY2(db->isValid(), qPrintable(db->error()));
        Trace::clearCaptured();
    }

    void cleanup()
    {
        stopAt.clear();
        if (!server.running())
            QVERIFY(server.restart());
        if (window) {
            if (auto *w = qobject_cast<w_scno_process *>(window.data()))
                w->control<ReportControl>("dw_process").store().ResetUpdate();
            window->Close();
        }
        QTRY_VERIFY(window.isNull());
        db.reset();
    }

    // (a) The recomputation on SQLCA, the server stopped between its steps.
    void recomputationStoppedMidwayKeepsTheLastCompleteRun_data()
    {
        QTest::addColumn<int>("stopAtStep");
        QTest::newRow("after the reset") << 3;
        QTest::newRow("after the day's figures") << 6;
        QTest::newRow("before the last figure") << 10;
    }
    void recomputationStoppedMidwayKeepsTheLastCompleteRun()
    {
        QFETCH(int, stopAtStep);
        fillDailyOutput(*db);
        QVERIFY(db->useAsApplicationDatabase());
        Transaction &sqlca = Transaction::sqlca();
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), sqlca));
        const QStringList march = dayWip(*db);
        QVERIFY(march.contains(QStringLiteral("04-执模 8 8 0 0 4")));

        bool stoppedHere = false;
        const bool done = recompute_day_wip(QStringLiteral("2004-02-29"), sqlca, [&](int n, int) {
            if (n == stopAtStep && !stoppedHere) {
                stoppedHere = true;
                QVERIFY(server.stop());
            }
        });
        QVERIFY(stoppedHere);
        QVERIFY(!done);
        QVERIFY(traced(Trace::problemLine(ErrDatabase)));

        bringServerBack();
        QCOMPARE(dayWip(*db), march);

        // The next run on the same SQLCA, which reconnects by itself.
        QVERIFY2(recompute_day_wip(QStringLiteral("2004-02-29"), sqlca), qPrintable(sqlca.sqlErrText));
        const QStringList february = dayWip(*db);
        QVERIFY(february.contains(QStringLiteral("03-倒模 0 99 0 0 0")));
        QVERIFY(february.contains(QStringLiteral("04-执模 50 50 0 0 4")));
        QVERIFY(february.contains(QStringLiteral("07-执边 0 0 0 0 6")));
    }

    // (a) The server away when the recomputation begins and back before its
    // first write: the run does not go on outside the work it could not begin.
    void recomputationThatCannotBeginWritesNothing()
    {
        fillDailyOutput(*db);
        QVERIFY(db->useAsApplicationDatabase());
        Transaction &sqlca = Transaction::sqlca();
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), sqlca));
        const QStringList march = dayWip(*db);

        int begins = 0;
        Transaction::setStatementHook([&](Transaction &tr, const QString &sql) {
            if (&tr != &sqlca || sql.trimmed().compare(QLatin1String("BEGIN"), Qt::CaseInsensitive) != 0)
                return;
            ++begins;
            if (begins == 1)
                QVERIFY(server.stop());
            else if (begins == 3)   // after the run's own BEGIN and its one repeat
                QVERIFY(server.restart());
        });
        const bool done = recompute_day_wip(QStringLiteral("2004-02-29"), sqlca);
        installStopHook();
        QVERIFY(!done);
        QCOMPARE(begins, 2);
        QVERIFY(!sqlca.inTransaction());
        QVERIFY(traced(Trace::problemLine(ErrDatabase)));

        bringServerBack();
        QCOMPARE(dayWip(*db), march);
        QVERIFY2(recompute_day_wip(QStringLiteral("2004-02-29"), sqlca), qPrintable(sqlca.sqlErrText));
        QVERIFY(dayWip(*db).contains(QStringLiteral("04-执模 50 50 0 0 4")));
    }

    // (a) The same through the daily output window's "查询".
    void dailyOutputWindowShowsNoHalfRun()
    {
        fillDailyOutput(*db);
        QVERIFY(db->useAsApplicationDatabase());
        auto *w = open<w_wip_today>("w_wip_today");
        QVERIFY(w);
        c<EditMask>("em_1").setText(QStringLiteral("2004-03-01"));
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw("dw_wip_detail").RowCount(), 7);
        const QStringList march = dayWip(*db);

        c<EditMask>("em_1").setText(QStringLiteral("2004-02-29"));
        stopBefore(QStringLiteral("update day_wip set wip"));
        c<CommandButton>("cb_query").TriggerEvent();
        QVERIFY(stopped);
        QVERIFY(traced(Trace::problemLine(ErrDatabase)));
        // The report is not refreshed: it still shows the complete March run.
        QCOMPARE(dw("dw_wip_detail").objectText("t_8"), QStringLiteral("2004-03-01"));
        QCOMPARE(dw("dw_wip_detail").RowCount(), 7);
        QVERIFY(MessageBoxService::shown().isEmpty());

        bringServerBack();
        QCOMPARE(dayWip(*db), march);
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw("dw_wip_detail").objectText("t_8"), QStringLiteral("2004-02-29"));
        QVERIFY(dayWip(*db).contains(QStringLiteral("04-执模 50 50 0 0 4")));
    }

    // (b) "更新&7" of w_scno_process, the server stopped during the save.
    void processSaveStoppedMidwayWritesNothingAndKeepsTheTyping_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("before the update") << "update process";
        QTest::newRow("before the commit") << "commit";
    }
    void processSaveStoppedMidwayWritesNothingAndKeepsTheTyping()
    {
        QFETCH(QString, statement);
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D100", "18K", ""));
        QVERIFY(db->insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 0}, {"casting_in", 0}}));
        QVERIFY(db->useAsApplicationDatabase());
        auto *w = open<w_scno_process>("w_scno_process");
        QVERIFY(w);
        QTRY_COMPARE(w->scno(), QStringLiteral("KC1"));
        ReportControl &process = dw("dw_process");
        QCOMPARE(process.RowCount(), 1);

        // The clerk moves the wax out to casting.
        QTest::mouseClick(process.viewport(), Qt::LeftButton, {}, process.fieldRectInViewport(1, "wax_out").center());
        QCOMPARE(process.editedColumn(), QStringLiteral("wax_out"));
        process.editor()->selectAll();
        QTest::keyClicks(process.editor(), QStringLiteral("10"));
        QTest::keyClick(process.editor(), Qt::Key_Tab);
        QCOMPARE(process.GetItemNumber(1, "casting_in"), 10.0);

        stopBefore(statement);
        QTest::mouseClick(&c<CommandButton>("cb_printpo"), Qt::LeftButton);
        QVERIFY(stopped);
        QCOMPARE(lastMessage(), QStringLiteral("保存数据未成功!"));
        QCOMPARE(process.GetItemNumber(1, "wax_out"), 10.0);
        QCOMPARE(process.GetItemNumber(1, "casting_in"), 10.0);
        // Still unsaved, so the next click writes it (a COMMIT that failed must
        // not leave the rows counted as saved).
        QVERIFY(w->processModified());

        bringServerBack();
        QCOMPARE(db->scalar("select wax_out from process where scno = 'KC1'").toDouble(), 0.0);
        QCOMPARE(db->scalar("select casting_in from process where scno = 'KC1'").toDouble(), 0.0);

        // The same click again, on the same SQLCA, saves what was typed.
        MessageBoxService::clear();
        QTest::mouseClick(&c<CommandButton>("cb_printpo"), Qt::LeftButton);
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        QCOMPARE(db->scalar("select wax_out from process where scno = 'KC1'").toDouble(), 10.0);
        QCOMPARE(db->scalar("select casting_in from process where scno = 'KC1'").toDouble(), 10.0);
        QVERIFY(!w->processModified());
    }

    // (b) A save while SQLCA holds work from before: the COMMIT that would save
    // both meets the loss. The save says so, and the next click saves.
    void saveAfterEarlierOpenWorkIsNotAnnouncedWhenItsCommitFails_data()
    {
        QTest::addColumn<bool>("headerForm");   // w_sconh_add, else the progress record
        QTest::newRow("progress record") << false;
        QTest::newRow("new header") << true;
    }
    void saveAfterEarlierOpenWorkIsNotAnnouncedWhenItsCommitFails()
    {
        QFETCH(bool, headerForm);
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D100", "18K", ""));
        QVERIFY(db->insert("process", {{"scno", "KC1"}, {"wax_in", 10}, {"wax_out", 0}, {"casting_in", 0}}));
        QVERIFY(db->useAsApplicationDatabase());
        auto *w = open<w_scno_process>("w_scno_process");
        QVERIFY(w);
        QTRY_COMPARE(w->scno(), QStringLiteral("KC1"));
        QPointer<ContractHeaderForm> form;
        auto press = [&] {
            if (headerForm)
                QTest::mouseClick(&form->control<CommandButton>("cb_save"), Qt::LeftButton);
            else
                QTest::mouseClick(&c<CommandButton>("cb_printpo"), Qt::LeftButton);
        };
        auto saved = [&] {
            return headerForm ? db->scalar("select count(*) from sconh where scno = 'KC9'").toInt() == 1
                              : db->scalar("select wax_out from process where scno = 'KC1'").toDouble() == 4.0;
        };
        if (headerForm) {
            form = qobject_cast<ContractHeaderForm *>(Window::Open(QStringLiteral("w_sconh_add")));
            QVERIFY(form && QTest::qWaitForWindowExposed(form));
            form->control<SingleLineEdit>("sle_scno").setText(QStringLiteral("KC9"));
            form->control<SingleLineEdit>("sle_custno").setText(QStringLiteral("C09"));
            QCOMPARE(form->control<EditMask>("em_issdate").setText(QStringLiteral("2004-06-01")), 1);
            QCOMPARE(form->control<EditMask>("em_deldate").setText(QStringLiteral("2004-07-15")), 1);
        } else {
            dw("dw_process").SetItem(1, QStringLiteral("wax_out"), 4);
        }
        Transaction &sqlca = Transaction::sqlca();
        QVERIFY(sqlca.execute(QStringLiteral("update sconh set take = take where scno = ?"), {QStringLiteral("KC1")}));
        QVERIFY(sqlca.inTransaction());

        stopBefore(QStringLiteral("commit"));
        press();
        QVERIFY(stopped);
        QCOMPARE(lastMessage(), QStringLiteral("保存数据未成功!"));
        if (headerForm)
            QVERIFY(form && form->isVisible());
        else
            QVERIFY(w->processModified());

        bringServerBack();
        QVERIFY(!saved());
        MessageBoxService::clear();
        press();
        QCOMPARE(lastMessage(), QStringLiteral("保存数据成功!"));
        QVERIFY(saved());
        if (headerForm)
            QTRY_VERIFY(form.isNull());
    }

    // (c) The header deletion of w_scno_process, the server stopped during it.
    void headerDeletionStoppedMidwayDeletesNothing_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("before the delete") << "delete from sconh";
        QTest::newRow("before the commit") << "commit";
    }
    void headerDeletionStoppedMidwayDeletesNothing()
    {
        QFETCH(QString, statement);
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D100", "18K", ""));
        QVERIFY(wip::test::addLine(*db, "KC1", "D200", "PT950", ""));
        QVERIFY(db->useAsApplicationDatabase());
        auto *w = open<w_scno_process>("w_scno_process");
        QVERIFY(w);
        QTRY_COMPARE(w->scno(), QStringLiteral("KC1"));

        stopBefore(statement);
        MessageBoxService::queueAnswer(1);     // yes, delete it
        w->control<CommandButton>("cb_sconh_del").TriggerEvent();
        QVERIFY(stopped);
        QCOMPARE(lastMessage(), QStringLiteral("删除数据未成功!"));

        bringServerBack();
        QCOMPARE(db->scalar("select count(*) from sconh where scno = 'KC1'").toInt(), 1);
        QCOMPARE(db->scalar("select count(*) from scond where scno = 'KC1'").toInt(), 2);

        // The next deletion, on the same SQLCA, works.
        MessageBoxService::clear();
        MessageBoxService::queueAnswer(1);
        QCOMPARE(w->control<CommandButton>("cb_sconh_del").TriggerEvent(), 1);
        QCOMPARE(lastMessage(), QStringLiteral("删除数据成功!"));
        QCOMPARE(db->scalar("select count(*) from sconh where scno = 'KC1'").toInt(), 0);
    }

    // (d) w_wip_detail connects a transaction of its own in each handler.
    void ownConnectionWindowSurvivesAndTheNextClickWorks_data()
    {
        QTest::addColumn<QString>("statement");   // "" stops the server before the click
        QTest::addColumn<int>("rowsShown");
        QTest::addColumn<QString>("traceLine");
        QTest::newRow("server gone for the whole click") << "" << 0 << "cannot connect";
        QTest::newRow("before the update of proch_new") << "update proch_new" << 0 << "connection to the database was lost";
        QTest::newRow("before the commit at disconnect") << "commit" << 3 << "connection to the database was lost";
    }
    void ownConnectionWindowSurvivesAndTheNextClickWorks()
    {
        QFETCH(QString, statement);
        QFETCH(int, rowsShown);
        QFETCH(QString, traceLine);
        for (const char *code : {"04-执模", "06-镶石"})
            QVERIFY(db->insert("gongxu", {{"gongxu_code", QString::fromUtf8(code)}}));
        QVERIFY(db->insert("arttype", {{"arttype_code", "R"}, {"arttype_name", "戒指"}}));
        QVERIFY(db->insert("article", {{"article_code", "A1"}, {"arttype_code", "R"}}));
        QVERIFY(db->insert("material", {{"mcode", "18K"}, {"mtype", "GOLD"}, {"purate", 0.75}}));
        for (const char *scno : {"KC1", "KC2"}) {
            QVERIFY(wip::test::addContract(*db, scno, QStringLiteral("PO-") + QLatin1String(scno)));
            QVERIFY(db->insert("scond", {{"scno", scno}, {"article_code", "A1"}, {"design_no", "D1"},
                                         {"metal", "18K"}, {"quantity", 5}}));
        }
        auto newStep = [&](const char *scno, double qty, const QVariant &end) {
            return db->insert("proch_new", {{"scno", scno}, {"gongxu_code", "04-执模"}, {"changhao", "W03"},
                                            {"xingming", "李四"}, {"sttime", day(2004, 5, 2)}, {"edtime", end},
                                            {"qty", qty}, {"weight", 10}});
        };
        QVERIFY(newStep("KC1", 4, QVariant()));
        QVERIFY(newStep("KC1", 1, QVariant()));
        QVERIFY(newStep("KC2", 6, day(1899, 12, 30)));     // open, stored the old way
        auto oldOpenSteps = [&] {
            return db->scalar("select count(*) from proch_new where edtime < '1900-01-02'").toInt();
        };
        QVERIFY(db->useAsApplicationDatabase());
        auto *w = open<w_wip_detail>("w_wip_detail");
        QVERIFY(w);
        QTRY_COMPARE(c<DropDownListBox>("ddlb_pcode").TotalItems(), 2);
        QVERIFY(c<DropDownListBox>("ddlb_pcode").SelectItem(QStringLiteral("04-执模")) > 0);
        auto shownSteps = [&] {
            reports::DataStore *steps = dw("dw_wip_detail").store().nestedStore(0);
            return steps ? steps->RowCount() : -1;
        };

        if (statement.isEmpty())
            QVERIFY(server.stop());
        else
            stopBefore(statement);
        Trace::clearCaptured();
        c<CommandButton>("cb_3").TriggerEvent();
        QVERIFY(!server.running());
        QVERIFY2(traced(traceLine), qPrintable(Trace::captured().join('\n')));
        QCOMPARE(shownSteps(), rowsShown);
        QVERIFY(MessageBoxService::shown().isEmpty());

        bringServerBack();
        QCOMPARE(oldOpenSteps(), 1);     // the old open step was not made open by halves

        QCOMPARE(c<CommandButton>("cb_3").TriggerEvent(), 1);
        QCOMPARE(shownSteps(), 3);
        QCOMPARE(oldOpenSteps(), 0);
    }

    // (d) w_wip_mattran: its own connection cannot be made while the server is
    // away; the click ends with the trace line and the next one works.
    void transferWindowAcrossAnOutage()
    {
        auto transfer = [&](const char *no, const char *to, const QVariant &when) {
            return db->insert("jcjl_mattran", {{"mattran_no", no}, {"scno", "KC1"}, {"ldate", when}, {"zt", "FINISH"},
                                               {"fcode", "04-执模收发"}, {"tcode", QString::fromUtf8(to)},
                                               {"mcode", "18KY"}, {"zmcode", "18K原料WIP"}, {"qtycal", 2},
                                               {"qtyref", 10.5}});
        };
        QVERIFY(transfer("T1", "05-镶石收发", day(2004, 5, 10)));
        QVERIFY(transfer("T2", "05-镶石收发", day(2004, 5, 11)));
        QVERIFY(db->insert("stock", {{"stock_code", "04-执模收发"}}));
        QVERIFY(db->useAsApplicationDatabase());
        auto *w = open<w_wip_mattran>("w_wip_mattran");
        QVERIFY(w);
        QTRY_COMPARE(w->focusTag(), QStringLiteral("stdate"));
        c<EditMask>("em_stdate").setText(QStringLiteral("2004-05-01"));
        c<EditMask>("em_eddate").setText(QStringLiteral("2004-05-31"));
        QVERIFY(c<DropDownListBox>("ddlb_pcode").SelectItem(QStringLiteral("04-执模收发")) > 0);
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw("dw_wip_detail").RowCount(), 2);

        QVERIFY(server.stop());
        Trace::clearCaptured();
        c<CommandButton>("cb_query").TriggerEvent();
        QVERIFY2(traced(QStringLiteral("cannot connect")), qPrintable(Trace::captured().join('\n')));
        QCOMPARE(dw("dw_wip_detail").RowCount(), 0);
        QCOMPARE(dw("dw_wip_detail").objectText("t_title"), QStringLiteral("04-执模收发过货统计报表"));
        QVERIFY(MessageBoxService::shown().isEmpty());

        bringServerBack();
        QCOMPARE(c<CommandButton>("cb_query").TriggerEvent(), 1);
        QCOMPARE(dw("dw_wip_detail").RowCount(), 2);
    }

    // The server restarted while the window sat idle: SQLCA's old connection is
    // gone, and the first click afterwards already works, a retrieval as well as
    // a write.
    void firstClickAfterARestartDuringAPauseWorks()
    {
        QVERIFY(wip::test::addContract(*db, "KC1", "PO-1"));
        QVERIFY(wip::test::addContract(*db, "KC2", "PO-2"));
        QVERIFY(wip::test::addLine(*db, "KC1", "D100", "18K", ""));
        QVERIFY(wip::test::addLine(*db, "KC2", "D200", "PT950", ""));
        QVERIFY(wip::test::addLine(*db, "KC2", "D201", "PT950", ""));
        QVERIFY(db->useAsApplicationDatabase());
        auto *w = open<w_scno_process>("w_scno_process");
        QVERIFY(w);
        QTRY_COMPARE(w->scno(), QStringLiteral("KC1"));
        QCOMPARE(dw("dw_scond").RowCount(), 1);

        QVERIFY(server.stop());
        QVERIFY(server.restart());
        Trace::clearCaptured();

        // Another contract: its lines are retrieved on SQLCA.
        ReportControl &headers = dw("dw_sconh");
        int kc2 = 0;
        for (int r = 1; r <= headers.RowCount(); ++r)
            if (headers.GetItemString(r, "scno") == QLatin1String("KC2"))
                kc2 = r;
        QVERIFY(kc2 > 0);
        QCOMPARE(headers.ScrollToRow(kc2), 1);
        QCOMPARE(w->scno(), QStringLiteral("KC2"));
        QCOMPARE(dw("dw_scond").RowCount(), 2);

        MessageBoxService::queueAnswer(1);
        QCOMPARE(w->control<CommandButton>("cb_sconh_del").TriggerEvent(), 1);
        QCOMPARE(lastMessage(), QStringLiteral("删除数据成功!"));
        QCOMPARE(db->scalar("select count(*) from sconh where scno = 'KC2'").toInt(), 0);
        QVERIFY2(!traced(QStringLiteral("Database error")), qPrintable(Trace::captured().join('\n')));
    }
};

QTEST_MAIN(ServerLossTest)
#include "tst_serverloss.moc"
