#include "app/databaseopener.h"

#include "database/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>

namespace wip {

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

std::optional<ConnectionSettings> DatabaseOpener::settingsFor(const QString &url, QString *error)
{
    QString why;
    auto s = ConnectionSettings::fromUrl(url, &why);
    if (!s) {
        fail(error, QStringLiteral("The database \"%1\" cannot be used: %2.").arg(url, why));
        return std::nullopt;
    }
    if (s->kind() == DbKind::SQLite && s->database != QLatin1String(":memory:"))
        s->database = QDir::cleanPath(QFileInfo(s->database).absoluteFilePath());
    return s;
}

bool DatabaseOpener::connect(Transaction &tr, const ConnectionSettings &settings, bool mustExist,
                             QString *error)
{
    const QString shown = displayUrl(settings);
    if (settings.kind() == DbKind::SQLite) {
        const QFileInfo file(settings.database);
        if (mustExist && !file.exists())
            return fail(error, QStringLiteral("The database file %1 does not exist.").arg(settings.database));
        if (!file.exists() && !file.absoluteDir().exists())
            return fail(error, QStringLiteral("The folder of the database file %1 does not exist.")
                                   .arg(settings.database));
        if (file.exists() && !file.isFile())
            return fail(error, QStringLiteral("The database %1 is not a file.").arg(settings.database));
    }
    if (tr.isConnected())
        tr.disconnect();
    tr.settings = settings;
    if (!tr.connect())
        return fail(error, QStringLiteral("The database %1 cannot be opened: %2").arg(shown, tr.sqlErrText));
    return true;
}

bool DatabaseOpener::holdsWipSchema(Transaction &tr)
{
    if (!tr.isConnected())
        return false;
    const QStringList tables = tr.database().tables(QSql::Tables);
    for (const QString &t : tables) {
        if (t.compare(QLatin1String(Schema::versionTable), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString DatabaseOpener::displayUrl(const ConnectionSettings &settings)
{
    return settings.toUrl(false);
}

} // namespace wip
