#include "wip_detail/settingmethods.h"

#include <QPair>

namespace wip {

QString settingMethodCellText(const QString &waycode)
{
    static const QPair<QString, QString> names[] = {
        {QStringLiteral("包镶"), QStringLiteral("bazel")},
        {QStringLiteral("钉镶"), QStringLiteral("pave")},
        {QStringLiteral("光圈镶"), QStringLiteral("flush")},
        {QStringLiteral("虎爪镶"), QStringLiteral("hammer prong")},
        {QStringLiteral("迫镶"), QStringLiteral("channel")},
        {QStringLiteral("田字镶"), QStringLiteral("mystery")},
        {QStringLiteral("无边镶"), QStringLiteral("invisible")},
        {QStringLiteral("闸镶"), QStringLiteral(" pave prong")},
        {QStringLiteral("爪镶"), QStringLiteral("prong")},
    };
    const QString trimmed = waycode.trimmed();
    for (const auto &[chinese, english] : names) {
        if (trimmed == chinese)
            return trimmed + english;
    }
    return trimmed;
}

} // namespace wip
