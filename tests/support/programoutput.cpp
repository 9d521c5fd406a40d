#include "programoutput.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace wip::test {

QString programOutput(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPageCount(const QString &file)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(programOutput(QStringLiteral("pdfinfo"), {file}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QStringList pdfBarcodes(const QString &pdf, int dpi)
{
    QTemporaryDir dir;
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"), QStringLiteral("-png"), pdf,
                  dir.filePath(QStringLiteral("page"))});
    if (!render.waitForFinished(60000) || render.exitCode() != 0)
        return {QStringLiteral("<pdftoppm failed: %1>").arg(QString::fromUtf8(render.readAllStandardError()))};
    QStringList codes;
    // page-1.png ... or page-01.png ...: the same width for every page, so in page order.
    const QStringList pages = QDir(dir.path()).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    for (int i = 0; i < pages.size(); ++i) {
        const QString found = programOutput(QStringLiteral("zbarimg"), {QStringLiteral("-q"), dir.filePath(pages[i])});
        for (const QString &line : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            codes << QStringLiteral("%1 %2").arg(i + 1).arg(line.trimmed());
    }
    codes.sort();
    return codes;
}

} // namespace wip::test
