// Fuzzes the saved-report reader ("temp.psr"): any file either reads into a
// report or is refused with a message; a report read shows every row, group and
// computed value, evaluates its expressions, exports to JSON and CSV, and saved
// again reads back the same.
#include "fuzzsupport.h"

#include "reports/expression.h"
#include "reports/reportoutput.h"
#include "reports/savedreport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <unistd.h>

using namespace wip::reports;

namespace {

void exercise(const ReportData &report, int depth)
{
    const Definition &def = report.definition();
    const QVector<Column> columns = report.columns();
    for (int row = 0; row <= report.rowCount() + 1; ++row) {
        for (const Column &c : columns)
            (void)report.item(row, c.name);
        for (const ComputedField &f : def.computed)
            (void)report.item(row, f.name);
        for (int level = 0; level <= int(def.groups.size()) + 1 && row >= 1 && row <= report.rowCount(); ++level) {
            const auto [first, last] = report.groupRange(level, row);
            WIP_FUZZ_CHECK(first >= 1 && first <= row && row <= last && last <= report.rowCount(),
                           QStringLiteral("level %1 row %2: %3-%4").arg(level).arg(row).arg(first).arg(last));
        }
    }
    for (const TextObject &t : def.texts)
        (void)report.objectText(t.name);
    for (const ComputedField &f : def.computed) {
        if (const auto e = Expression::parse(f.expression)) {
            for (int row = 1; row <= report.rowCount(); ++row)
                (void)e->evaluate(report, row);
        }
    }
    for (const ReportData *n : report.nested()) {
        if (depth < 8)
            exercise(*n, depth + 1);
    }
}

QString scratchFile()
{
    return QDir::tempPath() + QStringLiteral("/wip-fuzz-%1.psr").arg(getpid());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(wip::fuzz::bytesOf(data, size));
    }
    QString error;
    const auto report = SavedReport::read(path, &error);
    QFile::remove(path);
    if (!report) {
        WIP_FUZZ_CHECK(error.startsWith(path), error);
        return 0;
    }
    exercise(*report, 0);
    (void)ReportOutput::toJson(*report);
    (void)ReportOutput::toCsv(*report);

    const QJsonObject saved = SavedReport::toJson(*report);
    QString backError;
    const auto back = SavedReport::fromJson(saved, QStringLiteral("again"), &backError);
    WIP_FUZZ_CHECK(back != nullptr, backError);
    WIP_FUZZ_CHECK(SavedReport::toJson(*back) == saved, QString::fromUtf8(QJsonDocument(saved).toJson()));
    return 0;
}
