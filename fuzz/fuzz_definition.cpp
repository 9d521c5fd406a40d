// Fuzzes the definition-file loader: any bytes either load into a definition or
// are refused with a message (the input has no file name, so the definition
// name is not checked against one); a loaded definition written out as JSON loads back
// and writes out the same again.
#include "fuzzsupport.h"

#include "reports/definitionloader.h"
#include "reports/expression.h"

#include <QJsonDocument>

using namespace wip::reports;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString error;
    const auto definition = DefinitionLoader::loadJson(wip::fuzz::bytesOf(data, size),
                                                       QStringLiteral("fuzz input"), &error);
    if (!definition) {
        WIP_FUZZ_CHECK(error.startsWith(QStringLiteral("fuzz input")), error);
        return 0;
    }
    const QJsonObject json = DefinitionLoader::toJson(*definition);
    QString backError;
    const auto back = DefinitionLoader::fromJson(json, QStringLiteral("fuzz input"), &backError);
    WIP_FUZZ_CHECK(back.has_value(), backError + QStringLiteral("\n")
                                         + QString::fromUtf8(QJsonDocument(json).toJson()));
    WIP_FUZZ_CHECK(DefinitionLoader::toJson(*back) == json, QString::fromUtf8(QJsonDocument(json).toJson()));

    (void)definition->columnIndex(QStringLiteral("QTY"));
    for (const ComputedField &f : definition->computed)
        WIP_FUZZ_CHECK(Expression::parse(f.expression) != nullptr, f.expression);
    return 0;
}
