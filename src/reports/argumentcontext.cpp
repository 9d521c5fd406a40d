#include "reports/argumentcontext.h"

#include "reports/displayformat.h"
#include "reports/retrievalarguments.h"
#include "runtime/hosterror.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>

namespace wip::reports {

ArgumentContext::ArgumentContext(const Definition &definition, const QVariantList &values)
    : m_definition(definition)
{
    for (int i = 0; i < definition.arguments.size(); ++i) {
        QVariant value = i < values.size() ? values.at(i) : QVariant();
        try {
            value = RetrievalArguments::typed(definition.arguments.at(i), value, definition.name);
        } catch (const HostError &) {
            value = QVariant();   // a value the retrieval would refuse reads as NULL
        }
        if (value.typeId() == QMetaType::QDate)
            value = value.isNull() ? QVariant(QMetaType::fromType<QDateTime>()) : QVariant(value.toDate().startOfDay());
        if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
            QStringList texts;
            for (const QVariant &v : value.toList())
                texts << generalText(v);
            value = texts.join(QStringLiteral(", "));
        }
        m_values << value;
    }
}

bool ArgumentContext::hasName(const QString &name) const
{
    return m_definition.argumentIndex(name) >= 0;
}

QVariant ArgumentContext::item(int row, const QString &name) const
{
    const int index = m_definition.argumentIndex(name);
    return row == 1 && index >= 0 ? m_values.at(index) : QVariant();
}

QString ArgumentContext::text(const QString &expression, const Definition &definition, const QVariantList &values)
{
    const auto parsed = Expression::parse(expression);
    if (!parsed)
        return QString();
    const QVariant value = parsed->evaluate(ArgumentContext(definition, values), 1);
    return value.isNull() ? QString() : generalText(value);
}

} // namespace wip::reports
