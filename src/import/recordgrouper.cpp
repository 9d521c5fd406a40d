#include "import/recordgrouper.h"

#include <QHash>

namespace wip::import {

QList<ImportRecord> RecordGrouper::group(const ImportTable &table, const QString &keyColumn,
                                         const QStringList &lineColumns, QList<ImportProblem> *problems)
{
    const int key = table.index(keyColumn);
    QList<int> recordColumns;
    for (qsizetype c = 0; c < table.columns.size(); ++c) {
        if (c != key && table.present.value(c) && !lineColumns.contains(table.columns.at(c).name))
            recordColumns << int(c);
    }
    QList<ImportRecord> records;
    QHash<QString, qsizetype> byCode;   // case-folded code -> its record
    for (qsizetype r = 0; r < table.rows.size(); ++r) {
        const ImportRow &row = table.rows.at(r);
        const QString code = row.values.value(key).trimmed();
        const QString folded = code.toCaseFolded();
        const auto found = code.isEmpty() ? byCode.cend() : byCode.constFind(folded);
        if (found == byCode.cend()) {
            if (!code.isEmpty())
                byCode.insert(folded, records.size());
            records.append({code, {int(r)}});
            continue;
        }
        ImportRecord &record = records[*found];
        const ImportRow &first = table.rows.at(record.rows.first());
        if (lineColumns.isEmpty()) {
            problems->append({row.line, table.columns.at(key).caption,
                              QStringLiteral("%1 与第 %2 行重复 (given twice)").arg(code).arg(first.line)});
            continue;
        }
        for (const int c : std::as_const(recordColumns)) {
            if (row.values.value(c).trimmed() != first.values.value(c).trimmed())
                problems->append({row.line, table.columns.at(c).caption,
                                  QStringLiteral("%1 的这一栏与第 %2 行不同 (%3 / %4), 同一 %1 的各行要一样")
                                      .arg(record.key)
                                      .arg(first.line)
                                      .arg(row.values.value(c).trimmed(), first.values.value(c).trimmed())});
        }
        record.rows.append(int(r));
    }
    return records;
}

} // namespace wip::import
