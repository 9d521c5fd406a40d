// The daily backup of the embedded database keeps the newest fourteen and
// touches nothing else in its folder; a database put back from a backup keeps
// the one it replaces under a dated name, and one that cannot be restored
// leaves the database as it was.

#include "maintenance/dailybackup.h"
#include "maintenance/databasebackup.h"
#include "maintenance/restoreinplace.h"
#include "testdatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace wip;
using namespace wip::test;

namespace {

const QDate kToday(2024, 3, 1);

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old backup");
}

QStringList names(const QStringList &paths)
{
    QStringList list;
    for (const QString &p : paths)
        list << QFileInfo(p).fileName();
    return list;
}

} // namespace

class TestDailyBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesItsFilesByDay_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("day");
        QTest::newRow("a backup") << "wip-2024-03-01.sqlite" << QDate(2024, 3, 1);
        QTest::newRow("no such day") << "wip-2024-02-30.sqlite" << QDate();
        QTest::newRow("kept before a restore") << "wip-before-restore-2024-03-01-081500.sqlite" << QDate();
        QTest::newRow("another suffix") << "wip-2024-03-01.sqlite-wal" << QDate();
        QTest::newRow("a temporary file") << ".wip-2024-03-01.sqlite.Ab12Cd" << QDate();
        QTest::newRow("the database") << "wip.sqlite" << QDate();
    }
    void namesItsFilesByDay()
    {
        QFETCH(QString, name);
        QFETCH(QDate, day);
        QCOMPARE(DailyBackup::dayOf(name), day);
        if (day.isValid())
            QCOMPARE(DailyBackup::fileName(day), name);
    }

    void keepsTheNewestFourteen()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}}));
        QTemporaryDir dir;
        // Twenty days of backups, out of order on disk, and files not its own.
        for (int d = 1; d <= 20; ++d)
            touch(dir.filePath(DailyBackup::fileName(kToday.addDays(-d * 2))));
        for (const char *other : {"wip-before-restore-2023-01-01-080000.sqlite", "notes.txt", "wip-2023-13-01.sqlite"})
            touch(dir.filePath(other));

        DailyBackup daily(db.settings().database, dir.path());
        const DailyBackup::Outcome o = daily.run(kToday);
        QVERIFY2(o.ok && o.made, qPrintable(o.error));
        QCOMPARE(o.file, dir.filePath("wip-2024-03-01.sqlite"));
        QCOMPARE(o.count, DailyBackup::kept);
        QCOMPARE(o.removed.size(), 20 + 1 - DailyBackup::kept);
        const QStringList kept = names(daily.backups());
        QCOMPARE(kept.size(), 14);
        QCOMPARE(kept.first(), "wip-2024-03-01.sqlite");
        QCOMPARE(kept.last(), DailyBackup::fileName(kToday.addDays(-26)));
        for (const char *other : {"wip-before-restore-2023-01-01-080000.sqlite", "notes.txt", "wip-2023-13-01.sqlite"})
            QVERIFY2(QFile::exists(dir.filePath(other)), other);

        // Today's is a backup of the database, opened as one.
        TestDatabase restored(Engine::SQLite, false);
        restored.tr().disconnect();
        QString error;
        QVERIFY2(DatabaseBackup::restore(restored.settings(), o.file, &error), qPrintable(error));
        QVERIFY(restored.tr().connect());
        QCOMPARE(restored.scalar("select scno from sconh").toString(), "KC1");

        // Once a day: the second run finds it and makes no other.
        QVERIFY(db.insert("sconh", {{"scno", "KC2"}}));
        const DailyBackup::Outcome again = daily.run(kToday);
        QVERIFY(again.ok && !again.made && again.removed.isEmpty());
        QCOMPARE(again.file, o.file);
        QCOMPARE(names(daily.backups()), kept);
    }

    // A day whose backup fails removes nothing: the older backups are all
    // the factory has then.
    void aFailedDayRemovesNothing()
    {
        QTemporaryDir dir;
        for (int d = 1; d <= 16; ++d)
            touch(dir.filePath(DailyBackup::fileName(kToday.addDays(-d))));
        DailyBackup daily(dir.filePath("missing.sqlite"), dir.path());
        const DailyBackup::Outcome o = daily.run(kToday);
        QVERIFY(!o.ok && !o.error.isEmpty());
        QCOMPARE(daily.backups().size(), 16);
        QVERIFY(!QFile::exists(o.file));
    }

    void restoreKeepsTheDatabaseItReplaces()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.insert("sconh", {{"scno", "KC-BACKUP"}}));
        QTemporaryDir dir;
        const QString backup = dir.filePath("wip-2024-03-01.sqlite");
        QString error;
        QVERIFY2(DatabaseBackup::backup(db.settings(), backup, &error), qPrintable(error));
        QVERIFY(db.insert("sconh", {{"scno", "KC-LATER"}}));

        // Not while another connection has it open: it would write on into the file kept aside.
        const QDateTime now(QDate(2024, 3, 2), QTime(8, 15));
        QString kept;
        QVERIFY(RestoreInPlace::inUse(db.settings().database));
        QVERIFY(!RestoreInPlace::replace(db.settings().database, backup, now, &kept, &error));
        QVERIFY2(error.contains("is open in another program"), qPrintable(error));
        QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 2);
        db.tr().disconnect();
        QVERIFY(!RestoreInPlace::inUse(db.settings().database));

        QVERIFY2(RestoreInPlace::replace(db.settings().database, backup, now, &kept, &error), qPrintable(error));
        QCOMPARE(QFileInfo(kept).fileName(), "wip-test-before-restore-2024-03-02-081500.sqlite");
        QVERIFY(db.tr().connect());
        QCOMPARE(db.scalar("select count(*) from sconh").toInt(), 1);
        QCOMPARE(db.scalar("select scno from sconh").toString(), "KC-BACKUP");

        TestDatabase before(Engine::SQLite, false);
        before.tr().disconnect();
        QVERIFY2(DatabaseBackup::restore(before.settings(), kept, &error), qPrintable(error));
        QVERIFY(before.tr().connect());
        QCOMPARE(before.scalar("select count(*) from sconh").toInt(), 2);

        // The same moment again would overwrite what is kept: refused.
        db.tr().disconnect();
        QVERIFY(!RestoreInPlace::replace(db.settings().database, backup, now, &kept, &error));
        QVERIFY2(error.contains("is there already"), qPrintable(error));
    }

    void aBackupThatCannotBeRestoredLeavesTheDatabase()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}}));
        db.tr().disconnect();
        QTemporaryDir dir;
        const QString notBackup = dir.filePath("notes.sqlite");
        touch(notBackup);
        QString kept, error;
        QVERIFY(!RestoreInPlace::replace(db.settings().database, notBackup, QDateTime::currentDateTime(), &kept, &error));
        QVERIFY2(error.contains("no Wip backup"), qPrintable(error));
        QVERIFY(kept.isEmpty());
        const QStringList left = QDir(QFileInfo(db.settings().database).absolutePath()).entryList(QDir::Files);
        QVERIFY2(!left.join(',').contains("before-restore"), qPrintable(left.join(',')));
        QVERIFY(db.tr().connect());
        QCOMPARE(db.scalar("select scno from sconh").toString(), "KC1");
    }
};

QTEST_GUILESS_MAIN(TestDailyBackup)
#include "tst_dailybackup.moc"
