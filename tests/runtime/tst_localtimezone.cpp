// The machine's time zone read once: TZ names /etc/localtime when nothing set
// it, local times stay what they were, and a TZ someone set is kept.

#include "runtime/localtimezone.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTest>

#include <ctime>

using namespace wip;

class tst_LocalTimeZone : public QObject
{
    Q_OBJECT

    // Seconds since the epoch of wall-clock moments in winter and in summer.
    static QList<qint64> instants()
    {
        QList<qint64> list;
        for (const QDate &d : {QDate(2026, 1, 15), QDate(2026, 7, 15), QDate(1990, 7, 1)})
            list << QDateTime(d, QTime(12, 30)).toSecsSinceEpoch();
        return list;
    }

private Q_SLOTS:
    void cleanup()
    {
        qunsetenv("TZ");
        tzset();
    }

    void setOnceWhenUnset()
    {
        qunsetenv("TZ");
        tzset();
        const QList<qint64> before = instants();
        const bool hasZoneFile = QFileInfo::exists(QStringLiteral("/etc/localtime"));
#ifdef Q_OS_LINUX
        QCOMPARE(LocalTimeZone::readOnce(), hasZoneFile);
        QCOMPARE(qgetenv("TZ"), hasZoneFile ? QByteArray(":/etc/localtime") : QByteArray());
#else
        QVERIFY(!LocalTimeZone::readOnce());
#endif
        QCOMPARE(instants(), before);
        // Called again (a second program part): nothing more to do.
        QVERIFY(!LocalTimeZone::readOnce());
    }

    void keepsAZoneSomeoneSet()
    {
        qputenv("TZ", "Asia/Shanghai");
        tzset();
        const QList<qint64> before = instants();
        QVERIFY(!LocalTimeZone::readOnce());
        QCOMPARE(qgetenv("TZ"), QByteArray("Asia/Shanghai"));
        QCOMPARE(instants(), before);
    }
};

QTEST_GUILESS_MAIN(tst_LocalTimeZone)
#include "tst_localtimezone.moc"
