#include "reports/retrievalarguments.h"

#include "runtime/decimal.h"
#include "runtime/hosterror.h"
#include "runtime/sqlvalue.h"
#include "runtime/trace.h"
#include "runtime/values.h"

namespace wip::reports {

namespace {

ArgumentPrompter &prompterSlot()
{
    static ArgumentPrompter prompter;
    return prompter;
}

// A number argument: a number, or a text that reads as one; nullopt otherwise.
std::optional<Decimal> numberArgument(const QVariant &value)
{
    const int id = value.metaType().id();
    if (id == QMetaType::QString || id == QMetaType::QByteArray)
        return values::parseNumber(value.toString());
    const auto d = Decimal::fromVariant(value);
    return d && d->isValid() ? d : std::nullopt;
}

// A date argument from a date, a date-time (its day) or a date text; *ok false
// for anything else.
QDate dateArgument(const QVariant &value, bool *ok)
{
    *ok = true;
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    case QMetaType::QString:
    case QMetaType::QByteArray:
        // A text that is not a date binds as NULL and so matches nothing.
        return values::parseDate(value.toString()).value_or(QDate());
    default:
        *ok = value.isNull();
        return {};
    }
}

QVariantList listArgument(const Argument &argument, const QVariant &value, const std::function<HostError(const QString &)> &bad)
{
    QVariantList items;
    const int id = value.metaType().id();
    if (id == QMetaType::QStringList || id == QMetaType::QVariantList)
        items = value.toList();
    else if (!value.isNull())
        items.append(value);
    QVariantList typed;
    typed.reserve(items.size());
    for (const QVariant &item : std::as_const(items)) {
        if (argument.type == ArgumentType::StringList) {
            typed.append(item.toString());
        } else {
            const auto d = numberArgument(item);
            if (!d)
                throw bad(QStringLiteral("takes numbers, not \"%1\"").arg(item.toString()));
            typed.append(d->toVariant());
        }
    }
    return typed;
}

} // namespace

void setArgumentPrompter(ArgumentPrompter prompter)
{
    prompterSlot() = std::move(prompter);
}

const ArgumentPrompter &argumentPrompter()
{
    return prompterSlot();
}

std::optional<QVariantList> RetrievalArguments::complete(const Definition &definition, const QVariantList &given)
{
    QVariantList values = given.mid(0, definition.arguments.size());
    for (qsizetype i = values.size(); i < definition.arguments.size(); ++i) {
        const ArgumentPrompter &prompter = argumentPrompter();
        std::optional<QVariant> answer;
        if (prompter)
            answer = prompter(definition.arguments.at(i), definition);
        if (!answer) {
            Trace::write(QStringLiteral("Retrieve %1: no value for the argument %2")
                             .arg(definition.name, definition.arguments.at(i).name));
            return std::nullopt;
        }
        values.append(*answer);
    }
    return values;
}

QVariantList RetrievalArguments::forNested(const Definition &composite, int nestedIndex, const Definition &nested,
                                           const QVariantList &values)
{
    QVariantList result;
    const Nested &entry = composite.nested.at(nestedIndex);
    if (!entry.arguments.isEmpty()) {
        for (const QString &name : entry.arguments)
            result.append(values.value(composite.argumentIndex(name)));
        return result;
    }
    const QVector<Argument> &wanted = nested.arguments;
    for (int k = 0; k < wanted.size(); ++k) {
        const int byName = composite.argumentIndex(wanted.at(k).name);
        const int from = byName >= 0 ? byName : k;
        if (from < values.size())
            result.append(values.at(from));
    }
    return result;
}

QVariantList RetrievalArguments::typed(const Definition &definition, const QVariantList &values)
{
    QVariantList typed;
    typed.reserve(values.size());
    for (int i = 0; i < values.size(); ++i)
        typed.append(RetrievalArguments::typed(definition.arguments.at(i), values.at(i), definition.name));
    return typed;
}

QVariant RetrievalArguments::typed(const Argument &argument, const QVariant &value, const QString &definition)
{
    auto bad = [&](const QString &why) {
        return HostError(ErrBadArgument, QStringLiteral("%1: argument %2 %3").arg(definition, argument.name, why));
    };
    switch (argument.type) {
    case ArgumentType::String:
        if (value.isNull())
            return QVariant(QMetaType::fromType<QString>());
        if (value.metaType().id() == QMetaType::QStringList || value.metaType().id() == QMetaType::QVariantList)
            throw bad(QStringLiteral("takes one text, not a list"));
        return value.toString();
    case ArgumentType::Number: {
        if (value.isNull())
            return Decimal::null();
        const auto d = numberArgument(value);
        if (!d)
            throw bad(QStringLiteral("takes a number, not \"%1\"").arg(value.toString()));
        return d->toVariant();
    }
    case ArgumentType::Date: {
        bool ok = false;
        const QDate date = dateArgument(value, &ok);
        if (!ok)
            throw bad(QStringLiteral("takes a date"));
        return date.isValid() ? QVariant(date) : QVariant(QMetaType::fromType<QDate>());
    }
    case ArgumentType::DateTime: {
        if (value.isNull())
            return QVariant(QMetaType::fromType<QDateTime>());
        const int id = value.metaType().id();
        if (id != QMetaType::QDate && id != QMetaType::QDateTime && id != QMetaType::QString)
            throw bad(QStringLiteral("takes a date and time"));
        return fromDbValue(value, ColumnKind::DateTime);
    }
    case ArgumentType::StringList:
    case ArgumentType::NumberList:
        return listArgument(argument, value, bad);
    }
    return value;
}

QVariant RetrievalArguments::bindable(const Argument &argument, const QVariant &typed, QueryTemplate::DayBound bound,
                                      DbKind kind)
{
    if (argument.type == ArgumentType::Date) {
        const QDate day = typed.toDate();
        if (typed.isNull() || !day.isValid())
            return QVariant(QMetaType::fromType<QString>());
        if (bound == QueryTemplate::DayBound::End)
            return QString(values::dateText(day) + QStringLiteral(" 23:59:59.999999"));
        return toDbValue(day, kind);
    }
    if (argument.type == ArgumentType::DateTime)
        return typed.isNull() ? QVariant(QMetaType::fromType<QString>()) : toDbValue(typed, kind);
    return typed;
}

} // namespace wip::reports
