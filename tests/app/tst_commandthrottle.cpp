// The wait of a command that checks a password, with the login's count of
// wrong passwords kept in this machine's settings: how long it waits, what
// counts, and a failure of another command during the wait.

#include "app/commandthrottle.h"
#include "runtime/settings.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

using wip::CommandThrottle;
using wip::Settings;
using Login = wip::UserAccounts::Login;
using namespace std::chrono_literals;

class TestCommandThrottle : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<std::chrono::milliseconds> m_waits;

    static void setCount(int failures, const QDateTime &last)
    {
        Settings s;
        s.setLoginFailures(failures, last);
        s.sync();
    }

    static int count() { return Settings().loginFailures(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setFile(m_dir.filePath(QStringLiteral("wip.ini")));
        CommandThrottle::setWaiter([this](std::chrono::milliseconds wait) { m_waits << wait; });
    }

    void cleanupTestCase()
    {
        CommandThrottle::setWaiter({});
        Settings::setFile(QString());
    }

    void init() { m_waits.clear(); }

    void waitsAsTheLoginDoes_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("secondsAgo");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("waitMs");       // about; 0: no wait
        QTest::addColumn<int>("afterwards");
        QTest::newRow("four wrong: no wait") << 4 << 0 << int(Login::WrongPassword) << 0 << 5;
        QTest::newRow("five wrong: a second") << 5 << 0 << int(Login::WrongPassword) << 1000 << 6;
        QTest::newRow("seven wrong, one second ago: three more") << 7 << 1 << int(Login::UnknownUser) << 3000 << 8;
        QTest::newRow("a long time ago: waited out") << 9 << 3600 << int(Login::WrongPassword) << 0 << 10;
        QTest::newRow("the database not asked: not counted") << 5 << 0 << int(Login::Error) << 1000 << 5;
        QTest::newRow("a login ends the count") << 6 << 0 << int(Login::Ok) << 2000 << 0;
    }

    void waitsAsTheLoginDoes()
    {
        QFETCH(int, failures);
        QFETCH(int, secondsAgo);
        QFETCH(int, outcome);
        QFETCH(int, waitMs);
        QFETCH(int, afterwards);
        setCount(failures, QDateTime::currentDateTimeUtc().addSecs(-secondsAgo));
        QString said;
        QTextStream err(&said);
        int checks = 0;
        const Login result = CommandThrottle::attempt([&] { ++checks; return Login(outcome); }, err);
        QCOMPARE(int(result), outcome);
        QCOMPARE(checks, 1);
        if (waitMs == 0) {
            QVERIFY2(m_waits.isEmpty(), qPrintable(said));
        } else {
            QCOMPARE(m_waits.size(), 1);
            QVERIFY2(m_waits.first() <= std::chrono::milliseconds(waitMs)
                         && m_waits.first() > std::chrono::milliseconds(waitMs - 500),
                     qPrintable(QString::number(m_waits.first().count())));
            QVERIFY2(said.contains(QStringLiteral("After %1 wrong passwords in a row, waiting").arg(failures)),
                     qPrintable(said));
        }
        QCOMPARE(count(), afterwards);
    }

    // Another command failed while this one waited: it waits for that one too
    // before its own attempt.
    void failureDuringTheWaitIsWaitedFor()
    {
        setCount(5, QDateTime::currentDateTimeUtc());
        CommandThrottle::setWaiter([this](std::chrono::milliseconds wait) {
            m_waits << wait;
            if (m_waits.size() == 1)
                setCount(6, QDateTime::currentDateTimeUtc());
        });
        QString said;
        QTextStream err(&said);
        CommandThrottle::attempt([] { return Login::WrongPassword; }, err);
        CommandThrottle::setWaiter([this](std::chrono::milliseconds wait) { m_waits << wait; });
        QCOMPARE(m_waits.size(), 2);
        QVERIFY(m_waits.at(1) > 1500ms);
        QCOMPARE(count(), 7);
    }
};

QTEST_GUILESS_MAIN(TestCommandThrottle)
#include "tst_commandthrottle.moc"
