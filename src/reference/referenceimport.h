#pragma once

#include "import/importkind.h"
#include "reference/refkind.h"
#include "reference/refproblem.h"
#include "reference/refrow.h"

#include <QHash>

namespace wip::reference {

// One kind of reference data as files import and export it (ImportKind): a
// column per field of the kind under the field's caption, and for styles the
// stone lines, one row each with the style's fields repeated:
//
//   款号 Article  产品类别 Type  图片 Picture  使用中 Active  石料 Stone  镶法 Setting  每件粒数 Per piece
//   R2401         R              R2401.png     1              DIA        钉镶          12
//   R2401         R              R2401.png     1              RUBY       包镶          1
//   P200          P                            1                                      (no stones)
//
// A file's rows become RefRows: a code the kind does not have yet an added row,
// one it has an edited row that starts from what the database holds (so a
// column the file leaves out keeps its value, and a style's stones stay unless
// the file has stone columns) - with options.update only; without it the code
// is refused as a duplicate. They are checked and written by ReferenceWriter,
// all or nothing with the audit trail, as the window's saves are. A style's
// picture file (图片文件 Picture file, never exported) may be given relative to
// the file's folder.
class ReferenceImportKind : public import::ImportKind
{
public:
    explicit ReferenceImportKind(const RefKind &kind);

    QString name() const override { return m_kind.name; }
    QString caption() const override { return m_kind.caption; }
    QList<import::ImportColumn> columns() const override;
    QStringList example() const override;

    import::ImportOutcome import(Transaction &tr, import::ImportTable table,
                                 const import::ImportOptions &options) override;
    std::optional<QList<QStringList>> exportRows(Transaction &tr, QString *error) override;

    // Adds a kind for each kind of reference data that takes new codes.
    static void addAll();

private:
    // The file's rows of one record as a RefRow, starting from the stored row
    // (nullptr: a new code); *stoneLines: the file's line of each stone line.
    RefRow record(const import::ImportTable &table, const QList<int> &rows, const RefRow *stored,
                  QList<int> *stoneLines) const;
    QList<RefValues> stones(const import::ImportTable &table, const QList<int> &rows, QList<int> *lines) const;
    import::ImportProblem problem(const RefProblem &p) const;

    const RefKind &m_kind;
    QHash<int, QList<int>> m_stoneLines;   // a record's first line -> the lines of its stone lines
};

} // namespace wip::reference
