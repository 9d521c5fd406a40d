#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

namespace wip::import {

// Reads the members of a zip archive (a workbook's parts) with the system's
// minizip, the library libxlsxwriter writes every workbook with, one member at
// a time, streamed:
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

    // False with error() when the file is missing or no zip archive.
    bool open();
    bool contains(const QString &name);
    // The member of that name (without regard to case), to read in order;
    // nullptr with error() when there is none or it cannot be read. Opening
    // another member ends the one before; the device must go before the archive.
    std::unique_ptr<QIODevice> member(const QString &name);
    QString error() const { return m_error; }

private:
    class Member;

    QString m_path;
    void *m_zip = nullptr;
    Member *m_open = nullptr;
    QString m_error;
};

} // namespace wip::import
