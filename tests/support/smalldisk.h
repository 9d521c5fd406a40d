#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace wip::test {

// A small file system of a test's own, to be filled or made read-only: a
// tmpfs mounted on a temporary folder (only root may mount one; CI runs as
// root), unmounted when the object goes.
//
//   SmallDisk disk;
//   if (!disk.isMounted())
//       QSKIP(qPrintable(disk.error()));
//   QVERIFY(disk.fill());      // the next write finds the disk full
class SmallDisk
{
public:
    explicit SmallDisk(const QString &size = QStringLiteral("256k"));
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString error() const { return m_error; }   // why it is not mounted
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Takes all the room that is left with one file ("filler").
    bool fill();
    bool makeReadOnly();
    // Every entry, hidden ones too, but the filler.
    QStringList entries() const;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_error;
};

} // namespace wip::test
