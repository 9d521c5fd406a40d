#include "contracts/contractimportkind.h"

#include "contracts/contractlinerules.h"
#include "database/closeddays.h"
#include "desk/deskdepartment.h"
#include "import/importkinds.h"
#include "import/recordgrouper.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"
#include "runtime/values.h"

#include <QRegularExpression>

namespace wip {

namespace {

using import::ImportColumn;
using import::ImportOutcome;
using import::ImportProblem;
using import::ImportTable;

const QString kScno = QStringLiteral("scno");
const QString kLineNo = QStringLiteral("line_no");

struct HeaderColumn
{
    const char *column;
    const char *caption;
};
const HeaderColumn kHeaderColumns[] = {{"scno", "KCNO"},
                                       {"cust_no", "客户编号 Customer"},
                                       {"cust_order", "客单编号 Customer order"},
                                       {"issdate", "接单日期 Order date"},
                                       {"deldate", "订单货期 Delivery date"},
                                       {"line_no", "行号 Line"}};

// A line field's caption in files: the form's, and the English word.
QString captionOf(const LineField &f)
{
    static const QHash<QString, QString> english{
        {"design_no", "Design"},  {"article_code", "Article"}, {"metal", "Metal"},
        {"size", "Size"},         {"finding", "Finding"},      {"rhodium", "Rhodium"},
        {"quantity", "Pieces"},   {"metal_netwt", "Net weight"}, {"hallmark", "Hallmark"},
        {"unit_labprice", "Labour price"}, {"remarks", "Remarks"}};
    return f.caption + QLatin1Char(' ') + english.value(f.column);
}

QStringList lineColumns()
{
    QStringList list{kLineNo};
    for (const LineField &f : LineField::all())
        list << f.column;
    return list;
}

QString dateCell(const QVariant &value)
{
    const QVariant v = fromDbValue(value, ColumnKind::DateTime);
    return v.isNull() ? QString() : values::dateText(v.toDateTime().date());
}

// Why a contract's own fields will not do: the customer and both dates given,
// the delivery not before the order. badDates: dates given that are no dates
// (said already).
QList<QPair<QString, QString>> headerProblems(const ContractHeader &h, const QStringList &badDates)
{
    QList<QPair<QString, QString>> list;
    if (h.custNo.isEmpty())
        list.append({"cust_no", QStringLiteral("必须填写")});
    for (const auto &[column, date] : {std::pair<QString, QDate>{"issdate", h.issdate}, {"deldate", h.deldate}}) {
        if (!date.isValid() && !badDates.contains(column))
            list.append({column, QStringLiteral("必须填写, 写成 YYYY-MM-DD")});
    }
    if (h.issdate.isValid() && h.deldate.isValid() && h.deldate < h.issdate)
        list.append({"deldate", QStringLiteral("订单货期不能早于接单日期!")});
    return list;
}

} // namespace

void ContractImportKind::add()
{
    import::ImportKinds::add(std::make_unique<ContractImportKind>());
}

QList<ImportColumn> ContractImportKind::columns() const
{
    QList<ImportColumn> list;
    for (const HeaderColumn &h : kHeaderColumns) {
        ImportColumn c;
        c.name = QString::fromLatin1(h.column);
        c.caption = QString::fromUtf8(h.caption);
        c.required = c.name == kScno;
        c.places = c.name == kLineNo ? 0 : ImportColumn::kText;
        list << c;
    }
    for (const LineField &f : LineField::all()) {
        ImportColumn c;
        c.name = f.column;
        c.caption = captionOf(f);
        c.places = f.kind == LineField::Kind::Pieces ? 0
            : f.kind == LineField::Kind::Weight      ? 3
            : f.kind == LineField::Kind::Money       ? -1
                                                     : ImportColumn::kText;
        list << c;
    }
    return list;
}

QStringList ContractImportKind::example() const
{
    const QHash<QString, QString> values{
        {"scno", "KC2401"},        {"cust_no", "C001"},      {"cust_order", "PO-2026-01"}, {"issdate", "2026-05-04"},
        {"deldate", "2026-06-15"}, {"line_no", "1"},         {"design_no", "D2401"},       {"article_code", "R2401"},
        {"metal", "18KY"},         {"size", "12"},           {"finding", "耳迫"},          {"rhodium", "白"},
        {"quantity", "10"},        {"metal_netwt", "25.5"},  {"hallmark", "750"},          {"unit_labprice", "35"},
        {"remarks", "示例 example"}};
    QStringList row;
    for (const ImportColumn &c : columns())
        row << values.value(c.name);
    return row;
}

ContractImportKind::Draft ContractImportKind::draft(const ImportTable &table, const QList<int> &rows,
                                                    QList<ImportProblem> *problems) const
{
    Draft d;
    const import::ImportRow &first = table.rows.at(rows.first());
    d.line = first.line;
    d.header.scno = table.value(first, kScno).trimmed();
    d.header.custNo = table.value(first, "cust_no").trimmed();
    d.header.custOrder = table.value(first, "cust_order").trimmed();
    for (const char *column : {"issdate", "deldate"}) {
        const QString text = table.value(first, column).trimmed();
        const std::optional<QDate> date = values::parseDate(text);
        if (!text.isEmpty() && !date) {
            problems->append({d.line, table.caption(column), QStringLiteral("%1 不是日期, 写成 YYYY-MM-DD").arg(text)});
            d.badDates << QString::fromLatin1(column);
        }
        (QLatin1String(column) == QLatin1String("issdate") ? d.header.issdate : d.header.deldate) = date.value_or(QDate());
    }
    // The table's column of each line field, found once: the file has the columns it has.
    QList<int> fields;
    for (const LineField &f : LineField::all())
        fields << (table.has(f.column) ? table.index(f.column) : -1);
    const int numberColumn = table.index(kLineNo);
    QHash<int, int> numbers;   // a line number -> the file's line giving it
    for (const int r : rows) {
        const import::ImportRow &row = table.rows.at(r);
        ContractLine line;
        bool given = false;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (fields.at(i) < 0)
                continue;
            const QString &text = row.values.at(fields.at(i));
            line.texts.insert(LineField::all().at(i).column, text);
            given = given || !text.trimmed().isEmpty();
        }
        const QString number = row.values.value(numberColumn).trimmed();
        if (!given && number.isEmpty())
            continue;   // a row of the contract alone
        bool ok = number.isEmpty();
        line.lineNo = ok ? 0 : number.toInt(&ok);
        if (!ok || line.lineNo < 0)
            problems->append({row.line, table.caption(kLineNo), QStringLiteral("%1 不是行号 (a whole number above 0)").arg(number)});
        else if (line.lineNo > 0 && numbers.contains(line.lineNo))
            problems->append({row.line, table.caption(kLineNo),
                              QStringLiteral("%1 的第 %2 行与第 %3 行重复").arg(d.header.scno).arg(line.lineNo).arg(numbers.value(line.lineNo))});
        if (line.lineNo > 0)
            numbers.insert(line.lineNo, row.line);
        d.lines.append(line);
        d.lineRows.append(row.line);
    }
    return d;
}

bool ContractImportKind::readLookups(Transaction &tr, Lookups *lookups) const
{
    const auto read = [&tr](const QString &sql, const std::function<void(const QVariantList &)> &take) {
        Cursor c(tr, sql);
        if (!c.open())
            return false;
        while (const auto row = c.fetch())
            take(*row);
        const bool ok = tr.sqlCode == 100;
        c.close();
        return ok;
    };
    return read(QStringLiteral("select scno from sconh"),
                [&](const QVariantList &r) {
                    lookups->contracts.insert(r.at(0).toString().trimmed().toCaseFolded(), r.at(0).toString());
                })
        && read(QStringLiteral("select article_code, coalesce(active, 1) from article"),
                [&](const QVariantList &r) { lookups->articles.insert(r.at(0).toString(), r.at(1).toInt() != 0); })
        && read(QStringLiteral("select mcode, coalesce(active, 1) from material where mtype in ('GOLD', 'PT')"),
                [&](const QVariantList &r) { lookups->metals.insert(r.at(0).toString(), r.at(1).toInt() != 0); });
}

void ContractImportKind::checkNew(const Draft &d, const Lookups &lookups, QList<ImportProblem> *problems) const
{
    const QList<ImportColumn> list = columns();
    const auto caption = [&list](const QString &name) {
        for (const ImportColumn &c : list) {
            if (c.name == name)
                return c.caption;
        }
        return name;
    };
    if (d.header.scno.isEmpty())
        problems->append({d.line, caption(kScno), QStringLiteral("必须填写")});
    for (const auto &[column, reason] : headerProblems(d.header, d.badDates))
        problems->append({d.line, caption(column), reason});
    const auto state = [&lookups](LineField::Kind kind, const QString &code) {
        const QHash<QString, bool> &codes = kind == LineField::Kind::Article ? lookups.articles : lookups.metals;
        const auto it = codes.constFind(code);
        if (it == codes.cend())
            return ContractLineRules::Code::Unknown;
        return *it ? ContractLineRules::Code::Known : ContractLineRules::Code::Inactive;
    };
    for (const QString &p : ContractLineRules::checkFields(d.lines) + ContractLineRules::checkCodes(d.lines, state))
        problems->append(problemAt(d, p));
}

ImportProblem ContractImportKind::problemAt(const Draft &d, const QString &text)
{
    static const QRegularExpression named(QStringLiteral("^(新增)?第 (\\d+) 行 ?(.*)$"));
    static const QRegularExpression field(QStringLiteral("^(\\S+): (.*)$"));
    int line = d.line;
    QString rest = text;
    if (const QRegularExpressionMatch m = named.match(text); m.hasMatch()) {
        const bool added = !m.captured(1).isEmpty();
        const int n = m.captured(2).toInt();
        rest = m.captured(3);
        int k = 0;
        for (qsizetype i = 0; i < d.lines.size(); ++i) {
            const ContractLine &l = d.lines.at(i);
            if (added ? (l.isNew() && ++k == n) : (!l.isNew() && l.lineNo == n)) {
                line = d.lineRows.value(i, d.line);
                break;
            }
        }
    }
    if (const QRegularExpressionMatch m = field.match(rest); m.hasMatch()) {
        for (const LineField &f : LineField::all()) {
            if (f.caption == m.captured(1))
                return {line, captionOf(f), m.captured(2)};
        }
    }
    return {line, QString(), rest};
}

std::optional<QList<QStringList>> ContractImportKind::exportRows(Transaction &tr, QString *error)
{
    QStringList fields;
    for (const LineField &f : LineField::all())
        fields << QStringLiteral("d.") + f.column;
    Cursor c(tr, QStringLiteral("select h.scno, h.cust_no, h.cust_order, h.issdate, h.deldate, d.line_no, %1 "
                                "from sconh h left join scond d on d.scno = h.scno order by h.scno, d.line_no, d.scond_id")
                     .arg(fields.join(QStringLiteral(", "))));
    if (!c.open()) {
        *error = tr.sqlErrText;
        return std::nullopt;
    }
    QList<QStringList> rows;
    while (const auto row = c.fetch()) {
        QStringList cells{row->at(0).toString(), row->at(1).toString(), row->at(2).toString(), dateCell(row->at(3)),
                          dateCell(row->at(4)), row->at(5).isNull() ? QString() : QString::number(row->at(5).toLongLong())};
        for (qsizetype i = 0; i < LineField::all().size(); ++i)
            cells << ContractSave::shownValue(LineField::all().at(i), row->at(6 + i));
        rows.append(cells);
    }
    const bool ok = tr.sqlCode == 100;
    if (!ok)
        *error = tr.sqlErrText;
    c.close();
    return ok ? std::optional<QList<QStringList>>(rows) : std::nullopt;
}

ImportOutcome ContractImportKind::import(Transaction &tr, ImportTable table, const import::ImportOptions &options)
{
    ImportOutcome outcome;
    const QList<import::ImportRecord> records = import::RecordGrouper::group(table, kScno, lineColumns(), &outcome.problems);
    TransactionGuard guard(tr);
    Lookups lookups;
    if (!guard.active() || !readLookups(tr, &lookups)) {
        outcome.error = tr.sqlErrText;
        return outcome;
    }
    // Contracts enter production at 唧蜡, whose bags come from their lines: an
    // import counts there, on the day it is made.
    if (const QString closed = ClosedDays::refusal(tr, DeskDepartment::first().caption, QDateTime::currentDateTime());
        !closed.isEmpty()) {
        guard.rollback();
        outcome.problems.append({0, QString(), closed});
        outcome.result = ImportOutcome::Result::Refused;
        return outcome;
    }
    QList<NewContract> added;
    for (const import::ImportRecord &r : records) {
        Draft d = draft(table, r.rows, &outcome.problems);
        const auto stored = lookups.contracts.constFind(d.header.scno.toCaseFolded());
        if (d.header.scno.isEmpty() || stored == lookups.contracts.cend()) {
            checkNew(d, lookups, &outcome.problems);
            added.append({d.header, d.lines});
        } else if (!options.update) {
            outcome.problems.append({d.line, QStringLiteral("KCNO"),
                                     QStringLiteral("%1 已有 (already there); 要更新已有的合约, 用 --update 导入").arg(*stored)});
        } else {
            d.header.scno = *stored;
            if (!update(tr, std::move(d), table, options, &outcome)) {
                guard.rollback();
                return outcome;
            }
        }
    }
    table.rows = QList<import::ImportRow>();   // the drafts hold the cells now
    if (!outcome.problems.isEmpty()) {
        guard.rollback();
        outcome.result = ImportOutcome::Result::Refused;
        outcome.updated = outcome.unchanged = 0;
        return outcome;
    }
    // A dry run has checked the new contracts; the updates it has made go back.
    if (!options.dryRun && !ContractBulkWriter(tr, {options.user, options.source}).write(added)) {
        outcome.error = tr.sqlErrText;
        guard.rollback();
        return outcome;
    }
    outcome.added = int(added.size());
    if (options.dryRun) {
        guard.rollback();
        outcome.result = ImportOutcome::Result::Checked;
    } else if (guard.commit()) {
        outcome.result = ImportOutcome::Result::Imported;
    } else {
        outcome.error = tr.sqlErrText;
        outcome.added = outcome.updated = outcome.unchanged = 0;
    }
    return outcome;
}

bool ContractImportKind::update(Transaction &tr, Draft d, const ImportTable &table, const import::ImportOptions &options,
                                ImportOutcome *outcome) const
{
    AuditLog::Record before;
    Draft merged;
    merged.line = d.line;
    if (!ContractSave::readLines(tr, d.header.scno, &merged.lines) || !AuditLog::readHeader(tr, d.header.scno, &before)) {
        outcome->error = tr.sqlErrText;
        return false;
    }
    merged.lineRows = QList<int>(merged.lines.size(), d.line);
    ContractHeader &h = merged.header;
    h = {d.header.scno, before.value("cust_no").toString(), before.value("cust_order").toString(),
         before.value("issdate").toDateTime().date(), before.value("deldate").toDateTime().date()};
    const ContractHeader was = h;
    h.custNo = table.has("cust_no") ? d.header.custNo : h.custNo;
    h.custOrder = table.has("cust_order") ? d.header.custOrder : h.custOrder;
    h.issdate = table.has("issdate") ? d.header.issdate : h.issdate;
    h.deldate = table.has("deldate") ? d.header.deldate : h.deldate;
    bool changed = h.custNo != was.custNo || h.custOrder != was.custOrder || h.issdate != was.issdate
        || h.deldate != was.deldate;
    const qsizetype problems = outcome->problems.size();
    for (const auto &[column, reason] : headerProblems(h, d.badDates))
        outcome->problems.append({d.line, table.caption(column), reason});
    for (qsizetype i = 0; i < d.lines.size(); ++i) {
        const ContractLine &given = d.lines.at(i);
        qsizetype at = merged.lines.size();
        for (qsizetype j = 0; given.lineNo > 0 && j < merged.lines.size(); ++j)
            at = merged.lines.at(j).lineNo == given.lineNo ? j : at;
        if (given.lineNo > 0 && at == merged.lines.size()) {
            outcome->problems.append({d.lineRows.at(i), table.caption(kLineNo),
                                      QStringLiteral("合约 %1 没有第 %2 行").arg(h.scno).arg(given.lineNo)});
            continue;
        }
        if (given.lineNo == 0) {
            merged.lines.append(given);
            merged.lineRows.append(d.lineRows.at(i));
            continue;
        }
        for (auto it = given.texts.cbegin(); it != given.texts.cend(); ++it)
            merged.lines[at].setText(it.key(), it.value());
        merged.lineRows[at] = d.lineRows.at(i);
    }
    if (outcome->problems.size() > problems)
        return true;
    for (const ContractLine &l : std::as_const(merged.lines))
        changed = changed || l.state != ContractLine::State::Stored;
    ContractSave save(tr, {options.user, options.source}, Right::ContractAdd | Right::ContractEdit);
    switch (save.save(false, h, &merged.lines)) {
    case ContractSave::Result::Refused:
        for (const QString &p : save.problems())
            outcome->problems.append(problemAt(merged, p));
        return true;
    case ContractSave::Result::Failed:
        outcome->error = save.problems().join(QLatin1Char('\n'));
        return false;
    case ContractSave::Result::Saved:
        break;
    }
    (changed ? outcome->updated : outcome->unchanged) += 1;
    return true;
}

} // namespace wip
