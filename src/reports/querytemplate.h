#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
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

    struct Bound
    {
        QString sql;
        QVariantList values;
    };
    // valueOf(name) gives the value of a placeholder (lower-case name). A QVariantList
    // or QStringList value expands to one "?" per element; an empty list becomes
    // NULL, so "in (:l)" matches nothing instead of being a syntax error.
    Bound bind(const std::function<QVariant(const QString &name)> &valueOf) const;

private:
    QStringList m_pieces;   // m_names.size() + 1 texts between the placeholders
    QStringList m_names;
};

} // namespace wip::reports
