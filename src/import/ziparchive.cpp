#include "import/ziparchive.h"

#include <QFile>

#include <dlfcn.h>
#include <unzip.h>

namespace wip::import {

namespace {

constexpr int kCaseInsensitive = 2;

// QuaZip's unzip functions, from the library loaded on its own.
struct Unzip
{
    decltype(&unzOpen64) open = nullptr;
    decltype(&unzLocateFile) locate = nullptr;
    decltype(&unzOpenCurrentFile) openCurrent = nullptr;
    decltype(&unzReadCurrentFile) read = nullptr;
    decltype(&unzCloseCurrentFile) closeCurrent = nullptr;
    decltype(&unzClose) close = nullptr;
    QString error;

    bool loaded() const { return error.isEmpty(); }
};

template<typename F>
bool resolve(void *library, const char *name, F &function)
{
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

const Unzip &unzip()
{
    static const Unzip functions = [] {
        Unzip u;
        void *library = dlopen(WIP_QUAZIP_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
        if (!library) {
            u.error = QStringLiteral("QuaZip (%1) cannot be loaded: %2")
                          .arg(QLatin1String(WIP_QUAZIP_LIBRARY), QString::fromLocal8Bit(dlerror()));
            return u;
        }
        if (!resolve(library, "unzOpen64", u.open) || !resolve(library, "unzLocateFile", u.locate)
            || !resolve(library, "unzOpenCurrentFile", u.openCurrent) || !resolve(library, "unzReadCurrentFile", u.read)
            || !resolve(library, "unzCloseCurrentFile", u.closeCurrent) || !resolve(library, "unzClose", u.close))
            u.error = QStringLiteral("QuaZip (%1) lacks its unzip functions").arg(QLatin1String(WIP_QUAZIP_LIBRARY));
        return u;
    }();
    return functions;
}

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
        unzip().closeCurrent(m_archive->m_zip);
        m_archive->m_open = nullptr;
        m_archive = nullptr;
        setErrorString(QStringLiteral("another member of the archive was opened"));
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (!m_archive)
            return -1;
        const int n = unzip().read(m_archive->m_zip, data, unsigned(qMin<qint64>(maxSize, 1 << 20)));
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
        unzip().close(m_zip);
}

bool ZipArchive::available(QString *why)
{
    if (why)
        *why = unzip().error;
    return unzip().loaded();
}

bool ZipArchive::open()
{
    if (!available(&m_error))
        return false;
    m_file = std::make_unique<QFile>(m_path);
    // QuaZip opens the device itself and closes it with the archive.
    m_zip = unzip().open(m_file.get());
    if (!m_zip) {
        m_error = QStringLiteral("不是 zip 文件 (no zip archive)");
        return false;
    }
    return true;
}

bool ZipArchive::contains(const QString &name)
{
    if (m_open)
        m_open->finish();
    return m_zip && unzip().locate(m_zip, name.toUtf8().constData(), kCaseInsensitive) == UNZ_OK;
}

std::unique_ptr<QIODevice> ZipArchive::member(const QString &name)
{
    if (!contains(name)) {
        m_error = QStringLiteral("没有 %1 (the archive lacks %1)").arg(name);
        return nullptr;
    }
    const int opened = unzip().openCurrent(m_zip);
    if (opened != UNZ_OK) {
        m_error = QStringLiteral("%1 打不开 (zip error %2)").arg(name).arg(opened);
        return nullptr;
    }
    auto device = std::make_unique<Member>(*this);
    m_open = device.get();
    return device;
}

} // namespace wip::import
