#include "reference/referencevalidator.h"

#include "reference/fieldtext.h"
#include "reference/fineness.h"
#include "reference/stylepicture.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace wip::reference {

namespace {

using F = RefKind::FieldType;
using Change = RefRow::Change;

const QString kPlaceholderStone = QStringLiteral("INIST");

bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

// The key of a stone line: the stone and its setting method.
QString stoneKey(const RefValues &stone)
{
    return stone.value(QStringLiteral("stone_code")).trimmed().toLower() + QLatin1Char('\n')
        + stone.value(QStringLiteral("settype_code")).trimmed().toLower();
}

bool changed(const RefKind::Field &field, const RefRow &row)
{
    return row.change == Change::Added
        || FieldText::canonical(field, row.values.value(field.name))
               != FieldText::canonical(field, row.original.value(field.name));
}

} // namespace

ReferenceValidator::ReferenceValidator(Transaction &tr, const RefKind &kind)
    : m_tr(tr)
    , m_kind(kind)
    , m_reader(tr)
{
}

std::optional<QList<RefProblem>> ReferenceValidator::validate(QList<RefRow> rows)
{
    m_rows = std::move(rows);
    m_problems.clear();
    m_error.clear();
    if (!readLookups())
        return std::nullopt;
    for (RefRow &row : m_rows) {
        checkChange(row);
        if (row.change != Change::Added && row.change != Change::Edited)
            continue;
        checkFields(row);
        if (m_kind.name == QLatin1String("metals"))
            checkMetal(row);
        if (m_kind.name == QLatin1String("allowances"))
            checkAllowance(row);
        if (m_kind.name == QLatin1String("recoveries"))
            checkRecovery(row);
        if (!m_kind.keyParts.isEmpty())
            makeKey(row);
        if (m_kind.hasStones) {
            checkPicture(row);
            checkStones(row);
        }
    }
    if (!checkUnique() || !checkPictureNames() || !checkDeletions())
        return std::nullopt;
    std::stable_sort(m_problems.begin(), m_problems.end(),
                     [](const RefProblem &a, const RefProblem &b) { return a.line < b.line; });
    return m_problems;
}

bool ReferenceValidator::readLookups()
{
    m_lookups.clear();
    QList<RefKind::Field> fields = m_kind.fields;
    if (m_kind.hasStones)
        fields += RefKind::stoneFields();
    for (const RefKind::Field &f : fields) {
        if (f.type == F::Reference && !m_lookups.contains(f.refKind) && !readLookup(f.refKind))
            return false;
    }
    // An allowance names a metal code or a family.
    if (m_kind.name == QLatin1String("allowances") && !m_lookups.contains(QStringLiteral("metals")))
        return readLookup(QStringLiteral("metals"));
    return true;
}

bool ReferenceValidator::readLookup(const QString &kindName)
{
    const std::optional<QMap<QString, bool>> codes = m_reader.codes(RefKind::get(kindName));
    if (!codes) {
        m_error = m_reader.error();
        return false;
    }
    Lookup lookup;
    lookup.active = *codes;
    for (auto it = codes->cbegin(); it != codes->cend(); ++it)
        lookup.byLowerCase.insert(it.key().trimmed().toLower(), it.key());
    m_lookups.insert(kindName, lookup);
    return true;
}

void ReferenceValidator::add(const RefRow &row, const RefKind::Field &field, const QString &reason, int stone)
{
    m_problems.append({row.line, field.name, field.caption, reason, stone});
}

// What may change at all: the codes of saved rows never; rows of the process
// and stock codes are neither added nor deleted, and only their names change.
void ReferenceValidator::checkChange(const RefRow &row)
{
    const RefKind::Field &key = m_kind.key();
    if (!m_kind.canAdd && row.change == Change::Added)
        add(row, key, QStringLiteral("不能增加: 这些代码是报表使用的键, 只能改名称"));
    if (!m_kind.canAdd && row.change == Change::Deleted)
        add(row, key, QStringLiteral("不能删除: 这些代码是报表使用的键"));
    if (row.change != Change::Edited)
        return;
    for (const RefKind::Field &f : m_kind.columnFields()) {
        if ((f.type == F::Code || !f.editable) && changed(f, row))
            add(row, f,
                QStringLiteral("已保存的代码不能修改 (原为 %1); 请增加新代码, 停用旧代码").arg(row.original.value(f.name)));
    }
}

void ReferenceValidator::checkFields(RefRow &row)
{
    for (const RefKind::Field &f : m_kind.fields) {
        if (f.type == F::PictureFile || (f.type == F::Code && row.change != Change::Added) || !f.editable)
            continue;
        QString value = row.values.value(f.name);
        const QString reason = fieldProblem(f, value, changed(f, row));
        if (!reason.isEmpty())
            add(row, f, reason);
        else if (row.values.contains(f.name) || !value.isEmpty())
            row.values.insert(f.name, value);
    }
}

// Why value is no value of the field, or empty; value is put in the spelling
// it is written with. newValue: the row is new or the value changed.
QString ReferenceValidator::fieldProblem(const RefKind::Field &field, QString &value, bool newValue)
{
    if (const QString problem = textProblem(field, value); !problem.isEmpty())
        return problem;
    value = value.trimmed();
    if (value.isEmpty())
        return field.required ? QStringLiteral("必须填写") : QString();
    switch (field.type) {
    case F::Decimal: {
        if (field.name == QLatin1String("purate"))
            return Fineness::purityProblem(value);
        const std::optional<Decimal> d = values::parseNumber(value);
        if (!d || !d->isValid())
            return QStringLiteral("%1 不是数字").arg(value);
        if (d->normalized().scale() > 3)
            return QStringLiteral("%1 多于 3 位小数").arg(value);
        return d->sign() < 0 ? QStringLiteral("%1 不能小于 0").arg(value) : QString();
    }
    case F::Choice:
        for (const QString &choice : field.choices) {
            if (choice.compare(value, Qt::CaseInsensitive) == 0) {
                value = choice;
                return QString();
            }
        }
        return QStringLiteral("%1 不是 %2 之一").arg(value, field.choices.join(QStringLiteral(", ")));
    case F::Reference:
        return referenceProblem(field, value, newValue);
    case F::Active:
        return FieldText::active(value) ? QString() : QStringLiteral("%1: 写 1 (使用中) 或 0 (停用)").arg(value);
    case F::Date: {
        const std::optional<QDate> day = values::parseDateWithoutTime(value);
        if (!day)
            return QStringLiteral("%1 不是日期 (yyyy-mm-dd)").arg(value);
        value = values::dateText(*day);
        return QString();
    }
    case F::Moment:
    case F::Code:
    case F::Text:
    case F::PictureFile:
        break;
    }
    return QString();
}

QString ReferenceValidator::textProblem(const RefKind::Field &field, const QString &value) const
{
    if (hasControlCharacter(value))
        return QStringLiteral("不能有换行或控制字符");
    if (value.trimmed().size() > field.maxLength)
        return QStringLiteral("长于 %1 个字").arg(field.maxLength);
    return QString();
}

QString ReferenceValidator::referenceProblem(const RefKind::Field &field, QString &value, bool newValue)
{
    const Lookup &lookup = m_lookups[field.refKind];
    const auto it = lookup.byLowerCase.constFind(value.toLower());
    const RefKind &other = RefKind::get(field.refKind);
    if (it == lookup.byLowerCase.cend())
        return QStringLiteral("没有 %1 (见 %2)").arg(value, other.caption);
    value = *it;
    if (newValue && !lookup.active.value(value, true))
        return QStringLiteral("%1 已停用").arg(value);
    return QString();
}

// A metal's hallmark states its purity; checked once the purity is one.
void ReferenceValidator::checkMetal(const RefRow &row)
{
    const std::optional<Decimal> purity = Fineness::purity(row.value(QStringLiteral("purate")));
    const RefKind::Field *hallmark = m_kind.field(QStringLiteral("hallmark"));
    if (!purity || !hallmark)
        return;
    const QString problem =
        Fineness::hallmarkProblem(row.value(hallmark->name), row.value(QStringLiteral("mtype")), *purity);
    if (!problem.isEmpty())
        add(row, *hallmark, problem);
}

// A picture file chosen for the style: a picture, and a name for its copy.
void ReferenceValidator::checkPicture(RefRow &row)
{
    const RefKind::Field *file = m_kind.field(kPictureFile);
    const RefKind::Field *name = m_kind.field(kPictureName);
    const QString source = row.value(kPictureFile).trimmed();
    if (!source.isEmpty()) {
        if (const QString problem = StylePicture::sourceProblem(source); !problem.isEmpty()) {
            add(row, *file, problem);
            return;
        }
        const std::optional<QString> target = StylePicture::targetName(row.value(m_kind.keyField), source);
        if (!target) {
            add(row, *file, QStringLiteral("款号 %1 不能作图片的文件名").arg(row.value(m_kind.keyField)));
            return;
        }
        row.values.insert(kPictureName, *target);
        return;
    }
    const QString picture = row.value(kPictureName);
    if (!picture.isEmpty() && changed(*name, row)) {
        if (const QString problem = StylePicture::nameProblem(picture); !problem.isEmpty())
            add(row, *name, problem);
    }
}

// The stone lines of a style: each names a stone and a setting method of their
// tabs, once, with stones per piece above 0.
void ReferenceValidator::checkStones(RefRow &row)
{
    QSet<QString> before;
    for (const RefValues &s : row.originalStones)
        before.insert(stoneKey(s));
    QHash<QString, int> seen;
    for (qsizetype i = 0; i < row.stones.size(); ++i) {
        RefValues &stone = row.stones[i];
        const int n = int(i) + 1;
        const bool newLine = row.change == Change::Added || !before.contains(stoneKey(stone));
        bool complete = true;
        for (const RefKind::Field &f : RefKind::stoneFields()) {
            QString value = stone.value(f.name);
            const QString reason = fieldProblem(f, value, newLine);
            complete = complete && reason.isEmpty();
            if (!reason.isEmpty())
                add(row, f, reason, n);
            else
                stone.insert(f.name, value);
        }
        if (!complete)
            continue;
        const RefKind::Field &perPiece = RefKind::stoneFields().at(2);
        const bool placeholder = stone.value(QStringLiteral("stone_code")) == kPlaceholderStone;
        if (!placeholder && values::parseNumber(stone.value(perPiece.name))->sign() <= 0)
            add(row, perPiece, QStringLiteral("每件至少 1 粒 (只有 %1 写 0)").arg(kPlaceholderStone), n);
        const QString key = stoneKey(stone);
        if (seen.contains(key)) {
            // The line of a file the same stone line is on, else the stone line's number.
            const int first = seen.value(key);
            const QString where = row.stoneLines.isEmpty() ? QStringLiteral("镶石第 %1 行").arg(first)
                                                           : QStringLiteral("第 %1 行").arg(row.stoneLines.value(first - 1));
            add(row, RefKind::stoneFields().at(1),
                QStringLiteral("%1 的 %2 与%3重复")
                    .arg(stone.value(QStringLiteral("stone_code")), stone.value(QStringLiteral("settype_code")), where),
                n);
        }
        seen.insert(key, n);
    }
}

// Codes are unique in the kind's table, without regard to case: among the rows
// the table keeps (those of the set as the set has them) and the set's own.
bool ReferenceValidator::checkUnique()
{
    if (!m_kind.canAdd)
        return true;
    const std::optional<QMap<QString, bool>> stored = m_reader.codes(m_kind, true);
    if (!stored) {
        m_error = m_reader.error();
        return false;
    }
    QHash<QString, int> others;   // lower case -> how many rows of the table outside the set
    for (auto it = stored->cbegin(); it != stored->cend(); ++it)
        others[it.key().trimmed().toLower()] += 1;
    for (const RefRow &row : m_rows) {
        if (row.saved())
            others[row.original.value(m_kind.keyField).trimmed().toLower()] -= 1;
    }
    QHash<QString, int> lines;    // lower case -> the first line of the set giving it
    const auto visit = [&](bool added) {
        for (const RefRow &row : m_rows) {
            if (row.change == Change::Deleted || (row.change == Change::Added) != added)
                continue;
            const QString code = row.value(m_kind.keyField).trimmed();
            const QString lower = code.toLower();
            if (code.isEmpty())
                continue;
            if (added && others.value(lower) > 0)
                add(row, m_kind.key(), QStringLiteral("%1 已有").arg(code));
            else if (added && lines.contains(lower))
                add(row, m_kind.key(), QStringLiteral("%1 与第 %2 行重复").arg(code).arg(lines.value(lower)));
            lines.insert(lower, lines.value(lower, row.line));
        }
    };
    visit(false);
    visit(true);
    return true;
}

// Two styles never share a picture file (without regard to case, as a Windows
// share sees it).
bool ReferenceValidator::checkPictureNames()
{
    if (!m_kind.hasStones)
        return true;
    const std::optional<QMap<QString, QString>> stored = m_reader.pictureNames();
    if (!stored) {
        m_error = m_reader.error();
        return false;
    }
    QHash<QString, QString> owner;   // lower-case picture name -> article
    for (auto it = stored->cbegin(); it != stored->cend(); ++it)
        owner.insert(it.key(), it.value());
    for (const RefRow &row : m_rows) {
        const QString original = row.original.value(kPictureName).trimmed().toLower();
        if (row.saved() && owner.value(original) == row.original.value(m_kind.keyField))
            owner.remove(original);
    }
    const RefKind::Field &name = *m_kind.field(kPictureName);
    for (const RefRow &row : m_rows) {
        const QString picture = row.value(kPictureName).trimmed();
        const QString article = row.value(m_kind.keyField).trimmed();
        if (row.change == Change::Deleted || picture.isEmpty())
            continue;
        const auto it = owner.constFind(picture.toLower());
        if (it != owner.cend() && it->compare(article, Qt::CaseInsensitive) != 0
            && (row.change == Change::Added || changed(name, row)))
            add(row, name, QStringLiteral("图片 %1 已是款式 %2 的图片").arg(picture, *it));
        owner.insert(picture.toLower(), article);
    }
    return true;
}

// A code that anything uses is never deleted, only made inactive.
bool ReferenceValidator::checkDeletions()
{
    for (const RefRow &row : m_rows) {
        if (row.change != Change::Deleted || !m_kind.canAdd)
            continue;
        const QString code = row.original.value(m_kind.keyField);
        const std::optional<QStringList> places = m_reader.whereUsed(m_kind, code);
        if (!places) {
            m_error = m_reader.error();
            return false;
        }
        if (!places->isEmpty())
            add(row, m_kind.key(),
                QStringLiteral("%1 在使用中 (%2), 不能删除, 只能停用 (取消 使用中)")
                    .arg(code, places->join(QStringLiteral(", "))));
    }
    return true;
}

// An allowance: its metal a metal code of the metals' tab (spelt as there) or
// a family, the karat of a gold ("18K") or a platinum's PT and thousandths
// ("PT950"); none for the process's default. At most 100 %.
void ReferenceValidator::checkAllowance(RefRow &row)
{
    const RefKind::Field &metal = *m_kind.field(QStringLiteral("metal"));
    const QString given = row.value(metal.name).trimmed();
    if (!given.isEmpty()) {
        const Lookup &metals = m_lookups[QStringLiteral("metals")];
        static const QRegularExpression family(QStringLiteral("^(?:([1-9]|1[0-9]|2[0-4])K|PT[0-9]{3})$"),
                                               QRegularExpression::CaseInsensitiveOption);
        const auto it = metals.byLowerCase.constFind(given.toLower());
        if (it != metals.byLowerCase.cend())
            row.values.insert(metal.name, *it);
        else if (family.match(given).hasMatch())
            row.values.insert(metal.name, given.toUpper());
        else
            add(row, metal, QStringLiteral("%1 不是成色代码 (见 成色 Metals) 或成色类别 (18K, 14K, PT950 ...)").arg(given));
    }
    const RefKind::Field &rate = *m_kind.field(QStringLiteral("rate"));
    const std::optional<Decimal> percent = values::parseNumber(row.value(rate.name));
    if (percent && percent->isValid() && *percent > Decimal::fromInt(100))
        add(row, rate, QStringLiteral("%1 大于 100%").arg(row.value(rate.name)));
}

// A recovery: a period that ends on or after its first day, and grams above 0.
void ReferenceValidator::checkRecovery(RefRow &row)
{
    const std::optional<QDate> from = values::parseDateWithoutTime(row.value(QStringLiteral("period_start")));
    const std::optional<QDate> to = values::parseDateWithoutTime(row.value(QStringLiteral("period_end")));
    if (from && to && *to < *from)
        add(row, *m_kind.field(QStringLiteral("period_end")),
            QStringLiteral("%1 在开始日期 %2 之前").arg(values::dateText(*to), values::dateText(*from)));
    const RefKind::Field &grams = *m_kind.field(QStringLiteral("grams"));
    const std::optional<Decimal> g = values::parseNumber(row.value(grams.name));
    if (g && g->isValid() && g->sign() <= 0)
        add(row, grams, QStringLiteral("%1: 回收克数要大于 0").arg(row.value(grams.name)));
}

// The key of a kind whose key is made of its fields: "04-执模/18K"; a saved
// row keeps its key, so the fields it is made of do not change.
void ReferenceValidator::makeKey(RefRow &row)
{
    QStringList parts;
    for (const QString &name : m_kind.keyParts) {
        const QString part = row.value(name).trimmed();
        parts << (part.isEmpty() ? QStringLiteral("*") : part);
    }
    const QString key = parts.join(QLatin1Char('/'));
    if (row.change == Change::Edited) {
        const QString was = row.original.value(m_kind.keyField);
        if (key.compare(was, Qt::CaseInsensitive) != 0)
            add(row, *m_kind.field(m_kind.keyParts.first()),
                QStringLiteral("已保存的行 %1 不能改成 %2; 请增加新行, 删除旧行").arg(was, key));
        return;
    }
    row.values.insert(m_kind.keyField, key);
}

} // namespace wip::reference
