#include "reports/definitionjson.h"

#include "reports/expression.h"
#include "reports/querytemplate.h"

#include <QSet>

namespace wip::reports::definitionjson {

namespace {

// A composite names its nested reports and has no query; every other layout has a
// query whose arguments are declared, and columns.
void validateQuery(const Definition &d)
{
    if (d.layout == LayoutKind::Composite) {
        if (!d.query.trimmed().isEmpty())
            fail(QStringLiteral("a composite has no query"));
        if (d.nested.isEmpty())
            fail(QStringLiteral("a composite needs \"nested\" reports"));
        for (const Nested &n : d.nested) {
            if (!isIdentifier(n.definition))
                fail(QStringLiteral("nested report \"%1\" is not a name").arg(n.definition));
            for (const QString &a : n.arguments) {
                if (d.argumentIndex(a) < 0)
                    fail(QStringLiteral("nested report \"%1\" takes the argument \"%2\", which the composite does not declare")
                             .arg(n.definition, a));
            }
        }
        return;
    }
    if (d.query.trimmed().isEmpty())
        fail(QStringLiteral("a %1 definition needs a \"query\"").arg(nameOf(layoutNames, d.layout)));
    if (d.columns.isEmpty())
        fail(QStringLiteral("the definition declares no columns"));
    if (!d.nested.isEmpty())
        fail(QStringLiteral("only a composite has nested reports"));
    const QueryTemplate query(d.query);
    for (int i = 0; i < query.names().size(); ++i) {
        const QString &name = query.names().at(i);
        const int index = d.argumentIndex(name);
        if (index < 0)
            fail(QStringLiteral("the query uses \":%1\", which is not a declared argument").arg(name));
        else if (d.arguments.at(index).type == ArgumentType::Date && query.dayBound(i) == QueryTemplate::DayBound::Equality)
            fail(QStringLiteral("\":%1\" is a date, a whole day, and no single moment equals it: "
                                "write \"between :%1 and :%1\"").arg(name));
    }
}

void requireColumn(const Definition &d, const QString &name, const QString &what)
{
    if (d.columnIndex(name) < 0)
        fail(QStringLiteral("%1 names the column \"%2\", which does not exist").arg(what, name));
}

// Names an expression of the rows may read: the columns (of a crosstab, its pivoted
// rows, values and totals) and the computed fields.
QSet<QString> rowNames(const Definition &d)
{
    QSet<QString> names;
    if (d.crosstab) {
        for (const QString &r : d.crosstab->rows)
            names.insert(r);
        for (const Crosstab::Value &v : d.crosstab->values)
            names.insert(v.name);
        for (const ComputedField &t : d.crosstab->totals)
            names.insert(t.name);
    } else {
        for (const Column &c : d.columns)
            names.insert(c.name);
    }
    for (const ComputedField &c : d.computed)
        names.insert(c.name);
    return names;
}

void checkExpression(const QString &text, const QString &what, const QSet<QString> &names)
{
    const auto expression = parseExpression(text, what);
    for (const QString &name : expression->referencedNames()) {
        if (!names.contains(name.toLower()))
            fail(QStringLiteral("%1 reads \"%2\", which is neither a column nor a computed field").arg(what, name));
    }
}

// Computed fields and the crosstab's values and totals parse and read names that exist.
void validateExpressions(const Definition &d, const QSet<QString> &names)
{
    for (const ComputedField &c : d.computed)
        checkExpression(c.expression, QStringLiteral("computed field \"%1\"").arg(c.name), names);
    if (!d.crosstab)
        return;
    const Crosstab &x = *d.crosstab;
    if (x.rows.isEmpty() || x.columns.isEmpty() || x.values.isEmpty())
        fail(QStringLiteral("the crosstab needs rows, columns and values"));
    for (const QString &r : x.rows)
        requireColumn(d, r, QStringLiteral("the crosstab rows"));
    for (const QString &c : x.columns)
        requireColumn(d, c, QStringLiteral("the crosstab columns"));
    QSet<QString> sourceNames;
    for (const Column &c : d.columns)
        sourceNames.insert(c.name);
    for (const Crosstab::Value &v : x.values)
        checkExpression(v.expression, QStringLiteral("crosstab value \"%1\"").arg(v.name), sourceNames);
    for (const ComputedField &t : x.totals)
        checkExpression(t.expression, QStringLiteral("crosstab total \"%1\"").arg(t.name), names);
}

void validateGroupsAndSort(const Definition &d)
{
    for (const Group &g : d.groups) {
        for (const QString &b : g.by)
            requireColumn(d, b, QStringLiteral("group %1").arg(g.level));
    }
    for (const QString &s : d.sort) {
        const QStringList parts = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.isEmpty() || parts.size() > 2
            || (parts.size() == 2 && parts.at(1).compare(QLatin1String("A"), Qt::CaseInsensitive) != 0
                && parts.at(1).compare(QLatin1String("D"), Qt::CaseInsensitive) != 0))
            fail(QStringLiteral("sort \"%1\" is not \"column\", \"column A\" or \"column D\"").arg(s));
        requireColumn(d, parts.at(0), QStringLiteral("the sort"));
    }
}

// Texts, computed fields and the form name fields that exist and groups that exist;
// the update table has a key of existing columns.
void validatePlacement(const Definition &d, const QSet<QString> &names)
{
    auto requireField = [&](const QString &name, const QString &what) {
        if (!name.isEmpty() && !names.contains(name) && d.columnIndex(name) < 0)
            fail(QStringLiteral("%1 names the field \"%2\", which does not exist").arg(what, name));
    };
    auto inMissingGroup = [&](Band band, int group) {
        return (band == Band::GroupHeader || band == Band::GroupTrailer) && (group < 1 || group > d.groups.size());
    };
    QSet<QString> arguments;
    for (const Argument &a : d.arguments)
        arguments.insert(a.name.toLower());
    for (const TextObject &t : d.texts) {
        requireField(t.under, QStringLiteral("text \"%1\"").arg(t.name));
        if (!t.expression.isEmpty()) {
            const QString what = QStringLiteral("text \"%1\"").arg(t.name);
            const auto expression = parseExpression(t.expression, what);
            for (const QString &name : expression->referencedNames()) {
                if (!arguments.contains(name.toLower()))
                    fail(QStringLiteral("%1 reads \"%2\", which is no argument").arg(what, name));
            }
        }
        if (inMissingGroup(t.band, t.group))
            fail(QStringLiteral("text \"%1\" is in group %2, which does not exist").arg(t.name).arg(t.group));
    }
    for (const ComputedField &c : d.computed) {
        requireField(c.under, QStringLiteral("computed field \"%1\"").arg(c.name));
        if (inMissingGroup(c.band, c.group))
            fail(QStringLiteral("computed field \"%1\" is in group %2, which does not exist").arg(c.name).arg(c.group));
    }
    for (const FormLayout::Line &line : d.form.lines) {
        for (const QString &f : line.fields)
            requireField(f, QStringLiteral("form line \"%1\"").arg(line.label));
    }
    for (const QString &f : d.form.headFields)
        requireField(f, QStringLiteral("the form's head fields"));
    for (const QString &f : d.form.extraFields)
        requireField(f, QStringLiteral("the form's extra fields"));
    if (!d.updateTable.isEmpty()) {
        if (!isIdentifier(d.updateTable))
            fail(QStringLiteral("update table \"%1\" is not a name").arg(d.updateTable));
        if (d.keyColumns.isEmpty())
            fail(QStringLiteral("update table \"%1\" needs key columns").arg(d.updateTable));
        for (const QString &k : d.keyColumns)
            requireColumn(d, k, QStringLiteral("the update key"));
    }
}

} // namespace

void validate(const Definition &d)
{
    validateQuery(d);
    if (d.layout == LayoutKind::Crosstab && !d.crosstab)
        fail(QStringLiteral("a crosstab definition needs \"crosstab\""));
    if (d.layout != LayoutKind::Crosstab && d.crosstab)
        fail(QStringLiteral("\"crosstab\" needs the layout \"crosstab\""));
    const QSet<QString> names = rowNames(d);
    validateExpressions(d, names);
    validateGroupsAndSort(d);
    validatePlacement(d, names);
    if (d.fill.isSet() && !names.contains(d.fill.when))
        fail(QStringLiteral("\"fill\" is when \"%1\", which is neither a column nor a computed field").arg(d.fill.when));
}

} // namespace wip::reports::definitionjson
