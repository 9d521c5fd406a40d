#pragma once

#include "database/rightscatalogue.h"
#include "import/importer.h"
#include "import/sheetwriter.h"
#include "reference/referenceimport.h"
#include "testdatabase.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

namespace wip::test {

// Who may import in these tests: IMPORTER holds the right 导入 only, ADMIN every
// right, CLERK the right 资料 only, VIEW none.
inline QString importRights(const QString &user, const QString &module, const QString &function)
{
    Rights rights;
    if (user == QLatin1String("IMPORTER"))
        rights = Right::Import;
    else if (user == QLatin1String("ADMIN"))
        rights = RightsCatalogue::every();
    else if (user == QLatin1String("CLERK"))
        rights = Right::ReferenceData;
    for (const RightsCatalogue::Text &t : RightsCatalogue::textsFor(rights)) {
        if (t.module == module && t.function == function)
            return t.text;
    }
    return QString();
}

// A file of a kind's rows under the captions export writes, in one of the
// formats a clerk brings: "csv" (UTF-8 as this program writes it), "csv-gb18030"
// (as a spreadsheet program on Chinese Windows saves it, no byte-order mark),
// "xlsx" (decimal columns as number cells).
inline QString writeKindFile(const QTemporaryDir &dir, const QString &kind, const QString &format,
                             const QList<QStringList> &rows, QString *error)
{
    const reference::ReferenceImportKind importKind(reference::RefKind::get(kind));
    const QList<import::ImportColumn> columns = importKind.exportedColumns();
    const QString path = dir.filePath(QStringLiteral("%1-%2.%3")
                                          .arg(kind, format, format == QLatin1String("xlsx") ? "xlsx" : "csv"));
    if (format != QLatin1String("csv-gb18030"))
        return import::SheetWriter::write(path, columns, rows, error) ? path : QString();
    QByteArray utf8 = import::SheetWriter::csv(columns, rows).mid(3);
    QStringEncoder gb18030("GB18030");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(gb18030.encode(QString::fromUtf8(utf8))) < 0) {
        *error = file.errorString();
        return QString();
    }
    return path;
}

// The rows export writes of a kind.
inline QList<QStringList> exported(Transaction &tr, const QString &kind)
{
    reference::ReferenceImportKind importKind(reference::RefKind::get(kind));
    QString error;
    return importKind.exportRows(tr, &error).value_or(QList<QStringList>{{QStringLiteral("failed: ") + error}});
}

// Compares text with the golden file data/<name>; WIP_UPDATE_GOLDEN=1 writes it instead.
inline bool matchesGolden(const QString &path, const QByteArray &bytes, QString *difference)
{
    if (qEnvironmentVariableIsSet("WIP_UPDATE_GOLDEN")) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *difference = path + QStringLiteral(" is missing (WIP_UPDATE_GOLDEN=1 writes it)");
        return false;
    }
    const QStringList want = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    const QStringList got = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i) {
        if (want.value(i) != got.value(i)) {
            *difference = QStringLiteral("%1 line %2:\n  expected: %3\n  actual:   %4")
                              .arg(path).arg(i + 1).arg(want.value(i), got.value(i));
            return false;
        }
    }
    return true;
}

} // namespace wip::test
