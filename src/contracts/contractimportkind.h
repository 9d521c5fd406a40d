#pragma once

#include "contracts/contractbulkwriter.h"
#include "import/importkind.h"

#include <QHash>

namespace wip {

// Sales contracts as files import and export them (ImportKind "contracts"):
// one row per contract line, the contract's own fields repeated on each, the
// line's number (行号) with it so that the bag tickets keep their codes.
//
//   KCNO    客户编号  客单编号  接单日期    订单货期    行号  货号   成色  数量 ...
//   KC1001  QOR      PO-17    2026-05-04  2026-06-15  1     R2401  18KY  10
//   KC1001  QOR      PO-17    2026-05-04  2026-06-15  2     P2402  PT950 4
//
// A contract new to the database is added with its lines, which keep the
// numbers the file gives (others are numbered after them): checked as the
// contract forms check (ContractLineRules: the fields, the article and metal
// codes; the header's customer and dates) and written many rows a statement
// with the audit rows a save of the form writes (ContractBulkWriter). A
// contract there already is refused as a duplicate, or with options.update
// saved by ContractSave: its header takes the file's fields, a row with the
// number of one of its lines changes that line, a row without a number adds
// a line; lines the file leaves out stay. The right 导入 stands for the rights
// of adding and changing contracts and lines; an import deletes nothing.
// Nothing is imported while 唧蜡, where the lines enter production, has closed
// the day of the import (ClosedDays).
class ContractImportKind : public import::ImportKind
{
public:
    QString name() const override { return QStringLiteral("contracts"); }
    QString caption() const override { return QStringLiteral("销售合约 Sales contracts"); }
    QList<import::ImportColumn> columns() const override;
    QStringList example() const override;

    import::ImportOutcome import(Transaction &tr, import::ImportTable table,
                                 const import::ImportOptions &options) override;
    std::optional<QList<QStringList>> exportRows(Transaction &tr, QString *error) override;

    static void add();   // into import::ImportKinds

private:
    // A contract of the file: its header, lines and the file's line of each.
    struct Draft
    {
        int line = 0;             // its first row
        ContractHeader header;
        QList<ContractLine> lines;
        QList<int> lineRows;      // the file's line of each line
        QStringList badDates;     // dates given that are no dates (said already)
    };
    struct Lookups
    {
        QHash<QString, QString> contracts;   // case-folded number -> as stored
        QHash<QString, bool> articles;   // code -> in use
        QHash<QString, bool> metals;
    };

    Draft draft(const import::ImportTable &table, const QList<int> &rows, QList<import::ImportProblem> *problems) const;
    bool readLookups(Transaction &tr, Lookups *lookups) const;
    void checkNew(const Draft &d, const Lookups &lookups, QList<import::ImportProblem> *problems) const;
    // Saves a contract there already with the file's fields; false when a statement failed.
    bool update(Transaction &tr, Draft d, const import::ImportTable &table, const import::ImportOptions &options,
                import::ImportOutcome *outcome) const;
    // A problem ContractSave or ContractLineRules gives ("第 2 行 数量: ...",
    // "新增第 1 行 货号: ...") at the file's line and column.
    static import::ImportProblem problemAt(const Draft &d, const QString &text);
};

} // namespace wip
