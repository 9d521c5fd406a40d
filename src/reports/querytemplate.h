#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVector>
#include <functional>

namespace wip::reports {

// A query text with :name placeholders, split once so that each retrieval only
// joins pieces. Quoted literals ('...', "..."), comments (--, /* */) and
// PostgreSQL casts (::type) are left alone.
//
//   "select a from t where b = :x and c in (:l) and d = :x"
//   pieces {"select a from t where b = ", " and c in (", ") and d = ", ""}, names {x, l, x}
//   bind with x = 5, l = {"p", "q"}:
//   "select a from t where b = ? and c in (?, ?) and d = ?"   values {5, "p", "q", 5}
class QueryTemplate
{
public:
    explicit QueryTemplate(const QString &sql = QString());

    const QStringList &names() const { return m_names; }   // lower case, in order, repeats kept

    // Which end of a calendar day a placeholder stands for when it takes a date
    // (a whole day), read from the comparison around it:
    //
    //   x between :a and :b     :a Start, :b End      (the whole of both days)
    //   x >= :d, x < :d         Start                 (from the day's first moment)
    //   x <= :d, x > :d         End                   (up to the day's last moment)
    //   :d <= x, :d > x         Start; :d >= x, :d < x End (the same, turned round)
    //   x = :d, x <> :d         Equality              (a day is no single moment)
    //   anything else           None
    enum class DayBound { None, Start, End, Equality };
    DayBound dayBound(int placeholder) const { return m_bounds.at(placeholder); }

    struct Bound
    {
        QString sql;
        QVariantList values;
    };
    // valueOf(name) gives the value of a placeholder (lower-case name). A QVariantList
    // or QStringList value expands to one "?" per element; an empty list becomes
    // NULL, so "in (:l)" matches nothing instead of being a syntax error.
    Bound bind(const std::function<QVariant(const QString &name)> &valueOf) const;
    // The same, the value of each placeholder chosen also by its day bound.
    Bound bind(const std::function<QVariant(const QString &name, DayBound bound)> &valueOf) const;

private:
    void findDayBounds();

    QStringList m_pieces;   // m_names.size() + 1 texts between the placeholders
    QStringList m_names;
    QVector<DayBound> m_bounds;
};

} // namespace wip::reports
