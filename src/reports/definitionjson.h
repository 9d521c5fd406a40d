#pragma once

#include "reports/definition.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <memory>

namespace wip::reports {

class Expression;

// What reading, checking and writing a definition file share: the names of its
// enumerations, and the checked reading of one JSON field. Used by
// definitionloader.cpp, definitionvalidation.cpp and definitionwriter.cpp only.
namespace definitionjson {

// Thrown inside the loader only; DefinitionLoader::fromJson turns it into "<file>: <fault>".
struct LoadFault
{
    QString text;
};

[[noreturn]] void fail(const QString &text);

bool isIdentifier(const QString &text);
// "argument 2", or "column \"pcs\"" when the element is named.
QString where(const QString &kind, int index, const QString &name = QString());

// Each fails with a message naming the key and `where` when the value has the wrong kind.
void checkKeys(const QJsonObject &object, const QStringList &allowed, const QString &where);
QString requireString(const QJsonObject &object, const QString &key, const QString &where);
QString optString(const QJsonObject &object, const QString &key, const QString &where,
                  const QString &fallback = QString());
int optInt(const QJsonObject &object, const QString &key, const QString &where, int fallback);
bool optBool(const QJsonObject &object, const QString &key, const QString &where, bool fallback);
QJsonArray optArray(const QJsonObject &object, const QString &key, const QString &where);
QJsonObject elementObject(const QJsonValue &value, const QString &where);
// A list of texts; a single text stands for a list of one.
QStringList optStringList(const QJsonObject &object, const QString &key, const QString &where);

template <typename Enum>
struct Names
{
    Enum value;
    const char *name;
};

inline const Names<LayoutKind> layoutNames[] = {
    {LayoutKind::Tabular, "tabular"}, {LayoutKind::Form, "form"},
    {LayoutKind::Crosstab, "crosstab"}, {LayoutKind::Composite, "composite"}};
inline const Names<ValueType> valueTypeNames[] = {
    {ValueType::String, "string"}, {ValueType::Number, "number"},
    {ValueType::Date, "date"}, {ValueType::DateTime, "datetime"}};
inline const Names<ArgumentType> argumentTypeNames[] = {
    {ArgumentType::String, "string"}, {ArgumentType::Number, "number"},
    {ArgumentType::Date, "date"}, {ArgumentType::DateTime, "datetime"},
    {ArgumentType::StringList, "stringlist"}, {ArgumentType::NumberList, "numberlist"}};
inline const Names<Band> bandNames[] = {
    {Band::Header, "header"}, {Band::Detail, "detail"}, {Band::GroupHeader, "groupheader"},
    {Band::GroupTrailer, "trailer"}, {Band::Summary, "summary"}, {Band::Footer, "footer"}};
inline const Names<Align> alignNames[] = {
    {Align::Left, "left"}, {Align::Center, "center"}, {Align::Right, "right"}};

template <typename Enum, std::size_t N>
Enum parseName(const Names<Enum> (&table)[N], const QString &text, const QString &what,
               const QString &where)
{
    for (const auto &entry : table) {
        if (text.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    QStringList known;
    for (const auto &entry : table)
        known.append(QLatin1String(entry.name));
    fail(QStringLiteral("%1 \"%2\" of %3 is not one of %4").arg(what, text, where, known.join(QLatin1String(", "))));
}

template <typename Enum, std::size_t N>
QString nameOf(const Names<Enum> (&table)[N], Enum value)
{
    for (const auto &entry : table) {
        if (entry.value == value)
            return QLatin1String(entry.name);
    }
    return {};
}

// "grouptrailer" is read as "trailer" too.
Band parseBand(const QString &text, const QString &where);
std::unique_ptr<Expression> parseExpression(const QString &text, const QString &where);

// The checks that hold across the parts of one definition (definitionvalidation.cpp).
void validate(const Definition &d);

} // namespace definitionjson
} // namespace wip::reports
