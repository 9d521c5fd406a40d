// The database of the desktop application chosen in its login: switching to
// another Wip file or to the factory's PostgreSQL server and back to the
// embedded file, remembered for the next start, the server password kept only
// when asked; and a server that does not answer, named with its host and port
// and whether it refused or timed out.

#include "app/apppaths.h"
#include "app/databasechoice.h"
#include "app/desktopapplication.h"
#include "app/logindialog.h"
#include "app/serverprobe.h"
#include "database/initdatabase.h"
#include "database/useraccounts.h"
#include "desktopdriver.h"
#include "runtime/appglobals.h"
#include "runtime/settings.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using wip::DesktopApplication;
using wip::LoginDialog;
using wip::MessageBoxService;
using wip::ServerProbe;
using namespace wip::test;
using namespace std::chrono_literals;

namespace {

// A port of this machine where nothing listens.
int closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const int port = server.serverPort();
    server.close();
    return port;
}

// A listener whose queue of connections is full: the next connection is never
// answered, as with a server behind a firewall that drops it. Linux keeps one
// waiting connection for a backlog of 0.
class SilentServer
{
public:
    SilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), length) != 0
            || ::listen(m_fd, 0) != 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_filler.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        m_filler.waitForConnected(2000);
    }
    ~SilentServer()
    {
        m_filler.abort();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int port() const { return m_filler.state() == QAbstractSocket::ConnectedState ? m_port : 0; }

private:
    int m_fd = -1;
    int m_port = 0;
    QTcpSocket m_filler;
};

// A server that takes every connection and never says a word: hung, or another
// program on the port.
class MuteServer
{
public:
    MuteServer() { m_server.listen(QHostAddress::LocalHost, 0); }
    int port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
};

// A server that answers the first bytes of a PostgreSQL client as one does ('N':
// no encryption here), and nothing more.
class AnsweringServer
{
public:
    AnsweringServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *client = m_server.nextPendingConnection()) {
                QObject::connect(client, &QTcpSocket::readyRead, client, [client] {
                    client->readAll();
                    client->write("N");
                });
            }
        });
    }
    int port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
};

// Opens the database part of the login and fills it with the settings given.
void chooseDatabase(LoginDialog &d, const wip::ConnectionSettings &s, bool savePassword)
{
    auto *toggle = d.findChild<QPushButton *>(QStringLiteral("cb_database"));
    if (!d.databaseShown())
        QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(d.databaseShown());
    if (s.kind() == wip::DbKind::SQLite) {
        d.findChild<QRadioButton *>(QStringLiteral("rb_embedded"))->click();
        typeInto(d, "sle_file", s.database);
        return;
    }
    d.findChild<QRadioButton *>(QStringLiteral("rb_server"))->click();
    const int colon = s.serverName.lastIndexOf(QLatin1Char(':'));
    typeInto(d, "sle_host", s.serverName.left(colon));
    d.findChild<QSpinBox *>(QStringLiteral("sp_port"))->setValue(s.serverName.mid(colon + 1).toInt());
    typeInto(d, "sle_dbname", s.database);
    typeInto(d, "sle_dbuser", s.logId);
    typeInto(d, "sle_dbpassword", s.logPass);
    d.findChild<QCheckBox *>(QStringLiteral("cbx_savepassword"))->setChecked(savePassword);
}

QString message(const LoginDialog &d)
{
    return d.findChild<QLabel *>(QStringLiteral("st_message"))->text();
}

} // namespace

class TestDatabaseSwitch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;

    static wip::CommandLine::Options options(const QString &database = {})
    {
        wip::CommandLine::Options o;
        o.database = database;
        return o;
    }

    // A Wip database with the planner's login.
    static bool addPlanner(TestDatabase &db)
    {
        return wip::UserAccounts::setUser(db.tr(), "PLAN", "计划 Planner", "plan-2004")
               && wip::UserAccounts::setRights(db.tr(), "PLAN", "M05", "H06", "X02B");
    }

    // The embedded file of this computer, a Wip database with the planner (no demo factory).
    static bool makeEmbeddedFile()
    {
        const QString file = wip::AppPaths::defaultDatabaseFile();
        if (QFile::exists(file))
            return true;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("embedded"));
            db.setDatabaseName(file);
            if (!db.open() || !wip::initDatabase(db).ok)
                return false;
        }
        QSqlDatabase::removeDatabase(QStringLiteral("embedded"));
        wip::Transaction tr;
        tr.settings = *wip::ConnectionSettings::fromUrl(QStringLiteral("sqlite:") + file);
        return tr.connect() && wip::UserAccounts::setUser(tr, "PLAN", "计划 Planner", "plan-2004");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        wip::test::useHome(m_home);
    }

    void cleanup()
    {
        wip::Transaction::sqlca().disconnect();
        MessageBoxService::clear();
    }

    void loginSwitchesTheDatabaseAndKeepsIt_data() { addEngineRows(); }
    void loginSwitchesTheDatabaseAndKeepsIt()
    {
        WIP_TEST_DATABASE(target);
        QVERIFY(addPlanner(target));
        // The start: a Wip file named on the command line; the embedded file of
        // this computer is a copy of it.
        TestDatabase start;
        QVERIFY(addPlanner(start));
        QVERIFY(makeEmbeddedFile());

        wip::ConnectionSettings chosen = target.settings();
        const bool server = target.kind() == wip::DbKind::PostgreSQL;
        if (server)
            chosen.logPass = QStringLiteral("kept-on-request");
        {
            DesktopApplication app(options("sqlite:" + start.settings().database));
            QVERIFY(app.prepare());
            whenLoginShows([&](LoginDialog &d) {
                chooseDatabase(d, chosen, server);
                saveScreenshot(d, QStringLiteral("login-database.png"));
                typeLogin(d, QStringLiteral("PLAN"), QStringLiteral("plan-2004"));
            });
            QVERIFY2(app.login(), qPrintable(MessageBoxService::shown().isEmpty()
                                                 ? QString() : MessageBoxService::shown().last().text));
            QCOMPARE(wip::Transaction::sqlca().kind(), target.kind());
            QCOMPARE(wip::applicationConnection().database, target.settings().database);
            QCOMPARE(wip::qxpd(wip::user_code(), "M05", "H06"), QStringLiteral("X02B"));
        }
        wip::Transaction::sqlca().disconnect();

        // Kept for the next start on this machine, the password only because it was asked.
        const QString stored = wip::Settings().databaseUrl();
        QCOMPARE(wip::ConnectionSettings::fromUrl(stored)->database, target.settings().database);
        QFile ini(wip::Settings().fileName());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll().contains("kept-on-request"), server);
        if (server)
            QCOMPARE(ini.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup), QFile::Permissions());
        DesktopApplication next(options());
        QVERIFY(next.prepare());
        QCOMPARE(next.connection().database, target.settings().database);
        QCOMPARE(next.connection().logPass, server ? chosen.logPass : QString());

        // Back to the embedded file: the settings name no database any more.
        whenLoginShows([&](LoginDialog &d) {
            QVERIFY(!d.databaseShown());
            wip::ConnectionSettings embedded;
            embedded.dbms = QStringLiteral("SQLITE");
            embedded.database = wip::AppPaths::defaultDatabaseFile();
            chooseDatabase(d, embedded, false);
            typeLogin(d, QStringLiteral("plan"), QStringLiteral("plan-2004"));
        });
        QVERIFY(next.login());
        QCOMPARE(wip::Transaction::sqlca().kind(), wip::DbKind::SQLite);
        QCOMPARE(wip::user_code(), QStringLiteral("PLAN"));
        QVERIFY(wip::Settings().databaseUrl().isEmpty());
    }

    // A server that is down is named in the start's message and in the login,
    // which stays open for another choice without counting a failed login.
    void serverThatIsDownIsNamed()
    {
        const int port = closedPort();
        const QString url = QStringLiteral("postgresql://postgres@127.0.0.1:%1/wip").arg(port);
        DesktopApplication app(options(url));
        QVERIFY(!app.prepare());
        const QString told = MessageBoxService::shown().last().text;
        QVERIFY2(told.contains(QStringLiteral("127.0.0.1:%1").arg(port)) && told.contains("refused"), qPrintable(told));

        QString inLogin;
        bool stillOpen = false;
        whenLoginShows([&](LoginDialog &d) {
            saveScreenshot(d, QStringLiteral("login-server-down.png"));
            QVERIFY(d.databaseShown());
            typeLogin(d, QStringLiteral("PLAN"), QStringLiteral("plan-2004"));
            inLogin = message(d);
            stillOpen = d.isVisible();
            QCOMPARE(d.throttle().failures(), 0);
        });
        QVERIFY(!app.login(told));
        QVERIFY(stillOpen);
        QVERIFY2(inLogin.contains(QStringLiteral("127.0.0.1:%1").arg(port)), qPrintable(inLogin));
        QVERIFY(!wip::Transaction::sqlca().isConnected());
    }

    // A server that takes the connection and never answers is given up after the
    // 5 s of the README, with its host and port and "timed out", at the start and
    // in the login alike; so is a closed port, as refused. Not the driver's words.
    void serverThatDoesNotAnswerIsGivenUp_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("takes the connection, never answers")
            << true << QStringList{"did not answer within 5 s", "timed out", "没有应答"};
        QTest::newRow("closed port") << false << QStringList{"refused", "拒绝连接"};
    }
    void serverThatDoesNotAnswerIsGivenUp()
    {
        QFETCH(bool, listening);
        QFETCH(QStringList, words);
        MuteServer mute;
        const int port = listening ? mute.port() : closedPort();
        words << QStringLiteral("127.0.0.1:%1").arg(port);
        const QString url = QStringLiteral("postgresql://postgres@127.0.0.1:%1/wip").arg(port);
        const auto plain = [&](const QString &text) {
            for (const QString &w : std::as_const(words))
                QVERIFY2(text.contains(w), qPrintable(text));
            for (const char *driver : {"QPSQL", "timeout expired", "Unable to connect", "could not connect"})
                QVERIFY2(!text.contains(QLatin1String(driver)), qPrintable(text));
        };

        DesktopApplication app(options(url));
        QVERIFY(!app.prepare());
        plain(MessageBoxService::shown().last().text);

        QString inLogin;
        whenLoginShows([&](LoginDialog &d) {
            typeLogin(d, QStringLiteral("PLAN"), QStringLiteral("plan-2004"));
            inLogin = message(d);
        });
        QVERIFY(!app.login(MessageBoxService::shown().last().text));
        plain(inLogin);
        QVERIFY(!wip::Transaction::sqlca().isConnected());
    }

    void probeTellsHowTheServerFailed_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("words");
        using O = ServerProbe::Outcome;
        QTest::newRow("refused") << int(O::Refused) << QStringList{"db.factory:5433", "refused", "port 5433"};
        QTest::newRow("timed out") << int(O::TimedOut) << QStringList{"db.factory:5433", "timed out", "3 s"};
        QTest::newRow("no answer") << int(O::NoAnswer) << QStringList{"db.factory:5433", "timed out", "3 s"};
        QTest::newRow("hung up") << int(O::Closed) << QStringList{"db.factory:5433", "closed the connection"};
        QTest::newRow("unknown host") << int(O::HostNotFound) << QStringList{"db.factory:5433", "not known"};
        QTest::newRow("no route") << int(O::Unreachable) << QStringList{"db.factory:5433", "No route to host"};
    }
    void probeTellsHowTheServerFailed()
    {
        QFETCH(int, outcome);
        QFETCH(QStringList, words);
        const QString text = ServerProbe::describe(ServerProbe::Outcome(outcome), "db.factory", 5433, 3000ms,
                                                   "No route to host");
        for (const QString &w : words)
            QVERIFY2(text.contains(w), qPrintable(text));
    }

    void probeOnRealSockets()
    {
        using O = ServerProbe::Outcome;
        const int down = closedPort();
        QCOMPARE(ServerProbe::probe("127.0.0.1", down, 2000ms).outcome, O::Refused);

        SilentServer silent;
        if (silent.port() == 0)
            QSKIP("this machine cannot make a listener that never answers");
        QElapsedTimer timer;
        timer.start();
        const ServerProbe::Result r = ServerProbe::probe("127.0.0.1", silent.port(), 300ms);
        QCOMPARE(r.outcome, O::TimedOut);
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY2(r.text.contains(QStringLiteral("127.0.0.1:%1").arg(silent.port())), qPrintable(r.text));

        // Reached, but not a word back: as good as no server.
        MuteServer mute;
        const ServerProbe::Result quiet = ServerProbe::probe("127.0.0.1", mute.port(), 300ms);
        QCOMPARE(quiet.outcome, O::NoAnswer);
        QVERIFY2(quiet.text.contains(QStringLiteral("127.0.0.1:%1").arg(mute.port())), qPrintable(quiet.text));
        QVERIFY2(quiet.text.contains(QStringLiteral("timed out")), qPrintable(quiet.text));

        AnsweringServer up;
        QCOMPARE(ServerProbe::probe("127.0.0.1", up.port(), 2000ms).outcome, O::Reachable);
        if (const auto pg = wip::ConnectionSettings::fromUrl(wip::test::postgresUrl()); pg && !pg->serverName.isEmpty()
            && !pg->serverName.startsWith(QLatin1Char('/')))
            QCOMPARE(ServerProbe::probe(*pg).outcome, O::Reachable);

        // A server on a local socket is left to the driver.
        wip::ConnectionSettings local;
        local.dbms = QStringLiteral("POSTGRESQL");
        local.serverName = QStringLiteral("/var/run/postgresql");
        local.database = QStringLiteral("wip");
        QCOMPARE(ServerProbe::probe(local).outcome, O::NotProbed);
    }
};

QTEST_MAIN(TestDatabaseSwitch)
#include "tst_databaseswitch.moc"
