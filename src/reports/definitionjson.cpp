#include "reports/definitionjson.h"

#include "reports/expression.h"

#include <QRegularExpression>

namespace wip::reports::definitionjson {

void fail(const QString &text)
{
    throw LoadFault{text};
}

bool isIdentifier(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(text).hasMatch();
}

void checkKeys(const QJsonObject &object, const QStringList &allowed, const QString &where)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!allowed.contains(it.key()))
            fail(QStringLiteral("unknown key \"%1\" in %2").arg(it.key(), where));
    }
}

QString requireString(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (!value.isString() || value.toString().isEmpty())
        fail(QStringLiteral("%1 needs a text \"%2\"").arg(where, key));
    return value.toString();
}

QString optString(const QJsonObject &object, const QString &key, const QString &where,
                  const QString &fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isString())
        fail(QStringLiteral("\"%1\" of %2 must be a text").arg(key, where));
    return value.toString();
}

int optInt(const QJsonObject &object, const QString &key, const QString &where, int fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isDouble() || value.toDouble() != double(value.toInt()) || value.toInt() < 0)
        fail(QStringLiteral("\"%1\" of %2 must be a whole number not below 0").arg(key, where));
    return value.toInt();
}

bool optBool(const QJsonObject &object, const QString &key, const QString &where, bool fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isBool())
        fail(QStringLiteral("\"%1\" of %2 must be true or false").arg(key, where));
    return value.toBool();
}

QJsonArray optArray(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return {};
    if (!value.isArray())
        fail(QStringLiteral("\"%1\" of %2 must be a list").arg(key, where));
    return value.toArray();
}

QJsonObject elementObject(const QJsonValue &value, const QString &where)
{
    if (!value.isObject())
        fail(QStringLiteral("%1 must be an object").arg(where));
    return value.toObject();
}

QStringList optStringList(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return {};
    if (value.isString())
        return {value.toString()};
    if (!value.isArray())
        fail(QStringLiteral("\"%1\" of %2 must be a list of texts").arg(key, where));
    QStringList list;
    for (const QJsonValue &v : value.toArray()) {
        if (!v.isString())
            fail(QStringLiteral("\"%1\" of %2 must be a list of texts").arg(key, where));
        list.append(v.toString());
    }
    return list;
}

QString where(const QString &kind, int index, const QString &name)
{
    return name.isEmpty() ? QStringLiteral("%1 %2").arg(kind).arg(index + 1)
                          : QStringLiteral("%1 \"%2\"").arg(kind, name);
}

Band parseBand(const QString &text, const QString &where)
{
    if (text.compare(QLatin1String("grouptrailer"), Qt::CaseInsensitive) == 0)
        return Band::GroupTrailer;
    return parseName(bandNames, text, QStringLiteral("band"), where);
}

std::unique_ptr<Expression> parseExpression(const QString &text, const QString &where)
{
    QString error;
    auto expression = Expression::parse(text, &error);
    if (!expression)
        fail(QStringLiteral("expression \"%1\" of %2 does not parse: %3").arg(text, where, error));
    return expression;
}

} // namespace wip::reports::definitionjson
