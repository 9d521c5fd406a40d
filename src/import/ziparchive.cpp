#include "import/ziparchive.h"

#include <QFile>

#include <minizip/unzip.h>

namespace wip::import {

namespace {

constexpr int kCaseInsensitive = 2;

} // namespace

// The member being read: a sequential device over unzReadCurrentFile.
class ZipArchive::Member : public QIODevice
{
public:
    explicit Member(ZipArchive &archive)
        : m_archive(&archive)
    {
        QIODevice::open(ReadOnly);
    }
    ~Member() override { finish(); }

    bool isSequential() const override { return true; }
    // The archive opens another member: this one ends.
    void finish()
    {
        if (!m_archive)
            return;
        unzCloseCurrentFile(m_archive->m_zip);
        m_archive->m_open = nullptr;
        m_archive = nullptr;
        setErrorString(QStringLiteral("another member of the archive was opened"));
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (!m_archive)
            return -1;
        const int n = unzReadCurrentFile(m_archive->m_zip, data, unsigned(qMin<qint64>(maxSize, 1 << 20)));
        if (n < 0) {
            setErrorString(QStringLiteral("the archive's member does not read (zip error %1)").arg(n));
            return -1;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ZipArchive *m_archive;
};

ZipArchive::ZipArchive(const QString &path)
    : m_path(path)
{
}

ZipArchive::~ZipArchive()
{
    if (m_open)
        m_open->finish();
    if (m_zip)
        unzClose(m_zip);
}

bool ZipArchive::open()
{
    m_zip = unzOpen64(QFile::encodeName(m_path).constData());
    if (!m_zip) {
        m_error = QFile::exists(m_path) ? QStringLiteral("不是 zip 文件 (no zip archive)")
                                        : QStringLiteral("文件不存在 (no such file)");
        return false;
    }
    return true;
}

bool ZipArchive::contains(const QString &name)
{
    if (m_open)
        m_open->finish();
    return m_zip && unzLocateFile(m_zip, name.toUtf8().constData(), kCaseInsensitive) == UNZ_OK;
}

std::unique_ptr<QIODevice> ZipArchive::member(const QString &name)
{
    if (!contains(name)) {
        m_error = QStringLiteral("没有 %1 (the archive lacks %1)").arg(name);
        return nullptr;
    }
    const int opened = unzOpenCurrentFile(m_zip);
    if (opened != UNZ_OK) {
        m_error = QStringLiteral("%1 打不开 (zip error %2)").arg(name).arg(opened);
        return nullptr;
    }
    auto device = std::make_unique<Member>(*this);
    m_open = device.get();
    return device;
}

} // namespace wip::import
