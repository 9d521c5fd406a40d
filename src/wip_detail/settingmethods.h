#pragma once

#include <QString>

namespace wip {

// The setting method of a stone as written to the spreadsheet: the Chinese name,
// trimmed, with its English name appended when it is one of the factory's eight
// methods ("钉镶" -> "钉镶pave", "闸镶" -> "闸镶 pave prong"); any other text trimmed.
QString settingMethodCellText(const QString &waycode);

} // namespace wip
