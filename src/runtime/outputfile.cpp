#include "runtime/outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace wip {

namespace {

bool &standardOutputClosed()
{
    static bool closed = false;
    return closed;
}

// Writes all of size bytes to fd; 0, or the errno of the failure.
int writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        size -= n;
    }
    return 0;
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Less than this left on a disk after a writer failed counts as a full disk.
constexpr unsigned long long kNearlyFull = 64 * 1024;

bool diskNearlyFull(const QString &path)
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(path).constData(), &fs) != 0)
        return false;
    return static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kNearlyFull;
}

} // namespace

OutputFile::OutputFile(const QString &path)
    : m_path(path)
{
}

OutputFile::~OutputFile()
{
    if (!m_committed)
        discard();
}

bool OutputFile::open(OpenMode mode)
{
    Q_UNUSED(mode);
    if (!begin(false))
        return false;
    return QIODevice::open(WriteOnly | Unbuffered);
}

bool OutputFile::openForNamedWriter()
{
    return begin(true);
}

bool OutputFile::begin(bool named)
{
    if (m_fd >= 0 || !m_temporary.isEmpty())
        return false;   // opened once only
    if (standardOutput()) {
        m_direct = true;
        m_target.clear();
        if (standardOutputClosed())
            return fail(Step::Open, EBADF);
        std::fflush(stdout);
        m_fd = STDOUT_FILENO;
    } else {
        const QFileInfo info(m_path);
        m_target = info.absoluteFilePath();
        // A symbolic link stays: the file it points to is written.
        if (info.isSymLink())
            m_target = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
        struct stat st {};
        const QByteArray target = QFile::encodeName(m_target);
        if (::stat(target.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                return fail(Step::Open, EISDIR);
            m_direct = !S_ISREG(st.st_mode);
            m_existed = S_ISREG(st.st_mode);
            // Replacing a file that may not be written would get round its protection.
            if (m_existed && ::access(target.constData(), W_OK) != 0)
                return fail(Step::Open, errno);
        }
        if (m_direct && !named)
            return openTarget();
    }
    if (!named)
        return createTemporary(QFileInfo(m_target).absolutePath(), QFileInfo(m_target).fileName(), true);
    // A named writer of a device writes a file of the temporary folder first.
    const bool made = m_direct ? createTemporary(QDir::tempPath(), QStringLiteral("wip-output"), false)
                               : createTemporary(QFileInfo(m_target).absolutePath(), QFileInfo(m_target).fileName(),
                                                 true);
    // The writer opens the file itself; it is opened again to finish it.
    if (made) {
        ::close(m_fd);
        m_fd = -1;
    }
    return made;
}

bool OutputFile::openTarget()
{
    m_fd = ::open(QFile::encodeName(m_target).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    return m_fd >= 0 || fail(Step::Open, errno);
}

bool OutputFile::createTemporary(const QString &folder, const QString &name, bool beside)
{
    // ".NAME.XXXXXX", short enough for any file system's longest name.
    const QString stem = QLatin1Char('.') + name.left(200) + QLatin1Char('.');
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)]);
        const QString candidate = folder + QLatin1Char('/') + stem + suffix;
        // Made as any new file is (the umask decides who may read it) ...
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return fail(Step::Open, errno);
        }
        m_temporary = candidate;
        m_fd = fd;
        // ... unless it replaces one: then it keeps that file's permissions.
        struct stat st {};
        if (beside && m_existed && ::stat(QFile::encodeName(m_target).constData(), &st) == 0) {
            ::fchmod(fd, st.st_mode & 07777);
            if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
                // Only the owner's own group, or root, may give the file away; the
                // permissions above still hold.
            }
        }
        return true;
    }
    return fail(Step::Open, EEXIST);
}

void OutputFile::writerFailed(const QString &why, int errorNumber)
{
    if (m_error != 0)
        return;
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
    case EACCES:
    case EPERM:
    case EROFS:
    case EIO:
        m_error = errorNumber;
        m_step = Step::Write;
        return;
    default:
        break;
    }
    // The writer's own words name no cause; the disk can tell a full one.
    if (!m_temporary.isEmpty() && diskNearlyFull(QFileInfo(m_temporary).absolutePath())) {
        m_error = ENOSPC;
        m_step = Step::Write;
        return;
    }
    m_writerWhy = why.isEmpty() ? QStringLiteral("the writer failed") : why;
}

qint64 OutputFile::readData(char *data, qint64 maxSize)
{
    Q_UNUSED(data);
    Q_UNUSED(maxSize);
    return -1;
}

qint64 OutputFile::writeData(const char *data, qint64 size)
{
    if (failed() || m_fd < 0)
        return -1;
    if (const int e = writeAll(m_fd, data, size); e != 0) {
        fail(Step::Write, e);
        return -1;
    }
    return size;
}

bool OutputFile::commit()
{
    if (m_committed)
        return !failed();
    const bool wasOpen = isOpen();
    if (wasOpen)
        QIODevice::close();
    if (failed() || (m_fd < 0 && m_temporary.isEmpty())) {
        discard();
        return false;
    }
    bool ok = true;
    if (m_direct) {
        if (!m_temporary.isEmpty())
            ok = copyIntoTarget();
        if (ok && m_fd >= 0 && m_fd != STDOUT_FILENO) {
            const int fd = m_fd;
            m_fd = -1;
            if (::close(fd) != 0)
                ok = fail(Step::Finish, errno);
        }
    } else {
        ok = finishTemporary();
    }
    if (!ok) {
        discard();
        return false;
    }
    m_fd = -1;
    m_committed = true;
    return true;
}

bool OutputFile::finishTemporary()
{
    const QByteArray temporary = QFile::encodeName(m_temporary);
    if (m_fd < 0) {
        // The named writer closed its file: opened again to make it durable.
        m_fd = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return fail(Step::Finish, errno);
    }
    // Some file systems only say at fsync or close that the disk was full.
    const int fd = m_fd;
    m_fd = -1;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        const int e = errno;
        ::close(fd);
        return fail(Step::Finish, e);
    }
    if (::close(fd) != 0)
        return fail(Step::Finish, errno);
    if (::rename(temporary.constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail(Step::Rename, errno);
    m_temporary.clear();
    // The new name itself made durable; a folder that cannot be synced is no failure.
    const int dir = ::open(QFile::encodeName(QFileInfo(m_target).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool OutputFile::copyIntoTarget()
{
    if (m_fd >= 0 && m_fd != STDOUT_FILENO)
        ::close(m_fd);
    m_fd = -1;
    const int in = ::open(QFile::encodeName(m_temporary).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail(Step::Finish, errno);
    if (standardOutput()) {
        std::fflush(stdout);
        m_fd = STDOUT_FILENO;
    } else if (!openTarget()) {
        ::close(in);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : 0;
            ::close(in);
            return e == 0 || fail(Step::Finish, e);
        }
        if (const int e = writeAll(m_fd, buffer, n); e != 0) {
            ::close(in);
            return fail(Step::Write, e);
        }
    }
}

void OutputFile::discard()
{
    if (isOpen())
        QIODevice::close();
    if (m_fd >= 0 && m_fd != STDOUT_FILENO)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty()) {
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
    }
}

bool OutputFile::fail(Step step, int errorNumber)
{
    if (m_error == 0 && m_writerWhy.isEmpty()) {
        m_error = errorNumber == 0 ? EIO : errorNumber;
        m_step = step;
    }
    return false;
}

QString OutputFile::reason() const
{
    const QString folder = native(QFileInfo(m_target).absolutePath());
    const bool inFolder = !m_direct && (m_step == Step::Open || m_step == Step::Rename);
    switch (m_error) {
    case ENOSPC:
        return QStringLiteral("the disk is full");
    case EDQUOT:
        return QStringLiteral("the disk quota is used up");
    case EACCES:
    case EPERM:
        if (m_existed && m_step == Step::Open)
            return QStringLiteral("the file may not be written to");
        return inFolder ? QStringLiteral("the folder %1 may not be written to").arg(folder)
                        : QStringLiteral("it may not be written to");
    case EROFS:
        return inFolder ? QStringLiteral("the folder %1 is on a read-only disk").arg(folder)
                        : QStringLiteral("it is on a read-only disk");
    case ENOENT:
        return QStringLiteral("the folder %1 does not exist").arg(folder);
    case ENOTDIR:
        return QStringLiteral("%1 is not a folder").arg(folder);
    case EISDIR:
        return QStringLiteral("it is a folder");
    case EBADF:
        return standardOutput() ? QStringLiteral("it is closed") : QString::fromLocal8Bit(std::strerror(EBADF));
    case EPIPE:
        return QStringLiteral("the program reading it has stopped");
    case EIO:
        return QStringLiteral("the disk reports an input/output error");
    default:
        return QString::fromLocal8Bit(std::strerror(m_error)).toLower();
    }
}

QString OutputFile::message() const
{
    if (!failed())
        return QString();
    const QString what = standardOutput() ? QStringLiteral("Standard output") : native(m_target.isEmpty() ? m_path : m_target);
    QString text = QStringLiteral("%1 cannot be written: %2")
                       .arg(what, m_error != 0 ? reason() : m_writerWhy);
    if (!m_direct)
        text += m_existed ? QStringLiteral("; the file there is kept as it was.")
                          : QStringLiteral("; no file was written.");
    else
        text += QLatin1Char('.');
    return text;
}

bool OutputFile::save(const QString &path, const QByteArray &bytes, QString *message)
{
    OutputFile out(path);
    if (out.open() && out.write(bytes) == bytes.size() && out.commit())
        return true;
    if (message)
        *message = out.message();
    out.discard();
    return false;
}

bool OutputFile::saveByName(const QString &path, const NamedWriter &writer, QString *message)
{
    OutputFile out(path);
    if (out.openForNamedWriter()) {
        QString why;
        errno = 0;
        if (writer(out.writerFileName(), &why)) {
            if (out.commit())
                return true;
        } else {
            out.writerFailed(why, errno);
        }
    }
    if (message)
        *message = out.message();
    out.discard();
    return false;
}

QString OutputFile::folderProblem(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    struct statvfs fs {};
    if (::statvfs(path.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY))
        return QStringLiteral("the folder %1 is on a read-only disk").arg(native(folder));
    if (::access(path.constData(), W_OK) != 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        return QStringLiteral("the folder %1 may not be written to").arg(native(folder));
    if (diskNearlyFull(folder))
        return QStringLiteral("the disk is full");
    return QString();
}

void OutputFile::guardStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is this one.
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
        if (fd == STDOUT_FILENO)
            standardOutputClosed() = true;
    }
}

} // namespace wip
