#include "maintenance/backupfile.h"

#include "database/schema.h"
#include "maintenance/postgresclient.h"
#include "maintenance/sqlitebackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace wip {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// Why a version found in wip_schema is not one this program restores; empty when it is.
QString versionProblem(const QString &path, bool hasTable, int version)
{
    if (!hasTable)
        return QStringLiteral("%1 is no Wip backup: it holds no wip_schema table.").arg(shown(path));
    if (version < 1)
        return QStringLiteral("%1 is no Wip backup: its wip_schema table holds no version.").arg(shown(path));
    if (version > Schema::version)
        return QStringLiteral("%1 holds Wip schema version %2; this program restores versions 1 to %3.")
            .arg(shown(path))
            .arg(version)
            .arg(Schema::version);
    return QString();
}

} // namespace

bool BackupFile::leftOutOfRestore(const QString &entry)
{
    // "2; 3079 16384 EXTENSION - amcheck", "3390; 0 0 COMMENT - EXTENSION amcheck"
    static const QRegularExpression extension(QStringLiteral("^\\s*\\d+;\\s*\\d+\\s+\\d+\\s+(COMMENT - )?EXTENSION\\b"));
    return extension.match(entry).hasMatch();
}

int BackupFile::versionFromData(const QByteArray &script)
{
    // COPY public.wip_schema (version) FROM stdin;
    // 3
    // \.
    int version = 0;
    bool inData = false;
    for (const QByteArray &line : script.split('\n')) {
        if (!inData) {
            inData = line.startsWith("COPY ") && line.contains("wip_schema") && line.endsWith("FROM stdin;");
            continue;
        }
        if (line == "\\.")
            break;
        bool ok = false;
        const int v = line.trimmed().toInt(&ok);
        if (ok)
            version = qMax(version, v);
    }
    return version;
}

BackupFile BackupFile::inspect(const QString &path)
{
    BackupFile file;
    QFile f(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        file.m_problem = QStringLiteral("The backup file %1 does not exist.").arg(shown(path));
        return file;
    }
    if (!info.isFile() || !f.open(QIODevice::ReadOnly)) {
        file.m_problem = QStringLiteral("The backup file %1 cannot be read%2.")
                             .arg(shown(path), info.isFile() ? QStringLiteral(": ") + f.errorString() : QStringLiteral(": it is no file"));
        return file;
    }
    const QByteArray head = f.read(16);
    f.close();
    if (head == QByteArray("SQLite format 3\0", 16)) {
        file.m_kind = Kind::Sqlite;
        const SqliteBackup::Contents contents = SqliteBackup::read(path);
        const bool hasTable = contents.tables.contains(QLatin1String(Schema::versionTable), Qt::CaseInsensitive);
        file.m_version = contents.version.value_or(0);
        file.m_problem = !contents.database
            ? QStringLiteral("The backup file %1 cannot be read: %2").arg(shown(path), contents.error)
            : versionProblem(path, hasTable, file.m_version);
        QString damage;
        if (file.m_problem.isEmpty() && !SqliteBackup::quickCheck(path, &damage))
            file.m_problem = QStringLiteral("The backup file %1 is damaged: %2").arg(shown(path), damage);
        return file;
    }
    if (head.startsWith("PGDMP")) {
        file.m_kind = Kind::PostgresDump;
        const PostgresClient client;
        const auto list = client.run(QStringLiteral("pg_restore"), {QStringLiteral("-l"), path}, PostgresClient::Target::None);
        if (!list.ok) {
            file.m_problem = QStringLiteral("The backup file %1 cannot be read: %2").arg(shown(path), list.error);
            return file;
        }
        bool hasTable = false;
        static const QRegularExpression versionTable(QStringLiteral("\\sTABLE\\s+\\S+\\s+wip_schema\\s"));
        for (const QString &line : QString::fromUtf8(list.output).split(QLatin1Char('\n'))) {
            hasTable = hasTable || (!line.startsWith(QLatin1Char(';')) && versionTable.match(line + QLatin1Char(' ')).hasMatch());
            if (!line.trimmed().isEmpty() && !leftOutOfRestore(line))
                file.m_restoreList << line;
        }
        if (hasTable) {
            const auto data = client.run(QStringLiteral("pg_restore"),
                                         {QStringLiteral("-a"), QStringLiteral("-t"), QLatin1String(Schema::versionTable),
                                          QStringLiteral("-f"), QStringLiteral("-"), path},
                                         PostgresClient::Target::None);
            file.m_version = data.ok ? versionFromData(data.output) : 0;
        }
        file.m_problem = versionProblem(path, hasTable, file.m_version);
        return file;
    }
    file.m_problem = head.isEmpty()
        ? QStringLiteral("The backup file %1 is empty.").arg(shown(path))
        : QStringLiteral("%1 is no Wip backup: neither a copy of a SQLite database nor a dump of PostgreSQL (pg_dump -Fc).")
              .arg(shown(path));
    return file;
}

} // namespace wip
