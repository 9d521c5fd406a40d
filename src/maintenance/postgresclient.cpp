#include "maintenance/postgresclient.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <utility>

namespace wip {

namespace {

// A value of a connection string: quoted, with ' and \ escaped.
QString quoted(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    v.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

// The URL's options as key and value, the password left out.
QList<QPair<QString, QString>> options(const QString &dbParm, QString *password)
{
    QList<QPair<QString, QString>> list;
    for (const QString &item : dbParm.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = item.left(eq).trimmed();
        const QString value = item.mid(eq + 1).trimmed();
        if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0) {
            if (password)
                *password = value;
            continue;
        }
        list.append({key, value});
    }
    return list;
}

} // namespace

PostgresClient::PostgresClient(ConnectionSettings settings)
    : m_settings(std::move(settings))
{
}

QString PostgresClient::password() const
{
    QString fromOption;
    options(m_settings.dbParm, &fromOption);
    return m_settings.logPass.isEmpty() ? fromOption : m_settings.logPass;
}

QString PostgresClient::connectionString() const
{
    QStringList parts;
    QString host = m_settings.serverName.trimmed();
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        parts << QStringLiteral("port=") + quoted(host.mid(colon + 1));
        host = host.left(colon);
    }
    if (!host.isEmpty())
        parts.prepend(QStringLiteral("host=") + quoted(host));
    if (!m_settings.logId.isEmpty())
        parts << QStringLiteral("user=") + quoted(m_settings.logId);
    parts << QStringLiteral("dbname=") + quoted(m_settings.database);
    bool timeout = false;
    for (const auto &[key, value] : options(m_settings.dbParm, nullptr)) {
        parts << key + QLatin1Char('=') + quoted(value);
        timeout = timeout || key.compare(QLatin1String("connect_timeout"), Qt::CaseInsensitive) == 0;
    }
    // A server that does not answer is given up after ten seconds, as the program's own connections do.
    if (!timeout)
        parts << QStringLiteral("connect_timeout='10'");
    return parts.join(QLatin1Char(' '));
}

QByteArray PostgresClient::passwordFileLine(const QString &password)
{
    QString p = password;
    p.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    p.replace(QLatin1Char(':'), QLatin1String("\\:"));
    return QByteArrayLiteral("*:*:*:*:") + p.toUtf8() + '\n';
}

PostgresClient::Result PostgresClient::run(const QString &program, const QStringList &arguments, Target target) const
{
    Result result;
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        result.error = QStringLiteral("%1 is not installed (Debian package postgresql-client).").arg(program);
        return result;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // QTemporaryFile makes its file readable and writable by its owner only.
    QTemporaryFile passwordFile;
    const QString secret = password();
    if (!secret.isEmpty()) {
        if (!passwordFile.open() || passwordFile.write(passwordFileLine(secret)) < 0 || !passwordFile.flush()) {
            result.error = QStringLiteral("the password file for %1 cannot be written: %2")
                               .arg(program, passwordFile.errorString());
            return result;
        }
        environment.insert(QStringLiteral("PGPASSFILE"), passwordFile.fileName());
        environment.remove(QStringLiteral("PGPASSWORD"));   // it would be taken before the file
    }
    QStringList args = arguments;
    if (target == Target::Database)
        args << QStringLiteral("-d") << connectionString();
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(path, args);
    if (!process.waitForStarted(-1) || !process.waitForFinished(-1)) {
        result.error = QStringLiteral("%1 could not be run: %2").arg(program, process.errorString());
        return result;
    }
    result.output = process.readAllStandardOutput();
    QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (!secret.isEmpty())
        said.replace(secret, QStringLiteral("***"));
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!result.ok)
        result.error = said.isEmpty() ? QStringLiteral("%1 ended with exit code %2").arg(program).arg(process.exitCode())
                                      : said;
    return result;
}

} // namespace wip
