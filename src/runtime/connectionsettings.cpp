#include "runtime/connectionsettings.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

namespace wip {

std::optional<ConnectionSettings> ConnectionSettings::fromUrl(const QString &rawUrl, QString *error)
{
    auto fail = [error](const QString &text) -> std::optional<ConnectionSettings> {
        if (error)
            *error = text;
        return std::nullopt;
    };

    const QString url = rawUrl.trimmed();
    if (url.isEmpty())
        return fail(QStringLiteral("empty database URL"));

    ConnectionSettings s;
    const QString lower = url.toLower();
    if (lower.startsWith(QLatin1String("postgresql://")) || lower.startsWith(QLatin1String("postgres://"))) {
        const QUrl u(url, QUrl::StrictMode);
        if (!u.isValid()) {
            // Qt's words go on to quote the URL, password and all: only the fault is kept.
            const QString fault = u.errorString().section(QLatin1String("; source was"), 0, 0).trimmed();
            return fail(QStringLiteral("invalid PostgreSQL URL: %1").arg(fault));
        }
        s.dbms = QStringLiteral("POSTGRESQL");
        s.logId = u.userName();
        s.logPass = u.password();
        s.serverName = u.host();
        if (u.port() > 0)
            s.serverName += QLatin1Char(':') + QString::number(u.port());
        s.database = u.path(QUrl::FullyDecoded);
        if (s.database.startsWith(QLatin1Char('/')))
            s.database.remove(0, 1);
        if (s.database.isEmpty())
            return fail(QStringLiteral("the PostgreSQL URL names no database"));
        QStringList options;
        const auto items = QUrlQuery(u).queryItems(QUrl::FullyDecoded);
        for (const auto &[key, value] : items)
            options.append(key + QLatin1Char('=') + value);
        s.dbParm = options.join(QLatin1Char(';'));
        return s;
    }

    QString path;
    if (lower.startsWith(QLatin1String("sqlite://")))
        path = url.mid(9);
    else if (lower.startsWith(QLatin1String("sqlite:")))
        path = url.mid(7);
    else if (url.contains(QLatin1String("://")))
        return fail(QStringLiteral("unsupported database URL: %1").arg(withoutPassword(url)));
    else
        path = url;
    if (path.isEmpty())
        return fail(QStringLiteral("the SQLite URL names no file"));
    s.dbms = QStringLiteral("SQLITE");
    s.database = path;
    return s;
}

QString ConnectionSettings::toUrl(bool withPassword) const
{
    switch (kind()) {
    case DbKind::SQLite:
        return QStringLiteral("sqlite:") + database;
    case DbKind::PostgreSQL: {
        QUrl u;
        u.setScheme(QStringLiteral("postgresql"));
        if (!logId.isEmpty())
            u.setUserName(logId);
        if (withPassword && !logPass.isEmpty())
            u.setPassword(logPass);
        const int colon = serverName.lastIndexOf(QLatin1Char(':'));
        if (colon > 0) {
            u.setHost(serverName.left(colon));
            u.setPort(serverName.mid(colon + 1).toInt());
        } else {
            u.setHost(serverName.isEmpty() ? QStringLiteral("localhost") : serverName);
        }
        u.setPath(QLatin1Char('/') + database);
        if (!dbParm.isEmpty()) {
            QUrlQuery q;
            for (const QString &item : dbParm.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                const int eq = item.indexOf(QLatin1Char('='));
                const QString key = item.left(eq).trimmed();
                if (eq > 0 && (withPassword || key.compare(QLatin1String("password"), Qt::CaseInsensitive) != 0))
                    q.addQueryItem(key, item.mid(eq + 1).trimmed());
            }
            u.setQuery(q);
        }
        return u.toString();
    }
    case DbKind::None:
        break;
    }
    return QString();
}

QString ConnectionSettings::withoutPassword(const QString &url)
{
    QString text = url.trimmed();
    const qsizetype scheme = text.indexOf(QLatin1String("://"));
    if (scheme >= 0) {
        // user:password@host: the password runs from the first colon to the last
        // '@' (a password with an '@' of its own is hidden whole).
        const qsizetype start = scheme + 3;
        const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
        const qsizetype colon = text.indexOf(QLatin1Char(':'), start);
        if (at > start && colon >= 0 && colon < at)
            text.replace(colon + 1, at - colon - 1, QStringLiteral("***"));
    }
    static const QRegularExpression option(QStringLiteral("([?&;]password=)[^&;#]*"),
                                           QRegularExpression::CaseInsensitiveOption);
    text.replace(option, QStringLiteral("\\1***"));
    return text;
}

DbKind ConnectionSettings::kind() const
{
    const QString d = dbms.trimmed().toUpper();
    if (d == QLatin1String("SQLITE") || d == QLatin1String("QSQLITE") || d == QLatin1String("SQLITE3"))
        return DbKind::SQLite;
    if (d == QLatin1String("POSTGRESQL") || d == QLatin1String("QPSQL") || d == QLatin1String("POSTGRES")
        || d == QLatin1String("PGSQL"))
        return DbKind::PostgreSQL;
    return DbKind::None;
}

void ConnectionSettings::applyServer(QSqlDatabase &db, const QString &databaseName) const
{
    QString host = serverName.trimmed();
    const int colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        db.setPort(host.mid(colon + 1).toInt());
        host = host.left(colon);
    }
    if (!host.isEmpty())
        db.setHostName(host);
    db.setDatabaseName(databaseName);
    db.setUserName(logId);
    db.setPassword(logPass);
}

ConnectionSettings &applicationConnection()
{
    static ConnectionSettings settings;
    return settings;
}

} // namespace wip
