#include "app/importcommand.h"

#include "app/commandlogin.h"
#include "app/databaseopener.h"
#include "database/useraccounts.h"
#include "import/importer.h"
#include "import/importkinds.h"
#include "runtime/transaction.h"

#if defined(WIP_HAVE_REFERENCE)
#include "reference/referenceimport.h"
#endif
#if defined(WIP_HAVE_CONTRACTS)
#include "contracts/contractimportkind.h"
#endif

#include <QDir>
#include <QFileInfo>

namespace wip {

namespace {

import::ImportKind *kindOf(const QString &name, QTextStream &err)
{
    ImportCommand::addKinds();
    import::ImportKind *kind = import::ImportKinds::find(name);
    if (!kind)
        err << "No kind \"" << name << "\"; use one of " << import::ImportKinds::names().join(QStringLiteral(", "))
            << "." << Qt::endl;
    return kind;
}

} // namespace

void ImportCommand::addKinds()
{
    static const bool added = [] {
#if defined(WIP_HAVE_REFERENCE)
        reference::ReferenceImportKind::addAll();
#endif
#if defined(WIP_HAVE_CONTRACTS)
        ContractImportKind::add();
#endif
        return true;
    }();
    Q_UNUSED(added);
}

int ImportCommand::runImport(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    import::ImportKind *kind = kindOf(options.kind, err);
    if (!kind)
        return 2;
    const QFileInfo file(options.file);
    if (!file.isFile()) {
        err << "No file " << QDir::toNativeSeparators(file.absoluteFilePath()) << "; nothing was imported." << Qt::endl;
        return 1;
    }
    Transaction tr;
    const std::optional<QString> user = CommandLogin::logIn(tr, options.database, options.user, QStringLiteral("import"),
                                                            QStringLiteral("nothing was imported"), err);
    if (!user)
        return 1;
    import::ImportOptions run;
    run.dryRun = options.dryRun;
    run.update = options.update;
    run.user = *user;
    run.source = QStringLiteral("wip import");
    run.rights = [&](const QString &module, const QString &function) {
        return UserAccounts::rights(tr, *user, module, function);
    };
    const import::ImportOutcome outcome = import::Importer::importFile(tr, *kind, file.absoluteFilePath(), run);
    tr.disconnect();
    if (outcome.result == import::ImportOutcome::Result::Failed) {
        err << file.fileName() << ": " << outcome.text() << Qt::endl;
        return 1;
    }
    if (!outcome.format.isEmpty())
        out << file.fileName() << " (" << outcome.format << "): " << kind->caption() << ", " << outcome.rows
            << " 行 rows" << Qt::endl;
    out << outcome.text() << Qt::endl;
    return outcome.ok() ? 0 : 1;
}

int ImportCommand::runExport(const CommandLine::Options &options, QTextStream &out, QTextStream &err)
{
    import::ImportKind *kind = kindOf(options.kind, err);
    if (!kind)
        return 2;
    QString error;
    const auto settings = DatabaseOpener::settingsFor(options.database, &error);
    Transaction tr;
    if (!settings || !DatabaseOpener::connect(tr, *settings, true, &error) || !DatabaseOpener::checkSchema(tr, &error)) {
        err << error << Qt::endl;
        return 1;
    }
    if (DatabaseOpener::isDatabaseFile(options.output, tr.settings)) {
        err << "The output file " << QFileInfo(options.output).absoluteFilePath()
            << " is the database itself; nothing is written over it. Choose another file." << Qt::endl;
        return 1;
    }
    int rows = 0;
    const QString output = QFileInfo(options.output).absoluteFilePath();
    const bool written = import::Importer::exportFile(tr, *kind, output, &rows, &error);
    tr.disconnect();
    if (!written) {
        err << "The " << kind->name() << " were not exported. " << error << Qt::endl;
        return 1;
    }
    out << "Exported " << rows << (rows == 1 ? " row of " : " rows of ") << kind->caption() << " to "
        << QDir::toNativeSeparators(output) << "." << Qt::endl;
    return 0;
}

} // namespace wip
