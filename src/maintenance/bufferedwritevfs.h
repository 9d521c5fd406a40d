#pragma once

namespace wip {

// A SQLite file system (VFS) for a database that is written from the first
// page to the last and read by nobody meanwhile: the copy of a backup. SQLite
// writes a database a page at a time; on Linux every write of 4 KiB costs the
// kernel nearly as much as one of many pages, so a page-sized write per page
// made the copy three times the work of copying the file. Here writes that
// follow each other are gathered into writes of 64 KiB; a write elsewhere, a
// read, a sync, a size asked for, a truncation and the close hand over what
// is gathered first, so SQLite sees the file as it wrote it. Everything else
// is the platform's own VFS. The files have neither shared memory nor memory
// maps (VFS version 1), so a connection on it uses a rollback journal, if any.
//
//   sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, BufferedWriteVfs::name());
class BufferedWriteVfs
{
public:
    // The VFS's name, registered with SQLite on the first call (not as the default).
    static const char *name();
};

} // namespace wip
