#pragma once

#include "reports/definition.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace wip::reports {

// Reads and writes report definition files (format: docs/definitions.md).
// Loading validates the whole file: unknown keys, bad layout/type/band names,
// expressions that do not parse, groups, sorts or computed fields naming columns
// that do not exist. A fault is reported as "<file>: <fault>".
class DefinitionLoader
{
public:
    // nullopt and *error set when the file cannot be read or is not a valid definition.
    static std::optional<Definition> loadFile(const QString &path, QString *error = nullptr);
    // sourceName names the file in messages and becomes Definition::sourceFile.
    static std::optional<Definition> loadJson(const QByteArray &json, const QString &sourceName,
                                              QString *error = nullptr);
    static std::optional<Definition> fromJson(const QJsonObject &object, const QString &sourceName,
                                              QString *error = nullptr);

    // The definition as a JSON object that fromJson reads back equal.
    static QJsonObject toJson(const Definition &definition);
};

} // namespace wip::reports
