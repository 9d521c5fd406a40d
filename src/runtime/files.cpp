#include "runtime/files.h"

#include "runtime/drivemapping.h"

#include <QFile>
#include <QFileInfo>

#include <map>
#include <memory>

namespace wip {

namespace {

// An open file of the host's numbered handles.
struct OpenFile
{
    std::unique_ptr<QFile> file;
    FileMode mode;
    FileAccess access;
};

std::map<int, OpenFile> &openFiles()
{
    static std::map<int, OpenFile> files;
    return files;
}

OpenFile *lookup(int handle)
{
    auto &files = openFiles();
    const auto it = files.find(handle);
    return it == files.end() ? nullptr : &it->second;
}

} // namespace

long long FileLength(const QString &name)
{
    const QString path = DriveMapping::instance().resolve(name);
    if (path.isEmpty())
        return -1;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return -1;
    return info.size();
}

int FileOpen(const QString &name, FileMode mode, FileAccess access, WriteMode writeMode)
{
    const QString path = DriveMapping::instance().resolve(name);
    if (path.isEmpty() || QFileInfo(path).isDir())
        return -1;
    auto file = std::make_unique<QFile>(path);
    QIODevice::OpenMode openMode = QIODevice::ReadOnly;
    if (access == FileAccess::Write)
        openMode = QIODevice::WriteOnly | (writeMode == WriteMode::Append ? QIODevice::Append : QIODevice::Truncate);
    if (!file->open(openMode))
        return -1;

    auto &files = openFiles();
    int handle = 1;
    while (files.count(handle))
        ++handle;
    files.emplace(handle, OpenFile{std::move(file), mode, access});
    return handle;
}

int FileRead(int handle, QByteArray &data)
{
    OpenFile *f = lookup(handle);
    if (!f || f->access != FileAccess::Read)
        return -1;
    data.clear();
    if (f->file->atEnd())
        return kFileEnd;
    if (f->mode == FileMode::Stream) {
        data = f->file->read(kFileChunk);
        if (data.isEmpty() && f->file->error() != QFileDevice::NoError)
            return -1;
        return int(data.size());
    }
    QByteArray line = f->file->readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    data = line;
    return int(data.size());
}

int FileRead(int handle, QString &text)
{
    QByteArray data;
    const int n = FileRead(handle, data);
    text = n >= 0 ? QString::fromUtf8(data) : QString();
    return n;
}

long long FileSeek(int handle, long long position, SeekFrom from)
{
    OpenFile *f = lookup(handle);
    if (!f)
        return -1;
    long long target = position;
    if (from == SeekFrom::Current)
        target += f->file->pos();
    else if (from == SeekFrom::End)
        target += f->file->size();
    if (target < 0 || !f->file->seek(target))
        return -1;
    return target;
}

int FileWrite(int handle, const QByteArray &data)
{
    OpenFile *f = lookup(handle);
    if (!f || f->access != FileAccess::Write)
        return -1;
    QByteArray bytes = data;
    if (f->mode == FileMode::Line)
        bytes += '\n';
    const qint64 written = f->file->write(bytes);
    if (written != bytes.size())
        return -1;
    return int(data.size());
}

int FileWrite(int handle, const QString &text)
{
    return FileWrite(handle, text.toUtf8());
}

int FileClose(int handle)
{
    auto &files = openFiles();
    const auto it = files.find(handle);
    if (it == files.end())
        return -1;
    it->second.file->close();
    files.erase(it);
    return 1;
}

} // namespace wip
