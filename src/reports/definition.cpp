#include "reports/definition.h"

#include "reports/reportdata.h"
#include "runtime/decimal.h"

#include <exception>

namespace wip::reports {

int Definition::columnIndex(const QString &name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const ComputedField *Definition::computedField(const QString &name) const
{
    for (const ComputedField &field : computed) {
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return &field;
    }
    return nullptr;
}

const TextObject *Definition::textObject(const QString &name) const
{
    for (const TextObject &text : texts) {
        if (text.name.compare(name, Qt::CaseInsensitive) == 0)
            return &text;
    }
    return nullptr;
}

int Definition::argumentIndex(const QString &name) const
{
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString rowFillColor(const ReportData &data, int row)
{
    const RowFill &fill = data.definition().fill;
    if (!fill.isSet() || row < 1 || row > data.rowCount())
        return {};
    try {
        const QVariant value = data.item(row, fill.when);
        const std::optional<Decimal> number = Decimal::fromVariant(value);
        const bool on = number ? number->isValid() && !number->isZero() : value.toBool();
        return on ? fill.color : QString();
    } catch (const std::exception &) {
        return {};
    }
}

} // namespace wip::reports
