#include "app/commandrunner.h"

#include "app/backupcommand.h"
#include "app/closedaycommand.h"
#include "app/databaseopener.h"
#include "app/deskcommand.h"
#include "app/demopictures.h"
#include "app/passwordprompt.h"
#include "app/importcommand.h"
#include "app/reportarguments.h"
#include "app/usercommand.h"
#include "database/initdatabase.h"
#include "database/newdatabasefile.h"
#include "database/postgresadmin.h"
#include "database/useradmin.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/reportoutput.h"
#include "reports/streamedexport.h"
#include "reports/render/pdfexport.h"
#include "reports/render/streamedpdf.h"
#include "reports/render/xlsxexport.h"
#include "runtime/hosterror.h"
#include "runtime/cursor.h"
#include "runtime/outputfile.h"
#include "runtime/transaction.h"

#if defined(WIP_HAVE_DAILY_OUTPUT)
#include "daily_output/recomputedaywip.h"
#endif
#if defined(WIP_HAVE_CONTRACTS)
#include "app/scancommand.h"
#include "contracts/bagticketpdf.h"
#include "contracts/barcode.h"
#include "contracts/workerbadgepdf.h"
#endif

#include <QDir>
#include <QFileInfo>

namespace wip {

namespace {

// Connects tr to the command's database; the message on err names what failed.
bool open(Transaction &tr, const QString &url, bool mustExist, QTextStream &err)
{
    QString error;
    const auto settings = DatabaseOpener::settingsFor(url, &error);
    if (!settings || !DatabaseOpener::connect(tr, *settings, mustExist, &error)) {
        err << error << Qt::endl;
        return false;
    }
    return true;
}

// --title: the heading a window would write (t_head), else the report's title;
// a report without either carries it as the title it is shown under.
void setHeading(reports::DataStore &store, const QString &title)
{
    auto has = [&store](const QString &name) {
        if (store.definition().textObject(name))
            return true;
        for (const reports::ReportData *nested : store.nested()) {
            if (nested && nested->definition().textObject(name))
                return true;
        }
        return false;
    };
    for (const QString &name : {QStringLiteral("t_head"), QStringLiteral("t_title")}) {
        if (has(name)) {
            store.setObjectText(name, title);
            return;
        }
    }
    store.setWindowTitle(title);
}

// Writes the retrieved report in format (pdf, xlsx, psr, json, csv) to the file
// output, or, for json and csv, to standard output when output is empty, whole
// or not at all (OutputFile). False when it could not, with *error saying why.
bool writeReport(reports::DataStore &store, const QString &format, const QString &output, QTextStream &out,
                 QString *error)
{
    if (format == QLatin1String("pdf"))
        return reports::writePdf(store, output, error);
    if (format == QLatin1String("xlsx"))
        return reports::writeXlsx(store, output, error);
    if (format == QLatin1String("psr")) {
        try {
            store.SaveAs(output, reports::SaveAsType::PSReport, true);
        } catch (const HostError &e) {
            *error = e.detail();
            return false;
        }
        return true;
    }
    QByteArray bytes;
    if (format == QLatin1String("json")) {
        bytes = reports::ReportOutput::toJson(store);
    } else {
        bytes = reports::ReportOutput::toCsv(store, true);
        if (output.isEmpty() && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);   // a byte-order mark belongs in a file, not in a pipe
    }
    // Standard output gets the bytes as they are, after what the stream holds.
    if (output.isEmpty())
        out.flush();
    return OutputFile::save(output, bytes, error);
}

} // namespace

int CommandRunner::run(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    switch (options.command) {
    case CommandLine::Command::InitDb: return initDb(options, out, err);
    case CommandLine::Command::Report: return report(options, out, err);
    case CommandLine::Command::RecomputeDayWip: return recomputeDayWip(options, out, err);
    case CommandLine::Command::Tickets: return tickets(options, out, err);
    case CommandLine::Command::Badges: return badges(options, out, err);
    case CommandLine::Command::Scan:
#if defined(WIP_HAVE_CONTRACTS)
        return ScanCommand::run(options, out, err);
#else
        err << "scan is not available in this build." << Qt::endl;
        return 3;
#endif
    case CommandLine::Command::Desk: return DeskCommand::run(options, out, err);
    case CommandLine::Command::User: return UserCommand::run(options, out, err);
    case CommandLine::Command::Import: return ImportCommand::runImport(options, out, err);
    case CommandLine::Command::Export: return ImportCommand::runExport(options, out, err);
    case CommandLine::Command::Backup: return BackupCommand::runBackup(options, out, err);
    case CommandLine::Command::Restore: return BackupCommand::runRestore(options, out, err);
    case CommandLine::Command::Check: return BackupCommand::runCheck(options, out, err);
    case CommandLine::Command::CloseDay: return CloseDayCommand::run(options, out, err);
    case CommandLine::Command::Desktop: break;
    }
    err << "Not a headless command." << Qt::endl;
    return 2;
}

int CommandRunner::initDb(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    QString error;
    const auto settings = DatabaseOpener::settingsFor(options.database, &error);
    if (!settings) {
        err << error << Qt::endl;
        return 1;
    }
    // The administrator's password before anything is made.
    std::optional<QString> password;
    if (!options.admin.isEmpty() && !(password = PasswordPrompt::newPassword(options.admin, err)))
        return 1;
    InitOptions init;
    init.demo = options.demo;
    init.scale = options.scale;
    const QString shown = DatabaseOpener::displayUrl(*settings);
    InitResult result;
    if (settings->kind() == DbKind::SQLite) {
        // A new file appears whole or not at all; one there is completed in place.
        if (!DatabaseOpener::checkSqliteFile(*settings, false, &error)) {
            err << error << Qt::endl;
            return 1;
        }
        result = NewDatabaseFile::create(settings->database, init);
    } else {
        // A PostgreSQL database that is not there yet is created on its server first.
        if (!PostgresAdmin::ensureDatabase(*settings, &error)) {
            err << "The database " << shown << " cannot be created: " << error << Qt::endl;
            return 1;
        }
        Transaction tr;
        if (!DatabaseOpener::connect(tr, *settings, false, &error)) {
            err << error << Qt::endl;
            return 1;
        }
        result = initDatabase(tr, init);
        tr.disconnect();
    }
    if (!result.ok) {
        err << "init-db refused " << shown << ": " << result.error << Qt::endl;
        return 1;
    }

    if (result.created)
        out << "Created the Wip database " << shown << Qt::endl;
    else if (result.viewsAdded.isEmpty())
        out << shown << " already holds the Wip database; the schema is unchanged." << Qt::endl;
    else
        out << shown << " already holds the Wip database; added the views it lacked: "
            << result.viewsAdded.join(QStringLiteral(", ")) << "." << Qt::endl;
    if (options.demo) {
        if (result.demoAdded)
            out << "Wrote the demo factory (scale " << options.scale << ")." << Qt::endl;
        else
            out << "The database already holds contracts; no demo rows were added." << Qt::endl;
        QString where;
        if (!DemoPictures::write(&where, &error)) {
            err << error << Qt::endl;
            return 1;
        }
        out << where << Qt::endl;
    }
    return firstUser(options, *settings, password.value_or(QString()), out, err);
}

int CommandRunner::firstUser(const CommandLine::Options &options, const ConnectionSettings &settings,
                             const QString &password, QTextStream &out, QTextStream &err)
{
    Transaction tr;
    QString error;
    if (!DatabaseOpener::connect(tr, settings, true, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    if (!options.admin.isEmpty())
        return UserCommand::addAdministrator(tr, options.admin, options.name, password, out, err);
    const std::optional<bool> users = UserAdmin::hasUsers(tr);
    if (users && !*users)
        out << "Nobody can log in: the database has no user yet. Add the administrator with\n"
            << "  wip init-db --database " << DatabaseOpener::displayUrl(settings) << " --admin CODE\n"
            << "(the password from WIP_PASSWORD or typed twice), or start Wip on it and create the administrator "
               "there." << Qt::endl;
    return 0;
}

int CommandRunner::report(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    // Everything that can be checked without the database is checked first.
    const auto definition = reports::Catalogue::instance().find(options.reportName);
    if (!definition) {
        err << "Unknown report definition \"" << options.reportName << "\"." << Qt::endl;
        return 1;
    }
    QString error;
    const auto values = ReportArguments::bind(*definition, options.arguments, &error);
    if (!values) {
        err << error << Qt::endl;
        return 1;
    }

    Transaction tr;
    if (!open(tr, options.database, true, err))
        return 1;
    if (!DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }

    if (DatabaseOpener::isDatabaseFile(options.output, tr.settings)) {
        err << "The output file " << QFileInfo(options.output).absoluteFilePath()
            << " is the database itself; the report is not written over it. Choose another file." << Qt::endl;
        return 1;
    }

    try {
        reports::DataStore store;
        store.setDefinition(definition);
        store.SetTransObject(tr);
        if (!options.title.isEmpty())
            setHeading(store, options.title);
        const QString &format = options.format;
        const QString output = options.output.isEmpty() ? QString()
                                                        : QFileInfo(options.output).absoluteFilePath();
        if (format == QLatin1String("csv") || format == QLatin1String("json") || format == QLatin1String("xlsx")
            || format == QLatin1String("pdf")) {
            // Written as the rows are read: a month of a big factory in the memory of a few thousand rows.
            out.flush();
            const auto outcome =
                format == QLatin1String("xlsx")  ? reports::writeXlsx(store, *values, output, &error)
                : format == QLatin1String("pdf") ? reports::StreamedPdf::save(store, *values, output, &error)
                                                 : reports::StreamedExport::save(store, *values,
                                                    format == QLatin1String("csv") ? reports::StreamedExport::Format::Csv
                                                                                   : reports::StreamedExport::Format::Json,
                                                    output, &error);
            if (outcome == reports::StreamedExport::Outcome::NotRetrieved) {
                err << "The report " << definition->name << " could not be retrieved from "
                    << DatabaseOpener::displayUrl(tr.settings) << "." << Qt::endl;
                return 1;
            }
            if (outcome != reports::StreamedExport::Outcome::Written) {
                err << "The report " << definition->name << " was not written. " << error << Qt::endl;
                return 1;
            }
            if (!output.isEmpty())
                err << "Wrote " << QDir::toNativeSeparators(output) << Qt::endl;
            tr.disconnect();
            return 0;
        }
        if (store.Retrieve(*values) < 0) {
            err << "The report " << definition->name << " could not be retrieved from "
                << DatabaseOpener::displayUrl(tr.settings) << "." << Qt::endl;
            return 1;
        }

        if (!writeReport(store, format, output, out, &error)) {
            err << "The report " << definition->name << " was not written. " << error << Qt::endl;
            return 1;
        }
        if (!output.isEmpty())
            err << "Wrote " << QDir::toNativeSeparators(output) << Qt::endl;
    } catch (const HostError &e) {
        err << "The report " << definition->name << " failed (error " << e.code() << ")"
            << (e.detail().isEmpty() ? QString() : QStringLiteral(": ") + e.detail()) << "." << Qt::endl;
        return 1;
    }
    tr.disconnect();
    return 0;
}

int CommandRunner::recomputeDayWip(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
#if defined(WIP_HAVE_DAILY_OUTPUT)
    Transaction tr;
    if (!open(tr, options.database, true, err))
        return 1;
    QString error;
    if (!DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    if (!recompute_day_wip(options.date, tr)) {
        err << "The daily output of " << options.date << " could not be recomputed; day_wip keeps "
            << "the figures of the last complete run (the trace above tells why)." << Qt::endl;
        return 1;
    }
    out << "Recomputed day_wip for " << options.date << "." << Qt::endl;
    // The resulting table, one department a line, as the daily output window shows it.
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
               .arg(QStringLiteral("dep_c"), -10)
               .arg(QStringLiteral("dep_e"), -12)
               .arg(QStringLiteral("today_fin"), 10)
               .arg(QStringLiteral("today_tot"), 10)
               .arg(QStringLiteral("today_set"), 10)
               .arg(QStringLiteral("month_set"), 10)
               .arg(QStringLiteral("wip"), 10)
        << Qt::endl;
    Cursor rows(tr, QStringLiteral("select dep_c, dep_e, today_fin, today_tot, today_set, month_set, wip "
                                   "from day_wip order by dep_c"));
    rows.open();
    while (const auto row = rows.fetch()) {
        QString line = QStringLiteral("%1 %2").arg(row->at(0).toString(), -10).arg(row->at(1).toString(), -12);
        for (int c = 2; c < 7; ++c)
            line += QLatin1Char(' ') + QStringLiteral("%1").arg(row->at(c).toDouble(), 10, 'f', 1);
        out << line << Qt::endl;
    }
    rows.close();
    tr.disconnect();
    return 0;
#else
    Q_UNUSED(out);
    Q_UNUSED(options);
    err << "recompute-day-wip is not available in this build." << Qt::endl;
    return 3;
#endif
}

int CommandRunner::tickets(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
#if defined(WIP_HAVE_CONTRACTS)
    QString error;
    QSizeF label;
    if (!options.label.isEmpty() && !BagTicketPdf::parseLabelSize(options.label, &label, &error)) {
        err << error << Qt::endl;
        return 2;
    }
    Transaction tr;
    if (!open(tr, options.database, true, err))
        return 1;
    // Tickets are printed at the stations that scan them: an older database is
    // upgraded here as the scan command and the desktop start do.
    if (!DatabaseOpener::upgrade(tr, &error) || !DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    if (DatabaseOpener::isDatabaseFile(options.output, tr.settings)) {
        err << "The output file " << QFileInfo(options.output).absoluteFilePath()
            << " is the database itself; the tickets are not written over it. Choose another file." << Qt::endl;
        return 1;
    }
    QList<BagTicket> list;
    QStringList missing;
    if (!BagTicket::read(tr, options.scnos, &list, &missing, &error)) {
        err << "The contracts could not be read: " << error << Qt::endl;
        return 1;
    }
    tr.disconnect();
    if (!missing.isEmpty()) {
        err << "No contract " << missing.join(QStringLiteral(", ")) << "; no tickets were printed." << Qt::endl;
        return 1;
    }
    if (list.isEmpty()) {
        err << "The contracts " << options.scnos.join(QStringLiteral(", ")) << " have no lines; no tickets were printed."
            << Qt::endl;
        return 1;
    }
    const QString output = QFileInfo(options.output).absoluteFilePath();
    if (!BagTicketPdf::write(list, output, label, &error)) {
        err << "No tickets were printed. " << error << Qt::endl;
        return 1;
    }
    out << "Printed " << list.size() << (list.size() == 1 ? " bag ticket" : " bag tickets") << " to " << output << "."
        << Qt::endl;
    return 0;
#else
    Q_UNUSED(out);
    Q_UNUSED(options);
    err << "tickets is not available in this build." << Qt::endl;
    return 3;
#endif
}

int CommandRunner::badges(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
#if defined(WIP_HAVE_CONTRACTS)
    Transaction tr;
    if (!open(tr, options.database, true, err))
        return 1;
    QString error;
    if (!DatabaseOpener::upgrade(tr, &error) || !DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    if (DatabaseOpener::isDatabaseFile(options.output, tr.settings)) {
        err << "The output file " << QFileInfo(options.output).absoluteFilePath()
            << " is the database itself; the badges are not written over it. Choose another file." << Qt::endl;
        return 1;
    }
    QStringList codes;
    QList<WorkerBadge> list;
    if (!WorkerBadge::departments(tr, options.departments, &codes, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    if (!WorkerBadge::read(tr, codes, &list, &error)) {
        err << "The workers could not be read: " << error << Qt::endl;
        return 1;
    }
    tr.disconnect();
    if (list.isEmpty()) {
        err << "No active worker"
            << (codes.isEmpty() ? QStringLiteral(" in the reference data")
                                : QStringLiteral(" in ") + codes.join(QStringLiteral(", ")))
            << "; no badges were printed. Workers are added in 基础资料 or with wip import --kind workers." << Qt::endl;
        return 1;
    }
    // A number a barcode cannot carry (Chinese characters) gets no badge: one
    // without bars would fail at the desk. The others are printed, and the run fails.
    QStringList refused;
    list.removeIf([&refused](const WorkerBadge &b) {
        const Barcode code(Barcode::Kind::Code128, b.number);
        if (!code.isValid())
            refused << QStringLiteral("No badge for worker %1 %2: the number cannot be a barcode (%3).")
                           .arg(b.number, b.name, code.error());
        return !code.isValid();
    });
    for (const QString &line : refused)
        err << line << Qt::endl;
    if (list.isEmpty()) {
        err << "No badges were printed." << Qt::endl;
        return 1;
    }
    const QString output = QFileInfo(options.output).absoluteFilePath();
    if (!WorkerBadgePdf::write(list, output, &error)) {
        err << "No badges were printed. " << error << Qt::endl;
        return 1;
    }
    out << "Printed " << list.size() << (list.size() == 1 ? " worker badge" : " worker badges") << " to " << output
        << "." << Qt::endl;
    return refused.isEmpty() ? 0 : 1;
#else
    Q_UNUSED(out);
    Q_UNUSED(options);
    err << "badges is not available in this build." << Qt::endl;
    return 3;
#endif
}

} // namespace wip
