#include "golden.h"

#include <QFile>
#include <QStringList>

#include <algorithm>

namespace wip::test {

bool matchesGolden(const QString &name, const QString &text, QString *difference)
{
    const QString path = qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/golden/") + name;
    if (qEnvironmentVariableIsSet("WIP_UPDATE_GOLDEN")) {
        QFile out(path);
        return out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) >= 0;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *difference = path + QStringLiteral(" is missing (WIP_UPDATE_GOLDEN=1 writes it)");
        return false;
    }
    const QStringList want = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    const QStringList got = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i) {
        if (want.value(i) != got.value(i)) {
            *difference = QStringLiteral("%1 line %2:\n  expected: %3\n  actual:   %4")
                              .arg(path).arg(i + 1).arg(want.value(i), got.value(i));
            return false;
        }
    }
    return true;
}

} // namespace wip::test
