#include "reference/referenceimport.h"

#include "import/importkinds.h"
#include "import/recordgrouper.h"
#include "reference/referencereader.h"
#include "reference/referencewriter.h"
#include "runtime/transaction.h"

#include <QDir>
#include <QFileInfo>

namespace wip::reference {

namespace {

using import::ImportColumn;
using import::ImportOutcome;
using import::ImportProblem;
using F = RefKind::FieldType;


// The example row of each kind's template, by field.
RefValues exampleOf(const QString &kind)
{
    static const QHash<QString, RefValues> examples{
        {QStringLiteral("customers"),
         {{"cust_no", "C001"}, {"cust_name", "示例珠宝 Example Jewellery"}, {"contact", "陈小姐 Ms Chan"}, {"active", "1"}}},
        {QStringLiteral("metals"),
         {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", "0.750"}, {"hallmark", "750"}, {"mname", "18K黄金"}, {"active", "1"}}},
        {QStringLiteral("stones"), {{"mcode", "DIA-RD-1.0"}, {"mname", "圆钻 1.0mm"}, {"unit", "粒"}, {"active", "1"}}},
        {QStringLiteral("settypes"), {{"settype_code", "钉镶"}, {"settype_name", "PAVE"}, {"active", "1"}}},
        {QStringLiteral("arttypes"), {{"arttype_code", "R"}, {"arttype_name", "戒指 RING"}, {"active", "1"}}},
        {QStringLiteral("styles"),
         {{"article_code", "R2401"}, {"arttype_code", "R"}, {"pic_name", "R2401.png"}, {"active", "1"},
          {"stone_code", "DIA-RD-1.0"}, {"settype_code", "钉镶"}, {"qtycal", "12"}}},
        {QStringLiteral("workers"), {{"changhao", "0401"}, {"xingming", "陈志强"}, {"gongxu_code", "04-执模"}, {"active", "1"}}},
    };
    return examples.value(kind);
}

QStringList stoneFieldNames()
{
    QStringList names;
    for (const RefKind::Field &f : RefKind::stoneFields())
        names << f.name;
    return names;
}

ImportColumn columnOf(const RefKind::Field &f)
{
    ImportColumn c;
    c.name = f.name;
    c.caption = f.caption;
    c.required = f.type == F::Code;
    c.places = f.type == F::Decimal ? f.places : ImportColumn::kText;
    c.exported = f.type != F::PictureFile;
    return c;
}

} // namespace

ReferenceImportKind::ReferenceImportKind(const RefKind &kind)
    : m_kind(kind)
{
}

void ReferenceImportKind::addAll()
{
    for (const RefKind &kind : RefKind::all()) {
        // A kind whose key is made of its fields (allowances, recoveries) is
        // kept in the window only.
        if (kind.canAdd && kind.keyParts.isEmpty())
            import::ImportKinds::add(std::make_unique<ReferenceImportKind>(kind));
    }
}

QList<ImportColumn> ReferenceImportKind::columns() const
{
    QList<ImportColumn> list;
    for (const RefKind::Field &f : m_kind.fields)
        list << columnOf(f);
    if (m_kind.hasStones) {
        for (const RefKind::Field &f : RefKind::stoneFields())
            list << columnOf(f);
    }
    return list;
}

QStringList ReferenceImportKind::example() const
{
    const RefValues values = exampleOf(m_kind.name);
    QStringList row;
    for (const ImportColumn &c : exportedColumns())
        row << values.value(c.name);
    return row;
}

QList<RefValues> ReferenceImportKind::stones(const import::ImportTable &table, const QList<int> &rows,
                                             QList<int> *lines) const
{
    QList<RefValues> list;
    for (const int r : rows) {
        const import::ImportRow &row = table.rows.at(r);
        RefValues stone;
        bool given = false;
        for (const RefKind::Field &f : RefKind::stoneFields()) {
            const QString value = table.value(row, f.name);
            stone.insert(f.name, value);
            given = given || !value.trimmed().isEmpty();
        }
        if (!given)
            continue;   // a row of the style alone: no stone on it
        list.append(stone);
        lines->append(row.line);
    }
    return list;
}

RefRow ReferenceImportKind::record(const import::ImportTable &table, const QList<int> &rows, const RefRow *stored,
                                   QList<int> *stoneLines) const
{
    const import::ImportRow &first = table.rows.at(rows.first());
    RefRow row;
    if (stored) {
        row = *stored;
        row.change = RefRow::Change::Edited;
    } else {
        row.change = RefRow::Change::Added;
    }
    row.line = first.line;
    for (const RefKind::Field &f : m_kind.fields) {
        if (!table.has(f.name) || (stored && f.name == m_kind.keyField))
            continue;
        QString value = table.value(first, f.name);
        if (f.type == F::PictureFile && !value.trimmed().isEmpty())
            value = QDir::cleanPath(QDir(table.folder).absoluteFilePath(value.trimmed()));
        row.values.insert(f.name, value);
    }
    bool stoneColumns = false;
    for (const QString &name : stoneFieldNames())
        stoneColumns = stoneColumns || table.has(name);
    if (m_kind.hasStones && (stoneColumns || !stored)) {
        row.stones = stones(table, rows, stoneLines);
    }
    return row;
}

ImportProblem ReferenceImportKind::problem(const RefProblem &p) const
{
    int line = p.line;
    if (p.stone > 0)
        line = m_stoneLines.value(p.line).value(p.stone - 1, p.line);
    return {line, p.caption, p.reason};
}

import::ImportOutcome ReferenceImportKind::import(Transaction &tr, import::ImportTable table,
                                                  const import::ImportOptions &options)
{
    ImportOutcome outcome;
    const QStringList lineColumns = m_kind.hasStones ? stoneFieldNames() : QStringList();
    const QList<import::ImportRecord> records =
        import::RecordGrouper::group(table, m_kind.keyField, lineColumns, &outcome.problems);
    const std::optional<QList<RefRow>> stored = ReferenceReader(tr).load(m_kind);
    if (!stored) {
        outcome.error = tr.sqlErrText;
        return outcome;
    }
    QHash<QString, const RefRow *> byCode;
    for (const RefRow &row : *stored)
        byCode.insert(row.original.value(m_kind.keyField).trimmed().toCaseFolded(), &row);
    QList<RefRow> rows;
    rows.reserve(records.size());
    m_stoneLines.clear();
    for (const import::ImportRecord &r : records) {
        const RefRow *found = r.key.isEmpty() ? nullptr : byCode.value(r.key.toCaseFolded());
        if (found && !options.update)
            outcome.problems.append(
                {table.rows.at(r.rows.first()).line, m_kind.key().caption,
                 QStringLiteral("%1 已有 (already there); 要更新已有的代码, 用 --update 导入").arg(r.key)});
        QList<int> lines;
        rows.append(record(table, r.rows, found, &lines));
        rows.last().stoneLines = lines;
        m_stoneLines.insert(rows.last().line, lines);
    }
    table.rows = QList<import::ImportRow>();   // the rows hold the cells now
    ReferenceWriter writer(tr, m_kind, {options.user, options.source});
    SaveOptions save;
    save.rightChecked = true;
    save.checkOnly = options.dryRun || !outcome.problems.isEmpty();
    const SaveOutcome saved = writer.save(std::move(rows), save);
    for (const RefProblem &p : saved.problems)
        outcome.problems.append(problem(p));
    outcome.added = saved.added;
    outcome.updated = saved.edited;
    outcome.unchanged = int(records.size()) - saved.added - saved.edited;
    if (!outcome.problems.isEmpty()) {
        outcome.result = ImportOutcome::Result::Refused;
        outcome.added = outcome.updated = outcome.unchanged = 0;
    } else if (!saved.error.isEmpty()) {
        outcome.error = saved.error;
    } else {
        outcome.result = save.checkOnly ? ImportOutcome::Result::Checked : ImportOutcome::Result::Imported;
    }
    return outcome;
}

std::optional<QList<QStringList>> ReferenceImportKind::exportRows(Transaction &tr, QString *error)
{
    ReferenceReader reader(tr);
    const std::optional<QList<RefRow>> stored = reader.load(m_kind);
    if (!stored) {
        *error = reader.error();
        return std::nullopt;
    }
    const QList<ImportColumn> columns = exportedColumns();
    QList<QStringList> rows;
    rows.reserve(stored->size());
    for (const RefRow &row : *stored) {
        const QList<RefValues> lines = row.stones.isEmpty() ? QList<RefValues>{RefValues()} : row.stones;
        for (const RefValues &stone : lines) {
            QStringList cells;
            cells.reserve(columns.size());
            for (const ImportColumn &c : columns)
                cells << (m_kind.field(c.name) ? row.values.value(c.name) : stone.value(c.name));
            rows.append(cells);
        }
    }
    return rows;
}

} // namespace wip::reference
