#include "app/backupcommand.h"

#include "app/databaseopener.h"
#include "database/schema.h"
#include "maintenance/consistencycheck.h"
#include "maintenance/databasebackup.h"
#include "maintenance/integritycheck.h"
#include "runtime/transaction.h"

#include <QDir>
#include <QFileInfo>

namespace wip {

namespace {

// The database of a backup: there, and a Wip database of this or an older
// version (an older one is backed up as it is). False with the reason on err.
bool checkSource(const ConnectionSettings &settings, QTextStream &err)
{
    QString error;
    if (settings.kind() == DbKind::SQLite) {
        if (DatabaseOpener::checkSqliteFile(settings, true, &error))
            return true;
        err << error << Qt::endl;
        return false;
    }
    Transaction tr;
    if (!DatabaseOpener::connect(tr, settings, true, &error)) {
        err << error << Qt::endl;
        return false;
    }
    if (DatabaseOpener::holdsWipSchema(tr))
        return true;
    DatabaseOpener::checkSchema(tr, &error);
    err << error << Qt::endl;
    return false;
}

} // namespace

QString BackupCommand::size(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
    if (bytes >= 1024)
        return QStringLiteral("%1 KB").arg((bytes + 512) / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

int BackupCommand::runBackup(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto settings = DatabaseOpener::settingsFor(options.database, &error);
    if (!settings) {
        err << error << Qt::endl;
        return 1;
    }
    const QString output = QFileInfo(options.output).absoluteFilePath();
    if (DatabaseOpener::isDatabaseFile(output, *settings)) {
        err << "The output file " << QDir::toNativeSeparators(output)
            << " is the database itself; the backup is not written over it. Choose another file." << Qt::endl;
        return 1;
    }
    if (!checkSource(*settings, err))
        return 1;
    const QString shown = DatabaseOpener::displayUrl(*settings);
    if (!DatabaseBackup::backup(*settings, output, &error)) {
        err << "The backup of " << shown << " was not written. " << error << Qt::endl;
        return 1;
    }
    const QFileInfo written(output);
    out << "Backed up " << shown << " into " << QDir::toNativeSeparators(output)
        << (written.isFile() ? QStringLiteral(" (%1)").arg(size(written.size())) : QString()) << "." << Qt::endl;
    return 0;
}

int BackupCommand::runRestore(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto settings = DatabaseOpener::settingsFor(options.database, &error);
    if (!settings) {
        err << error << Qt::endl;
        return 1;
    }
    const auto restored = DatabaseBackup::restore(*settings, options.file, &error);
    if (!restored) {
        err << error << Qt::endl;
        return 1;
    }
    out << "Restored " << QDir::toNativeSeparators(QFileInfo(options.file).absoluteFilePath()) << " into "
        << DatabaseOpener::displayUrl(*settings) << ": Wip schema version " << restored->fromVersion;
    if (restored->upgraded)
        out << ", brought up to version " << Schema::version;
    out << "." << Qt::endl;
    return 0;
}

int BackupCommand::runCheck(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto settings = DatabaseOpener::settingsFor(options.database, &error);
    Transaction tr;
    if (!settings || !DatabaseOpener::connect(tr, *settings, true, &error) || !DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    const QString shown = DatabaseOpener::displayUrl(*settings);
    QList<Finding> findings;
    QStringList notes;
    ConsistencyCheck rules(tr, {options.days, QDateTime()});
    const bool checked = IntegrityCheck::run(tr, &findings, &notes, &error) && rules.run(&findings);
    for (const Finding &f : std::as_const(findings))
        out << f.line() << Qt::endl;
    for (const QString &note : std::as_const(notes))
        err << note << Qt::endl;
    if (!checked) {
        err << "The check of " << shown << " did not finish: " << (error.isEmpty() ? rules.error() : error) << Qt::endl;
        return 1;
    }
    if (findings.isEmpty())
        err << "Checked " << shown << ": nothing found." << Qt::endl;
    else
        err << "Checked " << shown << ": " << findings.size() << (findings.size() == 1 ? " finding." : " findings.")
            << Qt::endl;
    return findings.isEmpty() ? 0 : 1;
}

} // namespace wip
