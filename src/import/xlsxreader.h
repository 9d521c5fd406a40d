#pragma once

#include "import/sheet.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QIODevice;
class QXmlStreamReader;

namespace wip::import {

class ZipArchive;

// Reads the first sheet of a workbook (.xlsx) into a Sheet: the package is
// opened with minizip (ZipArchive), its parts read with QXmlStreamReader as they
// stream out of the archive, so a sheet of many rows is never held as XML.
//
// The first sheet is the first of the workbook's list (the leftmost tab),
// found through the package's relationships. Cells give texts as the program
// shows them: shared strings (without their phonetic guides) and inline
// strings as they are; numbers as the shortest text that reads back as the
// same double (0.58499999999999996 is "0.585"), so that an exact decimal is
// read from them; cells with a date format as "2026-05-01" (with
// " 14:30:00" when the day has a time); booleans as TRUE or FALSE; a formula as
// the value it last had. Cells are placed by their references ("C7"), so
// columns and rows left out stay where they are; a cell without a reference
// follows the one before.
class XlsxReader
{
public:
    explicit XlsxReader(const QString &path);
    ~XlsxReader();

    // nullopt with *error when the file is no workbook or a part does not read.
    std::optional<Sheet> read(QString *error);

private:
    bool locateParts();
    bool readSharedStrings();
    bool readStyles();
    bool readSheet(SheetBuilder &builder);
    bool readRow(QXmlStreamReader &xml, int line, SheetBuilder &builder);
    // nullopt for a shared string the workbook does not have.
    std::optional<QString> cellText(const QString &type, const QString &value, int style) const;
    // The text of a string item (<si>, <is>): its <t> parts outside phonetic guides.
    static QString stringItem(QXmlStreamReader &xml);

    // Opens a part of the package to stream; nullptr with m_error when it cannot.
    std::unique_ptr<QIODevice> openPart(const QString &name, bool mustExist);
    // The parts a part's relationships name, by type (the last word of the type
    // URI: "officeDocument", "worksheet", "sharedStrings", "styles"), resolved
    // against the part's folder; ids in order of the list.
    struct Relation
    {
        QString id;
        QString type;
        QString target;
    };
    std::optional<QList<Relation>> relations(const QString &part);
    bool failed(const QString &why);
    bool xmlFailed(const QXmlStreamReader &xml, const QString &part);

    QString m_path;
    std::unique_ptr<ZipArchive> m_zip;
    QString m_sheetPart;
    QString m_sharedPart;
    QString m_stylesPart;
    bool m_1904 = false;
    QStringList m_shared;
    QList<bool> m_dateStyles;   // per cell format (s="n"): whether it shows a date
    QString m_error;
};

} // namespace wip::import
