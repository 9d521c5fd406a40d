#pragma once

#include "reports/definition.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

namespace wip::reports {

// The report definitions the program carries: every :/definitions/*.json resource,
// loaded once on first use (thread-safe), looked up without regard to case. Tests
// and tools may add definitions of their own.
class Catalogue
{
public:
    static Catalogue &instance();

    // nullptr when there is no definition of that name.
    std::shared_ptr<const Definition> find(const QString &name) const;
    QStringList names() const;                     // sorted, lower case
    // "file: fault" for each resource that did not load (those are left out).
    QStringList loadErrors() const;

    // Adds (or replaces) a definition under its name.
    void add(std::shared_ptr<const Definition> definition);
    // Loads every *.json of a folder and adds it; false and "file: fault" lines in
    // *errors when any file does not load (the others are still added).
    bool addDirectory(const QString &folder, QStringList *errors = nullptr);

private:
    Catalogue() = default;
    void ensureLoaded() const;

    mutable std::once_flag m_loadOnce;
    mutable std::mutex m_mutex;
    mutable QHash<QString, std::shared_ptr<const Definition>> m_definitions;
    mutable QStringList m_errors;
};

// Prepares each definition's query on the database (arguments bound as NULL)
// and compares the result's column names with the definition's columns. Returns
// one "file: fault" line per definition whose query does not prepare or whose
// columns differ; empty when all agree. Composites are checked for their nested
// definitions' existence only.
QStringList checkDefinitionsAgainstDatabase(const QVector<std::shared_ptr<const Definition>> &definitions,
                                            const QSqlDatabase &database);
QStringList checkCatalogueAgainstDatabase(const QSqlDatabase &database);

} // namespace wip::reports
