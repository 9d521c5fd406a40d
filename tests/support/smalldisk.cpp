#include "smalldisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace wip::test {

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return program + QStringLiteral(" did not finish");
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString::fromLocal8Bit(p.readAllStandardError()).trimmed() + QStringLiteral(" (") + program
            + QStringLiteral(" failed)");
    return QString();
}

} // namespace

SmallDisk::SmallDisk(const QString &size)
{
    if (::geteuid() != 0) {
        m_error = QStringLiteral("only root may mount the small file system this test fills");
        return;
    }
    m_error = run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                           QStringLiteral("size=") + size, QStringLiteral("tmpfs"), m_dir.path()});
    m_mounted = m_error.isEmpty();
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        run(QStringLiteral("umount"), {m_dir.path()});
}

bool SmallDisk::fill()
{
    QFile filler(filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    return true;
}

bool SmallDisk::makeReadOnly()
{
    return run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_dir.path()})
        .isEmpty();
}

QStringList SmallDisk::entries() const
{
    QStringList list = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                                    QDir::Name);
    list.removeAll(QStringLiteral("filler"));
    return list;
}

} // namespace wip::test
