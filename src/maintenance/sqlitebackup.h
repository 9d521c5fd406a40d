#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace wip {

// SQLite databases copied with SQLite's online backup, on connections of the
// copy's own (never the application's): the pages of the source are copied as
// the committed state of one moment, in one read transaction. In the
// write-ahead log mode every connection of Wip uses, the clerks' writes go on
// meanwhile and wait for nothing; what they commit after the copy began is not
// in it. A source in the older rollback mode is read under its shared lock,
// which writers wait for (their busy timeout) until the copy is done.
//
// The copy is a file of its own: a database in the rollback-journal mode, with
// nothing beside it (no -wal or -shm file), which SQLite opens read-only too.
//
//   QString why;
//   if (!SqliteBackup::copy("/data/wip.sqlite", "/backups/.wip.tmp", &why))
//       complain(why);
class SqliteBackup
{
public:
    // Copies the database of the file source into the file target, which is
    // new or empty. False with *error; *systemError then holds the errno of a
    // failure of the target's file system (ENOSPC for a full disk), or 0 when
    // SQLite's words are all there is. What SQLite left beside a target it
    // could not finish (its journal) is removed; the target itself is the
    // caller's.
    static bool copy(const QString &source, const QString &target, QString *error, int *systemError = nullptr);

    // What a file holds, read without changing it.
    struct Contents
    {
        bool database = false;          // a SQLite database (an empty file is one without tables)
        QStringList tables;             // its tables, SQLite's own left out
        std::optional<int> version;     // the version wip_schema holds, when it has the table and a row
        QString error;                  // why it is no database or could not be read
    };
    static Contents read(const QString &file);

    // SQLite's own check of every page and index of the file (pragma
    // quick_check): true when sound, else false with the first problems it
    // names in *problem.
    static bool quickCheck(const QString &file, QString *problem);
};

} // namespace wip
