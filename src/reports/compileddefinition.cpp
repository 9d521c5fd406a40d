#include "reports/compileddefinition.h"

#include "runtime/hosterror.h"

#include <QHash>
#include <QMutex>

namespace wip::reports {

QString CompiledDefinition::summedColumn(const QString &field) const
{
    for (int f = 0; f < fields.size(); ++f) {
        if (fields.at(f).name.compare(field, Qt::CaseInsensitive) == 0)
            return expressions.at(size_t(f))->summedName();
    }
    return QString();
}

QString CompiledDefinition::crosstabTotalColumn(const QString &total) const
{
    for (int f = 0; f < fields.size(); ++f) {
        if (fields.at(f).name.compare(total, Qt::CaseInsensitive) != 0)
            continue;
        const int value = expressions.at(size_t(f))->crosstabSumValue();
        if (value < 1 || size_t(value) > crosstabValues.size())
            return QString();
        return crosstabValues.at(size_t(value - 1))->crosstabSummedName();
    }
    return QString();
}

std::shared_ptr<const CompiledDefinition> CompiledDefinition::of(const std::shared_ptr<const Definition> &definition)
{
    static QMutex mutex;
    static QHash<const Definition *, std::pair<std::weak_ptr<const Definition>, std::shared_ptr<const CompiledDefinition>>> cache;
    QMutexLocker lock(&mutex);
    const auto it = cache.constFind(definition.get());
    if (it != cache.constEnd() && it->first.lock() == definition)
        return it->second;

    auto compiled = std::make_shared<CompiledDefinition>();
    const Definition &d = *definition;
    compiled->query = QueryTemplate(d.query);
    compiled->fields = d.computed;
    if (d.crosstab)
        compiled->fields += d.crosstab->totals;
    for (const ComputedField &field : std::as_const(compiled->fields)) {
        QString error;
        auto expression = Expression::parse(field.expression, &error);
        if (!expression) // the loader refuses these; a definition built by hand may not
            throw HostError(ErrBadExpression, QStringLiteral("%1: computed field %2: %3").arg(d.name, field.name, error));
        compiled->expressions.push_back(std::move(expression));
    }
    if (d.crosstab) {
        for (const Crosstab::Value &value : d.crosstab->values) {
            QString error;
            auto expression = Expression::parse(value.expression, &error);
            if (!expression)
                throw HostError(ErrBadExpression, QStringLiteral("%1: crosstab value %2: %3").arg(d.name, value.name, error));
            compiled->crosstabValues.push_back(std::move(expression));
        }
    }
    // Forget definitions that are gone.
    for (auto i = cache.begin(); i != cache.end();) {
        if (i->first.expired())
            i = cache.erase(i);
        else
            ++i;
    }
    cache.insert(definition.get(), {definition, compiled});
    return compiled;
}

} // namespace wip::reports
