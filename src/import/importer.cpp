#include "import/importer.h"

#include "import/columnmatch.h"
#include "import/importrights.h"
#include "import/sheetreader.h"
#include "import/sheetwriter.h"
#include "runtime/appglobals.h"

#include <QFileInfo>

namespace wip::import {

namespace {

ImportOutcome refused(QList<ImportProblem> problems)
{
    ImportOutcome o;
    o.result = ImportOutcome::Result::Refused;
    o.problems = std::move(problems);
    return o;
}

bool mayImport(const ImportOptions &options)
{
    if (options.user.trimmed().isEmpty())
        return false;
    if (options.rights)
        return ImportRights::granted(options.rights);
    return ImportRights::mayImport(options.user);
}

} // namespace

ImportOutcome Importer::importFile(Transaction &tr, ImportKind &kind, const QString &path, const ImportOptions &options)
{
    // Nothing of the file is read for a user who may not import it.
    if (!mayImport(options))
        return refused({{0, QString(), ImportRights::refusal(options.user)}});
    QString error;
    const std::optional<Sheet> sheet = SheetReader::read(path, &error);
    if (!sheet)
        return refused({{0, QString(), error}});
    return importSheet(tr, kind, std::move(*sheet), QFileInfo(path).absolutePath(), options);
}

ImportOutcome Importer::importSheet(Transaction &tr, ImportKind &kind, Sheet sheet, const QString &folder,
                                    const ImportOptions &options)
{
    if (!mayImport(options))
        return refused({{0, QString(), ImportRights::refusal(options.user)}});
    QList<ImportProblem> problems;
    ImportTable table = ColumnMatch::match(kind.columns(), sheet, &problems);
    table.folder = folder;
    const int rows = int(sheet.rows.size());
    sheet.rows = QList<SheetRow>();   // the table holds the cells now
    // Columns that are not the kind's: its rows cannot be read as meant.
    for (const ImportProblem &p : std::as_const(problems)) {
        if (p.line <= sheet.headerLine) {
            ImportOutcome o = refused(problems);
            o.format = sheet.format;
            o.rows = rows;
            return o;
        }
    }
    ImportOptions run = options;
    run.dryRun = options.dryRun || !problems.isEmpty();
    ImportOutcome o = kind.import(tr, std::move(table), run);
    o.format = sheet.format;
    o.rows = rows;
    if (!problems.isEmpty() && o.result != ImportOutcome::Result::Failed) {
        o.problems = problems + o.problems;
        o.result = ImportOutcome::Result::Refused;
    }
    return o;
}

bool Importer::exportFile(Transaction &tr, ImportKind &kind, const QString &path, int *rows, QString *error)
{
    const std::optional<QList<QStringList>> records = kind.exportRows(tr, error);
    if (!records)
        return false;
    if (!SheetWriter::write(path, kind.exportedColumns(), *records, error))
        return false;
    if (rows)
        *rows = int(records->size());
    return true;
}

QByteArray Importer::templateCsv(const ImportKind &kind)
{
    return SheetWriter::csv(kind.exportedColumns(), {kind.example()});
}

} // namespace wip::import
