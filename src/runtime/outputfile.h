#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

namespace wip {

// A file the program writes, written whole or not at all: every CSV, JSON,
// PDF, workbook, saved report, picture and ticket sheet goes through it.
//
// A regular file, or a name not taken yet, is written under a temporary name in
// the same folder (".NAME.XXXXXX") and renamed over the target by commit(), so
// nobody ever reads half a file and a failure leaves a file that was there as it
// was. A target that is no regular file (a device such as /dev/full or a
// printer's port, a pipe, standard output) cannot be replaced: it is written
// directly, every write checked, and only closed at the end. The first failure
// sticks: later writes fail, commit() returns false and removes the temporary
// file, and message() says what went wrong in words a clerk can act on (the disk
// is full, the folder may not be written to, standard output is closed ...).
//
//   OutputFile out(path);
//   if (!out.open() || out.write(bytes) != bytes.size() || !out.commit())
//       complain(out.message());
//
// A writer that opens its file by name itself (the spreadsheet library) is
// given writerFileName() after openForNamedWriter(): the temporary file beside a
// regular target, or one in the system's temporary folder whose bytes commit()
// copies into a device; saveByName() does all of it.
class OutputFile : public QIODevice
{
public:
    // path: a local file name; empty: standard output.
    explicit OutputFile(const QString &path);
    ~OutputFile() override;   // an uncommitted temporary file is removed

    // Opens for writing through this device; false with message() set.
    bool open(OpenMode mode = WriteOnly) override;
    // Prepares writerFileName() for a writer that opens the file by name.
    bool openForNamedWriter();
    QString writerFileName() const { return m_temporary; }
    // The named writer failed; why: its own words, used when the file system
    // does not tell more (a full disk is found out from the disk itself).
    void writerFailed(const QString &why, int errorNumber);

    // Puts the written file in place (or finishes the direct writes); true when
    // the whole file is there. False with message() set: nothing was replaced.
    bool commit();
    // Gives up: removes the temporary file; the target is left as it was.
    void discard();

    QString path() const { return m_path; }
    bool failed() const { return m_error != 0 || !m_writerWhy.isEmpty(); }
    // What went wrong, naming the file; empty while nothing has.
    QString message() const;
    bool isSequential() const override { return true; }

    // The whole of bytes to path (empty: standard output); false with *message set.
    static bool save(const QString &path, const QByteArray &bytes, QString *message);
    // A writer that takes a file name writes path whole or not at all; it
    // returns false with *why on failure.
    using NamedWriter = std::function<bool(const QString &fileName, QString *why)>;
    static bool saveByName(const QString &path, const NamedWriter &writer, QString *message);

    // Why nothing can be written in folder, as message() would say it: "the
    // disk is full", "the folder F may not be written to", "the folder F is on a
    // read-only disk"; empty when none of these holds. For a program that found
    // it could not write there (SQLite opening a database) and tells why.
    static QString folderProblem(const QString &folder);

    // At the start of a command: a standard stream the caller left closed gets
    // /dev/null, so no file the program opens takes its number and receives what
    // was meant for the stream; standard output is remembered as closed, and
    // writing a report there fails with that message.
    static void guardStandardStreams();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    enum class Step { Open, Write, Finish, Rename };

    bool begin(bool named);
    bool openTarget();
    bool createTemporary(const QString &folder, const QString &name, bool beside);
    bool copyIntoTarget();
    bool finishTemporary();
    bool fail(Step step, int errorNumber);
    bool standardOutput() const { return m_path.isEmpty(); }
    QString reason() const;

    QString m_path;        // as given
    QString m_target;      // the file written in the end (symbolic links followed)
    QString m_temporary;   // written first; empty when writing the target directly
    int m_fd = -1;
    bool m_direct = false;      // a device, pipe or standard output
    bool m_existed = false;     // a regular file was there before
    bool m_committed = false;
    int m_error = 0;            // errno of the first failure
    Step m_step = Step::Open;
    QString m_writerWhy;
};

} // namespace wip
