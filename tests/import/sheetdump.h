#pragma once

#include "import/sheet.h"

#include <QStringList>

namespace wip::test {

// A sheet as one text for comparing with what a test expects:
//   "CSV UTF-8 | 1: 代码|名称"      the format, the header's line and captions
//   "2: C1|一"                       each row: its line and cells
//   "4: C2|二 [stray C]"             a row with a cell outside the named columns
// Line breaks inside a cell show as "⏎".
inline QString dump(const import::Sheet &sheet)
{
    const auto cells = [](const QStringList &list) {
        QStringList shown;
        for (const QString &c : list)
            shown << QString(c).replace(QLatin1Char('\n'), QStringLiteral("⏎"));
        return shown.join(QLatin1Char('|'));
    };
    QStringList lines{QStringLiteral("%1 | %2: %3").arg(sheet.format).arg(sheet.headerLine).arg(cells(sheet.header))};
    for (const import::SheetRow &r : sheet.rows) {
        QString line = QStringLiteral("%1: %2").arg(r.line).arg(cells(r.cells));
        if (r.strayColumn > 0)
            line += QStringLiteral(" [stray %1]").arg(import::columnLetters(r.strayColumn));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace wip::test
