#include "runtime/drivemapping.h"
#include "runtime/files.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;

// Drive mapping of host paths and the host's file functions: the style-picture read
// of the contract windows in particular.
class TestFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void driveLettersMapToFolders();
    void defaultFoldersLieUnderTheDataFolder();
    void drivePathsNeverClimbOut();
    void confinedNamesStayInTheirFolder_data();
    void confinedNamesStayInTheirFolder();

    void pictureReadByCountedChunks_data();
    void pictureReadByCountedChunks();
    void missingFilesGiveMinusOne();
    void writeAppendAndReplace();

private:
    QByteArray writePicture(const QString &name, int size);

    QTemporaryDir m_dir;
};

void TestFiles::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Wip"));
    QCoreApplication::setApplicationName(QStringLiteral("wip-tests"));
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("pictures")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("work")));
}

void TestFiles::cleanup()
{
    DriveMapping::instance().resetFolders();
    DriveMapping::instance().setWorkingFolder(QString());
}

QByteArray TestFiles::writePicture(const QString &path, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != size)
        return {};
    return bytes;
}

void TestFiles::driveLettersMapToFolders()
{
    DriveMapping &map = DriveMapping::instance();
    const QString pictures = m_dir.filePath(QStringLiteral("pictures"));
    map.setFolder(QLatin1Char('p'), pictures);
    map.setWorkingFolder(m_dir.filePath(QStringLiteral("work")));

    QCOMPARE(map.resolve(QStringLiteral("P:\\A123.bmp")), pictures + QStringLiteral("/A123.bmp"));
    QCOMPARE(map.resolve(QStringLiteral("p:/A123.bmp")), pictures + QStringLiteral("/A123.bmp"));
    QCOMPARE(map.resolve(QStringLiteral("P:A123.bmp")), pictures + QStringLiteral("/A123.bmp"));
    QCOMPARE(map.resolve(QStringLiteral("P:\\sub\\.\\x.bmp")), pictures + QStringLiteral("/sub/x.bmp"));
    QCOMPARE(map.resolve(QStringLiteral("P:\\")), pictures);
    QCOMPARE(map.resolve(QStringLiteral("ZAN.BMP")), m_dir.filePath(QStringLiteral("work/ZAN.BMP")));
    QCOMPARE(map.resolve(QStringLiteral("temp.psr")), m_dir.filePath(QStringLiteral("work/temp.psr")));
    QCOMPARE(map.resolve(QStringLiteral("/var/tmp/x")), QStringLiteral("/var/tmp/x"));

    map.setFolder(QLatin1Char('P'), QString());          // back to the default
    QCOMPARE(map.folder(QLatin1Char('P')), map.defaultFolder(QLatin1Char('P')));
}

void TestFiles::defaultFoldersLieUnderTheDataFolder()
{
    DriveMapping &map = DriveMapping::instance();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(map.folder(QLatin1Char('P')), data + QStringLiteral("/pictures"));
    QCOMPARE(map.folder(QLatin1Char('d')), data + QStringLiteral("/exports"));
    QCOMPARE(map.folder(QLatin1Char('Q')), data + QStringLiteral("/drive-q"));
    // The export folder exists once used, so "d:\LAsb.xls" can be written on a new machine.
    QDir(data + QStringLiteral("/exports")).removeRecursively();
    QCOMPARE(map.resolve(QStringLiteral("d:\\LAsb.xls")), data + QStringLiteral("/exports/LAsb.xls"));
    QVERIFY(QFileInfo(data + QStringLiteral("/exports")).isDir());
}

void TestFiles::drivePathsNeverClimbOut()
{
    DriveMapping &map = DriveMapping::instance();
    map.setFolder(QLatin1Char('P'), m_dir.filePath(QStringLiteral("pictures")));
    QVERIFY(map.resolve(QStringLiteral("P:\\..\\secret")).isEmpty());
    QVERIFY(map.resolve(QStringLiteral("P:\\a\\..\\..\\secret")).isEmpty());
    QCOMPARE(map.resolve(QStringLiteral("P:\\a\\..\\b.bmp")), m_dir.filePath(QStringLiteral("pictures/b.bmp")));
    QCOMPARE(FileLength(QStringLiteral("P:\\..\\pictures\\..\\x")), -1);
    QCOMPARE(FileOpen(QStringLiteral("P:\\..\\x"), FileMode::Stream, FileAccess::Write), -1);
}

void TestFiles::confinedNamesStayInTheirFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("design number") << "A123-B.bmp" << true;
    QTest::newRow("chinese") << "戒指01.bmp" << true;
    QTest::newRow("climb") << "../../etc/passwd" << false;
    QTest::newRow("dots only") << ".." << false;
    QTest::newRow("dots inside") << "a..b.bmp" << false;
    QTest::newRow("backslash") << "..\\x.bmp" << false;
    QTest::newRow("slash") << "sub/x.bmp" << false;
    QTest::newRow("drive") << "C:x.bmp" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("control character") << QStringLiteral("a\nb.bmp") << false;
}

void TestFiles::confinedNamesStayInTheirFolder()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    DriveMapping &map = DriveMapping::instance();
    const QString pictures = m_dir.filePath(QStringLiteral("pictures"));
    map.setFolder(QLatin1Char('P'), pictures);
    const auto path = map.confinedResolve(QStringLiteral("P:\\"), name);
    QCOMPARE(path.has_value(), accepted);
    if (accepted)
        QCOMPARE(*path, pictures + QLatin1Char('/') + name);
}

void TestFiles::pictureReadByCountedChunks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("loops");
    QTest::newRow("small") << 1000 << 1;
    QTest::newRow("one chunk") << 32765 << 1;
    QTest::newRow("one byte over") << 32766 << 2;
    QTest::newRow("two chunks") << 65530 << 2;
    QTest::newRow("two chunks and a byte") << 65531 << 3;
}

void TestFiles::pictureReadByCountedChunks()
{
    QFETCH(int, size);
    QFETCH(int, loops);
    DriveMapping::instance().setFolder(QLatin1Char('P'), m_dir.filePath(QStringLiteral("pictures")));
    const QByteArray original = writePicture(m_dir.filePath(QStringLiteral("pictures/D%1.bmp").arg(size)), size);
    QCOMPARE(original.size(), size);

    // The contract window's read, step by step.
    const QString name = QStringLiteral("P:\\D%1.bmp").arg(size);
    const long long flen = FileLength(name);
    QCOMPARE(flen, size);
    const int fnum = FileOpen(name, FileMode::Stream);
    QVERIFY(fnum > 0);
    int count = 1;
    if (flen > kFileChunk)
        count = flen % kFileChunk == 0 ? int(flen / kFileChunk) : int(flen / kFileChunk) + 1;
    QCOMPARE(count, loops);
    QByteArray tot_b;
    long long new_pos = 0;
    int fullReads = 0;
    for (int i = 1; i <= count; ++i) {
        QByteArray b;
        const int bytes_read = FileRead(fnum, b);
        QVERIFY(bytes_read > 0);
        QVERIFY(bytes_read <= kFileChunk);
        QCOMPARE(bytes_read, b.size());
        fullReads += bytes_read == kFileChunk ? 1 : 0;
        tot_b += b;
        new_pos += bytes_read;
        QCOMPARE(FileSeek(fnum, new_pos, SeekFrom::Beginning), new_pos);
    }
    QCOMPARE(fullReads, size / kFileChunk);
    QByteArray rest;
    QCOMPARE(FileRead(fnum, rest), kFileEnd);        // nothing left after the counted loop
    QCOMPARE(FileClose(fnum), 1);
    QCOMPARE(tot_b.size(), original.size());
    QVERIFY(tot_b == original);
    QCOMPARE(FileClose(fnum), -1);                   // closed once only
    QCOMPARE(FileRead(fnum, rest), -1);
}

void TestFiles::missingFilesGiveMinusOne()
{
    DriveMapping::instance().setFolder(QLatin1Char('P'), m_dir.filePath(QStringLiteral("pictures")));
    QCOMPARE(FileLength(QStringLiteral("P:\\NOPE.bmp")), -1);
    QCOMPARE(FileLength(QStringLiteral("P:\\")), -1);             // a folder is no file
    QCOMPARE(FileOpen(QStringLiteral("P:\\NOPE.bmp"), FileMode::Stream), -1);
    QCOMPARE(FileOpen(QStringLiteral("P:\\"), FileMode::Stream), -1);
    QCOMPARE(FileOpen(m_dir.filePath(QStringLiteral("no/folder/x.txt")), FileMode::Stream, FileAccess::Write), -1);
    QCOMPARE(FileSeek(999, 0), -1);
    QCOMPARE(FileWrite(999, QByteArray("x")), -1);
}

void TestFiles::writeAppendAndReplace()
{
    DriveMapping::instance().setFolder(QLatin1Char('D'), m_dir.path());
    const QString name = QStringLiteral("d:\\out.txt");
    int h = FileOpen(name, FileMode::Stream, FileAccess::Write, WriteMode::Replace);
    QVERIFY(h > 0);
    QCOMPARE(FileWrite(h, QByteArray(100000, 'x')), 100000);   // whole, not cut at a chunk
    QCOMPARE(FileClose(h), 1);
    h = FileOpen(name, FileMode::Line, FileAccess::Write, WriteMode::Append);
    QCOMPARE(FileWrite(h, QStringLiteral("03-倒模")), QStringLiteral("03-倒模").toUtf8().size());
    QCOMPARE(FileClose(h), 1);
    QCOMPARE(FileLength(name), 100000 + QStringLiteral("03-倒模\n").toUtf8().size());

    h = FileOpen(name);                                          // line mode, read
    QString line;
    QCOMPARE(FileRead(h, line), 100000 + QStringLiteral("03-倒模").toUtf8().size());
    QVERIFY(line.endsWith(QStringLiteral("x03-倒模")));
    QCOMPARE(FileRead(h, line), kFileEnd);
    QCOMPARE(FileClose(h), 1);

    h = FileOpen(name, FileMode::Stream, FileAccess::Write, WriteMode::Replace);
    QCOMPARE(FileClose(h), 1);
    QCOMPARE(FileLength(name), 0);
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
