#include "reports/catalogue.h"

#include "reports/definitionloader.h"
#include "reports/querytemplate.h"

#include <QDir>
#include <QDirIterator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace wip::reports {

namespace {

// A composite whose nested reports are not all known is left out with a fault.
QStringList checkNested(QHash<QString, std::shared_ptr<const Definition>> &definitions)
{
    QStringList errors;
    bool removed = true;
    while (removed) {
        removed = false;
        for (auto it = definitions.begin(); it != definitions.end(); ++it) {
            const Definition &d = **it;
            for (const Nested &n : d.nested) {
                if (!definitions.contains(n.definition.toLower())) {
                    errors.append(QStringLiteral("%1: nested report \"%2\" does not exist").arg(d.sourceFile, n.definition));
                    definitions.erase(it);
                    removed = true;
                    break;
                }
            }
            if (removed)
                break;
        }
    }
    return errors;
}

} // namespace

Catalogue &Catalogue::instance()
{
    static Catalogue catalogue;
    return catalogue;
}

void Catalogue::ensureLoaded() const
{
    std::call_once(m_loadOnce, [this] {
        QHash<QString, std::shared_ptr<const Definition>> loaded;
        QStringList errors;
        QDirIterator it(QStringLiteral(":/definitions"), {QStringLiteral("*.json")}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            QString error;
            auto definition = DefinitionLoader::loadFile(path, &error);
            if (!definition) {
                errors.append(error);
                continue;
            }
            const QString name = definition->name;
            loaded.insert(name, std::make_shared<const Definition>(std::move(*definition)));
        }
        errors += checkNested(loaded);
        std::lock_guard lock(m_mutex);
        for (auto i = loaded.begin(); i != loaded.end(); ++i) {
            if (!m_definitions.contains(i.key()))   // added before first use: keep
                m_definitions.insert(i.key(), i.value());
        }
        m_errors = errors;
    });
}

std::shared_ptr<const Definition> Catalogue::find(const QString &name) const
{
    ensureLoaded();
    std::lock_guard lock(m_mutex);
    return m_definitions.value(name.trimmed().toLower());
}

QStringList Catalogue::names() const
{
    ensureLoaded();
    std::lock_guard lock(m_mutex);
    QStringList names = m_definitions.keys();
    names.sort();
    return names;
}

QStringList Catalogue::loadErrors() const
{
    ensureLoaded();
    std::lock_guard lock(m_mutex);
    return m_errors;
}

void Catalogue::add(std::shared_ptr<const Definition> definition)
{
    if (!definition)
        return;
    ensureLoaded();
    std::lock_guard lock(m_mutex);
    m_definitions.insert(definition->name.toLower(), std::move(definition));
}

bool Catalogue::addDirectory(const QString &folder, QStringList *errors)
{
    ensureLoaded();
    QStringList faults;
    QHash<QString, std::shared_ptr<const Definition>> loaded;
    const QDir dir(folder);
    if (!dir.exists())
        faults.append(QStringLiteral("%1: no such folder").arg(folder));
    for (const QString &file : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QString error;
        auto definition = DefinitionLoader::loadFile(dir.filePath(file), &error);
        if (!definition) {
            faults.append(error);
            continue;
        }
        const QString name = definition->name;
        loaded.insert(name, std::make_shared<const Definition>(std::move(*definition)));
    }
    {
        std::lock_guard lock(m_mutex);
        // Nested reports may come from the folder or from what is already known.
        QHash<QString, std::shared_ptr<const Definition>> all = m_definitions;
        for (auto i = loaded.begin(); i != loaded.end(); ++i)
            all.insert(i.key(), i.value());
        faults += checkNested(all);
        for (auto i = loaded.begin(); i != loaded.end(); ++i) {
            if (all.contains(i.key()))
                m_definitions.insert(i.key(), i.value());
        }
    }
    if (errors)
        *errors += faults;
    return faults.isEmpty();
}

QStringList checkDefinitionsAgainstDatabase(const QVector<std::shared_ptr<const Definition>> &definitions,
                                            const QSqlDatabase &database)
{
    QStringList faults;
    for (const auto &definition : definitions) {
        const Definition &d = *definition;
        if (d.layout == LayoutKind::Composite)
            continue;
        const QueryTemplate query(d.query);
        // One NULL per placeholder: enough to prepare and run; the columns are what counts.
        const QueryTemplate::Bound bound = query.bind([](const QString &) { return QVariant(); });
        QSqlQuery q(database);
        q.setForwardOnly(true);
        if (!q.prepare(bound.sql)) {
            faults.append(QStringLiteral("%1: the query does not prepare: %2").arg(d.sourceFile, q.lastError().text()));
            continue;
        }
        for (const QVariant &v : bound.values)
            q.addBindValue(v);
        if (!q.exec()) {
            faults.append(QStringLiteral("%1: the query does not run: %2").arg(d.sourceFile, q.lastError().text()));
            continue;
        }
        const QSqlRecord record = q.record();
        QStringList returned;
        for (int i = 0; i < record.count(); ++i)
            returned.append(record.fieldName(i).toLower());
        QStringList declared;
        for (const Column &c : d.columns)
            declared.append(c.name.toLower());
        QStringList missing;
        for (const QString &c : declared) {
            if (!returned.contains(c))
                missing.append(c);
        }
        if (!missing.isEmpty()) {
            faults.append(QStringLiteral("%1: the query returns no column %2 (it returns %3)")
                              .arg(d.sourceFile, missing.join(QLatin1String(", ")), returned.join(QLatin1String(", "))));
        } else if (returned != declared) {
            faults.append(QStringLiteral("%1: the columns are %2 but the query returns %3")
                              .arg(d.sourceFile, declared.join(QLatin1String(", ")), returned.join(QLatin1String(", "))));
        }
    }
    return faults;
}

QStringList checkCatalogueAgainstDatabase(const QSqlDatabase &database)
{
    Catalogue &catalogue = Catalogue::instance();
    QVector<std::shared_ptr<const Definition>> definitions;
    for (const QString &name : catalogue.names())
        definitions.append(catalogue.find(name));
    return checkDefinitionsAgainstDatabase(definitions, database);
}

} // namespace wip::reports
