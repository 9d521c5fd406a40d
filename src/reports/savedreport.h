#pragma once

#include "reports/definition.h"
#include "reports/groupindex.h"
#include "reports/reportdata.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace wip::reports {

// A report saved to a file ("temp.psr") and read back: its definition, the texts
// as they were, the rows and the computed values of every row, and its nested
// reports. The preview shows, prints and exports it without the database.
//
// File: UTF-8 JSON {"format": "wip-saved-report", "version": 1, "definition": {..},
// "columns": [..], "texts": {..}, "rows": [[..]], "computed": {"name": [..per row]},
// "computedTypes": {"name": "number"|"string"|"datetime"|"bool"}, "nested": [..],
// "arguments": [the retrieval values, a list as an array], "windowTitle": ".."}.
class SavedReport : public ReportData
{
public:
    static constexpr int formatVersion = 1;

    // Writes report to a host path (drive letters mapped by the runtime).
    // Failure: HostError(ErrFileWrite).
    // `windowTitle` names the window that showed the report (see ReportData).
    static void write(const ReportData &report, const QString &hostPath, const QString &windowTitle = QString());
    static QJsonObject toJson(const ReportData &report);

    // nullptr and *error ("<file>: <fault>") for a missing, unreadable or corrupt file.
    static std::unique_ptr<SavedReport> read(const QString &hostPath, QString *error = nullptr);
    static std::unique_ptr<SavedReport> fromJson(const QJsonObject &object, const QString &sourceName,
                                                 QString *error = nullptr);

    ~SavedReport() override;

    const Definition &definition() const override { return m_definition; }
    QVector<Column> columns() const override { return m_columns; }
    QString objectText(const QString &name) const override;
    QVector<const ReportData *> nested() const override;
    QVariantList retrievalArguments() const override { return m_arguments; }
    QString windowTitle() const override { return m_windowTitle; }

    int rowCount() const override { return int(m_rows.size()); }
    bool hasName(const QString &name) const override;
    QVariant item(int row, const QString &name) const override;
    std::pair<int, int> groupRange(int level, int row) const override;
    AggregateCache *aggregateCache() const override { return &m_aggregates; }

private:
    SavedReport() = default;

    Definition m_definition;
    QVector<Column> m_columns;
    QHash<QString, int> m_index;                  // lower-case name: index in a row (columns, then computed)
    std::vector<QVector<QVariant>> m_rows;
    QHash<QString, QString> m_texts;
    std::vector<std::unique_ptr<SavedReport>> m_nested;
    QVariantList m_arguments;
    QString m_windowTitle;
    mutable GroupIndex m_groups;
    mutable AggregateCache m_aggregates;
};

} // namespace wip::reports
