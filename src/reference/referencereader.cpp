#include "reference/referencereader.h"

#include "reference/fieldtext.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"

#include <QHash>

namespace wip::reference {

std::optional<QList<QVariantList>> ReferenceReader::rows(const QString &sql, const QVariantList &values)
{
    Cursor cursor(m_tr, sql, values);
    QList<QVariantList> list;
    if (!cursor.open()) {
        m_error = m_tr.sqlErrText;
        return std::nullopt;
    }
    while (const std::optional<QVariantList> row = cursor.fetch())
        list.append(*row);
    if (m_tr.sqlCode < 0) {
        m_error = m_tr.sqlErrText;
        return std::nullopt;
    }
    cursor.close();
    return list;
}

std::optional<QList<RefRow>> ReferenceReader::load(const RefKind &kind)
{
    const QList<RefKind::Field> fields = kind.columnFields();
    QStringList columns;
    for (const RefKind::Field &f : fields)
        columns << f.name;
    QString sql = QStringLiteral("select %1 from %2").arg(columns.join(QStringLiteral(", ")), kind.table);
    if (!kind.filter.isEmpty())
        sql += QStringLiteral(" where ") + kind.filter;
    // Rows of the same code (a process listed twice) in the order of their names.
    sql += QStringLiteral(" order by %1, %2").arg(kind.keyField, columns.value(1, kind.keyField));
    const std::optional<QList<QVariantList>> read = rows(sql);
    if (!read)
        return std::nullopt;
    QList<RefRow> list;
    for (const QVariantList &r : *read) {
        RefRow row;
        row.change = RefRow::Change::Unchanged;
        row.line = int(list.size()) + 1;
        for (qsizetype i = 0; i < fields.size(); ++i)
            row.values.insert(fields[i].name, FieldText::fromDb(fields[i], r.value(i)));
        row.original = row.values;
        list.append(row);
    }
    if (kind.hasStones && !readStones(list))
        return std::nullopt;
    return list;
}

bool ReferenceReader::readStones(QList<RefRow> &styles)
{
    const std::optional<QList<QVariantList>> read = rows(QStringLiteral(
        "select article_code, stone_code, settype_code, qtycal from artsd "
        "order by article_code, stone_code, settype_code"));
    if (!read)
        return false;
    QHash<QString, qsizetype> byCode;
    for (qsizetype i = 0; i < styles.size(); ++i)
        byCode.insert(styles[i].values.value(QStringLiteral("article_code")), i);
    const QList<RefKind::Field> &fields = RefKind::stoneFields();
    for (const QVariantList &r : *read) {
        const auto it = byCode.constFind(r.value(0).toString());
        if (it == byCode.cend())
            continue;
        RefValues stone;
        for (qsizetype i = 0; i < fields.size(); ++i)
            stone.insert(fields[i].name, FieldText::fromDb(fields[i], r.value(i + 1)));
        styles[*it].stones.append(stone);
        styles[*it].originalStones.append(stone);
    }
    return true;
}

std::optional<QMap<QString, bool>> ReferenceReader::codes(const RefKind &kind, bool wholeTable)
{
    QString sql = kind.hasActive()
        ? QStringLiteral("select %1, active from %2").arg(kind.keyField, kind.table)
        : QStringLiteral("select %1, 1 from %2").arg(kind.keyField, kind.table);
    if (!wholeTable && !kind.filter.isEmpty())
        sql += QStringLiteral(" where ") + kind.filter;
    const std::optional<QList<QVariantList>> read = rows(sql);
    if (!read)
        return std::nullopt;
    QMap<QString, bool> map;
    for (const QVariantList &r : *read)
        map.insert(r.value(0).toString(), r.value(1).isNull() || r.value(1).toString().trimmed() != QLatin1String("0"));
    return map;
}

std::optional<QStringList> ReferenceReader::whereUsed(const RefKind &kind, const QString &code)
{
    QStringList places;
    for (const RefKind::Use &use : kind.uses) {
        const std::optional<QList<QVariantList>> found =
            rows(QStringLiteral("select 1 from %1 where %2 = ? limit 1").arg(use.table, use.column), {code});
        if (!found)
            return std::nullopt;
        if (!found->isEmpty() && !places.contains(use.caption))
            places << use.caption;
    }
    return places;
}

std::optional<QMap<QString, QString>> ReferenceReader::pictureNames()
{
    const std::optional<QList<QVariantList>> read =
        rows(QStringLiteral("select pic_name, article_code from article where pic_name is not null"));
    if (!read)
        return std::nullopt;
    QMap<QString, QString> map;
    for (const QVariantList &r : *read)
        map.insert(r.value(0).toString().trimmed().toLower(), r.value(1).toString());
    return map;
}

} // namespace wip::reference
