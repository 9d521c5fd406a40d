#include "maintenance/bufferedwritevfs.h"

#include <sqlite3.h>

#include <cstring>
#include <mutex>

namespace wip {

namespace {

// The platform's VFS writes less than 128 KiB at a time (its unix write
// takes the size modulo 2^17): 64 KiB, sixteen pages of 4 KiB.
constexpr int kCapacity = 64 * 1024;

// One open file: ours first, the platform's own right behind it.
struct File
{
    sqlite3_file base;
    sqlite3_file *real;
    char *buffer;              // the bytes gathered, to be written at `start`
    sqlite3_int64 start;
    int used;
};

constexpr int kFileSize = int((sizeof(File) + 7) / 8 * 8);

sqlite3_vfs *g_real = nullptr;   // the platform's VFS, set when ours is registered

const sqlite3_io_methods *realMethods(const File *f)
{
    return f->real->pMethods;
}

int flush(File *f)
{
    if (f->used == 0)
        return SQLITE_OK;
    const int rc = realMethods(f)->xWrite(f->real, f->buffer, f->used, f->start);
    f->used = 0;
    return rc;
}

File *of(sqlite3_file *file)
{
    return reinterpret_cast<File *>(file);
}

int fileClose(sqlite3_file *file)
{
    File *f = of(file);
    const int rc = flush(f);
    const int closed = realMethods(f)->xClose(f->real);
    sqlite3_free(f->buffer);
    f->buffer = nullptr;
    return rc != SQLITE_OK ? rc : closed;
}

int fileRead(sqlite3_file *file, void *data, int amount, sqlite3_int64 offset)
{
    File *f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realMethods(f)->xRead(f->real, data, amount, offset);
}

int fileWrite(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    File *f = of(file);
    if (f->used > 0 && offset == f->start + f->used && f->used + amount <= kCapacity) {
        std::memcpy(f->buffer + f->used, data, size_t(amount));
        f->used += amount;
        return SQLITE_OK;
    }
    const int rc = flush(f);
    if (rc != SQLITE_OK)
        return rc;
    if (!f->buffer)
        f->buffer = static_cast<char *>(sqlite3_malloc(kCapacity));
    if (!f->buffer || amount > kCapacity)
        return realMethods(f)->xWrite(f->real, data, amount, offset);
    std::memcpy(f->buffer, data, size_t(amount));
    f->start = offset;
    f->used = amount;
    return SQLITE_OK;
}

int fileTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    File *f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realMethods(f)->xTruncate(f->real, size);
}

int fileSync(sqlite3_file *file, int flags)
{
    File *f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realMethods(f)->xSync(f->real, flags);
}

int fileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    File *f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realMethods(f)->xFileSize(f->real, size);
}

int fileLock(sqlite3_file *file, int lock)
{
    return realMethods(of(file))->xLock(of(file)->real, lock);
}

int fileUnlock(sqlite3_file *file, int lock)
{
    File *f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realMethods(f)->xUnlock(f->real, lock);
}

int fileCheckReservedLock(sqlite3_file *file, int *out)
{
    return realMethods(of(file))->xCheckReservedLock(of(file)->real, out);
}

int fileControl(sqlite3_file *file, int op, void *arg)
{
    File *f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realMethods(f)->xFileControl(f->real, op, arg);
}

int fileSectorSize(sqlite3_file *file)
{
    return realMethods(of(file))->xSectorSize(of(file)->real);
}

int fileDeviceCharacteristics(sqlite3_file *file)
{
    return realMethods(of(file))->xDeviceCharacteristics(of(file)->real);
}

const sqlite3_io_methods kMethods = {
    1,     fileClose, fileRead,  fileWrite,      fileTruncate,          fileSync,    fileSize,
    fileLock, fileUnlock, fileCheckReservedLock, fileControl, fileSectorSize, fileDeviceCharacteristics,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

int vfsOpen(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    File *f = of(file);
    std::memset(f, 0, sizeof(File));
    f->real = reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(f) + kFileSize);
    const int rc = g_real->xOpen(g_real, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (f->real->pMethods)
            f->real->pMethods->xClose(f->real);
        return rc;
    }
    f->base.pMethods = &kMethods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs *, const char *name, int syncDir) { return g_real->xDelete(g_real, name, syncDir); }
int vfsAccess(sqlite3_vfs *, const char *name, int flags, int *out) { return g_real->xAccess(g_real, name, flags, out); }
int vfsFullPathname(sqlite3_vfs *, const char *name, int size, char *out)
{
    return g_real->xFullPathname(g_real, name, size, out);
}
void *vfsDlOpen(sqlite3_vfs *, const char *name) { return g_real->xDlOpen(g_real, name); }
void vfsDlError(sqlite3_vfs *, int size, char *out) { g_real->xDlError(g_real, size, out); }
void (*vfsDlSym(sqlite3_vfs *, void *handle, const char *symbol))(void) { return g_real->xDlSym(g_real, handle, symbol); }
void vfsDlClose(sqlite3_vfs *, void *handle) { g_real->xDlClose(g_real, handle); }
int vfsRandomness(sqlite3_vfs *, int size, char *out) { return g_real->xRandomness(g_real, size, out); }
int vfsSleep(sqlite3_vfs *, int micro) { return g_real->xSleep(g_real, micro); }
int vfsCurrentTime(sqlite3_vfs *, double *out) { return g_real->xCurrentTime(g_real, out); }
int vfsGetLastError(sqlite3_vfs *, int size, char *out) { return g_real->xGetLastError(g_real, size, out); }
int vfsCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *out)
{
    return g_real->iVersion >= 2 && g_real->xCurrentTimeInt64 ? g_real->xCurrentTimeInt64(g_real, out) : SQLITE_ERROR;
}

} // namespace

const char *BufferedWriteVfs::name()
{
    static sqlite3_vfs vfs;
    static std::once_flag registered;
    std::call_once(registered, [] {
        g_real = sqlite3_vfs_find(nullptr);
        vfs.iVersion = 2;
        vfs.szOsFile = kFileSize + g_real->szOsFile;
        vfs.mxPathname = g_real->mxPathname;
        vfs.zName = "wip-buffered-write";
        vfs.xOpen = vfsOpen;
        vfs.xDelete = vfsDelete;
        vfs.xAccess = vfsAccess;
        vfs.xFullPathname = vfsFullPathname;
        vfs.xDlOpen = vfsDlOpen;
        vfs.xDlError = vfsDlError;
        vfs.xDlSym = vfsDlSym;
        vfs.xDlClose = vfsDlClose;
        vfs.xRandomness = vfsRandomness;
        vfs.xSleep = vfsSleep;
        vfs.xCurrentTime = vfsCurrentTime;
        vfs.xGetLastError = vfsGetLastError;
        vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
        sqlite3_vfs_register(&vfs, 0);
    });
    return vfs.zName;
}

} // namespace wip
