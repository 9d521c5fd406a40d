#include "desk/settingstones.h"

#include "desk/deskvalues.h"
#include "desk/deskinput.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

#include <QSet>

#include <algorithm>

namespace wip {

namespace {

// The rows of a query as (stone, method, count), lines of no stones left out;
// nullopt with *error when it fails.
std::optional<QList<SettingStones::Line>> lines(Transaction &tr, const QString &sql, const QVariantList &values,
                                                 QString *error)
{
    Cursor cursor(tr, sql, values);
    QList<SettingStones::Line> list;
    if (!cursor.open()) {
        *error = tr.sqlErrText;
        return std::nullopt;
    }
    while (const std::optional<QVariantList> row = cursor.fetch()) {
        const auto count = Decimal::fromVariant(fromDbValue(row->value(2), ColumnKind::Number));
        if (count && count->sign() > 0)
            list.append({row->value(0).toString().trimmed(), row->value(1).toString().trimmed(), *count});
    }
    if (tr.sqlCode < 0) {
        *error = tr.sqlErrText;
        return std::nullopt;
    }
    cursor.close();
    return list;
}

using deskvalues::count;

} // namespace

SettingStones::SettingStones(const QString &article, const QList<Line> &style, const QList<Line> &issued)
    : m_article(article), m_style(style), m_issued(issued)
{
}

std::optional<SettingStones> SettingStones::read(Transaction &tr, const QString &article, long long prochId,
                                                 const Decimal &heldPieces, QString *error)
{
    const auto style = lines(tr,
                             QStringLiteral("select stone_code, settype_code, sum(qtycal) from artsd "
                                            "where article_code = ? and stone_code is not null and settype_code "
                                            "is not null and stone_code <> 'INIST' and settype_code <> '初始镶法' "
                                            "group by stone_code, settype_code order by stone_code, settype_code"),
                             {article}, error);
    if (!style)
        return std::nullopt;
    SettingStones stones(article, *style, {});
    if (prochId == 0)
        return stones;
    const auto issued = lines(tr,
                              QStringLiteral("select mcode, waycode, sum(sqtycal) from matuse where proch_id = ? "
                                             "and waycode is not null and waycode <> '' group by mcode, waycode "
                                             "order by mcode, waycode"),
                              {prochId}, error);
    if (!issued)
        return std::nullopt;
    stones.m_issued = issued->isEmpty() ? stones.forPieces(heldPieces) : *issued;
    return stones;
}

QList<SettingStones::Line> SettingStones::forPieces(const Decimal &pieces) const
{
    QList<Line> list;
    for (const Line &l : m_style)
        list.append({l.stone, l.method, l.count * pieces});
    return list;
}

Decimal SettingStones::issuedOf(const QString &stone, const QString &method) const
{
    Decimal sum = Decimal::fromInt(0);
    for (const Line &l : m_issued) {
        if (l.stone == stone && (method.isEmpty() || l.method == method))
            sum += l.count;
    }
    return sum;
}

// The style's line a count of stones set names: its method, and its stone
// where the method sets more than one.
bool SettingStones::resolve(const DeskRequest::StoneCount &entry, const Line **line, QString *why) const
{
    const QString method = entry.method.trimmed(), stone = entry.stone.trimmed();
    QList<const Line *> byMethod;
    QStringList stones;
    for (const Line &l : m_style) {
        if (l.method == method) {
            byMethod.append(&l);
            stones << l.stone;
        }
    }
    if (byMethod.isEmpty()) {
        *why = QStringLiteral("款式 %1 没有镶法 \"%2\"").arg(m_article, method);
        return false;
    }
    if (stone.isEmpty() && byMethod.size() > 1) {
        *why = QStringLiteral("款式 %1 的镶法 %2 镶几种石 (%3), 请写明石料: %2/石料=粒数")
                   .arg(m_article, method, stones.join(QStringLiteral(", ")));
        return false;
    }
    for (const Line *l : std::as_const(byMethod)) {
        if (stone.isEmpty() || l->stone == stone) {
            *line = l;
            return true;
        }
    }
    *why = QStringLiteral("款式 %1 的镶法 %2 没有石料 \"%3\"").arg(m_article, method, stone);
    return false;
}

bool SettingStones::settle(const Decimal &finished, const QList<DeskRequest::StoneCount> &set,
                           const QList<DeskRequest::StoneCount> &broken, QList<Line> *setLines,
                           QList<Line> *brokenLines, QString *why) const
{
    // By default what the finished pieces take, as far as it was issued.
    QList<Line> result;
    for (const Line &l : m_style)
        result.append({l.stone, l.method, std::min(l.count * finished, issuedOf(l.stone, l.method))});
    QSet<qsizetype> named;
    for (const DeskRequest::StoneCount &e : set) {
        const Line *line = nullptr;
        if (!resolve(e, &line, why))
            return false;
        const qsizetype at = line - m_style.constData();
        if (named.contains(at)) {
            *why = QStringLiteral("镶法 %1 %2 写了两次").arg(line->method, line->stone);
            return false;
        }
        named.insert(at);
        const auto n = DeskInput::stones(e.count, QStringLiteral("%1 %2 的粒数").arg(line->method, line->stone), why);
        if (!n)
            return false;
        const Decimal issued = issuedOf(line->stone, line->method);
        if (*n > issued) {
            *why = QStringLiteral("镶法 %1 %2 %3 粒, 多于发出的 %4 粒").arg(line->method, line->stone, count(*n), count(issued));
            return false;
        }
        result[at].count = *n;
    }
    QSet<QString> stonesNamed;
    brokenLines->clear();
    for (const DeskRequest::StoneCount &e : broken) {
        const QString stone = e.stone.trimmed();
        const auto ofStone = [&stone](const Line &l) { return l.stone == stone; };
        if (std::none_of(m_style.cbegin(), m_style.cend(), ofStone)
            && std::none_of(m_issued.cbegin(), m_issued.cend(), ofStone)) {
            *why = QStringLiteral("款式 %1 没有石料 \"%2\"").arg(m_article, stone);
            return false;
        }
        if (stonesNamed.contains(stone)) {
            *why = QStringLiteral("石料 %1 的破损写了两次").arg(stone);
            return false;
        }
        stonesNamed.insert(stone);
        const auto n = DeskInput::stones(e.count, QStringLiteral("破损 %1 的粒数").arg(stone), why);
        if (!n)
            return false;
        const Decimal issued = issuedOf(stone, QString());
        if (*n > issued) {
            *why = QStringLiteral("破损 %1 %2 粒, 多于发出的 %3 粒").arg(stone, count(*n), count(issued));
            return false;
        }
        if (n->sign() > 0)
            brokenLines->append({stone, QString(), *n});
    }
    setLines->clear();
    for (const Line &l : std::as_const(result)) {
        if (l.count.sign() > 0)
            setLines->append(l);
    }
    return true;
}

QString SettingStones::describe(const QList<Line> &set, const QList<Line> &broken)
{
    QStringList parts;
    for (const Line &l : set)
        parts << QStringLiteral("%1 %2 %3 粒").arg(l.method, l.stone, count(l.count));
    for (const Line &l : broken)
        parts << QStringLiteral("破损 %1 %2 粒").arg(l.stone, count(l.count));
    return parts.join(QStringLiteral(", "));
}

} // namespace wip
