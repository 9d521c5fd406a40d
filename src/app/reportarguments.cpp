#include "app/reportarguments.h"

#include "runtime/values.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace wip {

namespace {

using reports::ArgumentType;

// The command line's forms are the values module's; a date argument takes a
// date alone, since it stands for a whole day.
std::optional<QDate> readDate(const QString &text)
{
    return values::parseDateWithoutTime(text);
}

std::optional<QDateTime> readDateTime(const QString &text)
{
    return values::parseDateTime(text);
}

std::optional<double> readNumber(const QString &text)
{
    const auto d = values::parseNumber(text);
    return d ? std::optional<double>(d->toDouble()) : std::nullopt;
}

QString typeName(ArgumentType type)
{
    switch (type) {
    case ArgumentType::String: return QStringLiteral("string");
    case ArgumentType::Number: return QStringLiteral("number");
    case ArgumentType::Date: return QStringLiteral("date");
    case ArgumentType::DateTime: return QStringLiteral("datetime");
    case ArgumentType::StringList: return QStringLiteral("stringlist");
    case ArgumentType::NumberList: return QStringLiteral("numberlist");
    }
    return QString();
}

QString expectedForm(ArgumentType type)
{
    switch (type) {
    case ArgumentType::Date: return QStringLiteral("a date YYYY-MM-DD");
    case ArgumentType::DateTime: return QStringLiteral("a date YYYY-MM-DD or a date-time YYYY-MM-DD HH:MM:SS");
    case ArgumentType::Number:
    case ArgumentType::NumberList: return QStringLiteral("a number");
    default: return QStringLiteral("a text");
    }
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

QString declaredList(const reports::Definition &definition)
{
    QStringList names;
    for (const reports::Argument &a : definition.arguments)
        names << QStringLiteral("%1 (%2)").arg(a.name, typeName(a.type));
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// One value of an argument; false with error when it does not read as its type.
bool convert(const reports::Argument &argument, const QString &text, QVariant &value, QString *error)
{
    const auto bad = [&]() {
        return fail(error, QStringLiteral("Argument %1: \"%2\" is not %3.")
                               .arg(argument.name, text, expectedForm(argument.type)));
    };
    switch (argument.type) {
    case ArgumentType::String:
    case ArgumentType::StringList:
        value = text;
        return true;
    case ArgumentType::Number:
    case ArgumentType::NumberList:
        if (const auto n = readNumber(text)) {
            value = *n;
            return true;
        }
        return bad();
    case ArgumentType::Date:
        if (const auto d = readDate(text)) {
            value = *d;
            return true;
        }
        return bad();
    case ArgumentType::DateTime:
        if (const auto dt = readDateTime(text)) {
            value = *dt;
            return true;
        }
        return bad();
    }
    return bad();
}

int argumentIndex(const reports::Definition &definition, const QString &name)
{
    for (int i = 0; i < definition.arguments.size(); ++i) {
        if (definition.arguments.at(i).name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

std::optional<QVariantList> ReportArguments::bind(const reports::Definition &definition,
                                                  const QList<QPair<QString, QString>> &given,
                                                  QString *error)
{
    QVector<QVariantList> values(definition.arguments.size());
    for (const auto &[name, text] : given) {
        const int index = argumentIndex(definition, name);
        if (index < 0) {
            fail(error, QStringLiteral("%1 has no argument \"%2\"; its arguments are: %3.")
                            .arg(definition.name, name, declaredList(definition)));
            return std::nullopt;
        }
        const reports::Argument &argument = definition.arguments.at(index);
        const bool list = argument.type == ArgumentType::StringList
            || argument.type == ArgumentType::NumberList;
        if (!list && !values[index].isEmpty()) {
            fail(error, QStringLiteral("Argument %1 is given more than once; only list arguments repeat.")
                            .arg(argument.name));
            return std::nullopt;
        }
        QVariant value;
        if (!convert(argument, text, value, error))
            return std::nullopt;
        values[index].append(value);
    }

    QVariantList bound;
    for (int i = 0; i < definition.arguments.size(); ++i) {
        const reports::Argument &argument = definition.arguments.at(i);
        switch (argument.type) {
        case ArgumentType::StringList: {
            QStringList texts;
            for (const QVariant &v : values.at(i))
                texts << v.toString();
            bound << texts;
            break;
        }
        case ArgumentType::NumberList:
            bound << QVariant(values.at(i));
            break;
        default:
            if (values.at(i).isEmpty()) {
                fail(error, QStringLiteral("%1 needs the argument %2 (%3): --arg %2=VALUE.")
                                .arg(definition.name, argument.name, typeName(argument.type)));
                return std::nullopt;
            }
            bound << values.at(i).first();
        }
    }
    return bound;
}

} // namespace wip
