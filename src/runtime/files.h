#pragma once

#include <QByteArray>
#include <QString>

namespace wip {

// The host's file functions over numbered handles. Names are host paths, mapped
// through DriveMapping. Failures return -1 as in the host; nothing throws.

enum class FileMode { Line, Stream };
enum class FileAccess { Read, Write };
enum class WriteMode { Append, Replace };
enum class SeekFrom { Beginning, Current, End };

// The most a stream-mode FileRead returns in one call.
inline constexpr int kFileChunk = 32765;
// What FileRead returns at the end of the file.
inline constexpr int kFileEnd = -100;

// Size in bytes; -1 when the file does not exist (or is a folder).
long long FileLength(const QString &name);

// A handle (1 or more), or -1 when the file cannot be opened. Write access creates
// the file; Append keeps what is there, Replace empties it.
int FileOpen(const QString &name, FileMode mode = FileMode::Line, FileAccess access = FileAccess::Read,
             WriteMode writeMode = WriteMode::Append);

// Stream mode: the next at most kFileChunk bytes. Line mode: the next line without
// its line end. Returns the number of bytes read (0 for an empty line), kFileEnd
// (-100) at the end of the file, -1 on a bad handle or a read error.
int FileRead(int handle, QByteArray &data);
int FileRead(int handle, QString &text);   // the same, decoded as UTF-8

// Moves the read/write position; returns the new position or -1.
long long FileSeek(int handle, long long position, SeekFrom from = SeekFrom::Beginning);

// Writes all of data (line mode adds a line end); returns the bytes written or -1.
int FileWrite(int handle, const QByteArray &data);
int FileWrite(int handle, const QString &text);

// 1, or -1 for a handle that is not open.
int FileClose(int handle);

} // namespace wip
