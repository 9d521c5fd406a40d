#include "reports/reportcolumns.h"

#include "reports/displayformat.h"
#include "reports/expression.h"
#include "runtime/decimal.h"
#include "runtime/sysfunc.h"

#include <QSet>

namespace wip::reports {

namespace {

ReportColumn fromColumn(const Column &c)
{
    ReportColumn r;
    r.name = c.name;
    r.caption = c.caption;
    r.format = c.format;
    r.type = c.type;
    r.align = c.align;
    r.width = c.width;
    r.picture = c.picture;
    r.rowKey = c.rowKey;
    return r;
}

ReportColumn fromComputed(const Definition &def, const ComputedField &f)
{
    ReportColumn r;
    r.ratio = isRatio(def, f.name);
    r.name = f.name;
    r.computed = true;
    r.caption = f.caption;
    r.format = f.format;
    r.type = f.type;
    r.align = f.align;
    return r;
}

} // namespace

QVector<ReportColumn> reportColumns(const ReportData &data, ColumnUse use)
{
    const Definition &def = data.definition();
    const bool output = use == ColumnUse::Output;
    const bool crosstab = def.layout == LayoutKind::Crosstab;   // its rows already carry its totals
    auto shown = [&](const ComputedField &f) {
        return !crosstab && f.band == Band::Detail && f.visible && (f.print || !output);
    };
    // A computed column `under` a column follows it (in its place when that column
    // is hidden: the in-hand weight computed from a stored one); the others close the row.
    QVector<ReportColumn> out;
    for (const Column &c : data.columns()) {
        if (c.visible && (c.print || !output))
            out << fromColumn(c);
        for (const ComputedField &f : def.computed) {
            if (shown(f) && !f.under.isEmpty() && f.under.compare(c.name, Qt::CaseInsensitive) == 0)
                out << fromComputed(def, f);
        }
    }
    for (const ComputedField &f : def.computed) {
        if (shown(f) && (f.under.isEmpty() || def.columnIndex(f.under) < 0))
            out << fromComputed(def, f);
    }
    return out;
}

bool isRatio(const Definition &definition, const QString &field)
{
    QStringList pending{field.toLower()};
    QSet<QString> seen;
    while (!pending.isEmpty()) {
        const QString name = pending.takeLast();
        const ComputedField *f = definition.computedField(name);
        if (seen.contains(name) || !f)
            continue;
        seen.insert(name);
        const std::unique_ptr<Expression> e = Expression::parse(f->expression);
        if (!e)
            continue;
        if (e->divides())
            return true;
        pending << e->referencedNames();
    }
    return false;
}

QVariant outputValue(const QVariant &value, const QString &format, bool ratio)
{
    if (value.isNull() || !isNumberValue(value) || (!ratio && Decimal::isDecimal(value)))
        return value;   // a Decimal is its exact figure already
    const QVariant shown = ratio ? shownNumber(value, format) : value;
    const std::optional<Decimal> number = Decimal::fromVariant(shown);
    return number && number->isValid() ? number->toVariant() : shown;
}

QString spokenName(const QString &name)
{
    QStringList words;
    for (const QString &word : name.split(QLatin1Char('_'), Qt::SkipEmptyParts))
        words << word.left(1).toUpper() + word.mid(1);
    return words.join(QLatin1Char(' '));
}

QString headingText(const ReportColumn &column)
{
    QStringList lines;
    for (const QString &line : column.caption) {
        if (!line.trimmed().isEmpty())
            lines << line.simplified();
    }
    return lines.isEmpty() ? spokenName(column.name) : lines.join(QLatin1Char(' '));
}

} // namespace wip::reports
