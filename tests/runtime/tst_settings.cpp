#include "runtime/drivemapping.h"
#include "runtime/settings.h"
#include "runtime/trace.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;

// The application's settings file: what is kept, what is not, and who may read it.
class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void valuesSurviveARestart();
    void passwordIsDroppedUnlessAskedFor();
    void savedPasswordMakesTheFilePrivate();
    void applyGivesFoldersAndLogToTheRuntime();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = m_dir->filePath(QStringLiteral("conf/wip.ini"));   // folder not there yet
    Settings::setFile(m_file);
}

void TestSettings::cleanup()
{
    Settings::setFile(QString());
    DriveMapping::instance().resetFolders();
    Trace::setLogFile(QString());
}

void TestSettings::valuesSurviveARestart()
{
    {
        Settings s;
        QCOMPARE(s.fileName(), m_file);
        QVERIFY(!s.setDatabaseUrl(QStringLiteral("ftp://x/y")));
        QVERIFY(s.setDatabaseUrl(QStringLiteral("sqlite:/data/wip.db")));
        s.setDriveFolder(QLatin1Char('p'), QStringLiteral("/srv/pictures"));
        s.setDriveFolder(QLatin1Char('D'), QStringLiteral("/srv/exports"));
        s.setLastUserCode(QStringLiteral("0312"));
        s.setTraceLogFile(QStringLiteral("/var/log/wip.log"));
        s.setLoginFailures(6, QDateTime(QDate(2026, 12, 7), QTime(8, 0, 1, 250), Qt::UTC));
        QVERIFY(s.sync());
    }
    Settings s;
    QCOMPARE(s.loginFailures(), 6);
    QCOMPARE(s.lastLoginFailure(), QDateTime(QDate(2026, 12, 7), QTime(8, 0, 1, 250), Qt::UTC));
    QCOMPARE(s.databaseUrl(), QStringLiteral("sqlite:/data/wip.db"));
    const auto folders = s.driveFolders();
    QCOMPARE(folders.size(), 2);
    QCOMPARE(folders.value(QLatin1Char('P')), QStringLiteral("/srv/pictures"));
    QCOMPARE(folders.value(QLatin1Char('D')), QStringLiteral("/srv/exports"));
    QCOMPARE(s.lastUserCode(), QStringLiteral("0312"));
    QCOMPARE(s.traceLogFile(), QStringLiteral("/var/log/wip.log"));

    s.setDriveFolder(QLatin1Char('D'), QString());
    QCOMPARE(s.driveFolders().size(), 1);
}

void TestSettings::passwordIsDroppedUnlessAskedFor()
{
    {
        Settings s;
        QVERIFY(s.setDatabaseUrl(QStringLiteral("postgresql://clerk:s3cret@db:5432/wip")));
        QVERIFY(s.sync());
    }
    QFile f(m_file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("s3cret"));
    Settings s;
    QCOMPARE(s.databaseUrl(), QStringLiteral("postgresql://clerk@db:5432/wip"));
    QVERIFY(!s.savePassword());
}

void TestSettings::savedPasswordMakesTheFilePrivate()
{
    {
        Settings s;
        QVERIFY(s.setDatabaseUrl(QStringLiteral("postgresql://clerk:s3cret@db:5432/wip"), true));
        QVERIFY(s.sync());
    }
    Settings s;
    QVERIFY(s.savePassword());
    QCOMPARE(s.databaseUrl(), QStringLiteral("postgresql://clerk:s3cret@db:5432/wip"));
    const auto perms = QFile::permissions(m_file);
    QCOMPARE(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
             QFileDevice::Permissions());
    QVERIFY(perms & QFileDevice::ReadOwner);
}

void TestSettings::applyGivesFoldersAndLogToTheRuntime()
{
    const QString log = m_dir->filePath(QStringLiteral("trace.log"));
    {
        Settings s;
        s.setDriveFolder(QLatin1Char('P'), m_dir->filePath(QStringLiteral("pics")));
        s.setTraceLogFile(log);
    }
    DriveMapping::instance().setFolder(QLatin1Char('Q'), QStringLiteral("/left/over"));
    Settings s;
    s.apply();
    QCOMPARE(DriveMapping::instance().resolve(QStringLiteral("P:\\A1.bmp")), m_dir->filePath(QStringLiteral("pics/A1.bmp")));
    QCOMPARE(DriveMapping::instance().folder(QLatin1Char('Q')), DriveMapping::instance().defaultFolder(QLatin1Char('Q')));
    QCOMPARE(Trace::logFile(), log);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
