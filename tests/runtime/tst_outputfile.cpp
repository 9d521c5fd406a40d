// Files written whole or not at all: the kinds of target (a new file, a file
// replaced, a symbolic link, devices, a folder), a full disk and a read-only
// one, and writers that take a file name.

#include "runtime/outputfile.h"
#include "smalldisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using wip::OutputFile;
using wip::test::SmallDisk;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool isCharacterDevice(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Names in folder beginning with a dot: temporary files left behind.
QStringList hidden(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .filter(QRegularExpression(QStringLiteral("^\\.")));
}

// A writer by name that writes bytes to its file the way a library does.
OutputFile::NamedWriter namedWriter(const QByteArray &bytes)
{
    return [bytes](const QString &file, QString *why) {
        FILE *f = std::fopen(QFile::encodeName(file).constData(), "wb");
        if (!f) {
            *why = QStringLiteral("cannot open");
            return false;
        }
        const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f) == size_t(bytes.size());
        const bool closed = std::fclose(f) == 0;
        if (!written || !closed)
            *why = QStringLiteral("the zip could not be closed");
        return written && closed;
    };
}

} // namespace

class TestOutputFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    const QByteArray m_bytes = QByteArray(300 * 1024, 'r');   // more than a small disk holds

private Q_SLOTS:
    void targets_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("inMessage");
        QTest::newRow("new file") << "new.csv" << true << "";
        QTest::newRow("file replaced") << "old.csv" << true << "";
        QTest::newRow("symbolic link") << "link.csv" << true << "";
        QTest::newRow("/dev/null") << "/dev/null" << true << "";
        QTest::newRow("/dev/full") << "/dev/full" << false << "/dev/full cannot be written: the disk is full.";
        QTest::newRow("folder") << "folder" << false << "it is a folder";
        QTest::newRow("missing folder") << "no/such.csv" << false << "no does not exist";
    }

    // Through the device and by a named writer alike: a regular file is whole or
    // as it was, a device is written but never replaced, and no temporary file stays.
    void targets()
    {
        QFETCH(QString, target);
        QFETCH(bool, written);
        QFETCH(QString, inMessage);
        const QString path = target.startsWith(QLatin1Char('/')) ? target : m_dir.filePath(target);
        QDir(m_dir.path()).mkpath(QStringLiteral("folder"));
        for (const bool byName : {false, true}) {
            QFile::remove(m_dir.filePath("old.csv"));
            QFile::remove(m_dir.filePath("link.csv"));
            QFile::remove(m_dir.filePath("linked.csv"));
            QFile old(m_dir.filePath("old.csv"));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            old.close();
            QVERIFY(QFile::setPermissions(old.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                              | QFileDevice::ReadGroup));
            QVERIFY(QFile::link(m_dir.filePath("linked.csv"), m_dir.filePath("link.csv")));
            QFile::remove(m_dir.filePath("new.csv"));

            QString message;
            const bool ok = byName ? OutputFile::saveByName(path, namedWriter(m_bytes), &message)
                                   : OutputFile::save(path, m_bytes, &message);
            const QString where = QStringLiteral("%1 %2: %3").arg(target, byName ? "by name" : "as device", message);
            QVERIFY2(ok == written, qPrintable(where));
            QVERIFY2(message.contains(inMessage), qPrintable(where));
            QVERIFY2(hidden(m_dir.path()).isEmpty(), qPrintable(hidden(m_dir.path()).join(' ')));
            if (path.startsWith(QLatin1String("/dev/")))
                QVERIFY2(isCharacterDevice(path), qPrintable(where));
            else if (written)
                QVERIFY2(contents(path) == m_bytes, qPrintable(where));
        }
        if (target == QLatin1String("old.csv")) {   // a replaced file keeps who may read it
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
            QCOMPARE(st.st_mode & 0777, mode_t(0640));
        }
        if (target == QLatin1String("link.csv")) {   // the link stays; the file it names is written
            QVERIFY(QFileInfo(path).isSymLink());
            QCOMPARE(contents(m_dir.filePath("linked.csv")), m_bytes);
        }
    }

    // A full disk: nothing half written, a file that was there as it was, and
    // the message says so; a write that begins and then finds no room as well.
    void fullDisk()
    {
        SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.error()));
        QFile kept(disk.filePath("kept.pdf"));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("%PDF old") == 8);
        kept.close();
        for (const bool filled : {false, true}) {
            if (filled)
                QVERIFY(disk.fill());
            QCOMPARE(OutputFile::folderProblem(disk.path()),
                     filled ? QStringLiteral("the disk is full") : QString());
            for (const bool byName : {false, true}) {
                for (const QString &name : {QStringLiteral("new.pdf"), QStringLiteral("kept.pdf")}) {
                    QString message;
                    const QString path = disk.filePath(name);
                    const bool ok = byName ? OutputFile::saveByName(path, namedWriter(m_bytes), &message)
                                           : OutputFile::save(path, m_bytes, &message);
                    QVERIFY2(!ok, qPrintable(name));
                    QVERIFY2(message.contains(path + QStringLiteral(" cannot be written: the disk is full")),
                             qPrintable(message));
                    QVERIFY2(message.contains(name == QLatin1String("kept.pdf") ? "the file there is kept as it was"
                                                                                : "no file was written"),
                             qPrintable(message));
                }
                QCOMPARE(disk.entries(), QStringList{"kept.pdf"});
                QCOMPARE(contents(disk.filePath("kept.pdf")), QByteArray("%PDF old"));
            }
        }
    }

    void readOnlyDisk()
    {
        SmallDisk disk;
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.error()));
        QVERIFY(disk.makeReadOnly());
        QString message;
        QVERIFY(!OutputFile::save(disk.filePath("r.csv"), "a,b\r\n", &message));
        QVERIFY2(message.contains(QStringLiteral("the folder %1 is on a read-only disk").arg(disk.path())),
                 qPrintable(message));
        QVERIFY(OutputFile::folderProblem(disk.path()).contains("read-only"));
    }

    // A writer by name that fails for a reason of its own says it, and leaves nothing.
    void namedWriterFailureKeepsItsWords()
    {
        QString message;
        const auto failing = [](const QString &file, QString *why) {
            QFile(file).open(QIODevice::WriteOnly);
            errno = 0;
            *why = QStringLiteral("the workbook has no sheet");
            return false;
        };
        QVERIFY(!OutputFile::saveByName(m_dir.filePath("book.xlsx"), failing, &message));
        QVERIFY2(message.endsWith(QStringLiteral("book.xlsx cannot be written: the workbook has no sheet; "
                                                 "no file was written.")),
                 qPrintable(message));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("book.xlsx")));
        QVERIFY(hidden(m_dir.path()).isEmpty());
    }

    // A device that fails once fails for good: later writes and the commit too.
    void firstFailureSticks()
    {
        OutputFile out(QStringLiteral("/dev/full"));
        QVERIFY(out.open());
        QCOMPARE(out.write("x"), qint64(-1));
        QVERIFY(out.failed());
        QCOMPARE(out.write("y"), qint64(-1));
        QVERIFY(!out.commit());
        QCOMPARE(out.message(), QStringLiteral("/dev/full cannot be written: the disk is full."));
    }
};

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
