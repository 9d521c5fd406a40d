#pragma once

#include <QChar>
#include <QHash>
#include <QString>

#include <optional>

namespace wip {

// Maps the Windows-style paths that the windows use ("P:\" + design + ".bmp",
// "d:\LAsb.xls", "ZAN.BMP") to folders of this machine. A drive letter (any case,
// backslashes or slashes) maps to a folder: by default P: to <data>/pictures, D: to
// <data>/exports, any other letter X: to <data>/drive-x, where <data> is the user's
// application data folder; each letter can be pointed elsewhere (from the
// settings). Names without a drive resolve against the working folder. One mapping
// for the process; every file function and the spreadsheet server go through it.
//
//   "P:\A123.bmp"    -> <data>/pictures/A123.bmp
//   "d:\out\LAsb.xls" -> <data>/exports/out/LAsb.xls
//   "ZAN.BMP"        -> <working folder>/ZAN.BMP
//   "P:\..\x"        -> refused (empty): a drive path never climbs out of its folder
class DriveMapping
{
public:
    static DriveMapping &instance();

    // The folder of a drive letter: the configured one or the default.
    QString folder(QChar letter) const;
    // Points a letter at a folder; an empty folder restores the default.
    void setFolder(QChar letter, const QString &folder);
    void resetFolders();
    QString defaultFolder(QChar letter) const;

    // The folder against which names without a drive resolve (the process's
    // current folder unless set).
    QString workingFolder() const;
    void setWorkingFolder(const QString &folder);

    // The local path of a host path; an empty string when the path climbs out of its
    // drive's folder. Absolute local paths ("/tmp/x") are returned as they are. The
    // default folder of a drive is created when first used.
    QString resolve(const QString &hostPath) const;

    // fileName inside folderPath (a host path such as "P:\"), refusing names that
    // could reach elsewhere: path separators, a drive, "." or "..", control
    // characters, an empty name. A design number from the database can therefore
    // never read outside the picture folder.
    std::optional<QString> confinedResolve(const QString &folderPath, const QString &fileName) const;

private:
    DriveMapping() = default;

    QHash<QChar, QString> m_folders;
    QString m_workingFolder;
};

} // namespace wip
