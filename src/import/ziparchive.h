#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

namespace wip::import {

// Reads the members of a zip archive (a workbook's parts) with QuaZip.
//
// QuaZip carries its own copy of minizip, and exports it under minizip's
// names: the same names as the system's libminizip, with which libxlsxwriter
// writes every workbook of this program. Linked into one process, each would
// call the other's functions and the first workbook written or read would
// crash. So QuaZip is not linked: its unzip functions are loaded once with
// dlopen(RTLD_LOCAL | RTLD_DEEPBIND), which keeps its calls within itself and
// its names out of everyone else's sight. The archive is read through a QFile
// (QuaZip's own input is a QIODevice), one member at a time, streamed:
//
//   ZipArchive zip(path);
//   if (!zip.open()) complain(zip.error());
//   std::unique_ptr<QIODevice> sheet = zip.member("xl/worksheets/sheet1.xml");
//   QXmlStreamReader xml(sheet.get());
class ZipArchive
{
public:
    explicit ZipArchive(const QString &path);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // False with error() when the file is no zip archive or QuaZip cannot be loaded.
    bool open();
    bool contains(const QString &name);
    // The member of that name (without regard to case), to read in order;
    // nullptr with error() when there is none or it cannot be read. Opening
    // another member ends the one before; the device must go before the archive.
    std::unique_ptr<QIODevice> member(const QString &name);
    QString error() const { return m_error; }

    // Whether QuaZip can be loaded here; *why when not.
    static bool available(QString *why = nullptr);

private:
    class Member;

    QString m_path;
    std::unique_ptr<QIODevice> m_file;
    void *m_zip = nullptr;
    Member *m_open = nullptr;
    QString m_error;
};

} // namespace wip::import
