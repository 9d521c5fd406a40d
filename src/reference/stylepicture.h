#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace wip {
class OutputFile;
}

namespace wip::reference {

// A style's picture chosen from disk and copied into the factory's picture
// folder, the drive P: the reports and the sales-contract window read pictures
// from (runtime/drivemapping.h). The copy is named after the article and keeps
// the picture's kind: R2401 with ring.PNG becomes "R2401.png" in the folder,
// and article.pic_name says so.
//
// The copy is written in two steps so that it is part of the save: stage()
// writes it beside its place under a temporary name, commit() puts it in place
// (replacing the article's earlier picture of that name) just before the
// database work is committed; a save that fails removes the temporary file and
// leaves the folder as it was.
class StylePicture
{
public:
    static QString folder();   // "P:\"

    // The name the picture of article gets from the file source; nullopt when
    // the article code cannot name a file.
    static std::optional<QString> targetName(const QString &article, const QString &source);
    // Why name cannot be a picture's name in the folder ("a/b.bmp", "CON:"),
    // empty when it can.
    static QString nameProblem(const QString &name);
    // Why source is not a picture this program can read, empty when it is.
    static QString sourceProblem(const QString &source);

    StylePicture(const QString &source, const QString &name);
    ~StylePicture();
    StylePicture(const StylePicture &) = delete;
    StylePicture &operator=(const StylePicture &) = delete;

    bool stage();
    bool commit();
    QString message() const { return m_message; }
    QString source() const { return m_source; }
    QString name() const { return m_name; }

private:
    QString m_source;
    QString m_name;
    std::unique_ptr<OutputFile> m_out;
    QString m_message;
};

} // namespace wip::reference
