#include "reference/referencewriter.h"

#include "reference/fieldtext.h"
#include "reference/referencerights.h"
#include "reference/referencevalidator.h"
#include "reference/stylepicture.h"
#include "database/batchinserter.h"
#include "runtime/decimal.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"
#include "runtime/values.h"

#include <QFileInfo>

namespace wip::reference {

namespace {

using Change = RefRow::Change;


QString stoneRowKey(const RefValues &s)
{
    return s.value(QStringLiteral("stone_code")) + QLatin1Char('/') + s.value(QStringLiteral("settype_code"));
}

// A style's stone lines as a save compares them: each line's stone, setting
// method and canonical stones per piece, in one order.
QStringList stoneLines(const QList<RefValues> &stones)
{
    QStringList lines;
    for (const RefValues &s : stones)
        lines << stoneRowKey(s) + QLatin1Char('*')
                + FieldText::canonical(RefKind::stoneFields().at(2), s.value(QStringLiteral("qtycal")));
    lines.sort();
    return lines;
}

QVariantList asVariants(const QStringList &texts)
{
    QVariantList list;
    for (const QString &t : texts)
        list << t;
    return list;
}

} // namespace

QString SaveOutcome::problemText(int limit) const
{
    QStringList lines;
    for (const RefProblem &p : problems) {
        if (lines.size() == limit) {
            lines << QStringLiteral("... 还有 %1 处").arg(problems.size() - limit);
            break;
        }
        lines << p.text();
    }
    return lines.join(QLatin1Char('\n'));
}

ReferenceWriter::ReferenceWriter(Transaction &tr, const RefKind &kind, ReferenceAudit::Source who)
    : m_tr(tr)
    , m_kind(kind)
    , m_who(std::move(who))
{
}

ReferenceWriter::~ReferenceWriter() = default;

SaveOutcome ReferenceWriter::save(QList<RefRow> rows, const SaveOptions &options)
{
    SaveOutcome outcome;
    m_audit.reset();
    m_pictures.clear();
    if (!options.rightChecked && !ReferenceRights::mayEdit(m_who.user)) {
        outcome.problems.append({0, QString(), QString(), ReferenceRights::refusal(m_who.user)});
        return outcome;
    }
    TransactionGuard guard(m_tr);
    const auto fail = [&](const QString &error) {
        outcome.error = error;
        outcome.added = outcome.edited = outcome.deleted = 0;
        m_pictures.clear();   // the staged copies go; the folder stays as it was
        m_audit.reset();
        guard.rollback();
        return outcome;
    };
    if (!guard.active())
        return fail(m_tr.sqlErrText);
    // The checks read inside the transaction that writes, so that they see what
    // is written.
    ReferenceValidator validator(m_tr, m_kind);
    const std::optional<QList<RefProblem>> problems = validator.validate(std::move(rows));
    if (!problems)
        return fail(validator.error());
    if (!problems->isEmpty()) {
        outcome.problems = *problems;
        return fail(QString());
    }
    if (options.checkOnly) {
        countChanges(validator.rows(), outcome);
        guard.rollback();
        return outcome;
    }
    m_audit = std::make_unique<ReferenceAudit>(m_tr, m_who);
    const QList<RefRow> checked = stamped(validator.rows());
    if (!stagePictures(checked, outcome))
        return fail(QString());
    if (!write(checked, outcome) || !m_audit->finish())
        return fail(outcome.problems.isEmpty() ? m_tr.sqlErrText : QString());
    for (const auto &picture : m_pictures) {
        if (!picture->commit())
            return fail(picture->message());
    }
    if (!guard.commit())
        return fail(m_tr.sqlErrText);
    m_pictures.clear();
    outcome.saved = true;
    return outcome;
}

// Rows of a kind that keeps who saved them and when: each row added or changed
// gets the user and this moment.
QList<RefRow> ReferenceWriter::stamped(QList<RefRow> rows) const
{
    if (m_kind.stampUser.isEmpty() && m_kind.stampTime.isEmpty())
        return rows;
    const QDateTime now = QDateTime::currentDateTime();
    const QString at = values::dateTimeText(now.addMSecs(-now.time().msec()));
    for (RefRow &row : rows) {
        if (row.change != Change::Added && !(row.change == Change::Edited && changes(row)))
            continue;
        if (!m_kind.stampUser.isEmpty())
            row.values.insert(m_kind.stampUser, m_who.user);
        if (!m_kind.stampTime.isEmpty())
            row.values.insert(m_kind.stampTime, at);
    }
    return rows;
}

void ReferenceWriter::countChanges(const QList<RefRow> &rows, SaveOutcome &outcome) const
{
    for (const RefRow &row : rows) {
        outcome.added += row.change == Change::Added ? 1 : 0;
        outcome.deleted += row.change == Change::Deleted ? 1 : 0;
        outcome.edited += row.change == Change::Edited && changes(row) ? 1 : 0;
    }
}

bool ReferenceWriter::changes(const RefRow &row) const
{
    for (const RefKind::Field &f : m_kind.columnFields()) {
        if (FieldText::canonical(f, row.value(f.name)) != FieldText::canonical(f, row.original.value(f.name)))
            return true;
    }
    return !row.value(kPictureFile).trimmed().isEmpty()
        || (m_kind.hasStones && stoneLines(row.stones) != stoneLines(row.originalStones));
}

bool ReferenceWriter::stagePictures(const QList<RefRow> &rows, SaveOutcome &outcome)
{
    const RefKind::Field *file = m_kind.field(kPictureFile);
    for (const RefRow &row : rows) {
        const QString source = row.value(kPictureFile).trimmed();
        if (!file || source.isEmpty() || (row.change != Change::Added && row.change != Change::Edited))
            continue;
        auto picture = std::make_unique<StylePicture>(source, row.value(kPictureName));
        if (!picture->stage()) {
            outcome.problems.append({row.line, file->name, file->caption, picture->message()});
            return false;
        }
        m_audit->add({m_kind.table, row.value(m_kind.keyField), kPictureFile,
                     row.original.value(kPictureName, QString()), QFileInfo(source).fileName()});
        m_pictures.push_back(std::move(picture));
    }
    return true;
}

// Deleted rows first, so that a code deleted and given again in one save is free.
bool ReferenceWriter::write(const QList<RefRow> &rows, SaveOutcome &outcome)
{
    for (const RefRow &row : rows) {
        if (row.change == Change::Deleted && !deleteRow(row))
            return false;
        outcome.deleted += row.change == Change::Deleted ? 1 : 0;
    }
    for (const RefRow &row : rows) {
        if (row.change == Change::Edited && !updateRow(row, outcome))
            return false;
    }
    return insertRows(rows, outcome);
}

// The added rows, their stone lines and the stones a piece needs, each table's
// rows in batches; the audit rows are written with the others (m_audit).
bool ReferenceWriter::insertRows(const QList<RefRow> &rows, SaveOutcome &outcome)
{
    const QList<RefKind::Field> fields = m_kind.columnFields();
    QStringList columns;
    for (const RefKind::Field &f : fields)
        columns << f.name;
    QVariantList fixed;
    for (const auto &[column, value] : m_kind.fixedValues) {
        columns << column;
        fixed << value;
    }
    const QSqlDatabase db = m_tr.database();
    BatchInserter table(db, m_tr.kind(), m_kind.table, columns);
    BatchInserter stones(db, m_tr.kind(), QStringLiteral("artsd"),
                         {QStringLiteral("article_code"), QStringLiteral("stone_code"), QStringLiteral("settype_code"),
                          QStringLiteral("qtycal")});
    BatchInserter need(db, m_tr.kind(), QStringLiteral("stoneneed"),
                       {QStringLiteral("article_code"), QStringLiteral("stoneneed")});
    for (const RefRow &row : rows) {
        if (row.change != Change::Added)
            continue;
        QVariantList values;
        values.reserve(columns.size());
        for (const RefKind::Field &f : fields)
            values << FieldText::toDb(f, row.value(f.name));
        if (!table.add(values + fixed))
            return batchFailed(table.error());
        const QString article = row.value(m_kind.keyField);
        auditRow(article, {}, row.values);
        ++outcome.added;
        if (!m_kind.hasStones || row.stones.isEmpty())
            continue;
        Decimal total = Decimal::fromInt(0);
        for (const RefValues &s : row.stones) {
            const Decimal perPiece = values::parseNumber(s.value(QStringLiteral("qtycal"))).value_or(Decimal::fromInt(0));
            total += perPiece;
            if (!stones.add({article, s.value(QStringLiteral("stone_code")), s.value(QStringLiteral("settype_code")),
                             perPiece.normalized().toVariant()}))
                return batchFailed(stones.error());
            for (const RefKind::Field &f : RefKind::stoneFields())
                m_audit->add({QStringLiteral("artsd"), article + QLatin1Char('/') + stoneRowKey(s), f.name, QString(),
                             FieldText::canonical(f, s.value(f.name))});
        }
        if (!need.add({article, total.normalized().toVariant()}))
            return batchFailed(need.error());
    }
    if (!table.flush())
        return batchFailed(table.error());
    if (!stones.flush())
        return batchFailed(stones.error());
    return need.flush() || batchFailed(need.error());
}

bool ReferenceWriter::batchFailed(const QString &error)
{
    m_tr.statementFailed(error);
    return false;
}

bool ReferenceWriter::updateRow(const RefRow &row, SaveOutcome &outcome)
{
    QStringList sets;
    QVariantList values;
    QStringList where{m_kind.keyField + QStringLiteral(" = ?")};
    QVariantList keys{row.original.value(m_kind.keyField)};
    for (const RefKind::Field &f : m_kind.columnFields()) {
        if (f.name == m_kind.keyField)
            continue;
        if (FieldText::canonical(f, row.value(f.name)) != FieldText::canonical(f, row.original.value(f.name))) {
            sets << f.name + QStringLiteral(" = ?");
            values << FieldText::toDb(f, row.value(f.name));
        }
        // A code listed more than once (a process) is told apart by the rest of its row.
        if (!m_kind.canAdd) {
            where << QStringLiteral("coalesce(%1, '') = ?").arg(f.name);
            keys << row.original.value(f.name);
        }
    }
    const bool stonesChanged = m_kind.hasStones && stoneLines(row.stones) != stoneLines(row.originalStones);
    if (sets.isEmpty() && !stonesChanged)
        return true;
    if (!sets.isEmpty()) {
        const QString sql = QStringLiteral("update %1 set %2 where %3")
                                .arg(m_kind.table, sets.join(QStringLiteral(", ")), where.join(QStringLiteral(" and ")));
        if (!m_tr.execute(sql, values + keys))
            return false;
        if (m_tr.sqlNRows == 0) {
            const RefKind::Field &key = m_kind.key();
            outcome.problems.append({row.line, key.name, key.caption,
                                     QStringLiteral("%1 已被别人修改或删除, 请重新读取").arg(keys.first().toString())});
            return false;
        }
        auditRow(row.original.value(m_kind.keyField), row.original, row.values);
    }
    ++outcome.edited;
    return !m_kind.hasStones || writeStones(row);
}

bool ReferenceWriter::deleteRow(const RefRow &row)
{
    const QString code = row.original.value(m_kind.keyField);
    if (m_kind.hasStones) {
        const QList<RefValues> none;
        RefRow emptied = row;
        emptied.stones = none;
        if (!writeStones(emptied) || !m_tr.execute(QStringLiteral("delete from stoneneed where article_code = ?"), {code}))
            return false;
    }
    if (!m_tr.execute(QStringLiteral("delete from %1 where %2 = ?").arg(m_kind.table, m_kind.keyField), {code}))
        return false;
    auditRow(code, row.original, {});
    return true;
}

// A style's stone lines: those gone deleted, new ones added, changed numbers
// of stones per piece updated; then the stones one piece needs in all.
bool ReferenceWriter::writeStones(const RefRow &row)
{
    const QString article = row.change == Change::Added ? row.value(m_kind.keyField) : row.original.value(m_kind.keyField);
    QHash<QString, RefValues> before;
    for (const RefValues &s : row.originalStones)
        before.insert(stoneRowKey(s), s);
    const QString table = QStringLiteral("artsd");
    bool changedAny = false;
    for (const RefValues &s : row.stones) {
        const QString key = stoneRowKey(s);
        const RefValues old = before.take(key);
        const QStringList ids{article, s.value(QStringLiteral("stone_code")), s.value(QStringLiteral("settype_code"))};
        const QVariant perPiece = values::parseNumber(s.value(QStringLiteral("qtycal")))->normalized().toVariant();
        if (old.isEmpty()) {
            if (!m_tr.execute(QStringLiteral("insert into artsd (article_code, stone_code, settype_code, qtycal) "
                                             "values (?, ?, ?, ?)"),
                              asVariants(ids) << perPiece))
                return false;
        } else if (FieldText::canonical(RefKind::stoneFields().at(2), old.value(QStringLiteral("qtycal")))
                   != FieldText::canonical(RefKind::stoneFields().at(2), s.value(QStringLiteral("qtycal")))) {
            if (!m_tr.execute(QStringLiteral("update artsd set qtycal = ? where article_code = ? and stone_code = ? "
                                             "and settype_code = ?"),
                              QVariantList{perPiece} + asVariants(ids)))
                return false;
        } else {
            continue;
        }
        changedAny = true;
        for (const RefKind::Field &f : RefKind::stoneFields()) {
            const QString was = old.isEmpty() ? QString() : FieldText::canonical(f, old.value(f.name));
            const QString now = FieldText::canonical(f, s.value(f.name));
            if (was != now)
                m_audit->add({table, article + QLatin1Char('/') + key, f.name, was, now});
        }
    }
    for (const RefValues &gone : std::as_const(before)) {
        if (!m_tr.execute(QStringLiteral("delete from artsd where article_code = ? and stone_code = ? and "
                                         "settype_code = ?"),
                          {article, gone.value(QStringLiteral("stone_code")), gone.value(QStringLiteral("settype_code"))}))
            return false;
        changedAny = true;
        for (const RefKind::Field &f : RefKind::stoneFields())
            m_audit->add({table, article + QLatin1Char('/') + stoneRowKey(gone), f.name, FieldText::canonical(f, gone.value(f.name)),
                         QString()});
    }
    return !changedAny || row.change == Change::Deleted || writeStoneNeed(article, row.stones);
}

bool ReferenceWriter::writeStoneNeed(const QString &article, const QList<RefValues> &stones)
{
    if (!m_tr.execute(QStringLiteral("delete from stoneneed where article_code = ?"), {article}))
        return false;
    if (stones.isEmpty())
        return true;
    Decimal need = Decimal::fromInt(0);
    for (const RefValues &s : stones)
        need += values::parseNumber(s.value(QStringLiteral("qtycal"))).value_or(Decimal::fromInt(0));
    return m_tr.execute(QStringLiteral("insert into stoneneed (article_code, stoneneed) values (?, ?)"),
                        {article, need.normalized().toVariant()});
}

// One entry per field whose value differs; a row added or deleted has the
// values it had or has against none.
void ReferenceWriter::auditRow(const QString &key, const RefValues &before, const RefValues &after)
{
    for (const RefKind::Field &f : m_kind.columnFields()) {
        // An empty field is kept as none (NULL), as an added or deleted row's other side.
        const QString was = before.isEmpty() ? QString() : FieldText::canonical(f, before.value(f.name));
        const QString now = after.isEmpty() ? QString() : FieldText::canonical(f, after.value(f.name));
        if (was != now)
            m_audit->add({m_kind.table, key, f.name, was.isEmpty() ? QString() : was, now.isEmpty() ? QString() : now});
    }
}

} // namespace wip::reference
